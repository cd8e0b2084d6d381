#pragma once
// The auxiliary work register: the entries of one date and one shift.
#include "gui/dbgrid.h"

#include <QDateEdit>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace mirn {

class TForm25 : public QDialog {
    Q_OBJECT
public:
    TForm25();

    int i_smena = 1;  // the shown shift, 1 to 3; new entries take it

    QDateEdit* DTPcker1;
    QRadioButton* RadioButton1;  // "Смена №1"
    QRadioButton* RadioButton2;  // "Смена №2"
    QRadioButton* RadioButton3;  // "Смена №3"
    DBGrid* DBGrid1;
    QPushButton* Button5;  // "Добавить"
    QPushButton* Button6;  // "Изменить"
    QPushButton* Button7;  // "Удалить"
    QPushButton* Button8;  // "Выход"
    QPushButton* Button9;  // "История" (with the closed months extension only)
    QLabel* MonthBanner;   // "Месяц закрыт" while the date is in a closed month

    Query fatigue;  // every shift of the date; the shift is a filter on the rows read

    // The journal opens the register on its date (then shows it) and closes its list
    // once it is closed.
    void openOn(const QDate& date);
    // The same on the row's shift (1 to 3), standing on the row (fatigue.id).
    void openOnRow(const QDate& date, int shift, int id);
    void FormClose();

    void FormActivate();
    void DTPcker1Change();
    void RadioButtonClick(int shift);  // RadioButton1Click … RadioButton3Click
    void Button1Click();  // add ("Добавить")
    void Button6Click();  // change
    void Button7Click();  // delete
    void Button4Click() { reject(); }  // exit
    void Button9Click();  // the selected entry's history
    // Marks the date's month when closed and switches the register's changes off.
    void applyMonthState();

private:
    void showShift(int shift);
    bool activating_ = false;
};

}  // namespace mirn
