// The priced operations list's "Excel".
#include "refbooks/crosslinks.h"
#include "papers/price_list.h"

namespace mirn {

void exportPriceList() { papers::exportPriceListWorkbook(); }

}  // namespace mirn
