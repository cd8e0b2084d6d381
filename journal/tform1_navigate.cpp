// The way back to the journal from the windows above it: an entry on its date and
// shift, or an auxiliary work row in the register.
#include "auxwork/tform25.h"
#include "core/datamodule.h"
#include "gui/forms.h"
#include "journal/tform1.h"

namespace mirn {

namespace {
// The row of the shift's query to stand on: the entry, else the worker's first row.
bool locateIn(Query& q, int entryId, int workerId) {
    if (entryId > 0 && q.locate(QStringLiteral("id"), entryId)) return true;
    return workerId > 0 && q.locate(QStringLiteral("w_id"), workerId);
}
}  // namespace

bool TForm1::showEntry(const QDate& date, int shift, int entryId, int workerId) {
    if (!date.isValid()) return false;
    {
        // Read once, below, not by the picker's own change.
        const QSignalBlocker quiet(DateT);
        DateT->setDate(date);
    }
    // The day off follows the date, as with a date picked by hand.
    const int dow = date.dayOfWeek();
    CBox1->setChecked(dow == Qt::Saturday || dow == Qt::Sunday);
    openShifts(date);

    int target = shift >= 1 && shift <= 4 ? shift : 0;
    for (int s = 1; s <= 4 && target == 0; ++s)
        if (locateIn(dm().shiftQuery(s), entryId, workerId)) target = s;
    if (target == 0) target = CurrentShift;
    QRadioButton* radios[] = {RadioButton1, RadioButton2, RadioButton3, RadioButton4};
    if (!radios[target - 1]->isChecked())
        radios[target - 1]->setChecked(true);  // switches the grid over (RadioButtonClick)
    else
        RadioButtonClick(target);
    const bool found = locateIn(dm().shiftQuery(target), entryId, workerId);
    keepPosition_ = true;
    DBGrid2->setFocus();
    return found;
}

void TForm1::showAuxWork(const QDate& date, int shift, int id) {
    TForm25& f25 = forms::form<TForm25>();
    f25.openOnRow(date, shift, id);
    showChild(&f25);
    f25.FormClose();
}

}  // namespace mirn
