#include "timesheet/tform19.h"

#include "gui/layout.h"

#include "domain/timesheet_service.h"
#include "gui/preview.h"

#include "gui/busy.h"
#include "core/datamodule.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "gui/monthlock.h"
#include "domain/month_check.h"
#include "domain/period.h"
#include "domain/session.h"
#include "papers/layouts.h"
#include "timesheet/monthcheck_window.h"
#include "timesheet/payroll_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyleOptionHeader>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <optional>

namespace mirn {

namespace timesheet {

DayHeader::DayHeader(const std::array<DayColumn, 31>* days, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), days_(days) {
    setHighlightSections(false);
}

QColor DayHeader::titleColour(int section) const {
    if (section < 1 || section > 31) return {};
    return (*days_)[size_t(section - 1)].title;
}

void DayHeader::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const {
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    const QColor c = titleColour(logicalIndex);
    if (!c.isValid()) return;
    if (option->palette.cacheKey() != baseKey_) {
        baseKey_ = option->palette.cacheKey();
        palettes_.clear();
    }
    auto it = palettes_.find(c.rgba());
    if (it == palettes_.end()) {
        QPalette p = option->palette;
        p.setColor(QPalette::ButtonText, c);
        p.setColor(QPalette::WindowText, c);
        it = palettes_.insert(c.rgba(), p);
    }
    option->palette = *it;
}

}  // namespace timesheet

namespace {

// The cell of the current row is drawn as selected and keeps the selection's look,
// without the bold of the value colouring.
class DayDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->state & QStyle::State_Selected) {
            if (auto* w = qobject_cast<QWidget*>(parent())) option->font = w->font();
        }
    }
};

// The day number of a grid column bound to d1 … d31; 0 for any other column.
int dayOfField(const QString& field) {
    if (field.size() < 2 || field.at(0) != QLatin1Char('d')) return 0;
    bool ok = false;
    const int d = field.mid(1).toInt(&ok);
    return ok && d >= 1 && d <= 31 ? d : 0;
}

QPushButton* button(const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    return b;
}

QVariant dateParam(const QDate& d) { return d.isValid() ? QVariant(d) : QVariant(QMetaType::fromType<QDate>()); }

}  // namespace

