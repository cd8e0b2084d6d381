// The set-based statements return what the row-by-row ones did: the earnings statement,
// the shift copy's source and the month rebuild give the very rows of the statements
// they replace (kept here as the reference) on the demo and on a generated month; a
// batch of entries is stored in as many statements for 300 entries as for 3; the
// import refuses the same rows by line and stores nothing when one is refused or when
// it is cancelled.
#include "domain/connection.h"
#include "domain/earnings.h"
#include "domain/entry_import.h"
#include "domain/entry_store.h"
#include "domain/limits.h"
#include "domain/sqltext.h"
#include "support/database.h"

#include <QtTest>

using namespace mirn;

namespace {

// ---- the statements as they were

QStringList oldEarnings() {
    QStringList s = earnings::statementSql();
    s = s.mid(0, s.indexOf(QStringLiteral(") x")) + 1);
    s << QStringLiteral(" left join lateral (select min(p.s_caption) as s_caption from cmn_contractor.person p")
      << QStringLiteral("  where case when p.s_code ~ '^[0-9]{1,9}$' then p.s_code::integer end = x.w_id) cp on true")
      << QStringLiteral(" left join cmn_contractor.person pi on pi.id=x.w_id")
      << QStringLiteral(" left join accounts_dep.person ap on ap.id=x.w_id")
      << QStringLiteral(" cross join lateral (select case when cp.s_caption is null and pi.s_code ~ '^[0-9]{1,9}$'")
      << QStringLiteral("  then pi.s_code::integer else x.w_id end as tab_no) t")
      << QStringLiteral(" where (:worker=0 or t.tab_no=:worker or x.w_id=:worker)")
      << QStringLiteral(" order by fio, t.tab_no, x.section, x.data, x.smena, x.marka, x.vid, x.color");
    return s;
}

const QStringList kOldCopySource = {
    QStringLiteral("select s.id, s.w_id, s.o_id, oper.i_id, s.kol_vo, s.time, s.color, oper.naimen, izdel.marka, vid_oper.vid,"),
    QStringLiteral("(select min(norm.price) from accounts_dep.norm where norm.o_id=s.o_id)::numeric as base,"),
    QStringLiteral("(select p.s_caption from cmn_contractor.person p where p.id=s.w_id or"),
    QStringLiteral(" (case when p.s_code ~ '^[[:space:]]*[0-9]{1,15}[[:space:]]*$' then p.s_code::t_id end)=s.w_id"),
    QStringLiteral(" order by p.id limit 1) as fio"),
    QStringLiteral("from accounts_dep.smena s left join accounts_dep.oper on oper.id=s.o_id"),
    QStringLiteral("left join accounts_dep.izdel on izdel.id=oper.i_id left join accounts_dep.vid_oper on vid_oper.id=oper.vid"),
    QStringLiteral("where s.data=:data and s.smena=:smena"),
    QStringLiteral("order by fio, izdel.marka, vid_oper.vid, oper.naimen, s.color, s.id")};

QString oldInsertMonth(int month, int year) {
    const QDate first(year, month, 1);
    QString sql = QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year");
    for (int d = 1; d <= 31; ++d) sql += QStringLiteral(", d%1").arg(d);
    sql += QStringLiteral(") select smena, w_id, %1, %2").arg(month).arg(year);
    for (int d = 1; d <= 31; ++d) sql += QStringLiteral(", sum(time) filter (where extract(day from data)=%1)").arg(d);
    sql += QStringLiteral(" from accounts_dep.smena where data>=to_date('") + sqltext::dateText(first) +
           QStringLiteral("', 'DD.MM.YYYY') and data<to_date('") + sqltext::dateText(first.addMonths(1)) +
           QStringLiteral("', 'DD.MM.YYYY') and w_id is not null and smena is not null group by smena, w_id");
    return sql;
}

// ---- the databases

// A month of a generated register with the awkward cases: entries naming a worker by
// code and by register row, a code equal to another person's row number, two persons
// with one code, a code too long for a worker number, names only in the department's
// list, unknown workers, auxiliary work, hours left empty.
void generate() {
    testdb::exec(QStringLiteral("insert into cmn_contractor.person(id, s_caption, s_code) "
                                "select p, 'Работник ' || p, (1000 + p)::text from generate_series(1, 40) p"));
    testdb::exec(QStringLiteral("insert into cmn_contractor.person(id, s_caption, s_code) values "
                                "(41, 'Двойник А', '1005'), (42, 'Код как номер строки', '3'), (43, 'Длинный код', '12345678901'), "
                                "(44, null, '1044'), (45, 'Без кода', null)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.person(id, fio, s_staffpos_hl) values (2000, 'Только в отделе', ''), "
                                "(1010, 'Отдел 1010', ''), (5, 'Отдел 5', '')"));
    testdb::exec(QStringLiteral("insert into cmn_classifier.item(id, s_caption) values (500, 'Уборка')"));
    testdb::exec(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa) "
                                "select i, 'КР-' || i, '', 6, 1 from generate_series(1, 10) i"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Гибка'), (7777, 'Дежурство')"));
    testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) "
                                "select o, 1 + ((o - 1) / 10) % 2, (o - 1) / 20, 1 + (o - 1) % 10, 0 from generate_series(1, 30) o"));
    // Operation o is product КР-(1 + (o-1) % 10): 1..10 cutting and 11..20 bending of
    // finished products, 21..30 cutting of blanks; 1..25 are priced, 26..30 not.
    testdb::exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) "
                                "select o, 100, 0, 1 + o * 0.25 from generate_series(1, 25) o"));
    const QString workers = QStringLiteral("(values (1001), (1002), (1003), (1005), (1010), (1040), (1044), (3), (5), (42), "
                                           "(2000), (99999), (12345678901 % 1000000000))");
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod, prize) "
        "select w.w, o, 1 + (o - 1) % 10, 1.5 + o * 0.01, 5 + k, k % 3, d, 1 + (w.w + k) % 4, k % 3, "
        "case when k = 2 then null else 1 + k end, 'no', d, 0 "
        "from %1 w(w), generate_series(date '2024-03-01', date '2024-03-31', interval '1 day') d, "
        "generate_series(0, 3) k, lateral (select 1 + (w.w + k * 7 + extract(day from d)::int) % 30 as o) op")
                     .arg(workers));
    testdb::exec(QStringLiteral("insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price) "
                                "values (500, 7777, 2000, '2024-03-04', 3, 2024, 1, 3, 150), "
                                "(500, 7777, 1010, '2024-03-05', 3, 2024, 1, 2, 120), (500, 7777, 5, '2024-03-05', 3, 2024, 2, 1, 99.5)"));
}

