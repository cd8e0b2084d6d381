#include "journal/tform1.h"
#include "core/userswindow.h"

#include "core/buildguard.h"
#include "domain/entry_store.h"
#include "domain/connection.h"
#include "core/datamodule.h"
#include "gui/layout.h"
#include "gui/forms.h"
#include "domain/session.h"
#include "core/signin.h"
#include "gui/ui.h"
#include "gui/historywindow.h"
#include "gui/monthlock.h"
#include "journal/journal_keys.h"
#include "journal/shift_copy_dialog.h"
#include "domain/period.h"

#include <QCalendarWidget>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace mirn {

namespace {
const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);

// The journal's date picker. A step (Up/Down on a section, the wheel) leaves the
// focus in the picker so that the next step works; every other change hands the
// focus to the grid.
class DatePicker : public QDateEdit {
public:
    DatePicker(const QDate& d, QWidget* parent) : QDateEdit(d, parent) {}
    bool stepping = false;
    void stepBy(int steps) override {
        stepping = true;
        QDateEdit::stepBy(steps);
        stepping = false;
    }
};

QPushButton* plainButton(const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    // Enter in the date picker must not press a button.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}
}  // namespace

bool isConfirmed(const QString& ok) {
    return ok == QLatin1String("ok") || ok == QStringLiteral("да");
}

QString toggledOk(const QString& ok) {
    return isConfirmed(ok) ? QStringLiteral("no") : QStringLiteral("ok");
}

