#pragma once
// The priced operation editor: product, operation type and kind of a priced operation,
// opened from the priced operations list.
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace mirn {

class TForm10 : public QDialog {
    Q_OBJECT
public:
    TForm10();

    int Tag = 1;       // 1 adding, 2 changing the current row of Oper
    int i_id = 0;      // the chosen product
    int oper_vid = 0;  // the chosen operation type

    QGroupBox* GroupBox1;   // "Цена операции"
    QLineEdit* Edit1;       // "Марка изделия", filled by the product picker
    QPushButton* Button3;   // "..." product picker
    QLineEdit* Edit2;       // "Операция", filled by the operation type picker
    QPushButton* Button4;   // "..." operation type picker
    QComboBox* ComboBox1;   // "Вид": 0 "Готовая продукция", 1 "Заготовки"
    QPushButton* Button1;   // "Записать"
    QPushButton* Button2;   // "Отмена"

    void FormActivate();
    void Button3Click();  // the product, picked in the products list
    void Button4Click();  // the operation type, picked in the operation types list
    void Button1Click();

    // The priced operations list opens the editor for a new priced operation, or for
    // the one of its current row (mark, type, kind 0 finished products or any other a
    // blank, product and type ids); both show it modally.
    int runNew();
    int runChange(const QString& marka, const QString& vid, int naimen, int productId, int typeId);
};

}  // namespace mirn
