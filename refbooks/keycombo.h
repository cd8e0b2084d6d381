#pragma once
// A drop-down lookup over a Query: shows one field, keeps another as its key value.
// The list follows the query (rebuilt whenever it is opened, closed or re-filtered)
// and the chosen key survives a rebuild, so a lookup shows its previous choice when
// its query is opened again.
#include "domain/db.h"

#include <QComboBox>
#include <QVariant>

namespace mirn {

namespace refkit {

class KeyCombo : public QComboBox {
    Q_OBJECT
public:
    explicit KeyCombo(QWidget* parent = nullptr);

    // distinctKeys: list a key once (its first row), for queries with several rows per key.
    void bind(Query* q, const QString& keyField, const QString& listField, bool distinctKeys = false);

    QVariant keyValue() const { return key_; }
    qlonglong keyInt() const;
    // Chooses the item with this key; a key not in the list shows an empty choice.
    void setKeyValue(const QVariant& key);

signals:
    void keyChanged(const QVariant& key);

private:
    void rebuild();
    void showKey();

    Query* query_ = nullptr;
    QString keyField_, listField_;
    bool distinct_ = false;
    QVariant key_;
    bool rebuilding_ = false;
};

}  // namespace refkit

}  // namespace mirn
