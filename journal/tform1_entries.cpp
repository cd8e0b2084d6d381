// The journal's entry buttons: a new entry, a change of the selected entry, and
// deleting it with its hours taken back from the timesheet.
#include "core/datamodule.h"
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
}  // namespace

void TForm1::Button1Click() {
    CurrentShiftQuery = &dm().shiftQuery(CurrentShift);
    TForm11& f = forms::form<TForm11>();
    f.DTimeP->setDate(DateT->date());
    for (QLineEdit* e : {f.Edit1, f.Edit2, f.Edit3, f.Edit5}) e->clear();
    f.Edit4->setText(QStringLiteral("0"));
    f.Edit6->setText(QStringLiteral("0"));
    f.setWindowTitle(QStringLiteral("Заведение новой позиции"));
    f.Tag = 1;
    f.FormActivate();
    showChild(&f);
}

void TForm1::Button2Click() {
    CurrentShiftQuery = &dm().shiftQuery(CurrentShift);
    Query& q = *CurrentShiftQuery;
    const int rec = q.recNo();
    if (q.isEmpty()) return;
    TForm11& f = forms::form<TForm11>();
    f.setWindowTitle(QStringLiteral("Изменение данных о позиции"));
    f.Tag = 2;
    f.cena = toDouble(q.field(QStringLiteral("cena")));
    f.Edit7->setText(entry::displayNumber(f.cena));
    f.Edit9->setText(entry::displayNumber(toDouble(q.field(QStringLiteral("kol_vo"))) * f.cena));
    f.DTimeP->setDate(rowDate(q.field(QStringLiteral("data"))));
    f.Edit1->setText(q.asString(QStringLiteral("fio")).trimmed());
    const QString vid = q.asString(QStringLiteral("vid"));
    f.Edit2->setText(entry::operationDescription(q.asString(QStringLiteral("marka")), vid,
                                                 q.asInt(QStringLiteral("naimen"))));
    f.Edit3->setText(entry::trimDecimal(q.asString(QStringLiteral("kol_vo"))));
    f.Edit4->setText(q.asString(QStringLiteral("brak")).trimmed());
    f.w_id = q.asInt(QStringLiteral("w_id"));
    f.i_id = q.asInt(QStringLiteral("i_id"));
    f.o_id = q.asInt(QStringLiteral("o_id"));
    f.Edit6->setText(QString::number(q.asInt(QStringLiteral("time"))));
    // Until an operation is picked again the base price reads 0.
    dm().Oper.close();
    dm().Oper.clearFilter();
    f.applyPaintRule(vid.trimmed());
    if (f.Edit5->isEnabled()) f.Edit5->setText(q.asString(QStringLiteral("color")));
    f.FormActivate();
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
