// The timesheet rebuild of a month: 300 workers, 3 shifts, about 20 entries each.
// Usage: bench_rebuild [runs] [--literal]  (needs the test server, see scripts/test.sh)
// Prints the rebuild through the timesheet service (locks, delete, insert) beside one
// set-based statement that computes the same rows, and their ratio.
//   --literal also times the statement-per-row way (a count query and an insert or
//   update per worker, shift and day, without a transaction) for comparison.
#include "core/datamodule.h"
#include "domain/timesheet_rules.h"
#include "domain/timesheet_service.h"
#include "support/testdb.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace mirn;

namespace {
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// One statement per stored value, as the month was rebuilt before it ran in one go.
void literalRebuild(Query& dt, int month, int year) {
    const QString m = QString::number(month), y = QString::number(year);
    testdb::exec(QStringLiteral("delete from accounts_dep.h_tabel where month=") + m + QStringLiteral(" and year=") + y);
    Query control;
    Command ins;
    for (int i = 1; i <= timesheet::daysInMonth(month, year); ++i) {
        dt.close();
        dt.setParam(QStringLiteral("data"), QDate(year, month, i));
        dt.open();
        for (int r = 0; r < dt.recordCount(); ++r) {
            const QString smena = dt.value(r, QStringLiteral("smena")).toString();
            const QString w = dt.value(r, QStringLiteral("w_id")).toString();
            const QString tim = dt.value(r, QStringLiteral("tim")).toString();
            control.close();
            control.SQL = {QStringLiteral("select count(w_id) as cnt from accounts_dep.h_tabel h_tabel where w_id=") + w +
                           QStringLiteral(" and smena=") + smena + QStringLiteral(" and month=") + m +
                           QStringLiteral(" and year=") + y};
            control.open();
            const int cnt = control.asInt(QStringLiteral("cnt"));
            control.close();
            ins.SQL = {cnt != 0 ? QStringLiteral("update accounts_dep.h_tabel set d%1='%2' where w_id=%3 and smena=%4 and month=%5 and year=%6")
                                      .arg(i).arg(tim, w, smena, m, y)
                                : QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d%1) values(%2, %3, %4, %5, %6)")
                                      .arg(i).arg(smena, w, m, y, tim)};
            ins.exec();
        }
        dt.close();
    }
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    const bool literal = argc > 2 && std::strcmp(argv[2], "--literal") == 0;

    testdb::startApp(QStringLiteral("b_rebuild"));
    testdb::exec(QStringLiteral("insert into cmn_contractor.person(id, s_caption, s_code) "
                                "select w, 'Работник ' || w, (10000 + w)::text from generate_series(1, 300) w"));
    testdb::exec(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa) values (1, 'КР-100', '', 6, 1)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Гибка')"));
    testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (1, 1, 0, 1, 0)"));
    // 20 entries per worker and shift over March, a few of them on the same day.
    testdb::exec(QStringLiteral("insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok) "
                                "select 10000 + w, 1, 1, 2, 10, 0, date '2024-03-01' + (k * 3 + w + s) % 31, s, 0, 1 + (k + w) % 8, 'ok' "
                                "from generate_series(1, 300) w, generate_series(1, 3) s, generate_series(1, 20) k"));
    testdb::exec(QStringLiteral("analyze accounts_dep.smena, accounts_dep.oper, accounts_dep.vid_oper, cmn_gds_and_srv.gds_and_srv, cmn_classifier.item, cmn_contractor.person"));
    const int entries = testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena"));

    Query dt;
    dt.setText(QStringLiteral(" select smena, w_id, sum(time) as tim from accounts_dep.smena where data=:data group by smena,w_id;"));
    // The same rows as the rebuild stores, computed by one statement and read back.
    Query setBased;
    setBased.setText(timesheet::sql::insertMonth(3, 2024).section(QStringLiteral(") select "), 1).prepend(QStringLiteral("select ")));
    const timesheet::Service service{QString()};
    std::vector<double> ms, base;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        service.rebuildMonth(3, 2024);
        ms.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        setBased.reopen();
        base.push_back(t.nsecsElapsed() / 1e6);
    }
    const int stored = testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.h_tabel where month=3 and year=2024"));
    std::printf("rebuild of March 2024: %d entries, %d rows stored, median of %d runs %8.1f ms\n", entries, stored, runs,
                median(ms));
    std::printf("one set-based statement computing the same %d rows: %8.1f ms; ratio %.2f\n", setBased.recordCount(),
                median(base), median(ms) / median(base));
    if (literal) {
        const QString sig = QStringLiteral("select string_agg(h_tabel::text, ';' order by w_id, smena) from (select w_id, smena, "
                                           "d1,d2,d3,d4,d5,d6,d7,d8,d9,d10,d11,d12,d13,d14,d15,d16,d17,d18,d19,d20,d21,d22,d23,"
                                           "d24,d25,d26,d27,d28,d29,d30,d31 from accounts_dep.h_tabel where month=3 and year=2024) h_tabel");
        const QString ours = testdb::scalar(sig).toString();
        QElapsedTimer t;
        t.start();
        literalRebuild(dt, 3, 2024);
        const double lit = t.nsecsElapsed() / 1e6;
        std::printf("statement per value (for comparison): %8.1f ms, same stored month: %s\n", lit,
                    testdb::scalar(sig).toString() == ours ? "yes" : "NO");
    }
    testdb::stopApp();
    return 0;
}
