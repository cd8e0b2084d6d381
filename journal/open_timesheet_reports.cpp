// Opening the hours timesheet and the summary reports from the journal menu.
#include "journal/tform1.h"

void TForm1::N11Click() {}
void TForm1::N10Click() {}