TForm19::TForm19() {
    setWindowTitle(QStringLiteral("Табель по времени"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    DataSource1 = &dm().H_Tabel_1;
    DataSource2 = &dm().H_Tabel_2;
    DataSource3 = &dm().H_Tabel_3;
    for (auto& c : DayColumns) c = timesheet::dayColumn(timesheet::DayKind::Workday, palette());

    ComboBox1 = new QComboBox(this);
    ComboBox1->addItems(timesheet::monthNames());
    ComboBox1->setCurrentIndex(0);
    ComboBox2 = new QComboBox(this);
    ComboBox2->addItems(timesheet::yearItems(QDate::currentDate().year()));
    ComboBox2->setCurrentIndex(-1);
    Button5 = button(QStringLiteral("Обновить"), this);
    Button6 = button(QStringLiteral("Печать"), this);
    Button4 = button(QStringLiteral("Выход"), this);
    CheckMonthButton = button(QStringLiteral("Проверка месяца"), this);
    CheckMonthButton->hide();
    CloseMonthButton = button(QStringLiteral("Закрыть месяц"), this);
    ReopenMonthButton = button(QStringLiteral("Открыть месяц"), this);
    CloseMonthButton->hide();
    ReopenMonthButton->hide();
    PayrollButton = button(QStringLiteral("Выгрузка в зарплату"), this);
    MonthBanner = monthlock::makeBanner(this);

    PageControl1 = new QTabWidget(this);
    TabSheet1 = new QWidget;
    TabSheet2 = new QWidget;
    TabSheet3 = new QWidget;
    PageControl1->addTab(TabSheet1, QStringLiteral("Смена №1"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Смена №2"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Смена №3"));
    DBGrid1 = makeGrid(true, TabSheet1);
    DBGrid2 = makeGrid(false, TabSheet2);
    DBGrid3 = makeGrid(false, TabSheet3);
    DBGrid1->setQuery(DataSource1);
    DBGrid2->setQuery(DataSource2);
    DBGrid3->setQuery(DataSource3);

    Button1 = button(QStringLiteral("Перестроить"), TabSheet1);
    PB = new QProgressBar(TabSheet1);
    PB->setMinimum(1);
    PB->setMaximum(31);
    PB->setValue(1);
    PB->hide();
    Button2 = button(QStringLiteral("Excel"), TabSheet1);

    auto* tab1 = new QVBoxLayout(TabSheet1);
    tab1->addWidget(DBGrid1, 1);
    auto* tools = new QHBoxLayout;
    tools->addWidget(Button1);
    tools->addWidget(PB, 1);
    tools->addStretch();
    tools->addWidget(Button2);
    tab1->addLayout(tools);
    (new QVBoxLayout(TabSheet2))->addWidget(DBGrid2);
    (new QVBoxLayout(TabSheet3))->addWidget(DBGrid3);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Месяц:"), this));
    top->addWidget(ComboBox1);
    top->addSpacing(8);
    top->addWidget(new QLabel(QStringLiteral("Год:"), this));
    top->addWidget(ComboBox2);
    top->addSpacing(16);
    top->addWidget(Button5);
    top->addWidget(Button6);
    top->addWidget(CheckMonthButton);
    top->addWidget(CloseMonthButton);
    top->addWidget(ReopenMonthButton);
    top->addWidget(PayrollButton);
    top->addStretch();
    top->addWidget(Button4);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addWidget(MonthBanner);
    lay->addWidget(PageControl1, 1);
    // Resizable: the sheet takes the room; the layout filter fits it on small screens.
    resize(1250, 660);

    // Only the user's choice re-reads the month; setting the lists from code does not.
    connect(ComboBox1, &QComboBox::activated, this, ui::guard([this] { ComboBox1Change(); }));
    connect(ComboBox2, &QComboBox::activated, this, ui::guard([this] { ComboBox1Change(); }));
    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, ui::guard([this] { Button2Click(); }));
    connect(Button5, &QPushButton::clicked, this, ui::guard([this] { Button5Click(); }));
    connect(Button6, &QPushButton::clicked, this, ui::guard([this] { Button6Click(); }));
    connect(Button4, &QPushButton::clicked, this, ui::guard([this] { Button4Click(); }));
    connect(CheckMonthButton, &QPushButton::clicked, this, ui::guard([this] { CheckMonthClick(); }));
    connect(CloseMonthButton, &QPushButton::clicked, this, ui::guard([this] { CloseMonthClick(); }));
    connect(ReopenMonthButton, &QPushButton::clicked, this, ui::guard([this] { ReopenMonthClick(); }));
    connect(PayrollButton, &QPushButton::clicked, this, ui::guard([this] { PayrollDialog::run(month(), year(), this); }));
}

DBGrid* TForm19::makeGrid(bool withEarnings, QWidget* parent) {
    auto* g = new DBGrid(parent);
    g->setHorizontalHeader(new timesheet::DayHeader(&DayColumns, g));
    g->setItemDelegate(new DayDelegate(g));
    QVector<GridColumn> cols;
    cols.push_back({QStringLiteral("fio"), QStringLiteral("Фамилия И. О."), Qt::AlignLeft | Qt::AlignVCenter, 160});
    for (int d = 1; d <= 31; ++d)
        cols.push_back(GridColumn(QStringLiteral("d%1").arg(d), QString::number(d), {}, 25).as(ColumnKind::Hours).summed());
    cols.push_back(GridColumn(QStringLiteral("summ"), QStringLiteral("Итого"), {}, 46).as(ColumnKind::Hours).summed());
    if (withEarnings) {
        cols.push_back(GridColumn(QStringLiteral("average_price"), QStringLiteral("Ср. сдел."), {}, 66).as(ColumnKind::Money));
        cols.push_back(GridColumn(QStringLiteral("cena_all"), QStringLiteral("Цена всего"), {}, 78).as(ColumnKind::Money).summed());
    }
    g->setColumns(cols);
    // Each day's hours and the month's totals over the shown workers.
    g->showTotals();
    g->setExportTitle([this, g] {
        const int shift = g == DBGrid3 ? 3 : g == DBGrid2 ? 2 : 1;
        return QStringLiteral("Табель %1 %2 смена %3").arg(ComboBox1->currentText(), ComboBox2->currentText()).arg(shift);
    });
    g->queryModel()->setStyler([this, g](const Query& q, int row, const GridColumn& c, CellStyle& st) {
        const int d = dayOfField(c.field);
        if (d == 0) return;
        st = timesheet::dayCellStyle(DayColumns[size_t(d - 1)], q.value(row, c.field), g->palette(), g->font());
    });
    return g;
}

int TForm19::year() const {
    bool ok = false;
    const int y = ComboBox2->currentText().toInt(&ok);
    return ok ? y : 0;
}

void TForm19::recolourDays() {
    const auto kinds = timesheet::dayKinds(month(), year());
    for (size_t i = 0; i < kinds.size(); ++i) DayColumns[i] = timesheet::dayColumn(kinds[i], DBGrid1->palette());
    for (DBGrid* g : grids()) {
        g->horizontalHeader()->viewport()->update();
        g->viewport()->update();
    }
}

void TForm19::showMonthOf(const QDate& day) {
    ComboBox1->setCurrentIndex(day.month() - 1);
    ComboBox2->setCurrentIndex(ComboBox2->findText(QString::number(day.year())));
    ComboBox1Change();
}

void TForm19::ComboBox1Change() {
    ui::BusyCursor busy;
    const int m = month(), y = year();
    layout::remember(QStringLiteral("timesheet/month"), QStringLiteral("%1.%2").arg(m).arg(y));
    const timesheet::Period p = timesheet::monthPeriod(m, y);
    for (Query* q : shiftQueries()) {
        q->close();
        q->setParam(QStringLiteral("mnth"), m);
        q->setParam(QStringLiteral("yea"), y);
        q->setParam(QStringLiteral("date1"), dateParam(p.date1));
        q->setParam(QStringLiteral("date2"), dateParam(p.date2));
        q->open();
    }
    recolourDays();
    applyMonthState();
}

void TForm19::applyMonthState() {
    // The check reads only; it needs no extension.
    CheckMonthButton->setVisible(session().role == Role::Administrator);
    CheckMonthButton->setEnabled(year() != 0);
    const bool admin = period::installed() && session().role == Role::Administrator;
    const period::PeriodStore store;
    const bool closed = store.isClosed(month(), year());
    CloseMonthButton->setVisible(admin && !closed);
    ReopenMonthButton->setVisible(admin && closed);
    CloseMonthButton->setEnabled(year() != 0);
    PayrollButton->setVisible(session().role == Role::Administrator);
    PayrollButton->setEnabled(year() != 0);
    monthlock::apply(MonthBanner, {Button1}, closed, closed ? store.closedBy(month(), year()) : QString());
}

namespace {
const QString kNoCloseReason = QStringLiteral("Укажите причину, по которой месяц закрывается с ошибками.");

// The reason's line of a month question and the dialog's buttons under it.
struct ReasonRow {
    QLineEdit* edit;
    QPushButton* ok;
};
ReasonRow addReasonRow(QDialog& dlg, QVBoxLayout* box, const QString& caption, const QString& okText) {
    auto* label = new QLabel(caption, &dlg);
    auto* edit = new QLineEdit(&dlg);
    edit->setObjectName(QStringLiteral("ReasonEdit"));
    edit->setMaxLength(500);
    label->setBuddy(edit);
    box->addWidget(label);
    box->addWidget(edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(okText);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    box->addWidget(buttons);
    return {edit, ok};
}

// The month's problems and the reason to close it all the same. Nothing when the
// administrator cancels; the button stays off until a reason is typed.
std::optional<QString> askCloseReason(QWidget* parent, const QString& caption,
                                      const std::vector<monthcheck::Problem>& problems) {
    QDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("CloseReasonDialog"));
    dlg.setWindowTitle(QStringLiteral("Закрыть месяц"));
    auto* box = new QVBoxLayout(&dlg);
    box->addWidget(new QLabel(
        QStringLiteral("Проверка месяца %1 нашла ошибки (%2). Закрыть месяц с ними?").arg(caption).arg(problems.size()),
        &dlg));
    auto* list = new QPlainTextEdit(monthcheck::report(problems), &dlg);
    list->setObjectName(QStringLiteral("ProblemList"));
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->addWidget(list, 1);
    const ReasonRow reason =
        addReasonRow(dlg, box, QStringLiteral("Причина закрытия:"), QStringLiteral("Закрыть месяц"));
    QPushButton* ok = reason.ok;
    ok->setEnabled(false);
    QObject::connect(reason.edit, &QLineEdit::textChanged, ok,
                     [ok](const QString& text) { ok->setEnabled(!text.trimmed().isEmpty()); });
    dlg.resize(760, 420);
    reason.edit->setFocus();
    if (ui::execModal(&dlg) != QDialog::Accepted) return {};
    return reason.edit->text().trimmed();
}
}  // namespace

void TForm19::CheckMonthClick() {
    if (year() == 0) {
        ui::error(QStringLiteral("Не выбран год."));
        return;
    }
    std::vector<monthcheck::Problem> problems;
    {
        ui::BusyCursor busy;
        problems = monthcheck::check(month(), year());
    }
    MonthCheckWindow w(period::monthCaption(month(), year()), std::move(problems), this);
    ui::execModal(&w);
    if (w.sentToJournal()) Button4Click();
}

void TForm19::CloseMonthClick() {
    const QString caption = period::monthCaption(month(), year());
    std::vector<monthcheck::Problem> problems;
    {
        ui::BusyCursor busy;
        problems = monthcheck::check(month(), year());
    }
    QString reason;
    if (problems.empty()) {
        if (ui::message(QStringLiteral("Закрыть месяц %1?").arg(caption), QStringLiteral("Подтверждение"),
                        ui::Icon::Question, ui::Buttons::YesNo) != QMessageBox::Yes)
            return;
    } else {
        const std::optional<QString> typed = askCloseReason(this, caption, problems);
        if (!typed) return;
        reason = *typed;
        if (reason.isEmpty()) {
            ui::error(kNoCloseReason);
            return;
        }
    }
    const Result r = period::PeriodStore().close(month(), year(), session().role, reason);
    if (!r.saved()) ui::error(r.message);
    applyMonthState();
}

namespace {
// With roles.sql the database records why a closed month was opened again: the
// question asks for the reason. Nothing when the administrator cancels.
std::optional<QString> askReopenReason(QWidget* parent, const QString& caption) {
    QDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("ReopenReasonDialog"));
    dlg.setWindowTitle(QStringLiteral("Открыть месяц"));
    auto* box = new QVBoxLayout(&dlg);
    box->addWidget(new QLabel(QStringLiteral("Открыть месяц %1?").arg(caption), &dlg));
    const ReasonRow reason = addReasonRow(dlg, box, QStringLiteral("Причина:"), QStringLiteral("Открыть"));
    if (ui::execModal(&dlg) != QDialog::Accepted) return {};
    return reason.edit->text().trimmed();
}
}  // namespace

