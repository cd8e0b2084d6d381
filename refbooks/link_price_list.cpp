// The price list export. Replaced when the workbook exports are built.
#include "refbooks/crosslinks.h"

void exportPriceList() {}
