#pragma once
// The product editor: mark, mass and nomenclature group of a product.
#include "domain/db.h"
#include "refbooks/keycombo.h"

#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace mirn {

class TForm7 : public QDialog {
    Q_OBJECT
public:
    TForm7();

    int Tag = 1;  // 1 adding, 2 changing the current row of Izdel

    QGroupBox* GroupBox1;  // "Данные об изделии"
    QLineEdit* Edit1;      // "Марка"
    QLineEdit* Edit2;      // "Расценка": the product's massa
    refkit::KeyCombo* cb_item;
    QPushButton* Button1;  // "Записать"
    QPushButton* Button2;  // "Отмена"

    Query item;  // the nomenclature groups, open while the editor is shown

    void FormActivate();
    // Applies the key rule to a character typed into Edit2; false when it is dropped.
    bool Edit2KeyPress(QChar& key);
    void Button1Click();

    // The products list opens the editor for a new product, or for the current product
    // with its mark, its massa as shown and its group; both show it modally with the
    // groups read for the time it is open.
    int runNew();
    int runChange(const QString& marka, const QString& massa, const QVariant& group);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace mirn
