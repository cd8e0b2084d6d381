// The hours timesheet window: month rules, colouring, rebuild from the journal and print.
#include "core/datamodule.h"
#include "gui/busy.h"
#include "gui/forms.h"
#include "domain/session.h"
#include "core/signin.h"
#include "journal/tform1.h"
#include "papers/layouts.h"
#include "domain/timesheet_service.h"
#include "support/testdb.h"
#include "support/report_lines.h"
#include "timesheet/timesheet.h"
#include "timesheet/tform19.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace mirn;

using timesheet::DayKind;

namespace {

// March 2024 (starts on a Friday, 31 days) and what lies around it:
//   101 works shift 1 on the 4th twice (8 + 3 hours) and overtime the same day (2 hours),
//   and shift 1 on the 5th (8); 102 works shift 2 on the 31st (12) and shift 3 on the 1st
//   with 0 hours; 101 also has entries on 29 February and 1 April.
// Stored rows before any rebuild: a stale March row of 101 (d4 99, d20 5), a March row of
// 105 who has no entries, and rows of March 2023 and April 2024 that a rebuild of March
// 2024 must not touch.
void loadFixture() {
    testdb::exec(QStringLiteral(
        "insert into cmn_contractor.person(id, s_caption, s_code) values "
        "(1, 'Антонов А.А.', '101'), (2, 'Борисов Б.Б.', '102'), (3, 'Воронов В.В.', '103'), (5, 'Дмитриев Д.Д.', '105')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa) values (1, 'КР-100', '', 6, 1)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Гибка')"));
    testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (1, 1, 0, 1, 0)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok) values "
        "(101, 1, 1, 2,   10, 0, '2024-03-04', 1, 0, 8, 'ok'), "
        "(101, 1, 1, 2,    5, 1, '2024-03-04', 1, 0, 3, 'ok'), "
        "(101, 1, 1, 3,    2, 0, '2024-03-04', 4, 0, 2, 'ok'), "
        "(101, 1, 1, 2.5,  4, 0, '2024-03-05', 1, 0, 8, 'ok'), "
        "(102, 1, 1, 1,   12, 0, '2024-03-31', 2, 0, 12, 'ok'), "
        "(102, 1, 1, 1,    1, 0, '2024-03-01', 3, 0, 0, 'ok'), "
        "(101, 1, 1, 1,    1, 0, '2024-02-29', 1, 0, 7, 'ok'), "
        "(101, 1, 1, 1,    1, 0, '2024-04-01', 1, 0, 7, 'ok')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.h_tabel(w_id, smena, month, year, d1, d4, d20) values "
        "(101, 1, 3, 2024, null, 99, 5), (105, 2, 3, 2024, 8, null, null), "
        "(101, 1, 3, 2023, 4, null, null), (101, 1, 4, 2024, 7, null, null)"));
}

// The stored rows of a month: "w_id/shift: dN=h …" for the days that are not NULL.
QStringList storedRows(int month, int year) {
    QString days;
    for (int d = 1; d <= 31; ++d) days += QStringLiteral(", d%1").arg(d);
    QStringList out;
    for (const QVariantList& r : testdb::rows(QStringLiteral("select w_id, smena%1 from accounts_dep.h_tabel "
                                                             "where month=%2 and year=%3 order by w_id, smena, id")
                                                  .arg(days)
                                                  .arg(month)
                                                  .arg(year))) {
        QString line = QStringLiteral("%1/%2:").arg(r[0].toInt()).arg(r[1].toInt());
        for (int d = 1; d <= 31; ++d)
            if (!r[d + 1].isNull()) line += QStringLiteral(" d%1=%2").arg(d).arg(r[d + 1].toInt());
        out << line;
    }
    return out;
}

// Chooses a month and year as the user does (the year by its text; "" chooses none).
TForm19& showMonth(int month, const QString& year) {
    TForm19& f = forms::form<TForm19>();
    f.ComboBox1->setCurrentIndex(month - 1);
    f.ComboBox2->setCurrentIndex(f.ComboBox2->findText(year));
    f.ComboBox1Change();
    return f;
}

