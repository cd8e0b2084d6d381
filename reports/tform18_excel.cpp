// The spreadsheet report of the summary reports window.
#include "reports/tform18.h"

void TForm18::Button6Click() {}
