// The journal's entry buttons: a new entry, a change of the selected entry, and
// deleting it with its hours taken back from the timesheet.
#include "core/datamodule.h"
#include "gui/dbgrid.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "domain/entry_rules.h"
#include "domain/entry_store.h"
#include "journal/tform1.h"
#include "journal/tform11.h"

namespace mirn {

namespace {
// An entry's date as the journal query holds it.
QDate rowDate(const QVariant& v) {
    if (v.typeId() == QMetaType::QDate) return v.toDate();
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().date();
    return QDate::fromString(v.toString().trimmed().left(10), QStringLiteral("dd.MM.yyyy"));
}

// The base price of a journal entry's operation: its lowest norm price as it stands now;
// for an operation left without norms, the entry's own price without the coefficients
// of its day and shift.
double basePriceOf(const Query& entryRow) {
    Query norm;
    norm.setText(QStringLiteral("select min(price)::numeric from accounts_dep.norm where o_id=:o_id"));
    norm.setParam(QStringLiteral("o_id"), entryRow.asInt(QStringLiteral("o_id")));
    norm.open();
    if (!norm.isEmpty() && !norm.value(0, 0).isNull()) return toDouble(norm.value(0, 0));
    const QDate d = rowDate(entryRow.field(QStringLiteral("data")));
    const bool weekend = d.dayOfWeek() == Qt::Saturday || d.dayOfWeek() == Qt::Sunday;
    const double factor = entry::finalPrice(1, weekend, entryRow.asInt(QStringLiteral("smena")));
    return toDouble(entryRow.field(QStringLiteral("cena"))) / factor;
}
}  // namespace

void TForm1::Button1Click() {
    CurrentShiftQuery = &dm().shiftQuery(CurrentShift);
    TForm11& f = forms::form<TForm11>();
    f.startNew(DateT->date());
    showChild(&f);
}

void TForm1::Button2Click() {
    CurrentShiftQuery = &dm().shiftQuery(CurrentShift);
    Query& q = *CurrentShiftQuery;
    const int rec = q.recNo();
    if (q.isEmpty()) return;
    TForm11& f = forms::form<TForm11>();
    f.startChange(q, rowDate(q.field(QStringLiteral("data"))), basePriceOf(q));
    showChild(&f);
    q.returnTo(rec, Query::KeepRow::OnlyIfThere);
}

void TForm1::Button3Click() {
    Query& q = dm().shiftQuery(CurrentShift);
    const QString id = q.asString(QStringLiteral("id"));
    if (id.isEmpty()) return;
    if (!ui::confirmDelete(QStringLiteral("Удалить позицию из списка?"))) {
        q.reopen();
        return;
    }
    // The entry as the journal shows it; the store recounts the day it really has.
    const Result r = entry::EntryStore().remove(q.asInt(QStringLiteral("id")), entry::recordOf(q));
    q.reopen();
    if (!r.saved()) ui::error(r.message);
}

}  // namespace mirn
