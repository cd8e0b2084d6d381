#pragma once
// Hand-offs between windows that live in different files: the caller includes
// this header, the window that does the work defines the function.
#include <QString>

// Opens the workers list in picking mode for the dialog named by tag
// (1: the shift entry dialog, 24: the auxiliary work entry).
void pickWorker(int tag);

// The workers list's pick for the auxiliary work entry (tag 24).
void auxEntryTakeWorker(int workerId, const QString& fio);

// The priced operations list's "Добавить" and, in reference mode, "Изменить":
// the priced operation editor on the list's current row of Oper.
void pricedOperationAdd();
void pricedOperationChange();

// The priced operations list's "Excel": the price list workbook.
void exportPriceList();
