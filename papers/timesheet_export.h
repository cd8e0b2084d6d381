#pragma once
// The month's hours of every worker, all shifts added, as a workbook.
#include "domain/db.h"
#include "papers/xls_export.h"

namespace mirn {

namespace papers {

// Opens hTabel (the month totals query: fio, sd1..sd31) for month and year, fills
// the workbook titled `title` (e.g. "Март 2024") and shows it. After each row the
// progress caption is reported (and the caller lets the window repaint). Returns the
// rows written, or -1 when the workbook could not be opened.
int exportTimesheet(Query& hTabel, int month, int year, const QString& title, Progress progress);

}  // namespace papers

}  // namespace mirn