QList<int> redDays(const TForm19& f) {
    QList<int> red;
    for (int d = 1; d <= 31; ++d)
        if (f.DayColumns[size_t(d - 1)].red()) red << d;
    return red;
}

QStringList column(const Query& q, const QString& field) {
    QStringList out;
    for (int r = 0; r < q.recordCount(); ++r) out << q.value(r, field).toString();
    return out;
}

// A printed timesheet row: the name, the 31 days (empty where no hours) and the total.
QString printedRow(const QString& fio, const QHash<int, int>& hours) {
    QStringList cells{fio};
    int total = 0;
    for (int d = 1; d <= 31; ++d) {
        cells << (hours.contains(d) ? QString::number(hours[d]) : QString());
        total += hours.value(d);
    }
    cells << QString::number(total);
    return QStringLiteral("detail: ") + cells.join(QLatin1Char('|'));
}

rpt::PreparedReport print(TForm19& f) {
    int previews = 0;
    rpt::PreparedReport shown;  // the pages live while the preview shows
    ModalScript modal([&](QDialog* d) {
        if (qobject_cast<rpt::PagedPreview*>(d)) {
            ++previews;
            shown = shownPages(d);
        }
        return int(QDialog::Rejected);
    });
    f.Button6->click();
    if (previews != 1) qWarning() << "the preview was not shown";
    return shown;
}

}  // namespace

