// Clients writing at once, each on its own connection in its own thread: the
// timesheet must still equal the shift entries, and a reference book must not get
// the same mark twice.
#include "domain/connection.h"
#include "domain/entry_store.h"
#include "domain/optypes.h"
#include "domain/pricedops.h"
#include "domain/products.h"
#include "domain/timesheet_service.h"
#include "support/database.h"

#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

using namespace mirn;

namespace {
const QString kDb = testdb::dbName(QStringLiteral("t_races"));
const int kWorkers = 4;

// Runs body on a connection of its own (QTest's checks belong to the main thread, so
// the threads report by throwing), opened and closed in the calling thread;
// returns the first error, empty when there was none.
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

// Days where the stored timesheet differs from the entries, as "worker/shift dN: stored≠sum";
// a (worker, shift) with entries needs exactly one month row.
QStringList timesheetMismatches(int month, int year) {
    const QString m = QString::number(month), y = QString::number(year);
    QStringList out;
    const auto rows = testdb::rows(
        QStringLiteral("select w_id, smena, count(*) from accounts_dep.h_tabel where month=") + m +
        QStringLiteral(" and year=") + y + QStringLiteral(" group by w_id, smena having count(*) <> 1"));
    for (const QVariantList& r : rows)
        out << QStringLiteral("%1/%2: %3 rows").arg(r[0].toString(), r[1].toString(), r[2].toString());
    QString days;
    for (int d = 1; d <= 31; ++d) days += QStringLiteral(" union all select w_id, smena, %1, coalesce(d%1, 0) from accounts_dep.h_tabel where month=%2 and year=%3").arg(d).arg(m, y);
    const auto diffs = testdb::rows(
        QStringLiteral("with stored(w_id, smena, day, tim) as (") + days.mid(11) +
        QStringLiteral("), entries as (select w_id, smena, extract(day from data)::int as day, sum(time) as tim "
                       "from accounts_dep.smena where extract(month from data)=") +
        m + QStringLiteral(" and extract(year from data)=") + y +
        QStringLiteral(" group by w_id, smena, data) "
                       "select coalesce(s.w_id, e.w_id), coalesce(s.smena, e.smena), coalesce(s.day, e.day), "
                       "coalesce(s.tim, 0), coalesce(e.tim, 0) from stored s full join entries e "
                       "on s.w_id=e.w_id and s.smena=e.smena and s.day=e.day where coalesce(s.tim, 0) <> coalesce(e.tim, 0)"));
    for (const QVariantList& r : diffs)
        out << QStringLiteral("%1/%2 d%3: %4≠%5")
                   .arg(r[0].toString(), r[1].toString(), r[2].toString(), r[3].toString(), r[4].toString());
    return out;
}

entry::Record record(int worker, int product, int oper, const QDate& date, int shift, int hours, int colour) {
    entry::Record r;
    r.w_id = worker;
    r.i_id = product;
    r.o_id = oper;
    r.cena = 2;
    r.kol_vo = 10;
    r.time = hours;
    r.color = colour;
    r.date = date;
    r.shift = shift;
    return r;
}
}  // namespace