QString g_current;
void use(bool demo) {
    const QString name = demo ? QStringLiteral("t_batch_statements_demo") : QStringLiteral("t_batch_statements");
    if (g_current == name) return;
    testdb::openFresh(name, demo);
    if (!demo) generate();
    g_current = name;
}

// Every row of a query as text, in its order.
QStringList rowsOf(Query& q) {
    QStringList out;
    for (int r = 0; r < q.recordCount(); ++r) {
        QStringList fields;
        for (int c = 0; c < q.fieldNames().size(); ++c) fields << q.value(r, c).toString();
        out << fields.join(QLatin1Char('|'));
    }
    return out;
}

QStringList earningsRows(const QStringList& sql, const QDate& from, const QDate& to, int worker) {
    Query q;
    q.SQL = sql;
    q.setParam(QStringLiteral("data1"), from);
    q.setParam(QStringLiteral("data2"), to);
    q.setParam(QStringLiteral("worker"), worker);
    q.open();
    return rowsOf(q);
}

QStringList timesheetRows(int month, int year) {
    QStringList out;
    for (const QVariantList& r : testdb::rows(
             QStringLiteral("select h::text from (select w_id, smena, month, year, d1,d2,d3,d4,d5,d6,d7,d8,d9,d10,d11,d12,d13,d14,"
                            "d15,d16,d17,d18,d19,d20,d21,d22,d23,d24,d25,d26,d27,d28,d29,d30,d31 from accounts_dep.h_tabel "
                            "where month=%1 and year=%2) h order by 1")
                 .arg(month)
                 .arg(year)))
        out << r[0].toString();
    return out;
}

