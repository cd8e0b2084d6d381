// The change report over a month of 58,000 logged changes (db/extension.sql's history,
// as its triggers would have written it, and as many in each of the three months
// before): reading the month's changes with their changed fields worked out on the
// server (history::periodChanges), and laying out its pages (rpt::prepare), timed
// apart; the median of 5 runs of each. Target: both together under 1 s.
// Usage: bench_change_report  (needs the test server, see scripts/test.sh)
#include "domain/connection.h"
#include "domain/history.h"
#include "papers/change_report.h"
#include "support/testdb.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace mirn;

namespace {
const QString kDb = QStringLiteral("b_change_report");

[[noreturn]] void die(const QString& what) {
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::exit(1);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    try {
        testdb::openFresh(kDb, true);
        QProcess p;
        p.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                         QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), kDb, QStringLiteral("-f"),
                                         QStringLiteral(MIRN_SOURCE_DIR "/db/extension.sql")});
        if (!p.waitForFinished(120000) || p.exitCode() != 0) die(QString::fromUtf8(p.readAllStandardError()));
        // Mostly entries, some auxiliary work, norms and priced operations; a quarter
        // new rows, one in twenty deleted, the rest a changed quantity.
        testdb::exec(QStringLiteral(R"sql(
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
        testdb::exec(QStringLiteral("analyze accounts_dep.change_log"));

        const QDate from(2027, 1, 1), to(2027, 2, 1);
        std::vector<double> query, prepare;
        size_t rows = 0, pages = 0;
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer t;
            t.start();
            const std::vector<history::Change> changes = history::periodChanges(from, to);
            query.push_back(t.nsecsElapsed() / 1e6);
            t.restart();
            const rpt::PreparedReport r = rpt::prepare(papers::changeReportDef(from, to), papers::ChangeRows(changes));
            prepare.push_back(t.nsecsElapsed() / 1e6);
            rows = changes.size();
            pages = r.pages.size();
        }
        const double q = median(query), pr = median(prepare);
        std::printf("change report, January 2027: %zu changes of entries and prices of %d logged, %zu pages\n", rows,
                    testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.change_log")), pages);
        std::printf("  query (read with the changed fields): %.1f ms, prepare: %.1f ms, together %.1f ms (target under 1000)\n",
                    q, pr, q + pr);
        // Shared build machines run the benchmark beside other work: say how busy it was.
        QFile load(QStringLiteral("/proc/loadavg"));
        if (load.open(QIODevice::ReadOnly))
            std::printf("  load average: %s\n", load.readAll().trimmed().constData());
    } catch (const std::exception& e) {
        die(QString::fromUtf8(e.what()));
    }
    testdb::stopApp();
    return 0;
}