void TForm19::ReopenMonthClick() {
    const QString caption = period::monthCaption(month(), year());
    QString reason;
    if (period::rolesInstalled()) {
        const std::optional<QString> typed = askReopenReason(this, caption);
        if (!typed) return;
        reason = *typed;
        if (reason.isEmpty()) {
            ui::error(QStringLiteral("Укажите причину, по которой месяц открывается."));
            return;
        }
    } else if (ui::message(QStringLiteral("Открыть месяц %1?").arg(caption), QStringLiteral("Подтверждение"),
                           ui::Icon::Question, ui::Buttons::YesNo) != QMessageBox::Yes) {
        return;
    }
    const Result r = period::PeriodStore().reopen(month(), year(), session().role, reason);
    if (!r.saved()) ui::error(r.message);
    applyMonthState();
}

void TForm19::Button1Click() {
    const int m = month(), y = year();
    const int days = timesheet::daysInMonth(m, y);
    if (days == 0) {
        ui::error(QStringLiteral("Не выбран год."));
        return;
    }
    // A big month takes a while: it can be cancelled, and then the month stays as it was
    // (the rebuild is one transaction, rolled back when a day's step throws).
    ui::Progress progress(this,
                          QStringLiteral("Перестроение табеля: %1 %2").arg(ComboBox1->currentText()).arg(y),
                          days, ui::Progress::Show::AtOnce);
    for (Query* q : shiftQueries()) q->close();
    PB->setMaximum(days);
    PB->setValue(1);
    PB->show();
    try {
        timesheet::Service(QString()).rebuildMonth(m, y, [this, &progress](int day) {
            PB->setValue(day);
            progress.step(day);
        });
    } catch (const ui::Cancelled&) {
        PB->hide();
        for (Query* q : shiftQueries()) q->open();
        return;
    } catch (...) {
        // The month is as it was before: show it again, then report the failure.
        PB->hide();
        try {
            for (Query* q : shiftQueries()) q->open();
        } catch (...) {
        }
        throw;
    }
    for (Query* q : shiftQueries()) q->open();
    PB->hide();
}

