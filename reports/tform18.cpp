#include "domain/period.h"
#include "papers/change_report.h"
#include "reports/tform18.h"

#include "gui/preview.h"
#include "papers/xls_export.h"

#include "gui/forms.h"
#include "domain/session.h"
#include "gui/ui.h"
#include "papers/earnings.h"
#include "papers/layouts.h"
#include "domain/earnings.h"
#include "domain/cancellable_read.h"
#include "gui/busy.h"

#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace mirn {

namespace reports {

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
    auto* lay = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        group_->addButton(b, i);
        buttons_ << b;
        lay->addWidget(b);
    }
}

int RadioGroup::itemIndex() const { return group_->checkedId(); }

void RadioGroup::setItemIndex(int index) {
    if (index >= 0 && index < buttons_.size()) buttons_[index]->setChecked(true);
}

ReportPeriod previousMonth(const QDate& today) {
    const QDate first(today.year(), today.month(), 1);
    return {first.addMonths(-1), first};
}

void applyKindFilter(Query& q, int kindIndex) {
    papers::filterKind(q, kindIndex == 1 ? 0 : kindIndex == 2 ? 1 : -1);
}

}  // namespace reports

namespace {
QPushButton* button(const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    return b;
}

// Closes a report's query when the report is done with it, also when it failed.
class CloseAfter {
public:
    explicit CloseAfter(Query& q) : q_(q) {}
    ~CloseAfter() { q_.close(); }
    CloseAfter(const CloseAfter&) = delete;
    CloseAfter& operator=(const CloseAfter&) = delete;

private:
    Query& q_;
};
}  // namespace

TForm18::TForm18() {
    XLS_Rep.SQL = papers::productionReportText();
    setWindowTitle(QStringLiteral("Отчеты (8)"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    RadioGroup1 = new reports::RadioGroup(
        QStringLiteral("Вид продукции"),
        {QStringLiteral("Все"), QStringLiteral("Готовая продукция"), QStringLiteral("Заготовки")}, this);
    RadioGroup1->setItemIndex(0);

    GroupBox1 = new QGroupBox(QStringLiteral("Период отбора"), this);
    Label1 = new QLabel(QStringLiteral("с"), GroupBox1);
    Label2 = new QLabel(QStringLiteral("по"), GroupBox1);
    DTPicker1 = new QDateEdit(QDate::currentDate(), GroupBox1);
    DTPicker2 = new QDateEdit(QDate::currentDate(), GroupBox1);
    for (QDateEdit* p : {DTPicker1, DTPicker2}) {
        p->setCalendarPopup(true);
        p->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    }
    auto* period = new QHBoxLayout(GroupBox1);
    period->addWidget(Label1);
    period->addWidget(DTPicker1, 1);
    period->addSpacing(8);
    period->addWidget(Label2);
    period->addWidget(DTPicker2, 1);

    Button4 = button(QStringLiteral("Отчет по рабочим"), this);
    Button2 = button(QStringLiteral("Отчет по продукции"), this);
    Button1 = button(QStringLiteral("Детальный отчет по рабочим"), this);
    Button3 = button(QStringLiteral("Детальный отчет по продукции"), this);
    Button6 = button(QStringLiteral("Excel (0 из 0)"), this);
    CBWorker = new QComboBox(this);
    CBWorker->addItem(QStringLiteral("Все"), 0);
    Button7 = button(QStringLiteral("Расчётный листок"), this);
    Button5 = button(QStringLiteral("Выход"), this);
    ChangesButton = button(QStringLiteral("Журнал изменений"), this);
    ChangesButton->hide();

    auto* lay = new QVBoxLayout(this);
    lay->addWidget(RadioGroup1);
    lay->addWidget(GroupBox1);
    for (QPushButton* b : {Button4, Button2, Button1, Button3, Button6}) lay->addWidget(b);
    auto* statement = new QHBoxLayout;
    statement->addWidget(CBWorker, 1);
    statement->addWidget(Button7);
    lay->addLayout(statement);
    lay->addWidget(ChangesButton);
    lay->addWidget(Button5);
    setFixedSize(sizeHint().expandedTo(QSize(340, 0)));

    connect(Button4, &QPushButton::clicked, this, ui::guard([this] { Button4Click(); }));
    connect(Button2, &QPushButton::clicked, this, ui::guard([this] { Button2Click(); }));
    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button3, &QPushButton::clicked, this, ui::guard([this] { Button3Click(); }));
    connect(Button6, &QPushButton::clicked, this, ui::guard([this] { Button6Click(); }));
    connect(Button5, &QPushButton::clicked, this, ui::guard([this] { Button5Click(); }));
    connect(Button7, &QPushButton::clicked, this, ui::guard([this] { Button7Click(); }));
    connect(ChangesButton, &QPushButton::clicked, this, ui::guard([this] { ChangesButtonClick(); }));

    ApplyRoleRestrictions();
}

void TForm18::setPeriod(const QDate& first, const QDate& end) {
    DTPicker1->setDate(first);
    DTPicker2->setDate(end);
}

void TForm18::ApplyRoleRestrictions() {
    ChangesButton->setVisible(period::installed());
    const Role role = session().role;
    if (role != Role::Foremen && role != Role::FinishedGoods) return;
    for (QPushButton* b : {Button1, Button2, Button4, Button6}) b->setEnabled(false);
    // The statement shows a worker's earnings, as the reports by workers do.
    Button7->setEnabled(false);
    CBWorker->setEnabled(false);
    if (role == Role::FinishedGoods) {
        RadioGroup1->setItemIndex(1);
        RadioGroup1->setEnabled(false);
    }
}

void TForm18::runReport(papers::ReportLayout& layout, bool closeFirst, const QString& titlePrefix) {
    Query& q = layout.query();
    if (closeFirst) q.close();
    const QDate d1 = DTPicker1->date(), d2 = DTPicker2->date();
    q.setParam(QStringLiteral("data1"), d1);
    q.setParam(QStringLiteral("data2"), d2);
    reports::applyKindFilter(q, RadioGroup1->itemIndex());
    const CloseAfter closer(q);
    std::unique_ptr<rpt::LazyReport> pages;
    {
        ui::BusyCursor busy;
        q.open();
        const QString title = titlePrefix + d1.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" по ") +
                              d2.toString(QStringLiteral("dd.MM.yyyy"));
        layout.QuickRep1.setCaption(QStringLiteral("QRLabel1"), title);
        // Laid out as the preview turns to them; the pages go when the preview closes.
        pages = layout.PrepareLazily();
    }
    rpt::showPreview(*pages, this, layout.QuickRep1.element(QStringLiteral("QRLabel1")).text);
}

