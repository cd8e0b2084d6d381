// The auxiliary work entry taking a picked worker. Replaced when the entry dialog is built.
#include "refbooks/crosslinks.h"

void auxEntryTakeWorker(int, const QString&) {}
