#include "journal/tform11.h"

#include "core/datamodule.h"
#include "gui/dbgrid.h"
#include "gui/forms.h"
#include "gui/monthlock.h"
#include "domain/period.h"
#include "gui/ui.h"
#include "domain/entry_rules.h"
#include "domain/entry_store.h"
#include "journal/tform1.h"
#include "refbooks/crosslinks.h"
#include "refbooks/tform4.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace mirn {

namespace {
QLineEdit* display(QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    return e;
}
}  // namespace

TForm11::TForm11() {
    setWindowTitle(QStringLiteral("Заведение новой позиции"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    GroupBox1 = new QGroupBox(QStringLiteral("Закрыто мастером"), this);
    Edit1 = display(GroupBox1);
    Edit1->setMinimumWidth(300);
    Edit2 = display(GroupBox1);
    Button3 = new QPushButton(QStringLiteral("..."), GroupBox1);
    Button4 = new QPushButton(QStringLiteral("..."), GroupBox1);
    for (QPushButton* b : {Button3, Button4}) {
        b->setAutoDefault(false);
        b->setFixedWidth(32);
    }
    Edit3 = new QLineEdit(GroupBox1);
    Edit6 = new QLineEdit(QStringLiteral("0"), GroupBox1);
    Label6 = new QLabel(QStringLiteral("Цвет"), GroupBox1);
    Edit5 = new QLineEdit(GroupBox1);
    DTimeP = new QDateEdit(QDate::currentDate(), GroupBox1);
    DTimeP->setCalendarPopup(true);
    DTimeP->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    Edit4 = new QLineEdit(QStringLiteral("0"), GroupBox1);
    Edit8 = display(GroupBox1);
    Edit7 = display(GroupBox1);
    Edit9 = display(GroupBox1);

    auto* g = new QGridLayout(GroupBox1);
    auto label = [this](const QString& t) { return new QLabel(t, GroupBox1); };
    g->addWidget(label(QStringLiteral("ФИО")), 0, 0);
    g->addWidget(Edit1, 0, 1, 1, 4);
    g->addWidget(Button3, 0, 5);
    g->addWidget(label(QStringLiteral("Операция")), 1, 0);
    g->addWidget(Edit2, 1, 1, 1, 4);
    g->addWidget(Button4, 1, 5);
    g->addWidget(label(QStringLiteral("Кол-во")), 2, 0);
    g->addWidget(Edit3, 2, 1);
    g->addWidget(label(QStringLiteral("Брак")), 2, 2);
    g->addWidget(Edit4, 2, 3);
    g->addWidget(label(QStringLiteral("Время")), 3, 0);
    g->addWidget(Edit6, 3, 1);
    g->addWidget(Label6, 3, 2);
    g->addWidget(Edit5, 3, 3);
    g->addWidget(label(QStringLiteral("Дата")), 4, 0);
    g->addWidget(DTimeP, 4, 1);
    g->addWidget(label(QStringLiteral("Цена база")), 5, 0);
    g->addWidget(Edit8, 5, 1);
    g->addWidget(label(QStringLiteral("Цена итог")), 5, 2);
    g->addWidget(Edit7, 5, 3);
    g->addWidget(label(QStringLiteral("Сумма")), 6, 0);
    g->addWidget(Edit9, 6, 1);
    MonthBanner = monthlock::makeBanner(GroupBox1);
    g->addWidget(MonthBanner, 7, 0, 1, 6);

    ui::editorLayout(this, GroupBox1, Button1, QStringLiteral("Запись"), Button2, QStringLiteral("Отмена"));

    for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6}) e->installEventFilter(this);

    connect(Button3, &QPushButton::clicked, this, ui::guard([this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, ui::guard([this] { Button4Click(); }));
    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, [this] { reject(); });
    connect(DTimeP, &QDateEdit::dateChanged, this, ui::guard([this] { applyMonthState(); }));
    setupKeys();
}

void TForm11::FormActivate() {
    applyMonthState();
    Button3->setFocus();
}

void TForm11::startNew(const QDate& date) {
    DTimeP->setDate(date);
    for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit5}) e->clear();
    Edit4->setText(QStringLiteral("0"));
    Edit6->setText(QStringLiteral("0"));
    setWindowTitle(QStringLiteral("Заведение новой позиции"));
    Tag = 1;
    FormActivate();
}

