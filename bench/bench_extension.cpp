// What the closed-month and change-history extension (db/extension.sql) costs.
//   1. 1,000 entry saves through the client's save path (entry::EntryStore: begin,
//      advisory lock, duplicate count, insert into smena, timesheet count, day sum,
//      insert or update of h_tabel, commit) into two copies of the demo database,
//      one with the extension and one without, in alternating rounds so that the
//      load of a shared machine falls on both alike; both times and their ratio.
//   2. The change report's query over a history of 58,000 changes in one month
//      (and as many in each of the three months before), as the client would run it.
// Usage: bench_extension [rounds, 20 by default]  (needs the test server, see scripts/test.sh)
#include "domain/connection.h"
#include "domain/entry_store.h"
#include "support/testdb.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace mirn;

namespace {
const QString kPlain = QStringLiteral("b_extension_off");
const QString kGuarded = QStringLiteral("b_extension_on");

// The change report's query: every change of entries and prices in a period, the
// first moment included, the second excluded.
const QString kChangeReport = QStringLiteral(
    "select id, at, table_name, row_id, action, old_row, new_row, db_user, client_role, client_host, app_version "
    "from accounts_dep.change_log "
    "where at >= :from and at < :to and table_name in ('smena','norm','oper') "
    "order by at, id");

[[noreturn]] void die(const QString& what) {
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::exit(1);
}

// A connection of its own per database, set up as the client sets up its one.
void openConnection(const QString& name) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    const auto p = connection::params(name, testdb::host());
    db.setHostName(p.host);
    db.setPort(p.port);
    db.setDatabaseName(p.database);
    db.setUserName(p.user);
    db.setPassword(p.password);
    if (!db.open()) die(db.lastError().text());
    QSqlQuery(db).exec(QStringLiteral("set DateStyle to 'ISO, DMY'"));
}

void exec(const QString& connection, const QString& sql) {
    Command c(connection);
    c.SQL = {sql};
    c.exec();
}

QVariant scalar(const QString& connection, const QString& sql) {
    Query q(connection);
    q.SQL = {sql};
    q.open();
    return q.isEmpty() ? QVariant() : q.value(0, 0);
}

void install(const QString& db) {
    QProcess p;
    p.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                     QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), db, QStringLiteral("-f"),
                                     QStringLiteral(MIRN_SOURCE_DIR "/db/extension.sql")});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) die(QString::fromUtf8(p.readAllStandardError()));
}

// Saves through the client's save path on one connection.
class Saver {
public:
    explicit Saver(const QString& connection) : store_(connection) {}
    void save(const entry::Record& r) {
        if (const Result s = store_.insert(r); !s.saved()) die(QStringLiteral("refused: ") + s.message);
    }

private:
    entry::EntryStore store_;
};

