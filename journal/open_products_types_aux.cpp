// Opening the products list, the operation types list and the auxiliary work register.
#include "auxwork/tform25.h"
#include "core/datamodule.h"
#include "gui/forms.h"
#include "journal/tform1.h"
#include "refbooks/tform3.h"
#include "refbooks/tform8.h"

namespace mirn {

void TForm1::N3Click() {
    TForm3& f3 = forms::form<TForm3>();
    f3.prepareReference();
    dm().Izdel.open();
    f3.FormActivate();
    showChild(&f3);
    dm().Izdel.close();
}

void TForm1::N6Click() {
    TForm8& f8 = forms::form<TForm8>();
    f8.prepareReference();
    dm().Vid_oper.clearFilter();
    dm().Vid_oper.open();
    f8.FormActivate();
    showChild(&f8);
    dm().Vid_oper.close();
}

void TForm1::Button5Click() {
    TForm25& f25 = forms::form<TForm25>();
    f25.openOn(DateT->date());
    showChild(&f25);
    f25.FormClose();
}

}  // namespace mirn
