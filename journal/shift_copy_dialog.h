#pragma once
// The dialog of "Копировать смену": which earlier date and shift to copy into the
// journal's date and shift, and which of its entries.
#include "domain/shift_copy.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

namespace mirn {

class ShiftCopyDialog : public QDialog {
    Q_OBJECT
public:
    ShiftCopyDialog();

    QLabel* Target;        // where the entries go
    QDateEdit* DateFrom;   // the date copied
    QComboBox* ShiftFrom;  // the shift copied: "Смена №1" … "Переработка"
    QTreeWidget* List;     // the entries of that shift as they would be copied, each with a tick
    QLabel* Chosen;        // "Отмечено позиций: 2 из 3"
    QPushButton* Button1;  // "Копировать"
    QPushButton* Button2;  // "Отмена"

    // Opens on the working day before the target, in the target's shift; dayOff prices the
    // entries for a day off, as the journal's "Выходной" box does.
    void prepare(const entry::ShiftRef& target, bool dayOff = false);
    entry::ShiftRef source() const;
    // The ticked entries, priced for the target.
    QList<entry::CopiedEntry> chosen() const;

    // Accepts unless the chosen shift is the target itself or nothing is ticked.
    void Button1Click();
    // Reads the chosen shift's entries into the list, every one that can be copied ticked.
    void refreshList();

private:
    void countChosen();
    entry::ShiftRef target_;
    bool dayOff_ = false;
    QList<entry::CopiedEntry> entries_;  // in the list's order
};

// What the journal keeps of its last copy of a shift, to take it back.
struct CopyToUndo {
    QList<entry::CopiedEntry> entries;
};

// "Смена №1", "Смена №2", "Смена №3", "Переработка".
QString shiftCaption(int shift);

}  // namespace mirn