TForm1::TForm1() {
    setWindowTitle(QStringLiteral("Табель"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    MainMenu1 = new QMenuBar(this);
    N2 = MainMenu1->addMenu(QStringLiteral("Справочники"));
    N1 = N2->addAction(QStringLiteral("Рабочие"));
    N3 = N2->addAction(QStringLiteral("Изделия"));
    N4 = N2->addAction(QStringLiteral("Цены"));
    N6 = N2->addAction(QStringLiteral("Операции"));
    N8 = N2->addAction(QStringLiteral("Внеурочное"));
    {
        // Personal accounts only, for their administrator (the whole menu is the administrator's).
        QAction* people = N2->addAction(QStringLiteral("Пользователи"));
        people->setObjectName(QStringLiteral("UsersAction"));
        people->setVisible(false);
        connect(N2, &QMenu::aboutToShow, people, [people] { people->setVisible(users::available()); });
        connect(people, &QAction::triggered, this, ui::guard([this] { UsersWindow::showModal(this); }));
    }
    N11 = MainMenu1->addAction(QStringLiteral("Табель по времени"));
    N7 = MainMenu1->addMenu(QStringLiteral("Отчеты"));
    N10 = N7->addAction(QStringLiteral("Сводные отчеты"));
    N5 = MainMenu1->addAction(QStringLiteral("Выход"));

    RadioButton1 = new QRadioButton(QStringLiteral("Смена №1"), this);
    RadioButton2 = new QRadioButton(QStringLiteral("Смена №2"), this);
    RadioButton3 = new QRadioButton(QStringLiteral("Смена №3"), this);
    RadioButton4 = new QRadioButton(QStringLiteral("Переработка"), this);
    RadioButton1->setChecked(true);
    for (QRadioButton* r : {RadioButton1, RadioButton2, RadioButton3, RadioButton4})
        r->setAutoFillBackground(true);
    DateT = new DatePicker(QDate::currentDate(), this);
    DateT->setCalendarPopup(true);
    // A typed date counts once it is complete: on Enter or when the focus leaves.
    DateT->setKeyboardTracking(false);
    DateT->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    CBox1 = new QCheckBox(QStringLiteral("Выходной"), this);

    DBGrid2 = new DBGrid(this);
    const auto center = Qt::AlignCenter;
    DBGrid2->setColumns({
        {QStringLiteral("fio"), QStringLiteral("Фамилия И.О."), Qt::AlignLeft | Qt::AlignVCenter, 190},
        {QStringLiteral("marka"), QStringLiteral("Марка изделия"), Qt::AlignLeft | Qt::AlignVCenter, 170},
        {QStringLiteral("vid"), QStringLiteral("Операция"), Qt::AlignLeft | Qt::AlignVCenter, 150},
        {QStringLiteral("nmn"), QStringLiteral("Вид"), Qt::AlignLeft | Qt::AlignVCenter, 140},
        {QStringLiteral("color"), QStringLiteral("Цвет"), center, 50},
        GridColumn(QStringLiteral("time"), QStringLiteral("Часы"), {}, 45).as(ColumnKind::Hours).summed(),
        GridColumn(QStringLiteral("kol_vo"), QStringLiteral("Кол-во"), {}, 60).as(ColumnKind::Count).summed(),
        GridColumn(QStringLiteral("brak"), QStringLiteral("Брак"), {}, 45).as(ColumnKind::Count).summed(),
        GridColumn(QStringLiteral("summa"), QStringLiteral("Итого (р.)"), {}, 80).as(ColumnKind::Money).summed(),
        {QStringLiteral("prize"), QStringLiteral("Премия (%)"), Qt::AlignRight | Qt::AlignVCenter, 0, true},
        {QStringLiteral("ok"), QStringLiteral("OK"), center, 40},
        {QStringLiteral("vvod"), QStringLiteral("Заведен"), center, 85},
    });
    // The shown shift's hours, pieces, rejects and amount under the rows.
    DBGrid2->showTotals();
    DBGrid2->setExportTitle([this] {
        const QRadioButton* shown[] = {RadioButton1, RadioButton2, RadioButton3, RadioButton4};
        return QStringLiteral("Журнал ") + DateT->date().toString(QStringLiteral("dd.MM.yyyy")) + QLatin1Char(' ') +
               shown[std::clamp(CurrentShift, 1, 4) - 1]->text();
    });
    DBGrid2->queryModel()->setStyler([](const Query& q, int row, const GridColumn& c, CellStyle& st) {
        if (c.field != QLatin1String("ok")) return;
        st.font.setBold(true);
        st.foreground = isConfirmed(q.value(row, c.field).toString()) ? kGreen : kRed;
    });

    Button1 = plainButton(QStringLiteral("Добавить"), this);
    Button2 = plainButton(QStringLiteral("Изменить"), this);
    Button3 = plainButton(QStringLiteral("Удалить"), this);
    Button8 = plainButton(QStringLiteral("Обновить"), this);
    Button5 = plainButton(QStringLiteral("Хоз. работы"), this);
    Button4 = plainButton(QStringLiteral("Выход"), this);
    Button9 = plainButton(QStringLiteral("История"), this);
    Button9->hide();
    MonthBanner = monthlock::makeBanner(this);

    auto* top = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{RadioButton1, RadioButton2, RadioButton3, RadioButton4})
        top->addWidget(w);
    top->addSpacing(20);
    top->addWidget(new QLabel(QStringLiteral("Дата:"), this));
    top->addWidget(DateT);
    top->addWidget(CBox1);
    top->addStretch();
    auto* bottom = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{Button1, Button2, Button3, Button8, Button5})
        bottom->addWidget(w);
    bottom->addWidget(Button9);
    bottom->addStretch();
    bottom->addWidget(Button4);
    auto* lay = new QVBoxLayout(this);
    lay->setMenuBar(MainMenu1);
    lay->addLayout(top);
    lay->addWidget(MonthBanner);
    lay->addWidget(DBGrid2, 1);
    lay->addLayout(bottom);
    resize(1140, 600);

    Timer1 = new QTimer(this);
    Timer1->setInterval(30000);

    connect(N1, &QAction::triggered, this, ui::guard([this] { N1Click(); }));
    connect(N3, &QAction::triggered, this, ui::guard([this] { N3Click(); }));
    connect(N4, &QAction::triggered, this, ui::guard([this] { N4Click(); }));
    connect(N6, &QAction::triggered, this, ui::guard([this] { N6Click(); }));
    connect(N11, &QAction::triggered, this, ui::guard([this] { N11Click(); }));
    connect(N10, &QAction::triggered, this, ui::guard([this] { N10Click(); }));
    connect(N5, &QAction::triggered, this, ui::guard([this] { N5Click(); }));
    QRadioButton* radios[] = {RadioButton1, RadioButton2, RadioButton3, RadioButton4};
    for (int i = 0; i < 4; ++i)
        connect(radios[i], &QRadioButton::toggled, this, ui::guard([this, i](bool on) {
                    if (on) RadioButtonClick(i + 1);
                }));
    connect(CBox1, &QCheckBox::toggled, this, ui::guard([this](bool) { CBox1Click(); }));
    // Every change of the date, however it was made (a click or the keys in the calendar,
    // a typed date, a step on a section), re-reads the journal and the day-off box once.
    connect(DateT, &QDateEdit::dateChanged, this, ui::guard([this](const QDate& d) {
                // The picker repeats the signal for the date already read (Enter after a
                // step): that reads nothing more.
                const Query& shown = dm().Smena1;
                if (shown.active() && shown.param(QStringLiteral("data")).toDate() == d) return;
                DateTChange();
            }));
    connect(DBGrid2, &DBGrid::dblClick, this, ui::guard([this] { DBGrid2DblClick(); }));
    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, ui::guard([this] { Button2Click(); }));
    connect(Button3, &QPushButton::clicked, this, ui::guard([this] { Button3Click(); }));
    connect(Button8, &QPushButton::clicked, this, ui::guard([this] { Button8Click(); }));
    connect(Button5, &QPushButton::clicked, this, ui::guard([this] { Button5Click(); }));
    connect(Button4, &QPushButton::clicked, this, ui::guard([this] { Button4Click(); }));
    connect(Button9, &QPushButton::clicked, this, ui::guard([this] { Button9Click(); }));
    connect(Timer1, &QTimer::timeout, this, ui::quietGuard([this] { Timer1Timer(); }));
    styleShiftButtons();
    setupRepeatAndCopy();
    setupKeys();
    navigator::setJournal(this);
}

