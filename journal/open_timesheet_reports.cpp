// Opening the hours timesheet and the summary reports from the journal menu.
#include "core/datamodule.h"
#include "gui/forms.h"
#include "journal/tform1.h"

#include "gui/layout.h"
#include "reports/tform18.h"
#include "timesheet/tform19.h"

namespace mirn {

namespace {
// The timesheet and the reports window open centred on the journal window.
void centreOn(QWidget* child, const QWidget* parent) {
    child->move(parent->frameGeometry().center() - child->rect().center());
}
}  // namespace

void TForm1::N11Click() {
    TForm19& f = forms::form<TForm19>();
    QDate d = DateT->date();
    // The first opening of a run shows the month the user looked at last time.
    static bool first = true;
    if (first) {
        first = false;
        const QDate last = QDate::fromString(
            QStringLiteral("1.") + layout::recall(QStringLiteral("timesheet/month")).toString(), QStringLiteral("d.M.yyyy"));
        if (last.isValid()) d = last;
    }
    f.showMonthOf(d);
    f.FormActivate();
    centreOn(&f, this);
    showChild(&f);
    for (Query* q : {&dm().H_Tabel_1, &dm().H_Tabel_2, &dm().H_Tabel_3}) q->close();
}

void TForm1::N10Click() {
    TForm18& f = forms::form<TForm18>();
    // The previous calendar month, from today's date (not the journal's).
    const reports::ReportPeriod p = reports::previousMonth(QDate::currentDate());
    f.setPeriod(p.start, p.end);
    f.ApplyRoleRestrictions();
    centreOn(&f, this);
    showChild(&f);
}

}  // namespace mirn
