// Round trips as the server counts them (its log): a save of an entry, new or changed,
// and a delete each reach the server at most three times, and leave the timesheet's day
// at the entries' total. A statement with parameters is one round trip, and the values
// written into its text come back exactly as the driver's binding gave them. The one
// statement of a day posting leaves the timesheet as the four it replaces did.
#include "domain/connection.h"
#include "domain/entry_store.h"
#include "domain/sqltext.h"
#include "domain/timesheet_service.h"
#include "support/database.h"
#include "support/server_log.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace mirn;

namespace {

const QString kDb = QStringLiteral("t_roundtrips");
const QDate kDay(2024, 3, 5);

void seed() {
    testdb::openFresh(kDb);
    testdb::exec(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa) "
                                "values (1, 'КР-1', '', 6, 1)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка')"));
    testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (1, 1, 0, 1, 0)"));
}

entry::Record record(int worker, const QDate& date, int hours, int colour = 0, int shift = 1) {
    entry::Record r;
    r.w_id = worker;
    r.i_id = 1;
    r.o_id = 1;
    r.cena = 2.5;
    r.kol_vo = 10;
    r.time = hours;
    r.color = colour;
    r.date = date;
    r.shift = shift;
    return r;
}

int lastId() { return testdb::scalarInt(QStringLiteral("select max(id) from accounts_dep.smena")); }

// The day's column of the worker's timesheet rows, "rows:hours" ("0:" without a row).
QString day(int worker, const QDate& d, int shift = 1) {
    const QList<QVariantList> rows = testdb::rows(
        QStringLiteral("select coalesce(d%1::text, 'null') from accounts_dep.h_tabel where w_id=%2 and smena=%3 and month=%4 "
                       "and year=%5 order by id")
            .arg(d.day())
            .arg(worker)
            .arg(shift)
            .arg(d.month())
            .arg(d.year()));
    QStringList hours;
    for (const QVariantList& r : rows) hours << r[0].toString();
    return QString::number(rows.size()) + QLatin1Char(':') + hours.join(QLatin1Char(','));
}

// Every row of a result as "type:text" fields.
QStringList rowsOf(QSqlQuery& q) {
    QStringList out;
    while (q.next()) {
        QStringList f;
        for (int c = 0; c < q.record().count(); ++c)
            f << QString::fromLatin1(q.value(c).metaType().name()) + QLatin1Char(':') +
                     (q.value(c).isNull() ? QStringLiteral("NULL") : q.value(c).toString());
        out << f.join(QLatin1Char('|'));
    }
    return out;
}
QStringList rowsOf(const Query& q) {
    QStringList out;
    for (int r = 0; r < q.recordCount(); ++r) {
        QStringList f;
        for (int c = 0; c < q.fieldNames().size(); ++c)
            f << QString::fromLatin1(q.value(r, c).metaType().name()) + QLatin1Char(':') +
                     (q.value(r, c).isNull() ? QStringLiteral("NULL") : q.value(r, c).toString());
        out << f.join(QLatin1Char('|'));
    }
    return out;
}

}  // namespace

