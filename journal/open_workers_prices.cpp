// Opening the workers list and the priced operations list from the journal menu.
#include "core/datamodule.h"
#include "gui/forms.h"
#include "journal/tform1.h"
#include "refbooks/tform4.h"
#include "refbooks/tform5.h"

namespace mirn {

void TForm1::N1Click() {
    TForm5& f5 = forms::form<TForm5>();
    dm().Workers.open();
    f5.prepareReference();
    f5.FormActivate();
    showChild(&f5);
    dm().Workers.close();
}

void TForm1::N4Click() {
    TForm4& f4 = forms::form<TForm4>();
    dm().Oper.open();
    f4.prepareReference();
    f4.FormActivate();
    showChild(&f4);
    dm().Oper.close();
}

}  // namespace mirn
