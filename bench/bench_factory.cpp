// Factory-scale timings: the earnings statement, the entry import, the shift copy and
// the month rebuild on a generated database of 1.44 M entries (300 workers, two years,
// a month of about 58,000 entries), each beside the way it was done before and beside
// the best equivalent statement, in the same run.
// Usage: bench_factory [earnings|preview] [import] [copy] [rebuild] [--runs N] [--before-rows N] [--reuse]
//   (nothing named: all four; needs the test server, see scripts/test.sh, and psql)
// The earnings part also times the statement for all workers as the user gets it: the
// click in the summary reports window (offscreen) until its preview shows the first page,
// beside the server's own time for the statement and the statement read through psql;
// "preview" times that alone.
// --before-rows: the largest file the old, quadratic import is timed on (default 3000).
#include "domain/cancellable_read.h"
#include "domain/connection.h"
#include "domain/earnings.h"
#include "domain/entry_import.h"
#include "domain/entry_store.h"
#include "domain/shift_copy.h"
#include "domain/sqltext.h"
#include "domain/timesheet_service.h"
#include "engine/engine.h"
#include "gui/forms.h"
#include "gui/preview.h"
#include "papers/earnings.h"
#include "reports/tform18.h"
#include "support/database.h"
#include "support/testdb.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <tuple>
#include <vector>

using namespace mirn;

namespace {

constexpr int kWorkers = 300;
constexpr int kOpers = 1000;
const QDate kMonth(2024, 3, 1);        // the earnings and rebuild month
const QDate kBusyDay(2024, 3, 15);     // one day of the earnings, the copy's source
const QDate kCopyTarget(2024, 3, 18);  // the copy's target (shift 4 is empty there)
const QDate kImportMonth(2025, 3, 1);  // no entries: the import's month

double ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double timed(int runs, const std::function<void()>& f) {
    std::vector<double> v;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        v.push_back(ms(t));
    }
    return median(v);
}

struct Row {
    QString work;
    QString rows;
    double before = 0;  // < 0: not run
    double after = 0;
    double baseline = 0;
    QString note;
};
std::vector<Row> g_table;
QString g_psqlDb;  // the generated database, for psql

void printTable() {
    std::printf("\n| work | rows | before, ms | after, ms | baseline, ms | after/baseline | before/after |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const Row& r : g_table) {
        const QString before = r.before < 0 ? QStringLiteral("not run") : QString::number(r.before, 'f', 1);
        const QString speedup = r.before < 0 ? QStringLiteral("-") : QString::number(r.before / r.after, 'f', 1);
        std::printf("| %s | %s | %s | %.1f | %.1f | %.2f | %s |%s\n", qPrintable(r.work), qPrintable(r.rows),
                    qPrintable(before), r.after, r.baseline, r.after / r.baseline, qPrintable(speedup),
                    r.note.isEmpty() ? "" : qPrintable(QStringLiteral(" ") + r.note));
    }
}

QString load() {
    QProcess p;
    p.start(QStringLiteral("uptime"), {});
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// ---------------------------------------------------------------- generated data

void generate() {
    QElapsedTimer t;
    t.start();
    testdb::exec(QStringLiteral("insert into cmn_contractor.person(id, s_caption, s_code) "
                                "select w, 'Работник ' || lpad(w::text, 4, '0'), (10000 + w)::text from generate_series(1, %1) w")
                     .arg(kWorkers));
    testdb::exec(QStringLiteral("insert into accounts_dep.person(id, fio, s_staffpos_hl) "
                                "select 10000 + w, 'Работник ' || lpad(w::text, 4, '0'), '' from generate_series(1, %1) w")
                     .arg(kWorkers));
    testdb::exec(QStringLiteral("insert into cmn_classifier.item(id, s_caption) values (500, 'Уборка'), (501, 'Погрузка')"));
    testdb::exec(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa) "
                                "select i, 'КР-' || i, '', 6, 1 from generate_series(1, 200) i"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) select v, 'Операция ' || v from generate_series(1, 5) v"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (7777, 'Дежурство'), (7778, 'Ремонт')"));
    // Operation o is product 1 + (o-1) % 200 and type 1 + (o-1) / 200, finished products.
    testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) "
                                "select o, 1 + (o - 1) / 200, 0, 1 + (o - 1) % 200, 0 from generate_series(1, %1) o")
                     .arg(kOpers));
    testdb::exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) "
                                "select o, 100, 0, 1 + (o % 50) * 0.1 from generate_series(1, %1) o "
                                "union all select o, 100, 0, 2 + (o % 50) * 0.1 from generate_series(1, %1, 3) o")
                     .arg(kOpers));
    // Two years of working days; 9 or 10 entries per worker and day, all different
    // operations, each worker in one shift.
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod, prize) "
        "select 10000 + w, o, 1 + (o - 1) % 200, round((1 + (o % 50) * 0.1) * case when w % 3 = 2 then 1.2 else 1 end, 4), "
        "10 + k, case when k % 4 = 0 then 1 else 0 end, d, 1 + w % 3, 0, 1 + k % 8, 'no', d, 0 "
        "from (select d::date, (d::date - date '2023-01-02') as n from generate_series(date '2023-01-02', date '2024-12-31', "
        "interval '1 day') d where extract(isodow from d) < 6) days, generate_series(1, %1) w, generate_series(0, 9) k, "
        "lateral (select 1 + (w * 37 + n * 11 + k * 13) % %2 as o) op where k < 9 or (w + n) % 5 = 0")
                     .arg(kWorkers)
                     .arg(kOpers));
    // Auxiliary work: each worker once a week.
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price) "
        "select 500 + w % 2, 7777 + w % 2, 10000 + w, d, extract(month from d), extract(year from d), 1, 2, 150 "
        "from generate_series(date '2023-01-02', date '2024-12-31', interval '7 day') d, generate_series(1, %1) w")
                     .arg(kWorkers));
    // The copy's source: one overtime entry per worker on the busy day.
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod, prize) "
        "select 10000 + w, 1 + (w * 7) % %2, 1 + ((w * 7) % %2) % 200, 3, 5, 0, '%3', 4, 0, 2, 'no', '%3', 0 "
        "from generate_series(1, %1) w")
                     .arg(kWorkers)
                     .arg(kOpers)
                     .arg(kBusyDay.toString(Qt::ISODate)));
    testdb::exec(QStringLiteral("analyze accounts_dep.smena, accounts_dep.fatigue, accounts_dep.oper, accounts_dep.norm, "
                                "accounts_dep.vid_oper, accounts_dep.person, cmn_contractor.person, cmn_gds_and_srv.gds_and_srv, "
                                "cmn_classifier.item"));
    std::printf("generated %d entries, %d in %s, %d on %s, in %.1f s\n",
                testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena")),
                testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where data>='%1' and data<'%2'")
                                      .arg(kMonth.toString(Qt::ISODate), kMonth.addMonths(1).toString(Qt::ISODate))),
                qPrintable(kMonth.toString(QStringLiteral("MM.yyyy"))),
                testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where data='%1'")
                                      .arg(kBusyDay.toString(Qt::ISODate))),
                qPrintable(kBusyDay.toString(QStringLiteral("dd.MM.yyyy"))), ms(t) / 1000);
    std::fflush(stdout);
}