// The demo's entries lie in the months before today.
QDate demoMonth() { return testdb::scalar(QStringLiteral("select date_trunc('month', max(data))::date - interval '1 month' from accounts_dep.smena")).toDate(); }

entry::Record record(int w, int o, const QDate& d, int qty = 10) {
    entry::Record r;
    r.w_id = w;
    r.o_id = o;
    r.i_id = 1 + (o - 1) % 10;
    r.cena = 2.5;
    r.kol_vo = qty;
    r.time = 2;
    r.date = d;
    r.shift = 1;
    return r;
}

int entriesOn(const QDate& from, const QDate& to) {
    return testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where data>='%1' and data<'%2'")
                                 .arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate)));
}

const QStringList kHeader = entry::kImportColumns;
QStringList row(const QString& date, int worker, const QString& mark, const QString& type, int qty = 10, int hours = 8) {
    return {date, QStringLiteral("1"), QString::number(worker), mark, type, QStringLiteral("0"), QString::number(qty),
            QStringLiteral("0"), QString::number(hours), QString(), QStringLiteral("0")};
}

}  // namespace

class TestBatchStatements : public QObject {
    Q_OBJECT

private slots:
    void cleanupTestCase() { connection::closeShared(); }

    void earningsSameRows_data() {
        QTest::addColumn<bool>("demo");
        QTest::addColumn<int>("days");    // 0: the whole month
        QTest::addColumn<int>("worker");  // 0: everyone
        QTest::newRow("generated month") << false << 0 << 0;
        QTest::newRow("generated day") << false << 1 << 0;
        QTest::newRow("generated, worker by code") << false << 0 << 1003;
        QTest::newRow("generated, code equal to a row number") << false << 0 << 3;
        QTest::newRow("generated, worker by row of a duplicated code") << false << 0 << 5;
        QTest::newRow("generated, department only") << false << 0 << 2000;
        QTest::newRow("generated, unknown worker") << false << 0 << 99999;
        QTest::newRow("demo month") << true << 0 << 0;
        QTest::newRow("demo, one worker") << true << 0 << 10002;
        QTest::newRow("demo, another worker") << true << 0 << 10005;
    }
    void earningsSameRows() {
        QFETCH(bool, demo);
        QFETCH(int, days);
        QFETCH(int, worker);
        use(demo);
        const QDate from = demo ? demoMonth() : QDate(2024, 3, 1);
        const QDate to = days ? from.addDays(days + 4) : from.addMonths(1);
        const QDate start = days ? from.addDays(4) : from;
        const QStringList before = earningsRows(oldEarnings(), start, to, worker);
        const QStringList after = earningsRows(earnings::statementSql(), start, to, worker);
        QVERIFY(!before.isEmpty() || worker == 99999);
        // The statement orders by name, worker, section, date, shift, mark, type and colour:
        // rows equal in all of these may come in either order.
        auto ordered = [](const QStringList& rows) {
            QStringList keys;
            for (const QString& r : rows) {
                const QStringList f = r.split(QLatin1Char('|'));
                keys << QStringList{f[2], f[1], f[3], f[4], f[5], f[6], f[7], f[9]}.join(QLatin1Char('|'));
            }
            return keys;
        };
        QCOMPARE(ordered(after), ordered(before));
        QStringList a = after, b = before;
        a.sort();
        b.sort();
        QCOMPARE(a, b);
    }

