// The journal's shortcuts to new entries: "Повторить" (Ctrl+D) opens the entry dialog
// for a new entry like the selected one, "Копировать смену" copies an earlier shift
// into the one shown.
#include "core/datamodule.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "domain/entry_rules.h"
#include "domain/shift_copy.h"
#include "journal/shift_copy_dialog.h"
#include "journal/tform1.h"
#include "journal/tform11.h"
#include "refbooks/tform4.h"

#include <QBoxLayout>
#include <QEvent>
#include <QKeySequence>

namespace mirn {

namespace {
// Keeps buttons switched on and off together with a leader: whatever switches
// "Добавить" off (the role, a closed month) switches off what else adds entries.
class FollowEnabled : public QObject {
public:
    FollowEnabled(QWidget* leader, QList<QWidget*> followers)
        : QObject(leader), leader_(leader), followers_(std::move(followers)) {
        leader->installEventFilter(this);
        sync();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == leader_ && event->type() == QEvent::EnabledChange) sync();
        return false;
    }

private:
    void sync() {
        for (QWidget* w : followers_) w->setEnabled(!leader_->testAttribute(Qt::WA_Disabled));
    }
    QWidget* leader_;
    QList<QWidget*> followers_;
};
}  // namespace

void TForm1::setupRepeatAndCopy() {
    Button10 = new QPushButton(QStringLiteral("Повторить"), this);
    Button11 = new QPushButton(QStringLiteral("Копировать смену"), this);
    for (QPushButton* b : {Button10, Button11}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    Button10->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    Button10->setToolTip(QStringLiteral("Новая позиция как выбранная (Ctrl+D)"));
    Button11->setToolTip(QStringLiteral("Завести позиции другой даты и смены в эту смену"));
    // Right after "Добавить", in whichever row holds it.
    for (QBoxLayout* row : layout()->findChildren<QBoxLayout*>()) {
        const int at = row->indexOf(Button1);
        if (at < 0) continue;
        row->insertWidget(at + 1, Button10);
        row->insertWidget(at + 2, Button11);
        break;
    }
    new FollowEnabled(Button1, {Button10, Button11});
    connect(Button10, &QPushButton::clicked, this, ui::guard([this] { Button10Click(); }));
    connect(Button11, &QPushButton::clicked, this, ui::guard([this] { Button11Click(); }));
}

void TForm1::Button10Click() {
    CurrentShiftQuery = &dm().shiftQuery(CurrentShift);
    const Query& q = *CurrentShiftQuery;
    if (q.isEmpty()) return;
    // Priced as a pick in the operations list prices it: its row read afresh, the
    // lowest norm price as it stands now, the coefficients of the journal's day and shift.
    Query& oper = dm().Oper;
    oper.clearFilter();
    oper.reopen();
    if (!oper.locate(QStringLiteral("id"), q.asInt(QStringLiteral("o_id")))) return;
    const TForm4::Pick pick{oper.asInt(QStringLiteral("id")), oper.asInt(QStringLiteral("i_id")),
                            oper.field(QStringLiteral("cena")), oper.asString(QStringLiteral("MARKA")),
                            oper.asString(QStringLiteral("VID")), oper.asInt(QStringLiteral("NAIMEN"))};
    TForm11& f = forms::form<TForm11>();
    f.takeOperation(pick);
    if (pick.basePrice.isNull()) return;  // no price: takeOperation has said so
    f.DTimeP->setDate(DateT->date());
    f.Edit1->setText(q.asString(QStringLiteral("fio")).trimmed());
    f.w_id = q.asInt(QStringLiteral("w_id"));
    f.applyPaintRule(f.Edit2->text());
    if (f.Edit5->isEnabled()) f.Edit5->setText(q.asString(QStringLiteral("color")));
    f.Edit3->clear();
    f.Edit4->setText(QStringLiteral("0"));
    f.Edit6->setText(QStringLiteral("0"));
    f.Edit7->setText(entry::displayNumber(f.cena));
    f.Edit8->setText(entry::displayNumber(toDouble(pick.basePrice)));
    f.Edit9->clear();
    f.setWindowTitle(QStringLiteral("Заведение новой позиции"));
    f.Tag = 1;
    f.FormActivate();
    // Only the quantity is left to type.
    f.Edit3->setFocus();
    showChild(&f);
}

void TForm1::Button11Click() {
    ShiftCopyDialog& d = forms::form<ShiftCopyDialog>();
    const entry::ShiftRef target{DateT->date(), CurrentShift};
    d.prepare(target);
    if (ui::execModal(&d) != QDialog::Accepted) return;
    entry::CopyResult result;
    {
        ui::BusyCursor busy;
        result = entry::copyShift(d.source(), target, CBox1->isChecked());
    }
    // The journal stays on the target so that the copied entries show; the timesheet
    // reads its month afresh when next shown.
    openShifts(target.date);
    for (Query* t : {&dm().H_Tabel_1, &dm().H_Tabel_2, &dm().H_Tabel_3}) t->close();
    ui::message(entry::copySummary(result), QStringLiteral("Копировать смену"),
                result.skipped().isEmpty() ? ui::Icon::Information : ui::Icon::Warning);
}

}  // namespace mirn