class TestRaces : public QObject {
    Q_OBJECT

private slots:
    void init() {
        testdb::openFresh(kDb);
        testdb::exec(QStringLiteral("insert into cmn_classifier.item(id, id_level, s_caption) values (500, 2, 'Кронштейны')"));
        testdb::exec(QStringLiteral(
            "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) "
            "values (1, 'КР-100', '', 6, 1, 500), (2, 'ХМ-40', '', 6, 1, 500)"));
        testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Гибка')"));
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (1, 1, 0, 1, 0), (2, 2, 0, 2, 0)"));
        testdb::exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) values (1, 1, 0, 2), (2, 1, 0, 3)"));
        // New rows take their keys after the fixture's.
        testdb::exec(QStringLiteral("select setval('cmn_gds_and_srv.gds_and_srv_id_seq', 100), "
                                    "setval(pg_get_serial_sequence('accounts_dep.vid_oper', 'id'), 100), "
                                    "setval(pg_get_serial_sequence('accounts_dep.oper', 'id'), 100)"));
    }

    // A month rebuild while another client saves, changes and deletes entries of that
    // month: every posting either waits for the rebuild or is counted by it.
    void rebuildRacingSavesChangesAndDeletes() {
        const QDate march(2024, 3, 1);
        for (int round = 0; round < 20; ++round) {
            testdb::exec(QStringLiteral("delete from accounts_dep.smena; delete from accounts_dep.h_tabel"));
            std::atomic<bool> writing{true};
            QString writerError, rebuildError;
            int rebuilds = 0;
            std::thread writer([&] {
                writerError = onOwnConnection(QStringLiteral("writer"), [&](const QString& c) {
                    entry::EntryStore store(c);
                    QRandomGenerator rng(quint32(round + 1));
                    std::vector<std::pair<int, entry::Record>> stored;  // id and what it holds
                    int colour = 0;
                    for (int op = 0; op < 200; ++op) {
                        const int kind = stored.empty() ? 0 : rng.bounded(4);
                        const entry::Record r = record(1 + rng.bounded(kWorkers), 1, 1, march.addDays(rng.bounded(5)),
                                                       1 + rng.bounded(2), 1 + rng.bounded(8), ++colour);
                        if (kind <= 1) {
                            if (const Result s = store.insert(r); !s.saved()) throw Refusal(s.message);
                            Query last(c);
                            last.setText(QStringLiteral("select max(id) from accounts_dep.smena"));
                            last.open();
                            stored.push_back({toInt(last.value(0, 0)), r});
                        } else {
                            const size_t at = rng.bounded(quint32(stored.size()));
                            const auto [id, was] = stored[at];
                            if (kind == 2) {
                                if (const Result s = store.update(id, r, was); !s.saved())
                                    throw Refusal(s.message);
                                stored[at].second = r;
                            } else {
                                store.remove(id, was);
                                stored.erase(stored.begin() + long(at));
                            }
                        }
                    }
                });
                writing = false;
            });
            std::thread rebuilder([&] {
                rebuildError = onOwnConnection(QStringLiteral("rebuilder"), [&](const QString& c) {
                    const timesheet::Service service(c);
                    while (writing) {
                        service.rebuildMonth(3, 2024);
                        ++rebuilds;
                    }
                });
            });
            writer.join();
            rebuilder.join();
            QVERIFY2(writerError.isEmpty(), qPrintable(writerError));
            QVERIFY2(rebuildError.isEmpty(), qPrintable(rebuildError));
            QVERIFY(rebuilds > 0);
            const QStringList mismatches = timesheetMismatches(3, 2024);
            QVERIFY2(mismatches.isEmpty(),
                     qPrintable(QStringLiteral("round %1 after %2 rebuilds: ").arg(round).arg(rebuilds) +
                                mismatches.join(QStringLiteral(", "))));
        }
    }

    // A product's delete (its entries, operations and the product) while another client
    // posts the same worker's day: the posting has read the day's total, with the
    // product's entries still in it, and is about to store it.
    void productDeleteRacingASave() {
        testdb::exec(QStringLiteral(
            "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) "
            "values (3, 'УД-1', '', 6, 1, 500)"));
        testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (3, 1, 1, 3, 0)"));
        const QDate day(2024, 3, 4);
        entry::EntryStore seed;
        QCOMPARE(int(seed.insert(record(1, 3, 3, day, 1, 3, 0)).status), int(Status::Saved));
        QCOMPARE(int(seed.insert(record(1, 3, 3, day.addMonths(1), 1, 4, 0)).status), int(Status::Saved));
        QCOMPARE(int(seed.insert(record(1, 1, 1, day, 1, 2, 0)).status), int(Status::Saved));

        std::atomic<bool> deleted{false};
        QString deleteError;
        std::thread deleter;
        bool deleterWaited = false;
        entry::EntryStore writer;
        writer.timesheet().afterSum = [&] {
            if (deleter.joinable()) return;
            deleter = std::thread([&] {
                deleteError = onOwnConnection(QStringLiteral("deleter"), [&](const QString& c) {
                    products::ProductStore(c).remove(3, {true, true, true});
                });
                deleted = true;
            });
            for (int i = 0; i < 250 && !deleted; ++i) {
                if (testdb::advisoryLocks(true) > 0) {
                    deleterWaited = true;
                    break;
                }
                QThread::msleep(20);
            }
        };
        QCOMPARE(int(writer.insert(record(1, 1, 1, day, 1, 1, 5)).status), int(Status::Saved));
        deleter.join();
        QVERIFY2(deleteError.isEmpty(), qPrintable(deleteError));
        QCOMPARE(testdb::scalarInt("select count(*) from accounts_dep.smena where i_id=3"), 0);
        for (int month : {3, 4}) {
            const QStringList mismatches = timesheetMismatches(month, 2024);
            QVERIFY2(mismatches.isEmpty(), qPrintable(QStringLiteral("month %1: ").arg(month) +
                                                      mismatches.join(QStringLiteral(", "))));
        }
        QVERIFY(deleterWaited);
    }

    // Two clients adding the same mark at the same moment: one row and one refusal.
    void twoClientsAddingTheSameMark_data() {
        QTest::addColumn<QString>("book");
        QTest::newRow("product mark") << "products";
        QTest::newRow("operation type") << "types";
        QTest::newRow("priced operation") << "priced";
    }
    void twoClientsAddingTheSameMark() {
        QFETCH(QString, book);
        for (int round = 0; round < 30; ++round) {
            std::atomic<int> ready{0};
            QList<Status> outcomes;
            QMutex m;
            auto client = [&](const QString& name) {
                return onOwnConnection(name, [&](const QString& c) {
                    ready++;
                    while (ready < 2) std::this_thread::yield();
                    Result r;
                    const QString mark = QStringLiteral("Р-%1").arg(round);
                    if (book == QLatin1String("products"))
                        r = products::ProductStore(c).save({mark, QStringLiteral("1"), 500}, 0);
                    else if (book == QLatin1String("types"))
                        r = optypes::OpTypeStore(c).save(mark, 0);
                    else
                        r = pricedops::PricedOpStore(c).save({QStringLiteral("КР-100"), QStringLiteral("Резка"), 1, 1, round + 2},
                                                             0);
                    QMutexLocker lock(&m);
                    outcomes << r.status;
                });
            };
            QString e1, e2;
            std::thread a([&] { e1 = client(QStringLiteral("first")); });
            std::thread b([&] { e2 = client(QStringLiteral("second")); });
            a.join();
            b.join();
            QVERIFY2(e1.isEmpty() && e2.isEmpty(), qPrintable(e1 + e2));
            QCOMPARE(outcomes.count(Status::Saved), 1);
            QCOMPARE(outcomes.count(Status::Duplicate), 1);
        }
        const QString count = book == QLatin1String("products")
                                  ? QStringLiteral("select count(*) from accounts_dep.izdel where marka like 'Р-%' group by marka having count(*) > 1")
                              : book == QLatin1String("types")
                                  ? QStringLiteral("select count(*) from accounts_dep.vid_oper where vid like 'Р-%' group by vid having count(*) > 1")
                                  : QStringLiteral("select count(*) from accounts_dep.oper group by vid, naimen, i_id having count(*) > 1");
        QVERIFY(testdb::rows(count).isEmpty());
    }
};

QTEST_MAIN(TestRaces)
#include "test_races.moc"