void TForm19::Button5Click() {
    ui::BusyCursor busy;
    for (Query* q : shiftQueries()) q->reopen();
}

void TForm19::Button6Click() {
    if (year() == 0) {
        ui::error(QStringLiteral("Не выбран год."));
        return;
    }
    papers::TForm15& layout = forms::form<papers::TForm15>();
    Query& q = layout.H_Tabel;
    q.close();
    q.setParam(QStringLiteral("mnth"), month());
    q.setParam(QStringLiteral("yea"), year());
    try {
        std::unique_ptr<rpt::LazyReport> pages;
        {
            ui::BusyCursor busy;
            q.open();
            layout.QRLabel33().text =
                ComboBox1->currentText() + QLatin1Char(' ') + ComboBox2->currentText() + QStringLiteral(" г.");
            pages = layout.PrepareLazily();  // laid out as shown, let go when the preview closes
        }
        rpt::showPreview(*pages, this, QStringLiteral("Табель по времени: ") + layout.QRLabel33().text);
    } catch (...) {
        q.close();
        throw;
    }
    q.close();
    FormActivate();  // the timesheet is active again once the preview is closed
}

void TForm19::FormActivate() { Button2->setText(QStringLiteral("Excel")); }

void TForm19::changeEvent(QEvent* e) {
    QDialog::changeEvent(e);
    // Coming back to the window (from the spreadsheet program, a preview, another
    // application) resets the export's caption; not while the export itself runs.
    if (e->type() == QEvent::ActivationChange && isActiveWindow() && !ui::WindowBusy::isBusy(this))
        FormActivate();
}

}  // namespace mirn
