// The detailed report by products over 5,000 result rows, from the database to the pages:
// reading its query, laying out the pages, and (for scale) writing the PDF.
// Usage: bench_report_products [rows] [runs]  (needs the test server, see scripts/test.sh)
#include "papers/layouts.h"
#include "support/testdb.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace mirn;

namespace {
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    const int products = rows / 5;  // five operation types per product, one result row each

    testdb::openFresh(QStringLiteral("b_report_products"));
    // 50 product groups, products of 5 operation types, 4 entries per operation in March.
    testdb::exec(QStringLiteral("insert into cmn_classifier.item(id, id_level, s_caption) "
                                "select g, 2, 'Группа ' || lpad(g::text, 2, '0') from generate_series(1, 50) g"));
    testdb::exec(QStringLiteral("insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) "
                                "select p, 'ИЗД-' || lpad(p::text, 5, '0'), '', 6, (p % 7 + 1) * 0.25, p % 50 + 1 "
                                "from generate_series(1, %1) p").arg(products));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) select v, 'Операция ' || v from generate_series(1, 5) v"));
    testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) "
                                "select (p - 1) * 5 + v, v, (p + v) % 2, p, 0 "
                                "from generate_series(1, %1) p, generate_series(1, 5) v").arg(products));
    testdb::exec(QStringLiteral("insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok) "
                                "select 100 + e, o.id, o.i_id, 1.25 + o.id % 9, 10 + e, e % 2, date '2024-03-01' + (o.id + e) % 31, "
                                "1 + e % 3, 0, 8, 'ok' from accounts_dep.oper o, generate_series(1, 4) e"));
    testdb::exec(QStringLiteral("analyze accounts_dep.smena, accounts_dep.oper, accounts_dep.vid_oper, cmn_gds_and_srv.gds_and_srv, cmn_classifier.item, cmn_contractor.person"));

    papers::TForm21 layout;
    Query& q = layout.i_Report;
    q.setParam(QStringLiteral("data1"), QDate(2024, 3, 1));
    q.setParam(QStringLiteral("data2"), QDate(2024, 4, 1));
    layout.QRLabel1().text = QStringLiteral("   Детальный отчет по продукции за период с 01.03.2024 по 01.04.2024");

    std::vector<double> openMs, prepareMs, pdfMs;
    size_t pages = 0;
    int rowCount = 0;
    QTemporaryDir dir;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        q.close();
        q.open();
        openMs.push_back(t.nsecsElapsed() / 1e6);
        rowCount = q.recordCount();
        t.restart();
        layout.Prepare();
        prepareMs.push_back(t.nsecsElapsed() / 1e6);
        pages = layout.prepared.pages.size();
        if (i < 3) {
            t.restart();
            rpt::writePdf(layout.prepared, dir.filePath(QStringLiteral("r.pdf")));
            pdfMs.push_back(t.nsecsElapsed() / 1e6);
        }
    }
    q.close();
    std::printf("detailed report by products: %d rows, %zu pages, median of %d runs\n", rowCount, pages, runs);
    std::printf("  query open     %8.1f ms\n", median(openMs));
    std::printf("  prepare        %8.1f ms\n", median(prepareMs));
    std::printf("  open + prepare %8.1f ms\n", median(openMs) + median(prepareMs));
    std::printf("  PDF (all pages, for scale) %8.1f ms\n", median(pdfMs));
    testdb::stopApp();
    return 0;
}
