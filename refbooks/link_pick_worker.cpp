// Opening the workers list for picking. Replaced when the workers list is built.
#include "refbooks/crosslinks.h"

void pickWorker(int) {}
