// Changes of pay data that meet another workstation's work: an entry moved or deleted
// meanwhile, two saves of one worker's month in different shifts, a connection lost
// between two changes, a priced operation of a closed month, a confirmation of an entry
// that is gone. Each client has a connection of its own, the real server in between.
#include "domain/connection.h"
#include "domain/entry_store.h"
#include "domain/limits.h"
#include "domain/locks.h"
#include "domain/period.h"
#include "domain/pricedops.h"
#include "support/database.h"

#include <QProcess>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <functional>
#include <thread>

using namespace mirn;

namespace {
const QString kDb = QStringLiteral("t_stale");
const QDate kDay(2024, 3, 4);

// Runs body on a connection of its own (QTest's checks belong to the main thread, so the
// threads report by throwing); returns the first error, empty when there was none.
QString onOwnConnection(const QString& name, const std::function<void(const QString&)>& body) {
    QString error;
    if (!connection::open(connection::params(kDb, testdb::host()), &error, name)) return error;
    try {
        body(name);
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    connection::closeShared(name);
    return error;
}

void seed() {
    testdb::openFresh(kDb);
    period::detect();  // not installed until a test installs it
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) "
        "values (1, 'КР-1', '', 6, 1, 500), (2, 'КР-2', '', 6, 1, 500)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Гибка')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (1, 1, 0, 1, 0), (2, 2, 1, 2, 0)"));
}

entry::Record record(int worker, int oper, const QDate& date, int shift, int hours, double price = 2, int qty = 10) {
    entry::Record r;
    r.w_id = worker;
    r.i_id = 1;
    r.o_id = oper;
    r.cena = price;
    r.kol_vo = qty;
    r.time = hours;
    r.date = date;
    r.shift = shift;
    return r;
}

int lastId() { return testdb::scalarInt(QStringLiteral("select max(id) from accounts_dep.smena")); }

// Days whose stored hours differ from the entries' ("w/shift dN: stored≠sum").
QStringList timesheetMismatches() {
    QString days;
    for (int d = 1; d <= 31; ++d)
        days += QStringLiteral(" union all select w_id, smena, month, year, %1, coalesce(d%1, 0) from accounts_dep.h_tabel").arg(d);
    QStringList out;
    for (const QVariantList& r : testdb::rows(
             QStringLiteral("with stored(w_id, smena, month, year, day, tim) as (") + days.mid(11) +
             QStringLiteral("), entries as (select w_id, smena, extract(month from data)::int as month, "
                            "extract(year from data)::int as year, extract(day from data)::int as day, sum(time) as tim "
                            "from accounts_dep.smena group by 1, 2, 3, 4, 5) "
                            "select coalesce(s.w_id, e.w_id), coalesce(s.smena, e.smena), coalesce(s.day, e.day), "
                            "coalesce(s.tim, 0), coalesce(e.tim, 0) from stored s full join entries e using (w_id, smena, "
                            "month, year, day) where coalesce(s.tim, 0) <> coalesce(e.tim, 0)")))
        out << QStringLiteral("%1/%2 d%3: %4≠%5").arg(r[0].toString(), r[1].toString(), r[2].toString(),
                                                      r[3].toString(), r[4].toString());
    return out;
}

int psql(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                     QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), kDb, QStringLiteral("-f"), file});
    p.waitForFinished(120000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void installExtension() {
    QCOMPARE(psql(QStringLiteral(MIRN_SOURCE_DIR "/db/extension.sql")), 0);
    QVERIFY(period::detect());
}

// Waits (at most 5 s) until a session waits for an advisory lock.
bool someoneWaits(const std::atomic<bool>& done) {
    for (int i = 0; i < 250 && !done; ++i) {
        if (testdb::advisoryLocks(true) > 0) return true;
        QThread::msleep(20);
    }
    return false;
}
}  // namespace

