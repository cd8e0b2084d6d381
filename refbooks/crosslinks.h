#pragma once
// Hand-offs between windows that live in different files: the caller includes
// this header, the window that does the work defines the function.
#include <QString>

#include <optional>

class QLineEdit;

namespace mirn {

// A worker chosen in the workers list.
struct WorkerPick {
    int id = 0;
    QString fio;  // trimmed
};

// Opens the workers list in picking mode for the dialog named by tag
// (1: the shift entry dialog, 24: the auxiliary work entry); the chosen worker, or
// none when the list was left without a choice. A search text starts the list's search.
std::optional<WorkerPick> pickWorker(int tag, const QString& search = {});

// Starts a picker's search with the text typed on the calling dialog's field; the
// next letters go after it once the picker shows (its showing selects the field).
void startSearch(QLineEdit* search, const QString& text);

// The priced operations list's "Добавить" and, in reference mode, "Изменить":
// the priced operation editor on the list's current row of Oper.
void pricedOperationAdd();
void pricedOperationChange();

// The priced operations list's "Excel": the price list workbook.
void exportPriceList();

}  // namespace mirn
