// The priced operation editor opened from the priced operations list. Replaced when the editor is built.
#include "refbooks/crosslinks.h"

void pricedOperationAdd() {}
void pricedOperationChange() {}
