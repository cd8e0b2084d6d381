// The check of a month before its close: each kind of problem found on a small month
// that has exactly that one problem, and the clean month reported clean.
#include "domain/month_check.h"
#include "domain/timesheet_service.h"
#include "support/database.h"

#include <QtTest>

using namespace mirn;

namespace {
// Two workers of the register (codes 501, 502; row ids 1, 2), one product with one priced
// operation and its norm, the auxiliary work kind 7777; December 2026, all confirmed,
// priced and posted. Worker 503 is in the register by row id 3 only.
void loadCleanMonth() {
    testdb::exec(QStringLiteral(
        "insert into cmn_contractor.person(id, s_caption, s_code) values (1, 'Иванов И.И.', '501'), "
        "(2, 'Петров П.П.', '502'), (3, 'Сидоров С.С.', '9003')"));
    testdb::exec(QStringLiteral("insert into accounts_dep.person(id, fio) values (501, 'Иванов И.И.'), (502, 'Петров П.П.')"));
    testdb::exec(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(id, s_caption) values (1, 'КР-1')"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Сварка'), (7777, 'Уборка')"));
    testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id) values (1, 1, 0, 1)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) values (1, 100, 0, 1.5)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.smena(id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok) values "
        "(1, 501, 1, 1, 1.5, 10, 0, '2026-12-01', 1, 0, 8, 'ok'), "
        "(2, 501, 1, 1, 1.5, 12, 1, '2026-12-02', 1, 0, 8, 'да'), "
        "(3, 502, 1, 1, 1.5, 20, 0, '2026-12-01', 2, 0, 10, 'ok')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.fatigue(id, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price) values "
        "(1, 7777, 501, '2026-12-03', 12, 2026, 1, 4, 150.00)"));
    timesheet::Service(QString()).rebuildMonth(12, 2026);
}
}  // namespace