    // Workers the generated month lacks, each added for one row and taken away after: the
    // statement names them as the old one did, for everyone and for the worker alone.
    void earningsSameRowsAwkwardWorkers_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("worker");
        const QString entry = QStringLiteral(
            "insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod, prize) "
            "values (%1, 3, 3, 2.25, 7, 1, '2024-03-12', 2, 0, 4, 'no', '2024-03-12', 0)");
        QTest::newRow("code with leading zeros")
            << QStringLiteral("insert into cmn_contractor.person(id, s_caption, s_code) values (60, 'Нули впереди', '0003100');") +
                   entry.arg(3100)
            << 3100;
        QTest::newRow("code of ten digits")
            << QStringLiteral("insert into cmn_contractor.person(id, s_caption, s_code) values (61, 'Десять цифр', '0000003101');") +
                   entry.arg(3101)
            << 3101;
        QTest::newRow("a second, nameless person with a code")
            << QStringLiteral("insert into cmn_contractor.person(id, s_caption, s_code) values (62, null, '1001'), "
                              "(63, null, '3102');") +
                   entry.arg(1001) + QLatin1Char(';') + entry.arg(3102)
            << 3102;
        QTest::newRow("auxiliary work only")
            << QStringLiteral("insert into cmn_contractor.person(id, s_caption, s_code) values (64, 'Только хоз. работы', '3103');"
                              "insert into accounts_dep.person(id, fio, s_staffpos_hl) values (3103, 'Отдел 3103', '');"
                              "insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price) "
                              "values (500, 7777, 3103, '2024-03-06', 3, 2024, 1, 2, 80)")
            << 3103;
        QTest::newRow("entry without a worker") << entry.arg(QStringLiteral("null")) << 0;
    }
    void earningsSameRowsAwkwardWorkers() {
        QFETCH(QString, setup);
        QFETCH(int, worker);
        use(false);
        Transaction t;
        for (const QString& sql : setup.split(QLatin1Char(';'))) testdb::exec(sql);
        const QDate from(2024, 3, 1), to(2024, 4, 1);
        for (int w : {0, worker}) {
            QStringList before = earningsRows(oldEarnings(), from, to, w);
            QStringList after = earningsRows(earnings::statementSql(), from, to, w);
            QVERIFY(!before.isEmpty());
            before.sort();
            after.sort();
            QCOMPARE(after, before);
        }
    }

    void copySourceSameRows_data() {
        QTest::addColumn<bool>("demo");
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("shift");
        for (int shift = 1; shift <= 4; ++shift) {
            QTest::addRow("generated, shift %d", shift) << false << 7 << shift;
            QTest::addRow("demo, shift %d", shift) << true << 7 << shift;
        }
    }
    void copySourceSameRows() {
        QFETCH(bool, demo);
        QFETCH(int, day);
        QFETCH(int, shift);
        use(demo);
        // The demo's busiest day of its month.
        const QDate date = demo ? testdb::scalar(QStringLiteral("select data from accounts_dep.smena where data>='%1' group by data "
                                                               "order by count(*) desc, data limit 1")
                                                     .arg(demoMonth().toString(Qt::ISODate)))
                                      .toDate()
                                : QDate(2024, 3, 1).addDays(day);
        auto read = [&](const QStringList& sql) {
            Query q;
            q.SQL = sql;
            q.setParam(QStringLiteral("data"), date);
            q.setParam(QStringLiteral("smena"), shift);
            q.open();
            return rowsOf(q);
        };
        const QStringList before = read(kOldCopySource);
        QVERIFY(!before.isEmpty());
        QCOMPARE(read(sqltext::copySource()), before);
    }

    void rebuildSameRows_data() {
        QTest::addColumn<bool>("demo");
        QTest::newRow("generated") << false;
        QTest::newRow("demo") << true;
    }
    void rebuildSameRows() {
        QFETCH(bool, demo);
        use(demo);
        const QDate m = demo ? demoMonth() : QDate(2024, 3, 1);
        Transaction t;
        testdb::exec(sqltext::deleteMonth(m.month(), m.year()));
        testdb::exec(oldInsertMonth(m.month(), m.year()));
        const QStringList before = timesheetRows(m.month(), m.year());
        testdb::exec(sqltext::deleteMonth(m.month(), m.year()));
        testdb::exec(sqltext::insertMonth(m.month(), m.year()));
        QVERIFY(before.size() > 5);
        QCOMPARE(timesheetRows(m.month(), m.year()), before);
    }

    // The statements of a batch do not grow with its entries, and the day postings come
    // out as a save of each entry on its own would leave them.
    void batchStatementsDoNotGrowWithEntries() {
        use(false);
        const QDate day(2024, 5, 6);
        auto store = [&](int count, int shift) {
            QList<entry::Record> records;
            for (int i = 0; i < count; ++i) {
                entry::Record r = record(1001 + i % 40, 1 + (i / 40) % 25, day);
                r.shift = shift;
                r.time = 1 + i % 5;
                records << r;
            }
            const long before = roundTrips();
            const BatchResult res = entry::EntryStore().insertAll(records, true);
            [&] { QVERIFY(res.stored && res.allSaved()); }();
            return roundTrips() - before;
        };
        const long few = store(3, 1), many = store(300, 2);
        QCOMPARE(many, few);
        const int mismatches = testdb::scalarInt(QStringLiteral(
            "select count(*) from (select w_id, smena, sum(time) as t from accounts_dep.smena where data='2024-05-06' group by 1, 2) s "
            "full join (select w_id, smena, d6 from accounts_dep.h_tabel where month=5 and year=2024) h using (w_id, smena) "
            "where s.t is distinct from h.d6"));
        QCOMPARE(mismatches, 0);
        testdb::exec(QStringLiteral("delete from accounts_dep.smena where data='2024-05-06'"));
        testdb::exec(QStringLiteral("delete from accounts_dep.h_tabel where month=5 and year=2024"));
    }

    // The refusals that need the stored entries, for rows of one file: named by line in
    // the file's order, each with the sentence of the row-by-row import; nothing stored.
    void importRefusesByLine_data() {
        QTest::addColumn<QList<QStringList>>("rows");  // from line 2
        QTest::addColumn<QStringList>("expected");     // "line: reason", in order
        const QString d = QStringLiteral("10.06.2024"), dup = entry::kDuplicateEntry;
        const QStringList good = row(d, 1001, QStringLiteral("КР-2"), QStringLiteral("Гибка"));
        QTest::newRow("repeats an earlier row")
            << QList<QStringList>{good, row(d, 1002, QStringLiteral("КР-2"), QStringLiteral("Гибка")), good}
            << QStringList{QStringLiteral("4: ") + dup + QStringLiteral(" (повторяет строку 2)")};
        QTest::newRow("repeats a stored entry")
            << QList<QStringList>{good, row(QStringLiteral("11.03.2024"), 1002, QStringLiteral("КР-2"), QStringLiteral("Гибка"))}
            << QStringList{QStringLiteral("3: ") + dup};
        QTest::newRow("a row like a refused one is no repeat")
            << QList<QStringList>{row(d, 1001, QStringLiteral("КР-2"), QStringLiteral("Гибка"), 10, 30), good,
                                  row(d, 99999, QStringLiteral("КР-2"), QStringLiteral("Гибка"))}
            << QStringList{QStringLiteral("2: В поле \"Время\" допустимо целое число от 0 до 24, а не \"30\"!"),
                           QStringLiteral("4: рабочий с номером или кодом 99999 не найден")};
        QTest::newRow("a refused row and a repeat, in the file's order")
            << QList<QStringList>{good, row(d, 99999, QStringLiteral("КР-2"), QStringLiteral("Гибка")), good,
                                  row(d, 1003, QStringLiteral("КР-99"), QStringLiteral("Резка"))}
            << QStringList{QStringLiteral("3: рабочий с номером или кодом 99999 не найден"),
                           QStringLiteral("4: ") + dup + QStringLiteral(" (повторяет строку 2)"),
                           QStringLiteral("5: операция \"КР-99; Резка; Готовая продукция\" не найдена")};
    }
    void importRefusesByLine() {
        QFETCH(QList<QStringList>, rows);
        QFETCH(QStringList, expected);
        use(false);
        // The stored entry the second case repeats.
        testdb::exec(QStringLiteral("delete from accounts_dep.smena where w_id=1002 and data='2024-03-11' and smena=1"));
        const entry::Record stored = record(1002, 12, QDate(2024, 3, 11));
        QVERIFY(entry::EntryStore().insert(stored).saved());
        const int before = entriesOn(QDate(2024, 3, 1), QDate(2024, 7, 1));
        entry::EntryImport import;
        QVERIFY(import.setHeader(1, kHeader));
        for (int i = 0; i < rows.size(); ++i) import.addRow(i + 2, rows[i]);
        QVERIFY(!import.post().stored);
        QStringList got;
        for (const entry::ImportRefusal& r : import.refusals()) got << QString::number(r.line) + QStringLiteral(": ") + r.reason;
        QCOMPARE(got, expected);
        QCOMPARE(entriesOn(QDate(2024, 3, 1), QDate(2024, 7, 1)), before);
    }

    // A worker's month past its sum: the row that takes it over is refused, the file kept out.
    void importRefusesTheMonthPastItsSum() {
        use(false);
        // Just below the month's sum.
        testdb::exec(QStringLiteral("insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok) "
                                    "values (1004, 1, 1, 9999.9999, 999999, 0, '2024-08-01', 1, 0, 1, 'no')"));
        entry::EntryImport import;
        QVERIFY(import.setHeader(1, kHeader));
        import.addRow(2, row(QStringLiteral("13.08.2024"), 1005, QStringLiteral("КР-2"), QStringLiteral("Гибка"), 1000000));
        import.addRow(3, row(QStringLiteral("13.08.2024"), 1004, QStringLiteral("КР-2"), QStringLiteral("Гибка"), 1000000));
        QVERIFY(!import.post().stored);
        QCOMPARE(import.refusals().size(), 1);
        QCOMPARE(import.refusals()[0].line, 3);
        // КР-2 bending costs 4.
        const Decimal month = Decimal::parse(QStringLiteral("9999.9999"))->times(999999) +
                              Decimal::parse(QStringLiteral("4"))->times(1000000);
        QCOMPARE(import.refusals()[0].reason, *limits::checkAmount(month));
        QCOMPARE(entriesOn(QDate(2024, 8, 13), QDate(2024, 8, 14)), 0);
    }

    // Given up while it is checked or stored: nothing of the file is stored, not even the
    // part already written, and the timesheet is as it was.
    void importCancelledStoresNothing_data() {
        QTest::addColumn<int>("giveUpAt");  // the progress report that answers no
        // 12,000 rows: three parts to check (reports 1-3), three to store (4-6), then the
        // day postings and the last report (7).
        QTest::newRow("while checking") << 1;
        QTest::newRow("while storing") << 5;
        QTest::newRow("before the commit") << 7;
    }
    void importCancelledStoresNothing() {
        QFETCH(int, giveUpAt);
        use(false);
        const QStringList sheet = timesheetRows(9, 2024);
        entry::EntryImport import;
        QVERIFY(import.setHeader(1, kHeader));
        int line = 2;
        for (int day = 0; day < 30; ++day)
            for (int w = 1001; w <= 1040; ++w)
                for (int o = 0; o < 10; ++o)
                    import.addRow(line++, row(QDate(2024, 9, 1).addDays(day).toString(QStringLiteral("dd.MM.yyyy")), w,
                                              QStringLiteral("КР-%1").arg(1 + o), QStringLiteral("Резка")));
        QVERIFY(import.refusals().isEmpty());
        int reports = 0;
        import.progress = [&](qsizetype, qsizetype) { return ++reports < giveUpAt; };
        QVERIFY_THROWS_EXCEPTION(entry::Cancelled, import.post());
        QCOMPARE(reports, giveUpAt);
        QCOMPARE(entriesOn(QDate(2024, 9, 1), QDate(2024, 10, 1)), 0);
        QCOMPARE(timesheetRows(9, 2024), sheet);
    }
};

QTEST_GUILESS_MAIN(TestBatchStatements)
#include "test_batch_statements.moc"
