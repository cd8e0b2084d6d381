#pragma once
// Writing an in-memory workbook out as an .xlsx file (libxlsxwriter).
#include "export/workbook.h"

#include <QString>

namespace mirn {

namespace workbook {

// Sets LC_NUMERIC to "C". libxlsxwriter prints numbers and column widths with the C
// library, which under a Russian locale would put commas into the file; QApplication
// switches to the user's locale at start, so the application calls this right after it.
void ensureCNumericLocale();

// Writes the workbook to path, replacing whatever is there. On failure returns false and
// puts the reason into *error.
bool saveXlsx(const Workbook& book, const QString& path, QString* error);

}  // namespace workbook

}  // namespace mirn