class TestRoundTrips : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { seed(); }
    void cleanupTestCase() { connection::closeShared(); }

    // A value written into the text reads back as the driver's binding of it did: the
    // same rows, of the same types, with the same text.
    void inlinedValuesAsBound_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QVariant>("value");
        const QString byText = QStringLiteral("select id, s, length(s) from v where s = :v order by id");
        QTest::newRow("quote") << byText << QVariant(QStringLiteral("Д'Артаньян"));
        QTest::newRow("two quotes and a backslash") << byText << QVariant(QStringLiteral("''\\'"));
        QTest::newRow("backslashes") << byText << QVariant(QStringLiteral("C:\\temp\\new"));
        QTest::newRow("cyrillic with a colon word") << byText << QVariant(QStringLiteral("Цех №3: :смена"));
        QTest::newRow("a placeholder-like text") << byText << QVariant(QStringLiteral(":v"));
        QTest::newRow("null text") << QStringLiteral("select count(*) from v where s is not distinct from :v")
                                   << QVariant(QMetaType(QMetaType::QString));
        QTest::newRow("empty value") << QStringLiteral("select count(*) from v where s is not distinct from :v") << QVariant();
        QTest::newRow("exact numeric as text") << QStringLiteral("select id, n, n * 3 from v where n = :v")
                                               << QVariant(QStringLiteral("12345678901234567890.0001"));
        QTest::newRow("exact numeric in arithmetic") << QStringLiteral("select id, n + :v from v order by id")
                                                     << QVariant(QStringLiteral("0.00000000000000000001"));
        QTest::newRow("big integer") << QStringLiteral("select id, big from v where big = :v")
                                     << QVariant(qlonglong(9007199254740993LL));
        QTest::newRow("negative integer") << QStringLiteral("select id from v where i = :v") << QVariant(-2147483647);
        QTest::newRow("double") << QStringLiteral("select id, f from v where f = :v") << QVariant(0.1);
        QTest::newRow("date") << QStringLiteral("select id, d from v where d = :v") << QVariant(QDate(2024, 2, 29));
        QTest::newRow("date compared") << QStringLiteral("select id, d, d > :v from v order by id")
                                       << QVariant(QDate(2023, 12, 31));
        QTest::newRow("timestamp") << QStringLiteral("select id, ts from v where ts >= :v order by id")
                                   << QVariant(QDateTime(QDate(2024, 3, 1), QTime(12, 0)));
        QTest::newRow("boolean") << QStringLiteral("select id from v where b = :v order by id") << QVariant(true);
        QTest::newRow("bytes") << QStringLiteral("select md5(:v::bytea), length(:v::bytea)")
                               << QVariant(QByteArray("a'\\\0\xff", 5));
        QTest::newRow("placeholder words in literals, identifiers and casts")
            << QStringLiteral("select 'at :v and ::v' as lit, s as \"a:v\", s::text, :v::text from v where s = :v")
            << QVariant(QStringLiteral("Д'Артаньян"));
    }
    void inlinedValuesAsBound() {
        QFETCH(QString, sql);
        QFETCH(QVariant, value);
        testdb::exec(QStringLiteral("drop table if exists v"));
        testdb::exec(QStringLiteral("create temp table v(id int, s text, n numeric, big bigint, i int, f double precision, d date, "
                                    "ts timestamp, b boolean)"));
        testdb::exec(QStringLiteral(
            "insert into v values (1, 'Д''Артаньян', 12345678901234567890.0001, 9007199254740993, -2147483647, 0.1, "
            "'2024-02-29', '2024-03-01 12:00', true), (2, '''''\\''', 1.5, 1, 0, 0.30000000000000004, '2024-03-01', "
            "'2024-03-02', false), (3, 'C:\\temp\\new', -0.0001, -1, 1, 1e300, '1999-12-31', '2024-02-29 23:59', null), "
            "(4, 'Цех №3: :смена', null, null, null, null, null, null, true), (5, ':v', 0, 0, 0, 0, '2024-01-01', null, false), "
            "(6, null, 2, 2, 2, 2, '2024-01-02', null, null)"));
        QSqlDatabase db = Db().database();
        QSqlQuery bound(db);
        bound.setNumericalPrecisionPolicy(QSql::HighPrecision);
        QVERIFY2(bound.prepare(sql), qPrintable(bound.lastError().text()));
        bound.bindValue(QStringLiteral(":v"), value);
        QVERIFY2(bound.exec(), qPrintable(bound.lastError().text()));
        const QStringList expected = rowsOf(bound);
        bound = QSqlQuery();
        QVERIFY(!expected.isEmpty());

        testdb::ServerLog log(db);
        Query q;
        q.setText(sql);
        q.setParam(QStringLiteral("v"), value);
        q.open();
        QCOMPARE(log.roundTrips(), 1);
        QCOMPARE(rowsOf(q), expected);
    }

    // Each save is at most three round trips, and the timesheet holds the entries'
    // hours afterwards.
    void saveRoundTrips_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("worker");
        QTest::addColumn<QDate>("target");  // the day the action writes
        QTest::addColumn<QString>("hours");  // the target day as day() reads it afterwards
        QTest::addColumn<QString>("left");   // the day the entry left (an edit that moves it), or empty
        QTest::newRow("new entry, first of the worker's month") << "insert" << 101 << kDay << "1:5" << "";
        QTest::newRow("new entry, month row there") << "insert second" << 102 << kDay << "1:8" << "";
        QTest::newRow("edited entry") << "update" << 103 << kDay << "1:7" << "";
        QTest::newRow("edited entry moved to another day") << "move" << 104 << kDay.addDays(1) << "1:7" << "1:0";
        QTest::newRow("edited entry moved to another month") << "move month" << 105 << kDay.addMonths(1) << "1:7"
                                                             << "1:0";
        QTest::newRow("deleted entry") << "delete" << 106 << kDay << "1:0" << "";
        QTest::newRow("deleted one of two") << "delete one" << 107 << kDay << "1:4" << "";
    }
    void saveRoundTrips() {
        QFETCH(QString, action);
        QFETCH(int, worker);
        QFETCH(QDate, target);
        QFETCH(QString, hours);
        QFETCH(QString, left);
        entry::EntryStore store;
        // What is stored before the action.
        if (action != QLatin1String("insert")) QCOMPARE(store.insert(record(worker, kDay, 3)).status, Status::Saved);
        const int id = lastId();
        if (action == QLatin1String("delete one"))
            QCOMPARE(store.insert(record(worker, kDay, 4, 1)).status, Status::Saved);
        const entry::Record seen = record(worker, kDay, 3);

        testdb::ServerLog log(Db().database());
        Result r;
        if (action == QLatin1String("insert")) r = store.insert(record(worker, kDay, 5));
        else if (action == QLatin1String("insert second")) r = store.insert(record(worker, kDay, 5, 1));
        else if (action.startsWith(QLatin1String("delete"))) r = store.remove(id, seen);
        else r = store.update(id, record(worker, target, 7), seen);
        const QStringList sent = log.statements();
        QCOMPARE(r.status, Status::Saved);
        qInfo().noquote() << "round trips:" << sent.size();
        QVERIFY2(sent.size() <= 3, qPrintable(QString::number(sent.size()) + QStringLiteral(" round trips:\n") +
                                              sent.join(QLatin1Char('\n'))));
        QCOMPARE(day(worker, target), hours);
        if (!left.isEmpty()) QCOMPARE(day(worker, kDay), left);
    }

    // A refusal still reads as one: nothing stored, and the transaction is gone.
    void refusalsAfterTheBatch_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("worker");
        QTest::addColumn<int>("status");
        QTest::newRow("duplicate") << "duplicate" << 201 << int(Status::Duplicate);
        QTest::newRow("edited into a duplicate") << "edit duplicate" << 202 << int(Status::Duplicate);
        QTest::newRow("edit of an entry changed meanwhile") << "stale edit" << 203 << int(Status::Stale);
        QTest::newRow("delete of an entry changed meanwhile") << "stale delete" << 204 << int(Status::Stale);
        QTest::newRow("month's amount past the limit") << "limit" << 205 << int(Status::Invalid);
        QTest::newRow("edit past the month's limit") << "edit limit" << 206 << int(Status::Invalid);
    }
    void refusalsAfterTheBatch() {
        QFETCH(QString, action);
        QFETCH(int, worker);
        QFETCH(int, status);
        entry::EntryStore store;
        QCOMPARE(store.insert(record(worker, kDay, 3)).status, Status::Saved);
        const int id = lastId();
        QCOMPARE(store.insert(record(worker, kDay, 2, 1)).status, Status::Saved);
        // A month that the next entry's amount takes past the limit.
        if (action.endsWith(QLatin1String("limit")))
            testdb::exec(QStringLiteral("insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, "
                                        "time, ok) values (%1, 1, 1, 10000, 9999, 0, '2024-03-20', 2, 0, 1, 'no')")
                             .arg(worker));
        const int entries = testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena"));
        const QString hours = day(worker, kDay);
        const entry::Record seen = record(worker, kDay, 3);
        entry::Record changed = seen;
        changed.time = 9;
        Result r;
        if (action == QLatin1String("duplicate")) {
            r = store.insert(record(worker, kDay, 9));
        } else if (action == QLatin1String("edit duplicate")) {
            changed.color = 1;
            r = store.update(id, changed, seen);
        } else if (action == QLatin1String("stale edit") || action == QLatin1String("stale delete")) {
            entry::Record other = seen;
            other.kol_vo = 11;
            r = action == QLatin1String("stale edit") ? store.update(id, changed, other) : store.remove(id, other);
        } else if (action == QLatin1String("limit")) {
            entry::Record more = record(worker, kDay, 9, 7);
            more.cena = 100000;
            r = store.insert(more);
        } else {
            changed.cena = 100000;
            r = store.update(id, changed, seen);
        }
        QCOMPARE(int(r.status), status);
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena")), entries);
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where time=9 or cena=100000")), 0);
        QCOMPARE(day(worker, kDay), hours);
        // No transaction is left open: the next statement is one of its own.
        QVERIFY(testdb::scalar(QStringLiteral("select now() = statement_timestamp()")).toBool());
        QCOMPARE(testdb::advisoryLocks(), 0);
    }

    // Many new entries at once: their days post in a round trip per hundred dates, not
    // one per date, and the timesheet holds each day's total.
    void batchPostsDatesTogether_data() {
        QTest::addColumn<int>("dates");
        QTest::addColumn<int>("maxTrips");
        QTest::newRow("two dates") << 2 << 5;
        QTest::newRow("150 dates") << 150 << 6;
    }
    void batchPostsDatesTogether() {
        QFETCH(int, dates);
        QFETCH(int, maxTrips);
        testdb::exec(QStringLiteral("delete from accounts_dep.smena where w_id between 300 and 302"));
        testdb::exec(QStringLiteral("delete from accounts_dep.h_tabel where w_id between 300 and 302"));
        const QDate first(2025, 1, 1);
        QList<entry::Record> records;
        for (int i = 0; i < dates; ++i) {
            records << record(300 + i % 3, first.addDays(i), 1 + i % 5);
            records << record(300 + i % 3, first.addDays(i), 2, 1);
        }
        testdb::ServerLog log(Db().database());
        const BatchResult res = entry::EntryStore().insertAll(records, false);
        const int trips = log.roundTrips();
        QVERIFY(res.stored && res.allSaved());
        QVERIFY2(trips <= maxTrips, qPrintable(QString::number(trips)));
        QString days;
        for (int d = 1; d <= 31; ++d)
            days += QStringLiteral(" union all select w_id, smena, make_date(year, month, %1) as data, d%1 as tim from "
                                   "accounts_dep.h_tabel where %1 <= extract(day from (make_date(year, month, 1) + "
                                   "interval '1 month - 1 day'))").arg(d);
        const int mismatches = testdb::scalarInt(
            QStringLiteral("select count(*) from (select w_id, smena, data, sum(time) as t from accounts_dep.smena where w_id "
                           "between 300 and 302 group by 1, 2, 3) s full join (select * from (") +
            days.mid(11) +
            QStringLiteral(") h where w_id between 300 and 302 and tim is not null) h using (w_id, smena, data) "
                           "where s.t is distinct from h.tim"));
        QCOMPARE(mismatches, 0);
    }

    // The day posting's one statement against the four it replaces (count, sum, insert
    // or update), each on the same stored state.
    void postingAsBefore_data() {
        QTest::addColumn<QString>("state");  // statements run before the posting
        QTest::addColumn<bool>("insertMissing");
        const QString entries = QStringLiteral(
            "insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok) values "
            "(1, 1, 1, 1, 1, 0, '2024-03-31', 4, 0, 5, 'no'), (1, 1, 1, 1, 1, 0, '2024-03-31', 4, 1, 6, 'no'), "
            "(1, 1, 1, 1, 1, 0, '2024-03-30', 4, 0, 2, 'no'), (2, 1, 1, 1, 1, 0, '2024-03-31', 4, 0, 3, 'no'), "
            "(1, 1, 1, 1, 1, 0, '2024-03-31', 1, 0, 8, 'no');");
        const QString row = QStringLiteral("insert into accounts_dep.h_tabel(w_id, smena, month, year, d30, d31) values (1, 4, 3, 2024, 2, 1);");
        const QString otherRows = QStringLiteral("insert into accounts_dep.h_tabel(w_id, smena, month, year, d31) values "
                                                 "(1, 1, 3, 2024, 9), (1, 4, 4, 2024, 9), (2, 4, 3, 2024, 9);");
        for (bool missing : {true, false}) {
            const char* m = missing ? "creating" : "recounting";
            QTest::addRow("%s, no row, entries", m) << entries + otherRows << missing;
            QTest::addRow("%s, a row, entries", m) << entries + row + otherRows << missing;
            QTest::addRow("%s, a row, no entries", m) << row + otherRows << missing;
            QTest::addRow("%s, no row, no entries", m) << otherRows << missing;
            QTest::addRow("%s, two rows", m) << entries + row + row << missing;
            QTest::addRow("%s, hours left empty", m)
                << QStringLiteral("insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, "
                                  "time, ok) values (1, 1, 1, 1, 1, 0, '2024-03-31', 4, 0, null, 'no');") +
                       row
                << missing;
        }
    }
    void postingAsBefore() {
        QFETCH(QString, state);
        QFETCH(bool, insertMissing);
        const locks::Day d{1, QDate(2024, 3, 31), 4};
        auto timesheet = [] {
            QStringList out;
            for (const QVariantList& r : testdb::rows(QStringLiteral(
                     "select concat_ws('|', w_id, smena, month, year, d1, d29, d30, d31) from accounts_dep.h_tabel order by 1")))
                out << r[0].toString();
            return out;
        };
        auto prepare = [&] {
            testdb::exec(QStringLiteral("delete from accounts_dep.smena"));
            testdb::exec(QStringLiteral("delete from accounts_dep.h_tabel"));
            for (const QString& s : state.split(QLatin1Char(';'), Qt::SkipEmptyParts)) testdb::exec(s);
        };
        prepare();
        // As it was: the row count, the day's total, then an insert or an update.
        const int cnt = insertMissing ? testdb::scalarInt(sqltext::timesheetCount(d)) : 1;
        const int tim = testdb::scalarInt(sqltext::daySum(d));
        testdb::exec(cnt == 0 ? sqltext::timesheetInsert(d, tim) : sqltext::timesheetUpdate(d, tim));
        const QStringList before = timesheet();
        prepare();
        testdb::ServerLog log(Db().database());
        timesheet::Service(Db()).postDay(d, insertMissing);
        QCOMPARE(log.roundTrips(), 1);
        QCOMPARE(timesheet(), before);
    }
};

QTEST_GUILESS_MAIN(TestRoundTrips)
#include "test_roundtrips.moc"
