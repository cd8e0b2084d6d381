#include "auxwork/tform25.h"

#include "domain/auxwork.h"
#include "auxwork/tform24.h"
#include "core/datamodule.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "gui/historywindow.h"
#include "gui/monthlock.h"
#include "domain/period.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace mirn {

TForm25::TForm25() {
    setWindowTitle(QStringLiteral("Хоз. работы (25)"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    fatigue.SQL = auxwork::registerSql();

    DTPcker1 = new QDateEdit(QDate::currentDate(), this);
    DTPcker1->setCalendarPopup(true);
    DTPcker1->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    RadioButton1 = new QRadioButton(QStringLiteral("Смена №1"), this);
    RadioButton2 = new QRadioButton(QStringLiteral("Смена №2"), this);
    RadioButton3 = new QRadioButton(QStringLiteral("Смена №3"), this);
    RadioButton1->setChecked(true);

    DBGrid1 = new DBGrid(this);
    const auto left = Qt::AlignLeft | Qt::AlignVCenter, right = Qt::AlignRight | Qt::AlignVCenter;
    DBGrid1->setColumns({
        {QStringLiteral("fio"), QStringLiteral("ФИО"), left, 260},
        {QStringLiteral("s_caption"), QStringLiteral("Номенклатура"), left, 150},
        {QStringLiteral("vid"), QStringLiteral("Работа"), left, 150},
        GridColumn(QStringLiteral("price"), QStringLiteral("Цена"), right, 70).as(ColumnKind::Price),
        GridColumn(QStringLiteral("cnt"), QStringLiteral("Кол-во"), right, 60).as(ColumnKind::Count).summed(),
        GridColumn(QStringLiteral("summ"), QStringLiteral("Итого"), right, 80).as(ColumnKind::Money).summed(),
    });
    // The shown shift's hours and amount under the rows, as in the journal.
    DBGrid1->showTotals();
    DBGrid1->setQuery(&fatigue);

    Button5 = new QPushButton(QStringLiteral("Добавить"), this);
    Button6 = new QPushButton(QStringLiteral("Изменить"), this);
    Button7 = new QPushButton(QStringLiteral("Удалить"), this);
    Button8 = new QPushButton(QStringLiteral("Выход"), this);
    Button9 = new QPushButton(QStringLiteral("История"), this);
    Button9->hide();
    for (QPushButton* b : {Button5, Button6, Button7, Button8, Button9}) b->setAutoDefault(false);
    MonthBanner = monthlock::makeBanner(this);

    auto* top = new QHBoxLayout;
    top->addWidget(DTPcker1);
    top->addSpacing(16);
    for (QRadioButton* r : {RadioButton1, RadioButton2, RadioButton3}) top->addWidget(r);
    top->addStretch();
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Button5, Button6, Button7, Button9}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(Button8);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addWidget(MonthBanner);
    lay->addWidget(DBGrid1, 1);
    lay->addLayout(buttons);
    resize(810, 480);

    connect(DTPcker1, &QDateEdit::dateChanged, this, ui::guard([this] {
                if (!activating_ && fatigue.active()) DTPcker1Change();
            }));
    QRadioButton* radios[] = {RadioButton1, RadioButton2, RadioButton3};
    for (int i = 0; i < 3; ++i)
        connect(radios[i], &QRadioButton::toggled, this, ui::guard([this, i](bool on) {
                    if (on && !activating_) RadioButtonClick(i + 1);
                }));
    connect(DBGrid1, &DBGrid::dblClick, this, ui::guard([this] {
                if (!monthlock::offForClosedMonth(Button6)) Button6Click();
            }));
    connect(Button5, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button6, &QPushButton::clicked, this, ui::guard([this] { Button6Click(); }));
    connect(Button7, &QPushButton::clicked, this, ui::guard([this] { Button7Click(); }));
    connect(Button8, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(Button9, &QPushButton::clicked, this, ui::guard([this] { Button9Click(); }));
}

void TForm25::showShift(int shift) {
    QRadioButton* radios[] = {RadioButton1, RadioButton2, RadioButton3};
    for (int i = 0; i < 3; ++i) {
        QFont f = radios[i]->font();
        f.setBold(i + 1 == shift);
        radios[i]->setFont(f);
    }
    fatigue.setFilter([shift](const Query& q, const Query::Row& r) {
        const int col = q.fieldIndex(QStringLiteral("i_smena"));
        return col >= 0 && col < r.size() && toInt(r[col]) == shift;
    });
    i_smena = shift;
}

void TForm25::openOn(const QDate& date) {
    {
        // Setting the date is the opener's preparation, not a date the user picked.
        QSignalBlocker block(DTPcker1);
        DTPcker1->setDate(date);
    }
    FormActivate();
}

void TForm25::openOnRow(const QDate& date, int shift, int id) {
    openOn(date);
    QRadioButton* radios[] = {RadioButton1, RadioButton2, RadioButton3};
    if (shift >= 2 && shift <= 3) radios[shift - 1]->setChecked(true);  // shows that shift's rows
    fatigue.locate(QStringLiteral("id"), id);
}

void TForm25::FormClose() { fatigue.close(); }

void TForm25::FormActivate() {
    // The date is the one the opener put into DTPcker1 (the journal's date).
    activating_ = true;
    RadioButton1->setChecked(true);
    activating_ = false;
    fatigue.clearFilter();
    fatigue.close();
    fatigue.setParam(QStringLiteral("d_date"), DTPcker1->date());
    fatigue.open();
    showShift(1);
    applyMonthState();
}

void TForm25::DTPcker1Change() {
    fatigue.close();
    fatigue.setParam(QStringLiteral("d_date"), DTPcker1->date());
    fatigue.open();
    applyMonthState();
}

void TForm25::applyMonthState() {
    Button9->setVisible(period::installed());
    const period::PeriodStore store;
    const QDate d = DTPcker1->date();
    const bool closed = store.isClosed(d);
    monthlock::apply(MonthBanner, {Button5, Button6, Button7}, closed,
                     closed ? store.closedBy(d.month(), d.year()) : QString());
}

void TForm25::Button9Click() {
    if (fatigue.isEmpty()) return;
    HistoryWindow::show(QStringLiteral("fatigue"), fatigue.asInt(QStringLiteral("id")),
                        QStringLiteral("История: ") + fatigue.asString(QStringLiteral("fio")).trimmed(), this);
}

void TForm25::RadioButtonClick(int shift) { showShift(shift); }

void TForm25::Button1Click() { forms::form<TForm24>().runNew(DTPcker1->date(), i_smena, fatigue); }

void TForm25::Button6Click() {
    // There is no entry to change in an empty list.
    if (fatigue.isEmpty()) return;
    forms::form<TForm24>().runChange(DTPcker1->date(), i_smena, fatigue);
}

void TForm25::Button7Click() {
    if (fatigue.isEmpty()) return;
    if (!ui::confirmDelete(QStringLiteral("Удалить позицию из списка?"))) return;
    auxwork::AuxWorkStore().remove(fatigue.asInt(QStringLiteral("id")));
    // Past the end (the last row was deleted) this stands on the new last row.
    fatigue.reopenKeepingRow();
}

}  // namespace mirn