// Persons without entries, up to `total` persons in the register.
void growRegister(int total) {
    testdb::exec(QStringLiteral("insert into cmn_contractor.person(id, s_caption, s_code) "
                                "select w, 'Сотрудник ' || w, (20000 + w)::text from generate_series((select max(id) + 1 "
                                "from cmn_contractor.person), %1) w")
                     .arg(total));
    testdb::exec(QStringLiteral("analyze cmn_contractor.person"));
}

// ---------------------------------------------------------------- statements as they were

// The earnings statement before: the register searched with a regular expression for
// every row.
QStringList earningsBefore() {
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

// The earnings statement as it was until now: every person of the register given a number
// and hashed, joined to the rows.
QStringList earningsWholeRegister() {
    QStringList s = earnings::statementSql();
    s = s.mid(0, s.indexOf(QStringLiteral(") x")) + 1);
    s << QStringLiteral(" left join (select c.code, min(c.s_caption) as s_caption from (select case when p.s_code ~ '^[0-9]{1,9}$'")
      << QStringLiteral("  then p.s_code::integer end as code, p.s_caption from cmn_contractor.person p) c")
      << QStringLiteral("  where c.code is not null group by c.code) cp on cp.code=x.w_id")
      << QStringLiteral(" left join (select p.id, p.s_caption, case when p.s_code ~ '^[0-9]{1,9}$' then p.s_code::integer end as code")
      << QStringLiteral("  from cmn_contractor.person p) pi on pi.id=x.w_id")
      << QStringLiteral(" left join accounts_dep.person ap on ap.id=x.w_id")
      << QStringLiteral(" cross join lateral (select case when cp.s_caption is null and pi.code is not null")
      << QStringLiteral("  then pi.code else x.w_id end as tab_no) t")
      << QStringLiteral(" where (:worker=0 or t.tab_no=:worker or x.w_id=:worker)")
      << QStringLiteral(" order by fio, t.tab_no, x.section, x.data, x.smena, x.marka, x.vid, x.color");
    return s;
}

// An equivalent: names and numbers worked out for the period's distinct workers first,
// then joined to the rows.
QStringList earningsBaseline() {
    QStringList s = earnings::statementSql();
    const qsizetype from = s.indexOf(QStringLiteral(") x"));
    QStringList rows = s.mid(3, from - 3);  // the union of both sections
    QStringList out;
    out << QStringLiteral("with x as materialized (") + rows.join(QLatin1Char('\n'));
    out << QStringLiteral("), pk as (select p.id, p.s_caption, case when p.s_code ~ '^[0-9]{1,9}$' then p.s_code::integer end as code from cmn_contractor.person p),");
    out << QStringLiteral(" n as (select w.w_id, coalesce(cp.s_caption, pi.s_caption, ap.fio, w.w_id::text) as fio,");
    out << QStringLiteral("  case when cp.s_caption is null and pi.code is not null then pi.code else w.w_id end as tab_no");
    out << QStringLiteral("  from (select distinct w_id from x) w left join (select code, min(s_caption) as s_caption from pk where code is not null group by code) cp on cp.code=w.w_id");
    out << QStringLiteral("  left join pk pi on pi.id=w.w_id left join accounts_dep.person ap on ap.id=w.w_id)");
    out << QStringLiteral("select x.w_id, n.tab_no, n.fio, x.section, x.data, x.smena, x.marka, x.vid, x.naimen, x.color, x.kolvo, x.brk, x.hours, x.cena, x.summa");
    out << QStringLiteral(" from x join n on n.w_id=x.w_id where (:worker=0 or n.tab_no=:worker or x.w_id=:worker)");
    out << QStringLiteral(" order by n.fio, n.tab_no, x.section, x.data, x.smena, x.marka, x.vid, x.color");
    return out;
}

QString insertMonthBefore(int month, int year) {
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

// Other forms of the same month, to find the fastest.
QString insertMonthCase(int month, int year) {
    const QDate first(year, month, 1);
    QString sql = QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year");
    for (int d = 1; d <= 31; ++d) sql += QStringLiteral(", d%1").arg(d);
    sql += QStringLiteral(") select smena, w_id, %1, %2").arg(month).arg(year);
    for (int d = 1; d <= 31; ++d) sql += QStringLiteral(", sum(case when day=%1 then tim end)").arg(d);
    sql += QStringLiteral(" from (select smena, w_id, extract(day from data)::integer as day, sum(time) as tim from accounts_dep.smena "
                          "where data>='") +
           first.toString(Qt::ISODate) + QStringLiteral("' and data<'") + first.addMonths(1).toString(Qt::ISODate) +
           QStringLiteral("' and w_id is not null and smena is not null group by smena, w_id, day) d group by smena, w_id");
    return sql;
}

QString insertMonthByDate(int month, int year) {
    const QDate first(year, month, 1);
    QString sql = QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year");
    for (int d = 1; d <= 31; ++d) sql += QStringLiteral(", d%1").arg(d);
    sql += QStringLiteral(") select smena, w_id, %1, %2").arg(month).arg(year);
    for (int d = 1; d <= 31; ++d)
        sql += d <= first.daysInMonth()
                   ? QStringLiteral(", max(tim) filter (where data='%1')").arg(first.addDays(d - 1).toString(Qt::ISODate))
                   : QStringLiteral(", null::bigint");
    sql += QStringLiteral(" from (select smena, w_id, data, sum(time) as tim from accounts_dep.smena where data>='") +
           first.toString(Qt::ISODate) + QStringLiteral("' and data<'") + first.addMonths(1).toString(Qt::ISODate) +
           QStringLiteral("' and w_id is not null and smena is not null group by smena, w_id, data) d group by smena, w_id");
    return sql;
}

// A signature of a query's rows in their order, to tell two statements' results apart.
QByteArray signature(const Query& q) {
    QCryptographicHash h(QCryptographicHash::Sha1);
    for (int r = 0; r < q.recordCount(); ++r)
        for (int c = 0; c < q.fieldNames().size(); ++c) {
            h.addData(q.value(r, c).toString().toUtf8());
            h.addData(QByteArrayView("\x1f"));
        }
    return h.result().toHex().left(12);
}

// ---------------------------------------------------------------- earnings

// The statement's text with its parameters written in, for EXPLAIN and psql.
QString withValues(const QStringList& sql, const QDate& from, const QDate& to, int worker) {
    QString t = sql.join(QLatin1Char('\n'));
    t.replace(QStringLiteral(":data1"), QStringLiteral("date '%1'").arg(from.toString(Qt::ISODate)));
    t.replace(QStringLiteral(":data2"), QStringLiteral("date '%1'").arg(to.toString(Qt::ISODate)));
    t.replace(QStringLiteral(":worker"), QString::number(worker));
    return t;
}

// The server's own time for a statement: EXPLAIN ANALYZE's execution time, without the
// per-node clock that would slow it down.
double serverMs(const QString& sql) {
    const QVariant plan = testdb::scalar(QStringLiteral("explain (analyze, timing off, format json) ") + sql);
    const QJsonArray a = QJsonDocument::fromJson(plan.toString().toUtf8()).array();
    return a.at(0).toObject().value(QStringLiteral("Execution Time")).toDouble();
}

// The statement run alone through psql, every row fetched (into /dev/null): the time
// psql reports for each of `runs` runs, their median.
double psqlMs(const QString& sql, int runs) {
    QString script = QStringLiteral("\\timing on\n\\o /dev/null\n");
    for (int i = 0; i < runs; ++i) script += sql + QStringLiteral(";\n");
    QProcess p;
    p.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-d"), g_psqlDb});
    p.waitForStarted();
    p.write(script.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(-1);
    std::vector<double> v;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        if (line.startsWith("Time: ")) v.push_back(line.mid(6).split(' ').value(0).toDouble());
    if (int(v.size()) != runs) std::printf("psql gave %d times for %d runs: %s\n", int(v.size()), runs, p.readAllStandardError().constData());
    return median(v);
}

// The statement for all workers of the month as the user gets it: the click on
// "Расчётный листок" in the summary reports window until the preview shows its first page,
// and each step the click takes on its own: the read on a connection of its own, the
// count of the pages, the first page laid out and painted.
void benchEarningsPreview(int runs, double statementMs) {
    std::printf("\n== earnings statement, all workers: click to preview\n");
    const QDate from = kMonth, to = kMonth.addMonths(1);
    const QString sql = withValues(earnings::statementSql(), from, to, 0);
    std::vector<double> server;
    for (int i = 0; i < runs; ++i) server.push_back(serverMs(sql));
    const double psql = psqlMs(sql, runs);

    papers::EarningsLayout& layout = forms::form<papers::EarningsLayout>();
    Query& q = layout.query();
    q.setParam(QStringLiteral("data1"), from);
    q.setParam(QStringLiteral("data2"), to);
    q.setParam(QStringLiteral("worker"), 0);
    layout.QuickRep1.setCaption(QStringLiteral("period"), papers::EarningsLayout::periodText(from, to));
    std::vector<double> read, count, first;
    int rows = 0, pages = 0;
    for (int i = 0; i < runs; ++i) {
        q.close();
        QElapsedTimer t;
        t.start();
        openCancellable(q, [] { return false; });
        read.push_back(ms(t));
        rows = q.recordCount();
        t.restart();
        std::unique_ptr<rpt::LazyReport> lazy = layout.PrepareLazily();
        count.push_back(ms(t));
        pages = lazy->pageCount();
        t.restart();
        {
            rpt::PagedPreview preview(*lazy, QStringLiteral("Расчётный листок"));
            preview.resize(1200, 900);
            preview.show();
            QCoreApplication::processEvents();
            if (preview.pageImage().isNull()) std::printf("the preview painted no page\n");
        }
        first.push_back(ms(t));
        lazy.reset();
        q.close();
    }

    TForm18& f = forms::form<TForm18>();
    f.FillWorkers();
    f.CBWorker->setCurrentIndex(0);
    f.DTPicker1->setDate(from);
    f.DTPicker2->setDate(to);
    std::vector<double> click;
    int shownPages = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        double shownAt = 0;
        ModalScript modal([&](QDialog* d) {
            d->show();
            QCoreApplication::processEvents();
            shownAt = ms(t);
            if (auto* p = qobject_cast<rpt::PagedPreview*>(d)) shownPages = p->pageImage().isNull() ? -1 : p->pageCount();
            return int(QDialog::Rejected);
        });
        t.start();
        f.Button7->click();
        click.push_back(shownAt);
    }
    const double s = median(server);
    std::printf("rows %d, pages %d (the window's preview: %d)\n", rows, pages, shownPages);
    std::printf("server (EXPLAIN ANALYZE) %.1f ms; through psql %.1f ms", s, psql);
    if (statementMs >= 0) std::printf("; the product's read on the shared connection %.1f ms", statementMs);
    std::printf("\n");
    std::printf("steps of the click: read on a connection of its own %.1f ms, page count %.1f ms, first page laid out "
                "and painted %.1f ms\n",
                median(read), median(count), median(first));
    std::printf("click -> preview shown %.1f ms: %.2f x the server's time, %.2f x psql's\n", median(click),
                median(click) / s, median(click) / psql);
    g_table.push_back({QStringLiteral("earnings statement, all workers, click to preview (baseline: the server's time)"),
                       QString::number(rows), -1, median(click), s, {}});
    g_table.push_back({QStringLiteral("the same statement through psql, rows fetched (baseline: the server's time)"),
                       QString::number(rows), -1, psql, s, {}});
    std::fflush(stdout);
}

void benchEarnings(int runs) {
    std::printf("\n== earnings statement\n");
    auto run = [&](const QStringList& sql, const QDate& from, const QDate& to, QByteArray* sig, int* rows) {
        Query q;
        q.SQL = sql;
        q.setParam(QStringLiteral("data1"), from);
        q.setParam(QStringLiteral("data2"), to);
        q.setParam(QStringLiteral("worker"), 0);
        // The read alone is timed; the rows' signature is taken from the last one.
        const double took = timed(runs, [&] { q.reopen(); });
        if (sig) *sig = signature(q);
        if (rows) *rows = q.recordCount();
        return took;
    };
    QByteArray sb, sa, sx;
    int rows = 0;
    const double after = run(earnings::statementSql(), kMonth, kMonth.addMonths(1), &sa, &rows);
    const double base = run(earningsBaseline(), kMonth, kMonth.addMonths(1), &sx, nullptr);
    const double before = run(earningsBefore(), kMonth, kMonth.addMonths(1), &sb, nullptr);
    std::printf("month: %d rows; same rows as before: %s, as the baseline: %s\n", rows, sa == sb ? "yes" : "NO",
                sa == sx ? "yes" : "NO");
    g_table.push_back({QStringLiteral("earnings statement, all workers, one month"), QString::number(rows), before, after,
                       std::min(after, base), base < after ? QString() : QStringLiteral("(the statement is the fastest form)")});
    benchEarningsPreview(runs, after);
    // The server's own time of each form at both sizes of the register, the month and one day:
    // the cost must not follow the number of persons.
    auto server = [&](const QStringList& sql, const QDate& from, const QDate& to) {
        std::vector<double> v;
        for (int i = 0; i < runs; ++i) v.push_back(serverMs(withValues(sql, from, to, 0)));
        return median(v);
    };
    QHash<QString, double> own;
    for (int persons : {300, 3000}) {
        if (persons > kWorkers) growRegister(persons);
        int dayRows = 0;
        QByteArray b, a, w;
        const double da = run(earnings::statementSql(), kBusyDay, kBusyDay.addDays(1), &a, &dayRows);
        const double dx = run(earningsBaseline(), kBusyDay, kBusyDay.addDays(1), nullptr, nullptr);
        const double db = run(earningsBefore(), kBusyDay, kBusyDay.addDays(1), &b, nullptr);
        run(earningsWholeRegister(), kBusyDay, kBusyDay.addDays(1), &w, nullptr);
        std::printf("one day, %d persons: %d rows, same as before: %s, as every person's number hashed: %s\n", persons,
                    dayRows, a == b ? "yes" : "NO", a == w ? "yes" : "NO");
        g_table.push_back({QStringLiteral("earnings statement, one day, %1 persons").arg(persons), QString::number(dayRows), db,
                           da, std::min(da, dx), {}});
        for (const auto& [what, from, to] : {std::tuple{QStringLiteral("one day"), kBusyDay, kBusyDay.addDays(1)},
                                             std::tuple{QStringLiteral("the month"), kMonth, kMonth.addMonths(1)}}) {
            const double now = server(earnings::statementSql(), from, to);
            const double whole = server(earningsWholeRegister(), from, to);
            const double rewrite = server(earningsBaseline(), from, to);
            own.insert(what + QString::number(persons), now);
            g_table.push_back({QStringLiteral("server time, %1, %2 persons").arg(what).arg(persons), QString(), whole, now,
                               std::min(now, rewrite), QStringLiteral("(before: every person's number hashed)")});
        }
    }
    testdb::exec(QStringLiteral("delete from cmn_contractor.person where id>%1").arg(kWorkers));
    testdb::exec(QStringLiteral("analyze cmn_contractor.person"));
    for (const QString& what : {QStringLiteral("one day"), QStringLiteral("the month")})
        g_table.push_back({QStringLiteral("server time, %1, 3000 persons against 300").arg(what), QString(), -1,
                           own.value(what + QStringLiteral("3000")), own.value(what + QStringLiteral("300")), {}});
    std::fflush(stdout);
}

// ---------------------------------------------------------------- import

const QStringList kHeader = entry::kImportColumns;

// `count` rows of the import month, none a duplicate: 16 operations a day for each worker.
QList<QStringList> importRows(int count) {
    QList<QStringList> rows;
    QList<QDate> days;
    for (QDate d = kImportMonth; d < kImportMonth.addMonths(1); d = d.addDays(1))
        if (d.dayOfWeek() < 6) days << d;
    for (int k = 0; rows.size() < count; ++k)
        for (int di = 0; di < days.size() && rows.size() < count; ++di)
            for (int w = 1; w <= kWorkers && rows.size() < count; ++w) {
                const int o = 1 + (w * 37 + di * 11 + k * 13) % kOpers;
                rows << QStringList{days[di].toString(QStringLiteral("dd.MM.yyyy")),
                                    QString::number(1 + w % 3),
                                    QString::number(10000 + w),
                                    QStringLiteral("КР-%1").arg(1 + (o - 1) % 200),
                                    QStringLiteral("Операция %1").arg(1 + (o - 1) / 200),
                                    QStringLiteral("0"),
                                    QString::number(10 + k % 7),
                                    QString::number(k % 4 == 0 ? 1 : 0),
                                    QString::number(1 + k % 4),
                                    QString(),
                                    QString::number(days[di].day() % 7 == 0 ? 1 : 0)};
            }
    return rows;
}

void clearImportMonth() {
    testdb::exec(QStringLiteral("delete from accounts_dep.smena where data>='%1' and data<'%2'")
                     .arg(kImportMonth.toString(Qt::ISODate), kImportMonth.addMonths(1).toString(Qt::ISODate)));
    testdb::exec(QStringLiteral("delete from accounts_dep.h_tabel where month=%1 and year=%2")
                     .arg(kImportMonth.month())
                     .arg(kImportMonth.year()));
}

int importMonthCount() {
    return testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where data>='%1' and data<'%2'")
                                 .arg(kImportMonth.toString(Qt::ISODate), kImportMonth.addMonths(1).toString(Qt::ISODate)));
}

// The import as it was: each row looked up and checked with statements of its own, its
// key compared with every earlier row's, then stored entry by entry.
int importBefore(const QList<QStringList>& rows) {
    entry::EntryImport parse;  // the row checks of the file itself, unchanged
    parse.setHeader(1, kHeader);
    QList<entry::Record> records;
    QList<QString> keys;
    QHash<QString, Decimal> monthAmount;
    auto key = [](const entry::Record& r) {
        return QStringLiteral("%1/%2/%3/%4/%5/%6").arg(r.w_id).arg(r.o_id).arg(r.i_id).arg(r.date.toString(Qt::ISODate)).arg(r.shift).arg(r.color);
    };
    for (int i = 0; i < rows.size(); ++i) {
        parse.addRow(i + 2, rows[i]);
        const entry::Record r = parse.records().last();
        Query known;
        known.setText(QStringLiteral("select count(*) from cmn_contractor.person where id=:n or (case when s_code ~ "
                                     "'^[[:space:]]*[0-9]{1,15}[[:space:]]*$' then s_code::t_id end)=:code"));
        known.setParam(QStringLiteral("n"), r.w_id);
        known.setParam(QStringLiteral("code"), r.w_id);
        known.open();
        for (int j = 0; j < records.size(); ++j)
            if (key(records[j]) == key(r)) return -1;
        if (Db().scalarInt(sqltext::duplicateCheck(r)) != 0) return -1;
        const QString m = QString::number(r.w_id) + r.date.toString(QStringLiteral("/yyyy-MM"));
        if (!monthAmount.contains(m)) monthAmount.insert(m, entry::monthAmount(Db(), r.w_id, r.date));
        monthAmount.insert(m, monthAmount.value(m) + entry::amount(r));
        records << r;
    }
    // The store as it was: per entry a duplicate check, the month's sum and the insert,
    // then per day the count, the sum and the posting.
    Transaction t;
    entry::EntryStore store;
    store.timesheet().lockDays([&] {
        QList<locks::Day> d;
        for (const auto& r : records) d << r.day();
        return d;
    }());
    QList<locks::Day> posted;
    for (const entry::Record& r : records) {
        if (Db().scalarInt(sqltext::duplicateCheck(r)) != 0) return -1;
        entry::monthAmount(Db(), r.w_id, r.date);
        Db().exec(sqltext::insert(r, QDate::currentDate()));
        if (!posted.contains(r.day())) posted << r.day();
    }
    for (const locks::Day& d : posted) store.timesheet().postDay(d, true);
    t.commit();
    return int(records.size());
}

int importAfter(const QList<QStringList>& rows) {
    entry::EntryImport import;
    import.setHeader(1, kHeader);
    for (int i = 0; i < rows.size(); ++i) import.addRow(i + 2, rows[i]);
    const BatchResult r = import.post();
    if (!r.stored) {
        for (const auto& x : import.refusals()) std::printf("  refused line %d: %s\n", x.line, qPrintable(x.reason));
        return -1;
    }
    return int(r.items.size());
}

// The file through psql: \copy into a staging table, then set-based checks (worker,
// operation and its price, duplicates in the file and stored, the month's amount) and
// the priced insert with its day postings, all in one transaction.
double importBaseline(const QString& csv) {
    QString days;
    for (int d = 1; d <= 31; ++d)
        days += QStringLiteral("d%1=coalesce((select sum(time) from accounts_dep.smena e where e.w_id=h.w_id and "
                               "e.smena=h.smena and e.data=make_date(h.year, h.month, %1) and %1<=%2), h.d%1),")
                    .arg(d)
                    .arg(kImportMonth.daysInMonth());
    days.chop(1);
    const QString script = QStringLiteral(
        "\\set ON_ERROR_STOP 1\n"
        "begin;\n"
        "create temp table st(line serial, date text, shift text, worker text, mark text, operation text, kind text, "
        "quantity text, rejects text, hours text, colour text, dayoff text) on commit drop;\n"
        "\\copy st(date, shift, worker, mark, operation, kind, quantity, rejects, hours, colour, dayoff) from '%1' with (format csv, header true)\n"
        "create temp table ok on commit drop as\n"
        "select st.line, st.worker::int as w_id, op.i_id, op.id as o_id,\n"
        " round((op.price * case when st.dayoff='1' then 2 else 1 end * case st.shift when '3' then 1.2 when '4' then 1.5 else 1 end)::numeric, 4)::float8 as cena,\n"
        " st.quantity::int as kol_vo, st.rejects::int as brak, to_date(st.date, 'DD.MM.YYYY') as data, st.shift::int as smena,\n"
        " coalesce(nullif(st.colour, '')::int, 0) as color, st.hours::int as time,\n"
        " exists (select 1 from cmn_contractor.person p where p.id=st.worker::int or p.s_code::t_id=st.worker::numeric) as known\n"
        "from st left join (select o.id, o.i_id, upper(i.marka) as marka, upper(v.vid) as vid, o.naimen, min(n.price) as price\n"
        " from accounts_dep.oper o join accounts_dep.izdel i on i.id=o.i_id join accounts_dep.vid_oper v on v.id=o.vid\n"
        " left join accounts_dep.norm n on n.o_id=o.id group by o.id, o.i_id, i.marka, v.vid, o.naimen) op\n"
        " on op.marka=upper(st.mark) and op.vid=upper(st.operation) and op.naimen=st.kind::int;\n"
        "select count(*) filter (where not known or o_id is null or cena is null) as refused,\n"
        " (select count(*) from (select 1 from ok group by w_id, o_id, i_id, data, smena, color having count(*) > 1) d) as repeated,\n"
        " (select count(*) from ok where exists (select 1 from accounts_dep.smena s where s.w_id=ok.w_id and s.o_id=ok.o_id\n"
        "  and s.i_id=ok.i_id and s.data=ok.data and s.smena=ok.smena and s.color=ok.color)) as stored,\n"
        " (select count(*) from (select w_id, date_trunc('month', data), sum(cena::numeric*(kol_vo-brak)) from ok group by 1, 2\n"
        "  having sum(cena::numeric*(kol_vo-brak)) > 9999999999) m) as over\n"
        "from ok;\n"
        "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, vvod, ok, prize, id_doc,\n"
        " id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use)\n"
        "select w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, current_date, 'no', 0, 0, 0, 0, 0, 0 from ok order by line;\n"
        "insert into accounts_dep.h_tabel(smena, w_id, month, year)\n"
        "select distinct smena, w_id, extract(month from data), extract(year from data) from ok\n"
        "where not exists (select 1 from accounts_dep.h_tabel h where h.w_id=ok.w_id and h.smena=ok.smena\n"
        " and h.month=extract(month from ok.data) and h.year=extract(year from ok.data));\n"
        "update accounts_dep.h_tabel h set %2 where (h.w_id, h.smena, h.month, h.year) in (select distinct w_id, smena,\n"
        " extract(month from data), extract(year from data) from ok);\n"
        "commit;\n")
                               .arg(csv, days);
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-d"), g_psqlDb});
    p.waitForStarted();
    p.write(script.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(-1);
    const double took = ms(t);
    if (p.exitCode() != 0) std::printf("psql failed: %s\n", p.readAll().constData());
    return took;
}

void benchImport(int beforeRows) {
    std::printf("\n== import\n");
    QTemporaryDir dir;
    for (int count : {1000, 10000, 100000}) {
        const QList<QStringList> rows = importRows(count);
        const QString csv = dir.filePath(QStringLiteral("import-%1.csv").arg(count));
        QFile f(csv);
        f.open(QIODevice::WriteOnly);
        f.write(kHeader.join(QLatin1Char(',')).toUtf8() + "\n");
        for (const QStringList& r : rows) f.write(r.join(QLatin1Char(',')).toUtf8() + "\n");
        f.close();

        clearImportMonth();
        double before = -1;
        if (count <= beforeRows) {
            QElapsedTimer t;
            t.start();
            if (importBefore(rows) < 0) std::printf("  the old import refused the file\n");
            before = ms(t);
            clearImportMonth();
        }
        QElapsedTimer t;
        t.start();
        const int stored = importAfter(rows);
        const double after = ms(t);
        const int inMonth = importMonthCount();
        clearImportMonth();
        const double base = importBaseline(csv);
        const int inMonthBase = importMonthCount();
        clearImportMonth();
        std::printf("%d rows: stored %d (%d in the month), baseline stored %d\n", count, stored, inMonth, inMonthBase);
        g_table.push_back({QStringLiteral("import entries"), QString::number(count), before, after, base,
                           before < 0 ? QStringLiteral("(the old import is quadratic: not timed on this size)") : QString()});
        std::fflush(stdout);
    }
}

// ---------------------------------------------------------------- shift copy

void clearCopyTarget() {
    testdb::exec(QStringLiteral("delete from accounts_dep.smena where data='%1' and smena=4").arg(kCopyTarget.toString(Qt::ISODate)));
    testdb::exec(QStringLiteral("delete from accounts_dep.h_tabel where smena=4 and month=%1 and year=%2")
                     .arg(kCopyTarget.month())
                     .arg(kCopyTarget.year()));
}

// The copy as it was: the source query with the register searched per entry, then per
// entry a duplicate check, the month's sum and the insert, per day the posting, and the
// stored keys read back.
int copyBefore() {
    Query src;
    src.SQL = {QStringLiteral("select s.id, s.w_id, s.o_id, oper.i_id, s.kol_vo, s.time, s.color, oper.naimen, izdel.marka, vid_oper.vid,"),
               QStringLiteral("(select min(norm.price) from accounts_dep.norm where norm.o_id=s.o_id)::numeric as base,"),
               QStringLiteral("(select p.s_caption from cmn_contractor.person p where p.id=s.w_id or"),
               QStringLiteral(" (case when p.s_code ~ '^[[:space:]]*[0-9]{1,15}[[:space:]]*$' then p.s_code::t_id end)=s.w_id"),
               QStringLiteral(" order by p.id limit 1) as fio"),
               QStringLiteral("from accounts_dep.smena s left join accounts_dep.oper on oper.id=s.o_id"),
               QStringLiteral("left join accounts_dep.izdel on izdel.id=oper.i_id left join accounts_dep.vid_oper on vid_oper.id=oper.vid"),
               QStringLiteral("where s.data=:data and s.smena=:smena"),
               QStringLiteral("order by fio, izdel.marka, vid_oper.vid, oper.naimen, s.color, s.id")};
    src.setParam(QStringLiteral("data"), kBusyDay);
    src.setParam(QStringLiteral("smena"), 4);
    src.open();
    QList<entry::Record> records;
    for (int i = 0; i < src.recordCount(); ++i) {
        entry::Record r;
        r.w_id = toInt(src.value(i, QStringLiteral("w_id")));
        r.o_id = toInt(src.value(i, QStringLiteral("o_id")));
        r.i_id = toInt(src.value(i, QStringLiteral("i_id")));
        r.kol_vo = toInt(src.value(i, QStringLiteral("kol_vo")));
        r.time = toInt(src.value(i, QStringLiteral("time")));
        r.color = toInt(src.value(i, QStringLiteral("color")));
        r.date = kCopyTarget;
        r.shift = 4;
        r.cena = entry::finalPrice(toDouble(src.value(i, QStringLiteral("base"))), false, 4);
        records << r;
    }
    Transaction t;
    entry::EntryStore store;
    QList<locks::Day> days;
    for (const auto& r : records) days << r.day();
    store.timesheet().lockDays(days);
    QList<locks::Day> posted;
    for (const entry::Record& r : records) {
        if (Db().scalarInt(sqltext::duplicateCheck(r)) != 0) continue;
        entry::monthAmount(Db(), r.w_id, r.date);
        Db().exec(sqltext::insert(r, QDate::currentDate()));
        if (!posted.contains(r.day())) posted << r.day();
    }
    for (const locks::Day& d : posted) store.timesheet().postDay(d, true);
    Query stored;
    stored.setText(QStringLiteral("select id, w_id, o_id, i_id, color from accounts_dep.smena where data=:data and smena=:smena order by id"));
    stored.setParam(QStringLiteral("data"), kCopyTarget);
    stored.setParam(QStringLiteral("smena"), 4);
    stored.open();
    t.commit();
    return int(records.size());
}

// One statement: the source priced for the target, duplicates left out, inserted, and
// the target's day postings.
QString copyBaselineSql() {
    const QString day = kCopyTarget.toString(Qt::ISODate), col = QStringLiteral("d%1").arg(kCopyTarget.day());
    return QStringLiteral(
               "with m as (select w_id, sum(cena::numeric*(kol_vo-brak)) as amount from accounts_dep.smena "
               "where data>=date_trunc('month', date '%2') and data<date_trunc('month', date '%2') + interval '1 month' "
               "group by w_id), "
               "src as (select s.w_id, oper.i_id, s.o_id, round((select min(norm.price) from accounts_dep.norm "
               "where norm.o_id=s.o_id)::numeric * 1.5, 4)::float8 as cena, s.kol_vo, s.color, s.time from accounts_dep.smena s "
               "join accounts_dep.oper on oper.id=s.o_id left join m on m.w_id=s.w_id where s.data='%1' and s.smena=4 "
               "and coalesce(m.amount, 0) + s.kol_vo * 10 <= 9999999999 "
               "and exists (select 1 from cmn_contractor.person p where p.id=s.w_id or p.s_code::t_id=s.w_id) "
               "and not exists (select 1 from accounts_dep.smena t where t.w_id=s.w_id and t.o_id=s.o_id and t.i_id=oper.i_id "
               "and t.data='%2' and t.smena=4 and t.color=s.color)), "
               "ins as (insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, vvod, ok, "
               "prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) select w_id, i_id, o_id, cena, kol_vo, 0, '%2', 4, "
               "color, time, current_date, 'no', 0, 0, 0, 0, 0, 0 from src returning w_id, time), "
               "sums as (select w_id, sum(time) as tim from ins group by w_id), "
               "upd as (update accounts_dep.h_tabel h set %3=sums.tim from sums where h.w_id=sums.w_id and h.smena=4 and h.month=%4 "
               "and h.year=%5 returning h.w_id) "
               "insert into accounts_dep.h_tabel(smena, w_id, month, year, %3) select 4, w_id, %4, %5, tim from sums "
               "where not exists (select 1 from upd where upd.w_id=sums.w_id)")
        .arg(kBusyDay.toString(Qt::ISODate), day, col)
        .arg(kCopyTarget.month())
        .arg(kCopyTarget.year());
}

void benchCopy(int runs) {
    std::printf("\n== shift copy\n");
    const entry::ShiftRef from{kBusyDay, 4}, to{kCopyTarget, 4};
    clearCopyTarget();
    long trips = roundTrips();
    int copied = 0, skipped = 0;
    std::vector<double> a, b, x;
    long tripsAfter = 0, tripsBefore = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        trips = roundTrips();
        const entry::CopyResult r = entry::copyShift(from, to, false);
        a.push_back(ms(t));
        tripsAfter = roundTrips() - trips;
        copied = int(r.copied.size());
        skipped = int(r.skipped.size());
        clearCopyTarget();
        t.restart();
        trips = roundTrips();
        copyBefore();
        b.push_back(ms(t));
        tripsBefore = roundTrips() - trips;
        clearCopyTarget();
        t.restart();
        testdb::exec(copyBaselineSql());
        x.push_back(ms(t));
        clearCopyTarget();
    }
    std::printf("copied %d, skipped %d; statements: before %ld, after %ld\n", copied, skipped, tripsBefore, tripsAfter);
    g_table.push_back({QStringLiteral("shift copy"), QString::number(copied), median(b), median(a), median(x),
                       QStringLiteral("(statements: %1 before, %2 after)").arg(tripsBefore).arg(tripsAfter)});
}

// ---------------------------------------------------------------- rebuild

void benchRebuild(int runs) {
    std::printf("\n== month rebuild\n");
    const int m = kMonth.month(), y = kMonth.year();
    const QString sig = QStringLiteral(
        "select md5(string_agg(h::text, ';' order by w_id, smena)) from (select w_id, smena, d1,d2,d3,d4,d5,d6,d7,d8,d9,d10,"
        "d11,d12,d13,d14,d15,d16,d17,d18,d19,d20,d21,d22,d23,d24,d25,d26,d27,d28,d29,d30,d31 from accounts_dep.h_tabel "
        "where month=%1 and year=%2) h")
                            .arg(m)
                            .arg(y);
    // Each form inserts the month into an emptied one, in a transaction rolled back.
    QHash<QString, QString> sigs;
    auto form = [&](const QString& name, const QString& sql) {
        std::vector<double> v;
        for (int i = 0; i < runs; ++i) {
            Transaction t;
            testdb::exec(sqltext::deleteMonth(m, y));
            QElapsedTimer e;
            e.start();
            testdb::exec(sql);
            v.push_back(ms(e));
            sigs.insert(name, testdb::scalar(sig).toString());
        }
        return median(v);
    };
    const double before = form(QStringLiteral("before"), insertMonthBefore(m, y));
    const double after = form(QStringLiteral("after"), sqltext::insertMonth(m, y));
    const double cases = form(QStringLiteral("case"), insertMonthCase(m, y));
    const double byDate = form(QStringLiteral("byDate"), insertMonthByDate(m, y));
    const double base = std::min({after, cases, byDate});
    bool same = true;
    for (const QString& k : sigs.keys()) same = same && sigs.value(k) == sigs.value(QStringLiteral("before"));
    const timesheet::Service service{QString()};
    const double whole = timed(runs, [&] { service.rebuildMonth(m, y); });
    const int stored = testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.h_tabel where month=%1 and year=%2").arg(m).arg(y));
    std::printf("forms: before %.1f, summed by day %.1f, sum of cases %.1f, by date %.1f ms; same rows: %s; the whole "
                "rebuild (locks, delete, insert): %.1f ms\n",
                before, after, cases, byDate, same ? "yes" : "NO", whole);
    g_table.push_back({QStringLiteral("month rebuild statement"), QString::number(stored), before, after, base,
                       QStringLiteral("(baseline: the fastest of three forms)")});
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The statements' own log lines would drown the results.
    QLoggingCategory::setFilterRules(QStringLiteral("mirn.*.info=false\nmirn.*.debug=false\nmirn.db.warning=false"));
    QStringList what;
    int runs = 3, beforeRows = 3000;
    bool reuse = false;
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--runs") && i + 1 < argc) runs = std::atoi(argv[++i]);
        else if (a == QLatin1String("--before-rows") && i + 1 < argc) beforeRows = std::atoi(argv[++i]);
        else if (a == QLatin1String("--reuse")) reuse = true;
        else what << a;
    }
    if (what.isEmpty()) what = {QStringLiteral("earnings"), QStringLiteral("import"), QStringLiteral("copy"), QStringLiteral("rebuild")};
    std::printf("load before: %s\n", qPrintable(load()));
    g_psqlDb = QStringLiteral("b_factory");
    // --reuse: the database of an earlier run, when it is there (generating takes a while).
    QString why;
    if (reuse && connection::open(connection::params(g_psqlDb, testdb::host()), &why) &&
        testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena")) > 1000000) {
        std::printf("reusing the generated database %s\n", qPrintable(g_psqlDb));
    } else {
        testdb::openFresh(g_psqlDb);
        generate();
    }
    if (what.contains(QLatin1String("earnings"))) benchEarnings(runs);
    else if (what.contains(QLatin1String("preview"))) benchEarningsPreview(runs, -1);
    if (what.contains(QLatin1String("copy"))) benchCopy(runs);
    if (what.contains(QLatin1String("rebuild"))) benchRebuild(runs);
    if (what.contains(QLatin1String("import"))) benchImport(beforeRows);
    printTable();
    std::printf("load after: %s\n", qPrintable(load()));
    return 0;
}
