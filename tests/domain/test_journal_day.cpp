// The journal's day read in one statement against the four shift queries it replaces:
// the same rows, order, columns and value types, on the demo data and on a small day of
// awkward values; the month's lock read with them; parameters written in as literals.
#include "domain/journal_day.h"
#include "domain/period.h"
#include "domain/sqltext.h"
#include "support/database.h"
#include "support/query_dump.h"

#include <QProcess>
#include <QtTest>

#include <memory>

using namespace mirn;

namespace {
const QDate kDay(2024, 3, 5);

// Four shift queries as the data module makes them (the ok of each as given).
struct Four {
    std::unique_ptr<Query> q[4];
    Four(const QDate& date, const QStringList& ok) {
        for (int i = 0; i < 4; ++i) {
            q[i] = std::make_unique<Query>();
            q[i]->SQL = sqltext::smena(i + 1);
            q[i]->setParam(QStringLiteral("data"), date);
            q[i]->setParam(QStringLiteral("ok"), ok[i]);
        }
    }
    journalday::Shifts shifts() const { return {q[0].get(), q[1].get(), q[2].get(), q[3].get()}; }
    // Each query opened on its own, its parameters bound: the reference.
    void openEach() {
        for (auto& s : q) s->reopen();
    }
};

using testdb::dump;

void compareWithReference(const QDate& date, const QStringList& ok) {
    Four fresh(date, ok), reference(date, ok);
    reference.openEach();
    journalday::openDay(fresh.shifts(), date);
    for (int i = 0; i < 4; ++i) {
        QVERIFY(fresh.q[i]->active());
        QCOMPARE(fresh.q[i]->param(QStringLiteral("data")).toDate(), date);
        QCOMPARE(dump(*fresh.q[i]), dump(*reference.q[i]));
    }
}

// A day of every shift: workers found by code and by person id, one by nobody, names
// that sort by more than the name (shift 1) and ties on the name (shifts 2-4), quotes and
// a backslash in texts, nulls in the numbers, confirmed, unconfirmed and unmarked entries;
// shift 2 is empty; shift 4 has a null mark only.
void loadAwkwardDay() {
    testdb::exec(QStringLiteral(
        "insert into cmn_contractor.person(id, s_caption, s_code) values "
        "(10, 'О''Брайен Д.', '101'), (11, 'Back\\slash Б.', '102'), (12, 'Ёлкин Е.', '103'), (13, 'ёлкин е.', '113')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_classifier.item(id, id_level, s_caption) values (500, 2, 'Кронштейны')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) values "
        "(1, 'КР-100', '', 6, 1.5, 500), (2, 'КР-20', '', 6, 0.2, 500), (3, 'ХМ ''40''', '', 6, null, 500)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Покраска: 2 слоя')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values "
        "(1, 1, 0, 1, 0), (2, 2, 1, 2, 0), (3, 1, 1, 3, 0), (4, 2, 0, 1, 0)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.smena(id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod, "
        "prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values "
        "(1, 101, 1, 1, 12.5, 10, 2, '2024-03-05', 1, 0, 8, 'ok', '2024-03-05 08:30:00', 0, 0, 0, 0, 0, 0), "
        "(2, 101, 2, 2, 0.1, 7, 0, '2024-03-05', 1, 1013, 4, 'no', '2024-03-05', null, null, null, null, null, null), "
        "(3, 999, 1, 1, 1, 1, 0, '2024-03-05', 1, 0, 1, 'no', '2024-03-05', 0,0,0,0,0,0), "
        "(4, 11, 3, 3, 1.005, 3, 1, '2024-03-05', 1, 7, 1, null, null, 0,0,0,0,0,0), "
        "(5, 103, 1, 4, 2.675, 1, 0, '2024-03-05', 1, 0, 1, 'да', '2024-03-05', 1.5, 123456789012345, 1, 0.25, 2, 3), "
        "(6, 11, 3, 3, 3, 3, 0, '2024-03-05', 3, 0, 6, 'да', '2024-03-05', 0,0,0,0,0,0), "
        "(7, 11, 1, 1, 3, 5, 5, '2024-03-05', 3, 0, 2, 'no', '2024-03-05', 0,0,0,0,0,0), "
        "(8, 11, 2, 2, 3, 2, 0, '2024-03-05', 3, 0, 2, '', '2024-03-05', 0,0,0,0,0,0), "
        "(9, 103, 2, 2, -1, 0, 0, '2024-03-05', 3, -1, 0, 'ok', '2024-03-05', 0,0,0,0,0,0), "
        "(10, 13, 1, 1, 1, 1, 0, '2024-03-05', 3, 0, 1, 'no', '2024-03-05', 0,0,0,0,0,0), "
        "(11, 101, 1, 1, 1, 1, 0, '2024-03-05', 4, 0, 1, null, '2024-03-05', 0,0,0,0,0,0), "
        "(12, 101, 1, 1, 12.5, 1, 0, '2024-03-06', 1, 0, 2, 'no', '2024-03-06', 0,0,0,0,0,0)"));
}

int psqlFile(const QString& db, const QString& file) {
    QProcess p;
    p.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                     QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), db, QStringLiteral("-f"), file});
    if (!p.waitForFinished(120000)) return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

const QStringList kSignedIn{QStringLiteral("ta"), QStringLiteral("ta"), QStringLiteral("ta"), QStringLiteral("ta")};
const QStringList kAtCreation{QStringLiteral("ok"), QStringLiteral("ta"), QStringLiteral("ta"), QStringLiteral("ta")};
}  // namespace