class TestTimesheet : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QLocale::setDefault(QLocale::c());
        testdb::startApp(QStringLiteral("t_timesheet"));
        loadFixture();
        session().role = Role::Administrator;
    }
    void cleanupTestCase() { testdb::stopApp(); }

    void monthPeriodEndsOnTheFirstOfTheNextMonth_data() {
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("year");
        QTest::addColumn<QDate>("date1");
        QTest::addColumn<QDate>("date2");
        QTest::newRow("December") << 12 << 2023 << QDate(2023, 12, 1) << QDate(2024, 1, 1);
        QTest::newRow("leap February") << 2 << 2024 << QDate(2024, 2, 1) << QDate(2024, 3, 1);
        QTest::newRow("January") << 1 << 2025 << QDate(2025, 1, 1) << QDate(2025, 2, 1);
        QTest::newRow("no year") << 5 << 0 << QDate() << QDate();
    }
    void monthPeriodEndsOnTheFirstOfTheNextMonth() {
        QFETCH(int, month);
        QFETCH(int, year);
        QFETCH(QDate, date1);
        QFETCH(QDate, date2);
        const timesheet::Period p = timesheet::monthPeriod(month, year);
        QCOMPARE(p.date1, date1);
        QCOMPARE(p.date2, date2);
        // The window gives the three shift queries exactly this period and month.
        TForm19& f = showMonth(month, year ? QString::number(year) : QString());
        for (Query* q : {&dm().H_Tabel_1, &dm().H_Tabel_2, &dm().H_Tabel_3}) {
            QVERIFY(q->active());
            QCOMPARE(q->param(QStringLiteral("date1")).toDate(), date1);
            QCOMPARE(q->param(QStringLiteral("date2")).toDate(), date2);
            QCOMPARE(q->param(QStringLiteral("mnth")).toInt(), month);
            QCOMPARE(q->param(QStringLiteral("yea")).toInt(), year);
        }
        QCOMPARE(f.month(), month);
        QCOMPARE(f.year(), year);
    }

    // Weekend columns red, days beyond the month's end inactive with silver titles.
    void dayColumnsOfAMonth_data() {
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("days");
        QTest::addColumn<QList<int>>("red");
        QTest::newRow("June 2024 starts on a Saturday")
            << 6 << 2024 << 30 << QList<int>{1, 2, 8, 9, 15, 16, 22, 23, 29, 30};
        QTest::newRow("leap February") << 2 << 2024 << 29 << QList<int>{3, 4, 10, 11, 17, 18, 24, 25};
        QTest::newRow("February 2023") << 2 << 2023 << 28 << QList<int>{4, 5, 11, 12, 18, 19, 25, 26};
        QTest::newRow("September 2024 starts on a Sunday")
            << 9 << 2024 << 30 << QList<int>{1, 7, 8, 14, 15, 21, 22, 28, 29};
        QTest::newRow("March 2024") << 3 << 2024 << 31 << QList<int>{2, 3, 9, 10, 16, 17, 23, 24, 30, 31};
    }
    void dayColumnsOfAMonth() {
        QFETCH(int, month);
        QFETCH(int, year);
        QFETCH(int, days);
        QFETCH(QList<int>, red);
        TForm19& f = showMonth(month, QString::number(year));
        QCOMPARE(redDays(f), red);
        const QPalette pal = f.DBGrid1->palette();
        for (int d = 1; d <= 31; ++d) {
            const timesheet::DayColumn& c = f.DayColumns[size_t(d - 1)];
            QCOMPARE(c.readOnly, d > days);
            if (d > days) {
                QCOMPARE(c.title, timesheet::kSilver);
                QCOMPARE(c.cell, pal.color(QPalette::Base));
            } else {
                QCOMPARE(c.title, red.contains(d) ? timesheet::kRed : pal.color(QPalette::WindowText));
            }
            // All three grids show these title colours.
            for (DBGrid* g : {f.DBGrid1, f.DBGrid2, f.DBGrid3})
                QCOMPARE(static_cast<timesheet::DayHeader*>(g->horizontalHeader())->titleColour(d), c.title);
        }
        QVERIFY(!static_cast<timesheet::DayHeader*>(f.DBGrid1->horizontalHeader())->titleColour(0).isValid());
    }

    // The colour of a day cell by the hours in it and the kind of its column.
    void cellColouring_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("foreground");  // "text", "red", "silver", "base"
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("green");
        const QVariant empty(QMetaType::fromType<int>());
        const int work = int(DayKind::Workday), weekend = int(DayKind::Weekend), beyond = int(DayKind::Beyond);
        QTest::newRow("0 on a weekday") << work << QVariant(0) << "silver" << false << false;
        QTest::newRow("empty on a weekday") << work << empty << "silver" << false << false;
        QTest::newRow("0 on a weekend") << weekend << QVariant(0) << "red" << false << false;
        QTest::newRow("empty beyond the month") << beyond << empty << "base" << false << false;
        QTest::newRow("5 on a weekday") << work << QVariant(5) << "text" << false << false;
        QTest::newRow("5 on a weekend") << weekend << QVariant(5) << "red" << false << false;
        QTest::newRow("8 on a weekday") << work << QVariant(8) << "text" << true << false;
        QTest::newRow("8 on a weekend") << weekend << QVariant(8) << "red" << true << false;
        QTest::newRow("11 on a weekday") << work << QVariant(11) << "text" << true << true;
        QTest::newRow("11 on a weekend") << weekend << QVariant(11) << "red" << true << true;
        QTest::newRow("-2 on a weekday") << work << QVariant(-2) << "text" << false << false;
        QTest::newRow("8 as decimal text") << work << QVariant(QStringLiteral("8")) << "text" << true << false;
    }
    void cellColouring() {
        QFETCH(int, kind);
        QFETCH(QVariant, value);
        QFETCH(QString, foreground);
        QFETCH(bool, bold);
        QFETCH(bool, green);
        QPalette pal;
        pal.setColor(QPalette::WindowText, QColor(1, 2, 3));
        pal.setColor(QPalette::Base, QColor(250, 251, 252));
        const QHash<QString, QColor> colours{{"text", QColor(1, 2, 3)},
                                              {"red", timesheet::kRed},
                                              {"silver", timesheet::kSilver},
                                              {"base", QColor(250, 251, 252)}};
        QFont font;
        font.setBold(false);
        const CellStyle st =
            timesheet::dayCellStyle(timesheet::dayColumn(DayKind(kind), pal), value, pal, font);
        QCOMPARE(st.foreground, colours.value(foreground));
        QCOMPARE(st.font.bold(), bold);
        QCOMPARE(st.background, green ? timesheet::kMoneyGreen : QColor());
    }

    void rebuildStoresOneRowPerWorkerAndShiftWithEntries() {
        TForm19& f = showMonth(3, QStringLiteral("2024"));
        const QStringList otherYear = storedRows(3, 2023), april = storedRows(4, 2024);
        f.Button1->click();
        QCOMPARE(storedRows(3, 2024), (QStringList{"101/1: d4=11 d5=8", "101/4: d4=2", "102/2: d31=12", "102/3: d1=0"}));
        QCOMPARE(storedRows(3, 2023), otherYear);
        QCOMPARE(storedRows(4, 2024), april);
        QVERIFY(f.PB->isHidden());
        // The tabs list their own shift; overtime has no tab.
        QCOMPARE(column(dm().H_Tabel_1, QStringLiteral("fio")), QStringList{QStringLiteral("Антонов А.А.")});
        QCOMPARE(column(dm().H_Tabel_1, QStringLiteral("summ")), QStringList{QStringLiteral("19")});
        // Earnings come from all the worker's entries of the month: 20 + 8 + 6 + 10.
        QCOMPARE(column(dm().H_Tabel_1, QStringLiteral("cena_all")), QStringList{QStringLiteral("44.00")});
        QCOMPARE(column(dm().H_Tabel_2, QStringLiteral("fio")), QStringList{QStringLiteral("Борисов Б.Б.")});
        QCOMPARE(column(dm().H_Tabel_3, QStringLiteral("average_price")), QStringList{QStringLiteral("0.00")});
        // Running it again gives the same month.
        f.Button1->click();
        QCOMPARE(storedRows(3, 2024), (QStringList{"101/1: d4=11 d5=8", "101/4: d4=2", "102/2: d31=12", "102/3: d1=0"}));
    }

    // The grid paints the rebuilt hours: 11 on green, 8 bold, empty weekdays silver, weekends red.
    void gridColoursTheRebuiltMonth() {
        TForm19& f = showMonth(3, QStringLiteral("2024"));
        f.Button1Click();
        QueryModel* m = f.DBGrid1->queryModel();
        QCOMPARE(m->rowCount(), 1);
        QCOMPARE(m->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("4"));
        const auto fg = [&](int day) { return m->data(m->index(0, day), Qt::ForegroundRole).value<QColor>(); };
        const auto bold = [&](int day) { return m->data(m->index(0, day), Qt::FontRole).value<QFont>().bold(); };
        QCOMPARE(m->data(m->index(0, 4), Qt::BackgroundRole).value<QColor>(), timesheet::kMoneyGreen);
        QVERIFY(bold(4));
        QVERIFY(bold(5));
        QVERIFY(!m->data(m->index(0, 5), Qt::BackgroundRole).isValid());
        QCOMPARE(fg(6), timesheet::kSilver);
        QCOMPARE(fg(9), timesheet::kRed);  // Saturday
        QVERIFY(!bold(6));
        // The name and the totals keep the grid's own look.
        QVERIFY(!m->data(m->index(0, 0), Qt::ForegroundRole).isValid());
        QVERIFY(!m->data(m->index(0, 32), Qt::ForegroundRole).isValid());
        QCOMPARE(m->data(m->index(0, 32), Qt::DisplayRole).toString(), QStringLiteral("19"));
    }

    void rebuildOfAMonthWithoutEntriesEmptiesIt() {
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.h_tabel(w_id, smena, month, year, d3) values (101, 1, 1, 2024, 8), (102, 3, 1, 2024, 6)"));
        TForm19& f = showMonth(1, QStringLiteral("2024"));
        f.Button1Click();
        QVERIFY(storedRows(1, 2024).isEmpty());
        for (Query* q : {&dm().H_Tabel_1, &dm().H_Tabel_2, &dm().H_Tabel_3}) {
            QVERIFY(q->active());
            QVERIFY(q->isEmpty());
        }
    }

    // The progress goes day by day; a failure half-way through the month leaves it as it was.
    void failedRebuildLeavesTheMonthUntouched() {
        const QStringList before = storedRows(3, 2024);
        QCOMPARE(before, (QStringList{"101/1: d4=99 d20=5", "105/2: d1=8"}));
        QList<int> days;
        // A statement fails while the 15th is being read.
        QVERIFY_THROWS_EXCEPTION(DbError, timesheet::Service(QString()).rebuildMonth(3, 2024, [&](int d) {
            days << d;
            if (d == 14) testdb::exec(QStringLiteral("select 1/0"));
        }));
        QCOMPARE(days.size(), 14);
        QCOMPARE(storedRows(3, 2024), before);

        // More hours in a day than a day column holds: the database refuses the month,
        // the window shows its message and the month as it was.
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok) values "
            "(103, 1, 1, 1, 1, 0, '2024-03-15', 1, 0, 40000, 'ok')"));
        TForm19& f = showMonth(3, QStringLiteral("2024"));
        MessageLog log;
        f.Button1->click();
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.lastFailure().contains(QStringLiteral("smallint")), qPrintable(log.lastText() + " | " + log.lastDetails()));
        QCOMPARE(storedRows(3, 2024), before);
        QVERIFY(f.PB->isHidden());
        QCOMPARE(column(dm().H_Tabel_1, QStringLiteral("fio")), QStringList{QStringLiteral("Антонов А.А.")});

        // Once the entry is corrected the rebuild goes through, reporting every day.
        testdb::exec(QStringLiteral("update accounts_dep.smena set time=4 where time=40000"));
        days.clear();
        timesheet::Service(QString()).rebuildMonth(3, 2024, [&](int d) { days << d; });
        QList<int> all;
        for (int d = 1; d <= 31; ++d) all << d;
        QCOMPARE(days, all);
        QVERIFY(storedRows(3, 2024).contains(QStringLiteral("103/1: d15=4")));
    }

    // "Перестроить" shows its progress with "Отмена"; pressed, it leaves the month as it
    // was and says nothing more; not pressed, the month is rebuilt.
    void rebuildCanBeCancelled_data() {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QStringList>("stored");
        QTest::newRow("cancelled") << true << QStringList{"101/1: d4=99 d20=5", "105/2: d1=8"};
        QTest::newRow("let run") << false
                                 << QStringList{"101/1: d4=11 d5=8", "101/4: d4=2", "102/2: d31=12", "102/3: d1=0"};
    }
    void rebuildCanBeCancelled() {
        QFETCH(bool, cancel);
        QFETCH(QStringList, stored);
        TForm19& f = showMonth(3, QStringLiteral("2024"));
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        MessageLog log;
        QString label;
        bool othersOff = false;
        ui::testing::setProgressHook([&](ui::Progress& p) {
            label = p.dialog()->labelText();
            othersOff = !f.Button1->isEnabled() && !f.Button5->isEnabled() && !f.Button4->isEnabled();
            if (!cancel) return;
            auto* button = p.dialog()->findChild<QPushButton*>();
            QTest::mouseClick(button, Qt::LeftButton);
        });
        QTest::mouseClick(f.Button1, Qt::LeftButton);
        ui::testing::setProgressHook({});
        QCOMPARE(label, QStringLiteral("Перестроение табеля: Март 2024"));
        QVERIFY(othersOff);
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.texts().join('|')));
        QCOMPARE(storedRows(3, 2024), stored);
        QCOMPARE(testdb::advisoryLocks(), 0);
        // The window is usable again and shows the month as stored.
        QVERIFY(f.Button1->isEnabled());
        QVERIFY(f.PB->isHidden());
        for (Query* q : {&dm().H_Tabel_1, &dm().H_Tabel_2, &dm().H_Tabel_3}) QVERIFY(q->active());
        QCOMPARE(column(dm().H_Tabel_1, QStringLiteral("fio")), QStringList{QStringLiteral("Антонов А.А.")});
        f.hide();
    }

    // The print adds up every shift of a worker, overtime included.
    void printSumsAllShifts() {
        TForm19& f = showMonth(3, QStringLiteral("2024"));
        f.Button1Click();
        f.Button2->setText(QStringLiteral("Excel (3 из 9)"));
        const rpt::PreparedReport& r = print(f);
        QCOMPARE(r.orientation, QPageLayout::Landscape);
        QCOMPARE(r.pages.size(), size_t(1));
        QStringList heading{QStringLiteral("heading: Март 2024 г.")};
        for (int d = 1; d <= 31; ++d) heading << QString::number(d);
        heading << QStringLiteral("Итого");
        QCOMPARE(pageLines(r.pages[0]),
                 (QStringList{heading.join(QLatin1Char('|')),
                              printedRow(QStringLiteral("Антонов А.А."), {{4, 13}, {5, 8}}),
                              printedRow(QStringLiteral("Борисов Б.Б."), {{1, 0}, {31, 12}}),
                              QStringLiteral("pageFooter: Дата печати: %1|стр. 1 из 1")
                                  .arg(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")))}));
        QVERIFY(!forms::form<papers::TForm15>().H_Tabel.active());
        QCOMPARE(f.Button2->text(), QStringLiteral("Excel"));  // active again after the preview
    }

    // A long month list: the heading with the day numbers comes back on every page.
    void printRepeatsTheHeadingOnEveryPage() {
        testdb::exec(QStringLiteral(
            "insert into cmn_contractor.person(id, s_caption, s_code) "
            "select 1000 + i, 'Работник ' || lpad(i::text, 3, '0'), (1000 + i)::text from generate_series(1, 80) i"));
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.h_tabel(w_id, smena, month, year, d2, d3) "
            "select 1000 + i, 1, 5, 2024, 8, i % 12 from generate_series(1, 80) i"));
        TForm19& f = showMonth(5, QStringLiteral("2024"));
        const rpt::PreparedReport& r = print(f);
        QVERIFY(r.pages.size() >= 3);
        int rows = 0;
        for (size_t p = 0; p < r.pages.size(); ++p) {
            const QStringList l = pageLines(r.pages[p]);
            QVERIFY(l.first().startsWith(QStringLiteral("heading: Май 2024 г.|1|2|3|")));
            QCOMPARE(l.last(), QStringLiteral("pageFooter: Дата печати: %1|стр. %2 из %3")
                                   .arg(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")))
                                   .arg(p + 1)
                                   .arg(r.pages.size()));
            rows += int(l.size()) - 2;
        }
        QCOMPARE(rows, 80);
    }

    void printAsPdf() {
        TForm19& f = showMonth(3, QStringLiteral("2024"));
        f.Button1Click();
        const rpt::PreparedReport& r = print(f);
        QTemporaryDir tmp;
        const QString keep = qEnvironmentVariable("MIRN_REPORT_PDF_DIR");
        const QString path = (keep.isEmpty() ? tmp.path() : keep) + QStringLiteral("/timesheet.pdf");
        QVERIFY(rpt::writePdf(r, path, QStringLiteral("Табель")));
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(60000));
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        for (const char* t : {"Март 2024 г.", "Итого", "Антонов А.А.", "Борисов Б.Б.", "21", "13"})
            QVERIFY2(text.contains(QString::fromUtf8(t)), t);
    }

    void yearListRunsToNextYear() {
        QCOMPARE(timesheet::yearItems(2025).first(), QStringLiteral("2007"));
        QCOMPARE(timesheet::yearItems(2025).last(), QStringLiteral("2026"));
        QCOMPARE(timesheet::yearItems(2025).size(), 20);
        TForm19& f = forms::form<TForm19>();
        const int next = QDate::currentDate().year() + 1;
        QCOMPARE(f.ComboBox2->itemText(f.ComboBox2->count() - 1), QString::number(next));
        QCOMPARE(f.ComboBox2->itemText(0), QStringLiteral("2007"));
        QCOMPARE(f.ComboBox2->count(), next - 2007 + 1);
        QCOMPARE(f.ComboBox1->count(), 12);
        QCOMPARE(f.ComboBox1->itemText(2), QStringLiteral("Март"));
    }

    // The journal's menu: the journal date's month and year, the month read, the queries
    // closed once the window is closed.
    void openingFromTheJournal_data() {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<int>("yearIndex");
        QTest::addColumn<int>("rows");
        QTest::newRow("March 2024") << QDate(2024, 3, 15) << 2024 - 2007 << 1;
        QTest::newRow("a year before the list") << QDate(2006, 3, 15) << -1 << 0;
        QTest::newRow("a year after the list") << QDate(QDate::currentDate().year() + 5, 3, 15) << -1 << 0;
    }
    void openingFromTheJournal() {
        QFETCH(QDate, date);
        QFETCH(int, yearIndex);
        QFETCH(int, rows);
        TForm1& f1 = signIn(QStringLiteral("9471"));
        f1.DateT->setDate(date);
        TForm19& f = forms::form<TForm19>();
        f.Button2->setText(QStringLiteral("Excel (1 из 2)"));
        struct Seen {
            int month = -1, yearIndex = -2, rows = -1, redDays = -1;
            QString button2;
            bool open = false;
        } seen;
        ModalScript modal([&](QDialog* d) {
            if (d == &f) {
                seen = {f.ComboBox1->currentIndex(), f.ComboBox2->currentIndex(), dm().H_Tabel_1.recordCount(),
                        int(redDays(f).size()), f.Button2->text(), dm().H_Tabel_1.active()};
            }
            return int(QDialog::Rejected);
        });
        f1.N11->trigger();  // "Табель по времени"
        QCOMPARE(modal.shown.first(), static_cast<QDialog*>(&f));
        QCOMPARE(seen.month, 2);
        QCOMPARE(seen.yearIndex, yearIndex);
        QVERIFY(seen.open);
        QCOMPARE(seen.rows, rows);
        QCOMPARE(seen.redDays, yearIndex < 0 ? 0 : 10);  // no year: no month to colour
        QCOMPARE(seen.button2, QStringLiteral("Excel"));
        for (Query* q : {&dm().H_Tabel_1, &dm().H_Tabel_2, &dm().H_Tabel_3}) QVERIFY(!q->active());
    }

    // Without a year there is no month to rebuild or print.
    void noYearChosen() {
        TForm19& f = showMonth(3, QString());
        const QStringList before = storedRows(3, 2024);
        MessageLog log;
        ModalScript modal;
        f.Button1->click();
        f.Button6->click();
        QCOMPARE(log.texts(), (QStringList{"Не выбран год.", "Не выбран год."}));
        QVERIFY(modal.shown.isEmpty());
        QCOMPARE(storedRows(3, 2024), before);
    }

    void refreshRereadsTheMonth() {
        TForm19& f = showMonth(3, QStringLiteral("2024"));
        QCOMPARE(dm().H_Tabel_2.recordCount(), 0);  // 105 has no entries in March
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.h_tabel(w_id, smena, month, year, d31) values (102, 2, 3, 2024, 12)"));
        QCOMPARE(dm().H_Tabel_2.recordCount(), 0);
        f.Button5->click();
        QCOMPARE(column(dm().H_Tabel_2, QStringLiteral("fio")), QStringList{QStringLiteral("Борисов Б.Б.")});
    }
};

QTEST_MAIN(TestTimesheet)
#include "test_timesheet.moc"