void TForm11::startChange(const Query& q, const QDate& date, double basePrice) {
    setWindowTitle(QStringLiteral("Изменение данных о позиции"));
    Tag = 2;
    cena = toDouble(q.field(QStringLiteral("cena")));
    Edit7->setText(entry::displayNumber(cena));
    Edit9->setText(cellText(toDouble(q.field(QStringLiteral("kol_vo"))) * cena, ColumnKind::Money));
    DTimeP->setDate(date);
    Edit1->setText(q.asString(QStringLiteral("fio")).trimmed());
    const QString vid = q.asString(QStringLiteral("vid"));
    Edit2->setText(entry::operationDescription(q.asString(QStringLiteral("marka")), vid,
                                               q.asInt(QStringLiteral("naimen"))));
    Edit3->setText(entry::trimDecimal(q.asString(QStringLiteral("kol_vo"))));
    Edit4->setText(q.asString(QStringLiteral("brak")).trimmed());
    w_id = q.asInt(QStringLiteral("w_id"));
    i_id = q.asInt(QStringLiteral("i_id"));
    o_id = q.asInt(QStringLiteral("o_id"));
    Edit6->setText(QString::number(q.asInt(QStringLiteral("time"))));
    // The list is read afresh when an operation is picked; until then the base price is
    // the entry's own operation's.
    dm().Oper.close();
    dm().Oper.clearFilter();
    Edit8->setText(entry::displayNumber(basePrice));
    applyPaintRule(vid.trimmed());
    if (Edit5->isEnabled()) Edit5->setText(q.asString(QStringLiteral("color")));
    FormActivate();
    // Mostly a quantity is corrected: typing replaces it.
    Edit3->setFocus();
    Edit3->selectAll();
}

void TForm11::startCopy(const QDate& date, const Query& q, double basePrice) {
    DTimeP->setDate(date);
    Edit1->setText(q.asString(QStringLiteral("fio")).trimmed());
    w_id = q.asInt(QStringLiteral("w_id"));
    applyPaintRule(Edit2->text());
    if (Edit5->isEnabled()) Edit5->setText(q.asString(QStringLiteral("color")));
    Edit3->clear();
    Edit4->setText(QStringLiteral("0"));
    // The same work usually takes the same time.
    Edit6->setText(QString::number(q.asInt(QStringLiteral("time"))));
    Edit7->setText(entry::displayNumber(cena));
    Edit8->setText(entry::displayNumber(basePrice));
    Edit9->clear();
    setWindowTitle(QStringLiteral("Заведение новой позиции"));
    Tag = 1;
    FormActivate();
    // Only the quantity is left to type.
    Edit3->setFocus();
}

void TForm11::applyMonthState() {
    if (!period::installed()) return;
    const QDate d = DTimeP->date();
    const period::PeriodStore store;
    const bool closed = store.isClosed(d);
    monthlock::apply(MonthBanner, {Button1}, closed, closed ? store.closedBy(d.month(), d.year()) : QString());
}

bool TForm11::Edit3KeyPress(QChar key) const { return entry::acceptsTypedChar(key); }
bool TForm11::Edit4KeyPress(QChar key) const { return entry::acceptsTypedChar(key); }

bool TForm11::eventFilter(QObject* watched, QEvent* event) {
    const bool numberField = watched == Edit3 || watched == Edit4 || watched == Edit5 || watched == Edit6;
    switch (event->type()) {
    case QEvent::KeyPress: {
        if (!numberField) break;
        auto* k = static_cast<QKeyEvent*>(event);
        switch (k->key()) {
        // Navigation and the dialog's own keys are no typed characters.
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Delete: return false;
        default: break;
        }
        const QString text = k->text();
        if (text.isEmpty()) return false;
        const bool digitsOnly = watched == Edit3 || watched == Edit5;
        for (QChar c : text)
            if (!(digitsOnly ? Edit3KeyPress(c) : Edit4KeyPress(c))) return true;  // discarded
        return false;
    }
    case QEvent::FocusOut: {
        // Leaving the quantity or the hours for another control of the dialog.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if ((watched == Edit3 || watched == Edit6) && isVisible() && reason != Qt::ActiveWindowFocusReason &&
            reason != Qt::PopupFocusReason)
            ui::guard([this] { Edit6Exit(); })();
        break;
    }
    case QEvent::MouseButtonRelease:
        if (watched == Edit1) {
            ui::guard([this] { Button3Click(); })();
            return true;
        }
        if (watched == Edit2) {
            ui::guard([this] { Button4Click(); })();
            return true;
        }
        break;
    default: break;
    }
    return QDialog::eventFilter(watched, event);
}

void TForm11::applyPaintRule(const QString& operationText) {
    const bool paint = entry::isPaintOperation(operationText);
    if (!paint) Edit5->clear();
    Edit5->setEnabled(paint);
    Label6->setEnabled(paint);
}

void TForm11::Button3Click(const QString& search) {
    const auto p = pickWorker(1, search);
    if (p) {
        Edit1->setText(p->fio);
        w_id = p->id;
    }
    FormActivate();
    // A chosen worker moves on to the operation.
    if (p) Button4->setFocus();
}