class TestJournalDay : public QObject {
    Q_OBJECT

private slots:
    void columnsAsEachShiftReadsThem() {
        testdb::openFresh(QStringLiteral("t_journal_day"));
        Four f(kDay, kSignedIn);
        f.openEach();
        for (int i = 0; i < 4; ++i) QCOMPARE(f.q[i]->fieldNames(), journalday::shiftColumns(i + 1));
    }

    void awkwardDay_data() {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QStringList>("ok");
        QTest::newRow("every shift, signed in") << kDay << kSignedIn;
        QTest::newRow("every shift, marks as at creation") << kDay << kAtCreation;
        QTest::newRow("one entry") << kDay.addDays(1) << kSignedIn;
        QTest::newRow("empty day") << kDay.addDays(2) << kSignedIn;
        QTest::newRow("no date") << QDate() << kSignedIn;
    }
    void awkwardDay() {
        QFETCH(QDate, date);
        QFETCH(QStringList, ok);
        testdb::openFresh(QStringLiteral("t_journal_day"));
        loadAwkwardDay();
        compareWithReference(date, ok);
    }

    // The demo's busiest days, a quiet one and one without entries.
    void demoDays() {
        testdb::openFresh(QStringLiteral("t_journal_day_demo"), true);
        const auto days = testdb::rows(QStringLiteral(
            "(select data from accounts_dep.smena group by data order by count(*) desc, data limit 3) union all "
            "(select data from accounts_dep.smena group by data order by count(*), data limit 1) union all "
            "(select min(data) - 1 from accounts_dep.smena)"));
        QCOMPARE(days.size(), 5);
        int rows = 0;
        for (const QVariantList& d : days) {
            compareWithReference(d[0].toDate(), kSignedIn);
            if (QTest::currentTestFailed()) return;
            rows += testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where data = '%1'")
                                          .arg(d[0].toDate().toString(Qt::ISODate)));
        }
        QVERIFY(rows > 100);  // the comparison saw real days
    }

    // One shift read again after the day's read: what its own query reads, the filter,
    // sort and row kept.
    void oneShiftAgain() {
        testdb::openFresh(QStringLiteral("t_journal_day"));
        loadAwkwardDay();
        Four f(kDay, kSignedIn), reference(kDay, kSignedIn);
        journalday::openDay(f.shifts(), kDay);
        f.q[2]->setSort(QStringLiteral("summa"), Qt::DescendingOrder);
        f.q[2]->setRecNo(3);
        testdb::exec(QStringLiteral("update accounts_dep.smena set kol_vo = 40 where id = 7"));
        f.q[2]->reopenKeepingRow();
        reference.q[2]->setSort(QStringLiteral("summa"), Qt::DescendingOrder);
        reference.openEach();
        QCOMPARE(dump(*f.q[2]), dump(*reference.q[2]));
        QCOMPARE(f.q[2]->recNo(), 3);
        QCOMPARE(f.q[2]->value(0, QStringLiteral("id")).toInt(), 7);  // 35 × 3 now leads

        f.q[0]->setLikeFilter(QStringLiteral("fio"), QStringLiteral("о'"));
        f.q[0]->reopen();
        QCOMPARE(f.q[0]->recordCount(), 2);
        f.q[0]->clearFilter();
        QCOMPARE(dump(*f.q[0]), dump(*reference.q[0]));
    }

    // The month's lock comes with the shifts: none without the extension, then open and
    // closed as the period store reads them.
    void monthWithTheShifts() {
        testdb::openFresh(QStringLiteral("t_journal_day"));
        loadAwkwardDay();
        QVERIFY(!period::detect());
        Four f(kDay, kSignedIn);
        QCOMPARE(journalday::openDay(f.shifts(), kDay), journalday::MonthState{});
        QVERIFY(!journalday::dayStatement(f.shifts(), kDay, false).contains(QStringLiteral("period_lock")));

        QCOMPARE(psqlFile(testdb::dbName(QStringLiteral("t_journal_day")), QStringLiteral(MIRN_SOURCE_DIR "/db/extension.sql")),
                 0);
        QVERIFY(period::detect());
        const period::PeriodStore store;
        QCOMPARE(journalday::openDay(f.shifts(), kDay), journalday::MonthState{});
        testdb::exec(QStringLiteral("insert into accounts_dep.period_lock(year, month, closed_by) values (2024, 3, 'Бух''галтерия')"));
        testdb::exec(QStringLiteral("insert into accounts_dep.period_lock(year, month, closed_by) values (2024, 4, 'другой')"));
        QVERIFY(store.isClosed(kDay));
        const journalday::MonthState closed = journalday::openDay(f.shifts(), kDay);
        QCOMPARE(closed, (journalday::MonthState{true, store.closedBy(3, 2024)}));
        QVERIFY(closed.closedBy.startsWith(QStringLiteral("Закрыл: Бух'галтерия, ")));
        // The lock row is none of the shifts' rows.
        compareWithReference(kDay, kSignedIn);
        // The same month of another year is not closed; a read again stays on its date.
        QCOMPARE(journalday::openDay(f.shifts(), QDate(2023, 3, 5)), journalday::MonthState{});
        QCOMPARE(journalday::reopenDay(f.shifts()), journalday::MonthState{});
        QCOMPARE(journalday::openDay(f.shifts(), QDate(2024, 4, 30)).closedBy, store.closedBy(4, 2024));
        QCOMPARE(journalday::openDay(f.shifts(), QDate()), journalday::MonthState{});
    }
};

QTEST_GUILESS_MAIN(TestJournalDay)
#include "test_journal_day.moc"