class TestStaleChanges : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { connection::closeShared(); }

    // One workstation moves an entry (another day, worker or shift) while another one
    // changes or deletes it as its journal showed it: whichever comes second is refused,
    // and the timesheet equals the entries, 20 rounds of each.
    void moveMeetsStaleChange_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("move");
        for (const char* action : {"change", "delete"})
            for (const char* move : {"date", "worker", "shift"})
                QTest::newRow(qPrintable(QStringLiteral("%1 of an entry moved to another %2").arg(action, move)))
                    << QString::fromLatin1(action) << QString::fromLatin1(move);
    }
    void moveMeetsStaleChange() {
        QFETCH(QString, action);
        QFETCH(QString, move);
        seed();
        for (int round = 0; round < 20; ++round) {
            const entry::Record seen = record(1, 1, kDay, 1, 5);
            QCOMPARE(entry::EntryStore().insert(seen).status, Status::Saved);
            const int id = lastId();
            entry::Record moved = seen;
            if (move == QLatin1String("date")) moved.date = kDay.addDays(3);
            else if (move == QLatin1String("worker")) moved.w_id = 2;
            else moved.shift = 2;
            std::atomic<int> ready{0};
            Status mover = Status::Invalid, stale = Status::Invalid;
            auto start = [&] {
                ready++;
                while (ready < 2) std::this_thread::yield();
            };
            QString e1, e2;
            std::thread a([&] {
                e1 = onOwnConnection(QStringLiteral("mover"), [&](const QString& c) {
                    start();
                    mover = entry::EntryStore(c).update(id, moved, seen).status;
                });
            });
            std::thread b([&] {
                e2 = onOwnConnection(QStringLiteral("stale"), [&](const QString& c) {
                    start();
                    entry::Record changed = seen;
                    changed.time = 7;
                    stale = action == QLatin1String("change") ? entry::EntryStore(c).update(id, changed, seen).status
                                                              : entry::EntryStore(c).remove(id, seen).status;
                });
            });
            a.join();
            b.join();
            QVERIFY2(e1.isEmpty() && e2.isEmpty(), qPrintable(e1 + e2));
            QVERIFY2(timesheetMismatches().isEmpty(), qPrintable(timesheetMismatches().join(QStringLiteral("; "))));
            // The first of the two is stored, the second finds the entry changed or gone.
            QCOMPARE(int(mover == Status::Saved) + int(stale == Status::Saved), 1);
            QVERIFY(mover == Status::Stale || stale == Status::Stale);
            testdb::exec(QStringLiteral("delete from accounts_dep.smena"));
            testdb::exec(QStringLiteral("delete from accounts_dep.h_tabel"));
        }
    }

    // After another workstation deleted or changed the entry, a change, a delete or a
    // confirmation of it is refused with a sentence, and nothing is stored.
    void staleEntryIsRefused_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<QString>("message");
        QTest::newRow("change of a deleted entry") << QStringLiteral("change") << true << entry::kEntryGone;
        QTest::newRow("delete of a deleted entry") << QStringLiteral("delete") << true << entry::kEntryGone;
        QTest::newRow("confirmation of a deleted entry") << QStringLiteral("confirm") << true << entry::kEntryGone;
        QTest::newRow("change of a changed entry") << QStringLiteral("change") << false << entry::kEntryChanged;
        QTest::newRow("delete of a changed entry") << QStringLiteral("delete") << false << entry::kEntryChanged;
    }
    void staleEntryIsRefused() {
        QFETCH(QString, action);
        QFETCH(bool, deleted);
        QFETCH(QString, message);
        seed();
        entry::EntryStore store;
        const entry::Record seen = record(1, 1, kDay, 1, 5);
        QCOMPARE(store.insert(seen).status, Status::Saved);
        QCOMPARE(store.insert(record(1, 2, kDay, 1, 2)).status, Status::Saved);
        const int id = lastId() - 1;
        entry::Record other = seen;
        other.kol_vo = 12;
        QString error = onOwnConnection(QStringLiteral("other"), [&](const QString& c) {
            entry::EntryStore s(c);
            const Result r = deleted ? s.remove(id, seen) : s.update(id, other, seen);
            if (!r.saved()) throw Refusal(r.message);
        });
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const int before = testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena"));
        entry::Record changed = seen;
        changed.time = 8;
        const Result r = action == QLatin1String("change")   ? store.update(id, changed, seen)
                         : action == QLatin1String("delete") ? store.remove(id, seen)
                                                             : store.setConfirmation(id, QStringLiteral("ok"));
        QCOMPARE(r.status, Status::Stale);
        QCOMPARE(r.message, message);
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena")), before);
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where time=8 or ok='ok'")), 0);
        QVERIFY(timesheetMismatches().isEmpty());
        QCOMPARE(testdb::advisoryLocks(), 0);
    }

    // Two saves of one worker's month in different shifts at once: the second waits for
    // the first and sees its amount, so the month never passes the limit.
    void monthLimitAcrossShifts() {
        seed();
        std::atomic<bool> done{false};
        bool waited = false;
        Status second = Status::Invalid;
        QString error;
        std::thread other;
        entry::EntryStore first;
        // The first save has checked its month and is posting its day when the second starts.
        first.timesheet().afterSum = [&] {
            if (other.joinable()) return;
            other = std::thread([&] {
                error = onOwnConnection(QStringLiteral("second"), [&](const QString& c) {
                    second = entry::EntryStore(c).insert(record(1, 2, kDay.addDays(1), 2, 1, 600000, 100)).status;
                });
                done = true;
            });
            waited = someoneWaits(done);
        };
        QCOMPARE(first.insert(record(1, 1, kDay, 1, 1, 600000, 100)).status, Status::Saved);
        other.join();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(waited);
        QCOMPARE(second, Status::Invalid);
        QVERIFY(entry::monthAmount(Db(), 1, kDay) <= limits::kMonthAmountMax);
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena")), 1);
    }

    // A confirmation takes the locks of its day: it waits while another workstation
    // holds the entry's month for a rebuild.
    void confirmationWaitsForTheMonth() {
        seed();
        entry::EntryStore store;
        QCOMPARE(store.insert(record(1, 1, kDay, 1, 5)).status, Status::Saved);
        const int id = lastId();
        std::atomic<bool> held{false}, release{false}, done{false};
        QString error;
        std::thread rebuild([&] {
            error = onOwnConnection(QStringLiteral("rebuild"), [&](const QString& c) {
                Transaction t(c);
                locks::takeMonths(c, {{kDay.year(), kDay.month()}});
                held = true;
                while (!release) QThread::msleep(10);
                t.commit();
            });
            held = true;
        });
        while (!held) QThread::msleep(10);
        Result confirmed;
        std::thread confirm([&] {
            QString e = onOwnConnection(QStringLiteral("confirm"), [&](const QString& c) {
                confirmed = entry::EntryStore(c).setConfirmation(id, QStringLiteral("ok"));
            });
            if (!e.isEmpty()) error = e;
            done = true;
        });
        const bool waited = someoneWaits(done);
        release = true;
        rebuild.join();
        confirm.join();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(waited);
        QVERIFY(confirmed.saved());
        QCOMPARE(testdb::scalar(QStringLiteral("select ok from accounts_dep.smena")).toString(), QStringLiteral("ok"));
    }

    // The client names itself again on the connection it opens after losing one: the
    // change after the reconnect is recorded with the role, workstation and version.
    void sessionFieldsSurviveReconnect() {
        seed();
        installExtension();
        period::signIn(Role::Administrator);
        entry::EntryStore store;
        QCOMPARE(store.insert(record(1, 1, kDay, 1, 5)).status, Status::Saved);
        const int pid = testdb::scalarInt(QStringLiteral("select pg_backend_pid()"));
        const QString error = onOwnConnection(QStringLiteral("admin"), [&](const QString& c) {
            Db(c).exec(QStringLiteral("select pg_terminate_backend(%1)").arg(pid));
        });
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QThread::msleep(200);
        QCOMPARE(store.insert(record(1, 2, kDay, 1, 2)).status, Status::Saved);
        QVERIFY(testdb::scalarInt(QStringLiteral("select pg_backend_pid()")) != pid);
        const auto logged = testdb::rows(QStringLiteral(
            "select coalesce(client_role, ''), coalesce(client_host, ''), coalesce(app_version, '') "
            "from accounts_dep.change_log where table_name='smena' order by id"));
        QCOMPARE(logged.size(), 2);
        for (const QVariantList& r : logged) {
            QCOMPARE(r[0].toString(), period::roleName(Role::Administrator));
            QVERIFY(!r[1].toString().isEmpty());
            QCOMPARE(r[2].toString(), period::appVersion());
        }
    }

    // With the extension, a priced operation whose entries lie in a closed month keeps
    // its product, type and kind; the refusal names the month as the client names it.
    void closedMonthKeepsItsOperations_data() {
        QTest::addColumn<int>("product");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("stored");
        QTest::newRow("another product") << 2 << 1 << 0 << true << false;
        QTest::newRow("another type") << 1 << 2 << 0 << true << false;
        QTest::newRow("another kind") << 1 << 1 << 1 << true << false;
        QTest::newRow("the same values") << 1 << 1 << 0 << true << true;
        QTest::newRow("another product, month open") << 2 << 1 << 0 << false << true;
    }
    void closedMonthKeepsItsOperations() {
        QFETCH(int, product);
        QFETCH(int, type);
        QFETCH(int, kind);
        QFETCH(bool, closed);
        QFETCH(bool, stored);
        seed();
        installExtension();
        QCOMPARE(entry::EntryStore().insert(record(1, 1, kDay, 1, 5)).status, Status::Saved);
        QCOMPARE(entry::EntryStore().insert(record(1, 1, kDay.addMonths(1), 1, 5)).status, Status::Saved);
        if (closed)
            testdb::exec(QStringLiteral("insert into accounts_dep.period_lock(year, month, closed_by) values (2024, 3, 'Бухгалтерия')"));
        const Result r = pricedops::PricedOpStore().save(
            {QStringLiteral("КР"), QStringLiteral("Резка"), product, type, kind}, 1);
        QCOMPARE(r.saved(), stored);
        const QVariantList now = testdb::rows(QStringLiteral("select i_id, vid, naimen from accounts_dep.oper where id=1")).value(0);
        QCOMPARE(now.size(), 3);
        const QList<int> expected = stored ? QList<int>{product, type, kind} : QList<int>{1, 1, 0};
        QCOMPARE((QList<int>{toInt(now[0]), toInt(now[1]), toInt(now[2])}), expected);
        if (!stored) {
            QCOMPARE(r.message, pricedops::closedMonthMessage(3, 2024));
            QVERIFY(r.message.startsWith(QStringLiteral("Месяц закрыт: март 2024")));
        }
    }
};

QTEST_MAIN(TestStaleChanges)
#include "test_stale_changes.moc"