class TestMonthCheck : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        testdb::openFresh(QStringLiteral("t_month_check"));
        loadCleanMonth();
    }

    void cleanMonthIsClean() {
        const auto problems = monthcheck::check(12, 2026);
        QVERIFY2(problems.empty(), qPrintable(monthcheck::report(problems)));
        QCOMPARE(monthcheck::report(problems), QString());
    }

    void eachKindFound_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("workerId");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<int>("entryId");
        QTest::addColumn<QString>("detail");
        const QDate d1(2026, 12, 1), d2(2026, 12, 2), d3(2026, 12, 3);
        using K = monthcheck::Kind;
        QTest::newRow("unconfirmed") << "update accounts_dep.smena set ok='no' where id=2" << int(K::Unconfirmed) << 501 << d2
                                     << 2 << "отметка «no»";
        QTest::newRow("price 0") << "update accounts_dep.smena set cena=0 where id=3" << int(K::NoPrice) << 502 << d1 << 3
                                 << "цена 0";
        QTest::newRow("operation without norm")
            << "insert into accounts_dep.oper(id, vid, naimen, i_id) values (2, 1, 1, 1); "
               "update accounts_dep.smena set o_id=2 where id=1"
            << int(K::NoPrice) << 501 << d1 << 1 << "у операции нет нормы";
        QTest::newRow("timesheet cell differs") << "update accounts_dep.h_tabel set d2=7 where w_id=501 and smena=1"
                                                << int(K::TimesheetDiffers) << 501 << d2 << 0
                                                << "в табеле 7 ч, по записям 8 ч";
        QTest::newRow("timesheet cell without entries") << "update accounts_dep.h_tabel set d5=3 where w_id=502 and smena=2"
                                                        << int(K::TimesheetDiffers) << 502 << QDate(2026, 12, 5) << 0
                                                        << "в табеле 3 ч, по записям 0 ч";
        QTest::newRow("no timesheet row") << "delete from accounts_dep.h_tabel where w_id=502" << int(K::NoTimesheetRow) << 502
                                          << d1 << 0 << "записей 1, часов 10";
        QTest::newRow("worker booked by row id")
            << "update accounts_dep.smena set w_id=3 where id=3; delete from accounts_dep.h_tabel; "
               "insert into accounts_dep.h_tabel(w_id, month, year, smena, d1, d2) values (501, 12, 2026, 1, 8, 8), "
               "(3, 12, 2026, 2, 10, null)"
            << int(K::UnseenWorker) << 3 << d1 << 3 << "записей 1: нет в табеле и отчетах (нет рабочего с таким кодом)";
        QTest::newRow("zero hours") << "update accounts_dep.smena set time=0 where id=1; "
                                       "update accounts_dep.h_tabel set d1=0 where w_id=501 and smena=1"
                                    << int(K::ZeroHours) << 501 << d1 << 1 << "часов 0";
        QTest::newRow("over 24 hours a day")
            << "update accounts_dep.smena set time=13 where id=3; update accounts_dep.smena set w_id=502, time=12, smena=1 "
               "where id=1; delete from accounts_dep.h_tabel; "
               "insert into accounts_dep.h_tabel(w_id, month, year, smena, d1, d2) values (501, 12, 2026, 1, null, 8), "
               "(502, 12, 2026, 1, 12, null), (502, 12, 2026, 2, 13, null)"
            << int(K::OverDay) << 502 << d1 << 0 << "за день 25 ч";
        QTest::newRow("auxiliary work without hours") << "update accounts_dep.fatigue set cnt=0" << int(K::AuxNoHours) << 501
                                                      << d3 << 1 << "часов 0";
        QTest::newRow("auxiliary work without rate") << "update accounts_dep.fatigue set price=null" << int(K::AuxNoRate)
                                                     << 501 << d3 << 1 << "нет расценки";
    }
    void eachKindFound() {
        QFETCH(QString, fault);
        QFETCH(int, kind);
        QFETCH(int, workerId);
        QFETCH(QDate, date);
        QFETCH(int, entryId);
        QFETCH(QString, detail);
        testdb::exec(QStringLiteral("begin"));
        testdb::exec(fault);
        std::vector<monthcheck::Problem> problems;
        try {
            problems = monthcheck::check(12, 2026);
        } catch (...) {
            testdb::exec(QStringLiteral("rollback"));
            throw;
        }
        testdb::exec(QStringLiteral("rollback"));
        QVERIFY2(problems.size() == 1, qPrintable(monthcheck::report(problems)));
        const monthcheck::Problem& p = problems.front();
        QCOMPARE(int(p.kind), kind);
        QCOMPARE(p.workerId, workerId);
        QCOMPARE(p.date, date);
        QCOMPARE(p.entryId, entryId);
        QCOMPARE(p.detail, detail);
        QVERIFY(!p.worker.isEmpty());
        // The report names the group with its count and the line under it.
        const QString text = monthcheck::report(problems);
        QVERIFY2(text.startsWith(monthcheck::kindTitle(p.kind) + QStringLiteral(": 1\n  ") + date.toString(QStringLiteral("dd.MM.yyyy"))),
                 qPrintable(text));
        // Rolled back: the month is clean again.
        QVERIFY(monthcheck::check(12, 2026).empty());
    }

    void otherMonthsNotChecked() {
        testdb::exec(QStringLiteral("begin"));
        testdb::exec(QStringLiteral("update accounts_dep.smena set ok='no', data='2026-11-30' where id=2"));
        const auto problems = monthcheck::check(12, 2026);
        const auto november = monthcheck::check(11, 2026);
        testdb::exec(QStringLiteral("rollback"));
        // December lost an entry its timesheet still counts; November has the entry but no timesheet row.
        QCOMPARE(problems.size(), size_t(1));
        QCOMPARE(int(problems.front().kind), int(monthcheck::Kind::TimesheetDiffers));
        QCOMPARE(november.size(), size_t(2));
        QCOMPARE(int(november[0].kind), int(monthcheck::Kind::Unconfirmed));
        QCOMPARE(int(november[1].kind), int(monthcheck::Kind::NoTimesheetRow));
    }
};

QTEST_MAIN(TestMonthCheck)
#include "test_month_check.moc"
