// The journal's entry buttons. The entry dialog and deletion come with their windows.
#include "journal/tform1.h"

void TForm1::Button1Click() {}
void TForm1::Button2Click() {}
void TForm1::Button3Click() {}
