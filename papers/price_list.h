#pragma once
// The price list: every priced operation with its stored price, as a workbook.
#include <QStringList>

namespace mirn {

namespace papers {
QStringList priceListText();
// Fills and shows the price list. Returns the rows written, or -1 when the workbook
// could not be opened.
int exportPriceListWorkbook();
}  // namespace papers

}  // namespace mirn