TForm1::~TForm1() {
    if (navigator::journal() == this) navigator::setJournal(nullptr);
}

bool TForm1::FormCreate(const QString& arg1, const QString& arg2) {
    auto* module = new TDataModule6(this);
    DataSource1 = &module->Smena1;
    DataSource2 = &module->Smena2;
    DataSource3 = &module->Smena3;
    DataSource4 = &module->Smena4;
    DBGrid2->setQuery(DataSource1);
    const auto env = QProcessEnvironment::systemEnvironment();
    const connection::Params p = connection::resolve({arg1, arg2}, env, connection::userSettingsFile(env),
                                                     connection::systemSettingsFiles(env));
    QString why;
    if (!connection::open(p, &why)) {
        ui::error(QStringLiteral("Подключение к БД отсутсвует!!!"), QStringLiteral("Ошибка!"),
                  QStringLiteral("Сервер: %1\nПорт: %2\nБаза данных: %3\nПричина: %4")
                      .arg(p.host)
                      .arg(p.port)
                      .arg(p.database, why));
        app::terminate(1);
        close();
        return false;
    }
    Timer1->start();
    // The shift the user worked in last time.
    QRadioButton* radios[] = {RadioButton1, RadioButton2, RadioButton3, RadioButton4};
    const int last = layout::recall(QStringLiteral("journal/shift"), 1).toInt();
    if (last >= 1 && last <= 4) radios[last - 1]->setChecked(true);
    TForm23& signIn = forms::form<TForm23>();
    signIn.setTarget(this);
    signIn.show();
    return true;
}

void TForm1::signInAttempt(const QString& code) {
    // The journal opens on the shift chosen there (the last one used, restored at start-up).
    CurrentShift = RadioButton2->isChecked() ? 2 : RadioButton3->isChecked() ? 3 : RadioButton4->isChecked() ? 4 : 1;
    SignInCode = code;
}

void TForm1::applyRole(Role role) {
    // What each role may not use here; the administrator keeps everything.
    struct Rule {
        QWidget* widget;
        QAction* action;
        bool viewer, foremen, goods;  // switched off for that role
    };
    const Rule rules[] = {
        {Button1, nullptr, true, false, true},       // "Добавить"
        {Button2, nullptr, true, true, true},        // "Изменить"
        {Button3, nullptr, true, true, true},        // "Удалить"
        {RadioButton1, nullptr, true, false, false},
        {RadioButton2, nullptr, true, false, false},
        {RadioButton3, nullptr, true, false, false},
        {RadioButton4, nullptr, true, false, false},
        {CBox1, nullptr, true, false, false},         // "Выходной"
        {Button8, nullptr, true, false, false},       // "Обновить"
        {DBGrid2, nullptr, true, false, false},
        {DateT, nullptr, true, false, false},
        {N2, nullptr, true, true, true},              // "Справочники"
        {nullptr, N11, true, true, true},             // "Табель по времени"
    };
    for (const Rule& r : rules) {
        const bool off = (role == Role::Viewer && r.viewer) || (role == Role::Foremen && r.foremen) ||
                         (role == Role::FinishedGoods && r.goods);
        if (!off) continue;
        if (r.widget) r.widget->setEnabled(false);
        if (r.action) r.action->setEnabled(false);
    }
}

void TForm1::openAfterSignIn() {
    // The journal shows even when its first read fails; the error has been shown.
    ui::guard([this] { FormActivate(); })();
    ui::execModal(this);
}

void TForm1::CheckBuildStamp() {
    BuildDate = buildguard::buildDate();
    BuildTime = buildguard::buildTime();
    buildguard::check();
}

void TForm1::openShifts(const QDate& date) {
    applyMonthState(dm().openShifts(date));
}

