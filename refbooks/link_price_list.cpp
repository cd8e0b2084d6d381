// The priced operations list's "Excel".
#include "refbooks/crosslinks.h"
#include "papers/price_list.h"

void exportPriceList() { xls::exportPriceListWorkbook(); }
