#pragma once
// The operation type editor: the name of an operation type.
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace mirn {

class TForm9 : public QDialog {
    Q_OBJECT
public:
    TForm9();

    int Tag = 1;  // 1 adding, 2 renaming the current row of Vid_oper

    QGroupBox* GroupBox1;  // "Вид операции"
    QLineEdit* Edit1;      // "Операция"
    QPushButton* Button1;  // "Записать"
    QPushButton* Button2;  // "Отмена"

    void FormActivate();
    void Button1Click();

    // The operation types list opens the editor for a new type, or to rename the
    // current one (its name given); both show it modally.
    int runNew();
    int runRename(const QString& vid);
};

}  // namespace mirn