void TForm11::Button4Click(const QString& search) {
    const TForm1& f1 = forms::form<TForm1>();
    Query& oper = dm().Oper;
    // A new entry starts the list on its first row, a change on the entry's operation.
    TForm4::StartAt at = TForm4::StartAt::AsItStands;
    int start = 0;
    if (Tag == 1) {
        at = TForm4::StartAt::FirstRow;
    } else if (f1.CurrentShiftQuery && !f1.CurrentShiftQuery->isEmpty()) {
        at = TForm4::StartAt::Operation;
        start = f1.CurrentShiftQuery->asInt(QStringLiteral("o_id"));
    }
    const auto picked = forms::form<TForm4>().pick(1, at, start, search);
    if (picked) takeOperation(*picked);
    const bool taken = picked && !picked->basePrice.isNull();
    // The dialog's base price comes from the current row: a refused pick (an operation
    // without a norm) goes back to the dialog's operation.
    if (picked && picked->basePrice.isNull() && o_id != 0 && !Edit2->text().isEmpty())
        oper.locate(QStringLiteral("id"), o_id);
    applyPaintRule(Edit2->text());
    Edit6Exit();
    FormActivate();
    // A taken operation moves on to the quantity, selected so that typing replaces it.
    if (taken) {
        Edit3->setFocus();
        Edit3->selectAll();
    }
}

void TForm11::takeOperation(const TForm4::Pick& p) {
    if (p.basePrice.isNull()) {
        ui::error(QStringLiteral("У операции \"%1\" ещё нет цены: задайте её в списке операций кнопкой \"Цены\"!")
                      .arg(entry::operationDescription(p.marka, p.vid, p.naimen)));
        return;
    }
    const TForm1& f1 = forms::form<TForm1>();
    i_id = p.i_id;
    o_id = p.o_id;
    cena = entry::finalPrice(toDouble(p.basePrice), f1.CBox1->isChecked(), f1.CurrentShift);
    Edit2->setText(entry::operationDescription(p.marka, p.vid, p.naimen));
}

bool TForm11::Edit6Exit() {
    if (Edit6->text().isEmpty()) Edit6->setText(QStringLiteral("0"));
    if (!entry::wholeNumber(Edit6->text())) {
        ui::error(entry::notANumberMessage(QStringLiteral("Время"), Edit6->text()));
        return false;
    }
    if (Edit3->text().isEmpty()) Edit3->setText(QStringLiteral("0"));
    Edit7->setText(entry::displayNumber(cena));
    // The base price is the dialog's operation's, wherever the list stands; with the list
    // closed (a change not yet picked again) the opener's base price stands.
    const Query& oper = dm().Oper;
    int operRow = -1;
    for (int r = 0; oper.active() && r < oper.recordCount() && operRow < 0; ++r)
        if (toInt(oper.value(r, QStringLiteral("id"))) == o_id) operRow = r;
    if (operRow >= 0)
        Edit8->setText(entry::displayNumber(toDouble(oper.value(operRow, QStringLiteral("cena")))));
    else if (Edit8->text().isEmpty())
        Edit8->setText(entry::displayNumber(0));
    const auto quantity = entry::wholeNumber(Edit3->text());
    if (!quantity) {
        ui::error(entry::notANumberMessage(QStringLiteral("Кол-во"), Edit3->text()));
        return false;
    }
    Edit9->setText(cellText(*quantity * cena, ColumnKind::Money));
    return true;
}

void TForm11::Button1Click() {
    const entry::Fields fields{Edit1->text(), Edit2->text(), Edit3->text(),
                               Edit4->text(), Edit5->text(), Edit6->text()};
    if (const auto refusal = entry::missingField(fields)) {
        ui::error(*refusal);
        return;
    }
    // Only digits can be typed, but anything can be pasted: nothing but whole
    // numbers may reach the statement.
    if (const auto bad = entry::notANumber(fields)) {
        ui::error(*bad);
        return;
    }
    TForm1& f1 = forms::form<TForm1>();
    entry::Record r;
    r.w_id = w_id;
    r.i_id = i_id;
    r.o_id = o_id;
    r.cena = cena;
    r.kol_vo = *entry::wholeNumber(fields.quantity);
    r.brak = *entry::wholeNumber(fields.rejects);
    r.time = *entry::wholeNumber(fields.hours);
    r.color = fields.colour.trimmed().isEmpty() ? 0 : *entry::wholeNumber(fields.colour);
    r.date = DTimeP->date();
    r.shift = f1.CurrentShift;

    Query& journal = dm().shiftQuery(f1.CurrentShift);
    entry::EntryStore store;
    Result outcome;
    if (Tag == 1) {
        outcome = store.insert(r);
    } else {
        if (journal.isEmpty()) return;  // the entry is gone from the list
        // The entry as the journal showed it: a change made meanwhile elsewhere is refused.
        outcome = store.update(journal.asInt(QStringLiteral("id")), r, entry::recordOf(journal));
    }
    if (!outcome.saved()) {
        ui::error(outcome.message);
        return;
    }

    journal.reopenKeepingRow(Query::KeepRow::OnlyIfThere);
    for (Query* q : {&dm().H_Tabel_1, &dm().H_Tabel_2, &dm().H_Tabel_3}) q->close();

    for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8, Edit9}) e->clear();
    accept();
}

}  // namespace mirn