void TForm18::Button4Click() {
    runReport(forms::form<papers::TForm16>(), false, QStringLiteral("   Отчет по рабочим за период с "));
}

void TForm18::Button2Click() {
    runReport(forms::form<papers::TForm17>(), false, QStringLiteral("   Отчет по продукции за период с "));
}

void TForm18::Button1Click() {
    runReport(forms::form<papers::TForm20>(), true, QStringLiteral("   Детальный отчет по рабочим за период с "));
}

void TForm18::Button3Click() {
    runReport(forms::form<papers::TForm21>(), false, QStringLiteral("   Детальный отчет по продукции за период с "));
}

void TForm18::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FillWorkers();
}

void TForm18::FillWorkers() {
    const int chosen = CBWorker->currentData().toInt();
    const std::vector<earnings::Worker> list = earnings::workers();
    CBWorker->clear();
    CBWorker->addItem(QStringLiteral("Все"), 0);
    for (const earnings::Worker& w : list) CBWorker->addItem(w.name, w.id);
    CBWorker->setCurrentIndex(std::max(0, CBWorker->findData(chosen)));
}

void TForm18::Button7Click() {
    papers::EarningsLayout& layout = forms::form<papers::EarningsLayout>();
    Query& q = layout.query();
    q.close();
    const QDate d1 = DTPicker1->date(), d2 = DTPicker2->date();
    q.setParam(QStringLiteral("data1"), d1);
    q.setParam(QStringLiteral("data2"), d2);
    q.setParam(QStringLiteral("worker"), CBWorker->currentData().toInt());
    const CloseAfter closer(q);
    std::unique_ptr<rpt::LazyReport> pages;
    {
        // Every worker's month takes a while to read and to count pages: both can be
        // stopped, and then nothing is shown (the server's statement cancelled with it).
        ui::Progress progress(this, QStringLiteral("Расчётный листок: чтение данных"), 1);
        progress.dialog()->setRange(0, 0);  // the server says nothing of how far it is
        try {
            if (!openCancellable(q, progress.poll())) return;
            layout.QuickRep1.setCaption(QStringLiteral("period"), papers::EarningsLayout::periodText(d1, d2));
            const int rows = std::max(1, q.recordCount());
            const int every = std::max(1, rows / 100);
            progress.setLabel(QStringLiteral("Расчётный листок: разбивка на страницы"));
            progress.dialog()->setRange(0, rows);
            pages = layout.PrepareLazily([&progress, every](int walked, int) {
                if (walked % every == 0) progress.step(walked);
            });
        } catch (const ui::Cancelled&) {
            return;
        }
    }
    rpt::showPreview(*pages, this, QStringLiteral("Расчётный листок ") + papers::EarningsLayout::periodText(d1, d2));
}

void TForm18::ChangesButtonClick() {
    const QDate d1 = DTPicker1->date(), d2 = DTPicker2->date();
    rpt::PreparedReport report;
    {
        ui::BusyCursor busy;
        report = papers::changeReport(d1, d2);
    }
    rpt::showPreview(report, this, QStringLiteral("Журнал изменений"));
}

}  // namespace mirn
