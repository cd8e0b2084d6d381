#include "refbooks/keycombo.h"

#include "domain/refcheck.h"

namespace mirn {

namespace refkit {

KeyCombo::KeyCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        if (index < 0) return;
        key_ = itemData(index);
        emit keyChanged(key_);
    });
}

void KeyCombo::bind(Query* q, const QString& keyField, const QString& listField, bool distinctKeys) {
    query_ = q;
    keyField_ = keyField;
    listField_ = listField;
    distinct_ = distinctKeys;
    connect(q, &Query::reset, this, [this] { rebuild(); });
    rebuild();
}

qlonglong KeyCombo::keyInt() const { return refcheck::key(key_); }

void KeyCombo::setKeyValue(const QVariant& key) {
    key_ = key;
    showKey();
    emit keyChanged(key_);
}

void KeyCombo::rebuild() {
    rebuilding_ = true;
    clear();
    if (query_) {
        QList<qlonglong> seen;
        for (int r = 0; r < query_->recordCount(); ++r) {
            const QVariant k = query_->value(r, keyField_);
            if (distinct_) {
                const qlonglong n = refcheck::key(k);
                if (seen.contains(n)) continue;
                seen << n;
            }
            addItem(query_->value(r, listField_).toString(), k);
        }
    }
    showKey();
    rebuilding_ = false;
}

void KeyCombo::showKey() {
    int found = -1;
    if (!key_.isNull())
        for (int i = 0; i < count(); ++i)
            if (refcheck::key(itemData(i)) == refcheck::key(key_)) {
                found = i;
                break;
            }
    setCurrentIndex(found);
}

}  // namespace refkit

}  // namespace mirn