void TForm1::applyMonthState(const journalday::MonthState& month) {
    Button9->setVisible(period::installed());
    monthlock::apply(MonthBanner, {Button1, Button2, Button3}, month.closed, month.closedBy);
    if (Keys) Keys->setMonthClosed(month.closed);
}

void TForm1::Button9Click() {
    const Query& q = dm().shiftQuery(CurrentShift);
    if (q.isEmpty()) return;
    HistoryWindow::show(QStringLiteral("smena"), q.asInt(QStringLiteral("id")),
                        QStringLiteral("История: ") + q.asString(QStringLiteral("fio")).trimmed(), this);
}

void TForm1::FormActivate() {
    const Query& shown = dm().Smena1;
    const QDate before = shown.active() ? shown.param(QStringLiteral("data")).toDate() : QDate();
    const QDate today = QDate::currentDate();
    {
        // Back to today without the date change's own re-read: the shifts are read below.
        const QSignalBlocker quiet(DateT);
        DateT->setDate(today);
    }
    const int dow = today.dayOfWeek();
    const bool weekend = dow == Qt::Saturday || dow == Qt::Sunday;
    // Coming back from another date is a date change: the box follows the day, or the next
    // entry would be priced for the other date's day off. On the date already shown the
    // user's tick stands (a holiday on a weekday, a Saturday worked as a weekday).
    if (before != today) CBox1->setChecked(weekend);
    openShifts(today);
}

void TForm1::DateTChange() {
    ui::BusyCursor busy;
    openShifts(DateT->date());
    const int dow = DateT->date().dayOfWeek();
    CBox1->setChecked(dow == Qt::Saturday || dow == Qt::Sunday);
    if (!static_cast<DatePicker*>(DateT)->stepping) DBGrid2->setFocus();
}

void TForm1::RadioButtonClick(int shift) {
    Query* sources[] = {DataSource1, DataSource2, DataSource3, DataSource4};
    DBGrid2->setQuery(sources[shift - 1]);
    CurrentShift = shift;
    layout::remember(QStringLiteral("journal/shift"), shift);
    styleShiftButtons();
}

void TForm1::styleShiftButtons() {
    QRadioButton* radios[] = {RadioButton1, RadioButton2, RadioButton3, RadioButton4};
    for (int i = 0; i < 4; ++i) {
        const bool on = radios[i]->isChecked();
        QPalette pal = radios[i]->palette();
        const QColor back = on ? kGreen : QPalette().color(QPalette::Button);
        pal.setColor(QPalette::Window, back);
        pal.setColor(QPalette::Button, back);
        radios[i]->setPalette(pal);
        QFont f = radios[i]->font();
        f.setBold(on);
        radios[i]->setFont(f);
    }
}

void TForm1::CBox1Click() {
    QPalette pal = CBox1->palette();
    QFont f = CBox1->font();
    if (CBox1->isChecked()) {
        f.setBold(true);
        pal.setColor(QPalette::WindowText, kRed);
    } else {
        f.setBold(false);
        pal.setColor(QPalette::WindowText, QPalette().color(QPalette::WindowText));
    }
    CBox1->setFont(f);
    CBox1->setPalette(pal);
}

void TForm1::Button8Click() {
    ui::BusyCursor busy;
    // Another workstation may have closed or reopened the month meanwhile: read with the shifts.
    applyMonthState(dm().reopenShifts());
}

void TForm1::DBGrid2DblClick() {
    if (SignInCode == kForemenCode) return;
    // A closed month's entries cannot be confirmed either.
    if (!MonthBanner->isHidden()) return;
    CurrentShiftQuery = &dm().shiftQuery(CurrentShift);
    Query& q = *CurrentShiftQuery;
    if (q.isEmpty()) return;
    const Result r =
        entry::EntryStore().setConfirmation(q.asInt(QStringLiteral("id")), toggledOk(q.asString(QStringLiteral("ok"))));
    q.reopenKeepingRow();
    if (!r.saved()) ui::error(r.message);
}

int TForm1::showChild(QDialog* child) {
    const int r = ui::execModal(child);
    // A child that sent the user to an entry leaves the journal on it.
    if (keepPosition_)
        keepPosition_ = false;
    else
        FormActivate();
    return r;
}

void TForm1::keyPressEvent(QKeyEvent* e) {
    // Enter in the date picker has completed a typed date, which re-read the journal if
    // the date changed; it presses no button.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && DateT->hasFocus()) return;
    QDialog::keyPressEvent(e);
}

void TForm1::closeEvent(QCloseEvent* e) {
    Timer1->stop();
    QDialog::closeEvent(e);
}

}  // namespace mirn