// Entry n of a run: 50 workers of the demo, 20 days of a month no demo entry uses,
// a new worker and day for each n below 1,000, so each save is a new entry; the
// first save of a worker creates the month's timesheet row, the others update it.
entry::Record entryNo(int n, int month, int o_id, int i_id) {
    entry::Record r;
    r.w_id = 10001 + n % 50;
    r.i_id = i_id;
    r.o_id = o_id;
    r.cena = 2.4;
    r.kol_vo = 10 + n % 7;
    r.brak = n % 3 == 0 ? 1 : 0;
    r.time = 1 + n % 8;
    r.date = QDate(2027, month, 1 + (n / 50) % 20);
    r.shift = 1;
    return r;
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 1000) : 20;
    const int saves = 1000;
    const int perRound = saves / rounds;

    try {
        testdb::createDatabase(kPlain, true);
        testdb::createDatabase(kGuarded, true);
        // BENCH_NO_EXTENSION=1: both copies plain, to see how far the two sides differ anyway.
        const bool extension = !qEnvironmentVariableIsSet("BENCH_NO_EXTENSION");
        if (extension) install(kGuarded);
        openConnection(kPlain);
        openConnection(kGuarded);
        // The client names itself on its connection; the history records it.
        exec(kGuarded, QStringLiteral("select set_config('mirn.client_role', 'Бригадир', false), "
                                      "set_config('mirn.client_host', 'ЦЕХ-3', false), "
                                      "set_config('mirn.app_version', '20261210 36000', false)"));
        const QString pick = QStringLiteral("select o.id || ' ' || o.i_id from accounts_dep.oper o "
                                            "where o.i_id < 7777 and exists (select 1 from accounts_dep.norm n where n.o_id = o.id) "
                                            "order by o.id limit 1");
        const QStringList op = scalar(kPlain, pick).toString().split(QLatin1Char(' '));
        if (op.size() != 2 || scalar(kGuarded, pick).toString() != op.join(QLatin1Char(' ')))
            die(QStringLiteral("the demo databases differ"));
        const int o_id = op[0].toInt(), i_id = op[1].toInt();

        Saver plain(kPlain), guarded(kGuarded);
        // Warm-up in another month: caches, plans, the trigger functions' first call.
        for (int n = 0; n < 50; ++n) {
            plain.save(entryNo(n, 2, o_id, i_id));
            guarded.save(entryNo(n, 2, o_id, i_id));
        }
        double msPlain = 0, msGuarded = 0;
        std::vector<double> roundRatios;
        double bestPlain = 1e18, bestGuarded = 1e18;  // the quickest round of each side
        for (int round = 0; round < rounds; ++round) {
            double ms[2] = {0, 0};  // without, with
            // Which side goes first alternates too.
            for (int side = 0; side < 2; ++side) {
                const bool withExtension = (side == 0) == (round % 2 == 1);
                Saver& s = withExtension ? guarded : plain;
                QElapsedTimer t;
                t.start();
                for (int n = round * perRound; n < (round + 1) * perRound; ++n) s.save(entryNo(n, 3, o_id, i_id));
                ms[withExtension ? 1 : 0] = t.nsecsElapsed() / 1e6;
            }
            msPlain += ms[0];
            msGuarded += ms[1];
            roundRatios.push_back(ms[1] / ms[0]);
            bestPlain = std::min(bestPlain, ms[0]);
            bestGuarded = std::min(bestGuarded, ms[1]);
        }
        std::sort(roundRatios.begin(), roundRatios.end());
        const int stored = scalar(kGuarded, QStringLiteral("select count(*) from accounts_dep.smena where data >= '2027-03-01' and data < '2027-04-01'")).toInt();
        const int logged = !extension ? 0 : scalar(kGuarded, QStringLiteral("select count(*) from accounts_dep.change_log where table_name = 'smena' and (new_row->>'data') like '2027-03-%'")).toInt();
        std::printf("%d entry saves (%d rounds), each: lock, duplicate count, insert, timesheet count, day sum, timesheet write\n",
                    perRound * rounds, rounds);
        std::printf("  without the extension: %8.1f ms (%.2f ms a save)\n", msPlain, msPlain / (perRound * rounds));
        std::printf("  with the extension:    %8.1f ms (%.2f ms a save), %d stored, %d logged\n", msGuarded,
                    msGuarded / (perRound * rounds), stored, logged);
        std::printf("  ratio: %.3f (target at most 1.3); median of the rounds' ratios %.3f; quickest rounds %.3f\n",
                    msGuarded / msPlain, roundRatios[roundRatios.size() / 2], bestGuarded / bestPlain);

        if (!extension) return 0;
        // A history of 58,000 changes in January 2027, and as many in each of the
        // three months before, as the triggers would have written them: mostly
        // entries, some auxiliary work, norms and priced operations, stored in the
        // order they happened.
        exec(kGuarded, QStringLiteral(R"sql(
            insert into accounts_dep.change_log(at, table_name, row_id, action, old_row, new_row, db_user, client_role, client_host, app_version)
            select m.start + (g * interval '1 second' * (2678400.0 / 58000)),
                   t.name, 100000 + g % 20000, a.action,
                   case when a.action <> 'insert' then t.row end,
                   case when a.action <> 'delete' then t.row || jsonb_build_object('kol_vo', 10 + g % 5) end,
                   'sys', 'Бригадир', 'ЦЕХ-' || (1 + g % 4), '20261210 36000'
              from generate_series(0, 57999) g
             cross join (values (timestamptz '2026-10-01'), (timestamptz '2026-11-01'), (timestamptz '2026-12-01'),
                                (timestamptz '2027-01-01')) m(start)
             cross join lateral (select case when g % 10 < 7 then 'smena' when g % 10 = 7 then 'fatigue'
                                             when g % 10 = 8 then 'norm' else 'oper' end as name) n
             cross join lateral (select n.name,
                   case n.name
                     when 'smena' then jsonb_build_object('id', 100000 + g % 20000, 'w_id', 10001 + g % 20, 'i_id', 1,
                         'o_id', 1 + g % 300, 'cena', 2.4, 'kol_vo', 10, 'brak', 0, 'data', (m.start + g * interval '45 seconds')::date,
                         'smena', 1 + g % 3, 'color', 0, 'time', 8, 'ok', 'no', 'vvod', m.start::timestamp, 'prize', 0,
                         'id_doc', 0, 'id_doc_item', 0, 'f_gds_qty_use', 0, 'id_gds_use', 0, 'id_cons_use', 0)
                     when 'fatigue' then jsonb_build_object('id', g, 'id_nom', 2, 'id_o', 7777, 'id_p', 10001, 'd_date',
                         m.start::date, 'i_mnth', 1, 'i_year', 2027, 'i_smena', 1, 'cnt', 3, 'price', 150, 'id_p_person', 10001)
                     when 'norm' then jsonb_build_object('id', g, 'o_id', 1 + g % 300, 'norma', 100, 'prize', 0, 'price', 2.4)
                     else jsonb_build_object('id', g, 'vid', 1, 'naimen', 0, 'i_id', 1, 'cena_new', 0) end) t(name, row)
             cross join lateral (select case when g % 20 = 0 then 'delete' when g % 4 = 0 then 'insert' else 'update' end) a(action)
             order by 1
        )sql"));
        exec(kGuarded, QStringLiteral("analyze accounts_dep.change_log"));

        // Read whole by the client, as a report reads its query; the server's own
        // share from EXPLAIN ANALYZE with the period written in.
        const auto timeQuery = [](const QString& sql, int* rows, QString* serverMs) {
            Query report(kGuarded);
            report.SQL = {sql};
            report.setParam(QStringLiteral("from"), QDateTime(QDate(2027, 1, 1), QTime(0, 0)));
            report.setParam(QStringLiteral("to"), QDateTime(QDate(2027, 2, 1), QTime(0, 0)));
            std::vector<double> ms;
            for (int run = 0; run < 5; ++run) {
                QElapsedTimer t;
                t.start();
                report.close();
                report.open();
                *rows = report.recordCount();
                ms.push_back(t.nsecsElapsed() / 1e6);
            }
            report.close();
            QSqlQuery explain(QSqlDatabase::database(kGuarded));
            QString literal = sql;
            literal.replace(QStringLiteral(":from"), QStringLiteral("'2027-01-01'"))
                .replace(QStringLiteral(":to"), QStringLiteral("'2027-02-01'"));
            if (explain.exec(QStringLiteral("explain (analyze, format json) ") + literal) && explain.next()) {
                const QString json = explain.value(0).toString();
                const int at = json.indexOf(QStringLiteral("\"Execution Time\": "));
                if (at >= 0) *serverMs = json.mid(at + 18).section(QLatin1Char('\n'), 0, 0).trimmed();
            }
            std::sort(ms.begin(), ms.end());
            return ms[ms.size() / 2];
        };
        int rows = 0;
        QString serverMs;
        const double whole = timeQuery(kChangeReport, &rows, &serverMs);
        std::printf("change report query over %d logged changes: %d rows of January 2027, median of 5 runs %.1f ms "
                    "(read whole by the client; on the server alone %s ms)\n",
                    scalar(kGuarded, QStringLiteral("select count(*) from accounts_dep.change_log")).toInt(), rows,
                    whole, qPrintable(serverMs));
    } catch (const std::exception& e) {
        die(QString::fromUtf8(e.what()));
    }
    {
        QSqlDatabase::database(kPlain, false).close();
        QSqlDatabase::database(kGuarded, false).close();
    }
    QSqlDatabase::removeDatabase(kPlain);
    QSqlDatabase::removeDatabase(kGuarded);
    return 0;
}
