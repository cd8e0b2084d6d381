// Opening the products list, the operation types list and the auxiliary work register.
#include "journal/tform1.h"

void TForm1::N3Click() {}
void TForm1::N6Click() {}
void TForm1::Button5Click() {}
