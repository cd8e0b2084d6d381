#pragma once
// The small dialog of "Копировать смену": which earlier date and shift to copy into the
// journal's date and shift.
#include "domain/shift_copy.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace mirn {

class ShiftCopyDialog : public QDialog {
    Q_OBJECT
public:
    ShiftCopyDialog();

    QLabel* Target;        // where the entries go
    QDateEdit* DateFrom;   // the date copied
    QComboBox* ShiftFrom;  // the shift copied: "Смена №1" … "Переработка"
    QPushButton* Button1;  // "Копировать"
    QPushButton* Button2;  // "Отмена"

    // Opens on the working day before the target, in the target's shift.
    void prepare(const entry::ShiftRef& target);
    entry::ShiftRef source() const;

    // Accepts unless the chosen shift is the target itself.
    void Button1Click();

private:
    entry::ShiftRef target_;
};

// "Смена №1", "Смена №2", "Смена №3", "Переработка".
QString shiftCaption(int shift);

}  // namespace mirn
