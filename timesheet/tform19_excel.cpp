// The spreadsheet export of the hours timesheet.
#include "timesheet/tform19.h"

void TForm19::Button2Click() {}
