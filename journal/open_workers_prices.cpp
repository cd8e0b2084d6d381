// Opening the workers list and the priced operations list from the journal menu.
#include "journal/tform1.h"

void TForm1::N1Click() {}
void TForm1::N4Click() {}
