// The day the stores take for today: the entry store stamps what it saves with it
// (vvod), so a test can say which day it is instead of racing midnight.
#include "domain/clock.h"
#include "domain/connection.h"
#include "domain/entry_store.h"
#include "support/database.h"

#include <QtTest>

using namespace mirn;

namespace {
entry::Record record(const QDate& date, int hours) {
    entry::Record r;
    r.w_id = 1;
    r.i_id = 1;
    r.o_id = 1;
    r.cena = 2;
    r.kol_vo = 10;
    r.time = hours;
    r.date = date;
    r.shift = 1;
    return r;
}

QDate stamp(int id) {
    return testdb::scalar(QStringLiteral("select vvod from accounts_dep.smena where id=%1").arg(id)).toDate();
}
int lastId() { return testdb::scalarInt(QStringLiteral("select max(id) from accounts_dep.smena")); }
}  // namespace

class TestClock : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        testdb::openFresh(QStringLiteral("t_clock"));
        testdb::exec(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa) "
                                    "values (1, 'КР-100', '', 6, 1)"));
        testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка')"));
        testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (1, 1, 0, 1, 0)"));
    }
    void cleanup() { clock::testing::setToday({}); }
    void cleanupTestCase() { connection::closeShared(); }

    void todayIsTheSystemsUnlessSet() {
        QCOMPARE(clock::today(), QDate::currentDate());
        clock::testing::setToday(QDate(2031, 5, 6));
        QCOMPARE(clock::today(), QDate(2031, 5, 6));
        clock::testing::setToday({});
        QCOMPARE(clock::today(), QDate::currentDate());
    }

    // A saved, a changed and a batch-saved entry each carry the day they were entered on.
    void entriesAreStampedWithToday() {
        const QDate worked(2024, 3, 4);
        entry::EntryStore store;
        clock::testing::setToday(QDate(2031, 5, 6));
        QVERIFY(store.insert(record(worked, 1)).saved());
        const int id = lastId();
        QCOMPARE(stamp(id), QDate(2031, 5, 6));

        clock::testing::setToday(QDate(2032, 1, 2));
        QVERIFY(store.update(id, record(worked, 2), *store.read(id)).saved());
        QCOMPARE(stamp(id), QDate(2032, 1, 2));

        clock::testing::setToday(QDate(2033, 7, 8));
        QVERIFY(store.insertAll({record(worked.addDays(1), 3)}, false).allSaved());
        QCOMPARE(stamp(lastId()), QDate(2033, 7, 8));

        clock::testing::setToday({});
        QVERIFY(store.insert(record(worked.addDays(2), 4)).saved());
        QCOMPARE(stamp(lastId()), QDate::currentDate());
    }
};

QTEST_GUILESS_MAIN(TestClock)
#include "test_clock.moc"
