// Time to the first page of a large report's preview, and resident memory before, while
// and after it is shown, in the same run on the same month: the print preview dialog
// (which paints every page before it shows one), the paged preview of pages laid out
// beforehand (which paints the page on screen only), and the paged preview as the windows
// show it, laying out the pages as it turns to them.
// Usage: bench_report_preview [rows] [runs]  (needs the test server, see scripts/test.sh)
#include "papers/layouts.h"
#include "gui/preview.h"
#include "support/testdb.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace mirn;

namespace {
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double residentMb() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Gives freed heap back to the system, so that what stays resident is what is still held.
double settledMb() {
    QCoreApplication::processEvents();
    malloc_trim(0);
    return residentMb();
}

struct Run {
    double firstPageMs = 0, beforeMb = 0, openMb = 0, afterMb = 0;
};
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const int products = rows / 5;

    testdb::openFresh(QStringLiteral("b_report_preview"));
    // The large month of bench_report_products: product groups, five operations per product.
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
    testdb::exec(QStringLiteral("analyze accounts_dep.smena, accounts_dep.oper, accounts_dep.vid_oper, cmn_gds_and_srv.gds_and_srv, cmn_classifier.item"));

    papers::TForm21 layout;
    Query& q = layout.i_Report;
    q.setParam(QStringLiteral("data1"), QDate(2024, 3, 1));
    q.setParam(QStringLiteral("data2"), QDate(2024, 4, 1));
    layout.QRLabel1().text = QStringLiteral("   Детальный отчет по продукции за период с 01.03.2024 по 01.04.2024");
    q.open();  // the query is not what is measured: both ways start from its rows

    size_t pages = 0;
    std::vector<Run> dialogRuns, pagedRuns, lazyRuns;
    for (int i = 0; i < runs; ++i) {
        // The print preview dialog, as the windows show it until now: the pages stay with
        // the layout after it closes.
        {
            Run r;
            r.beforeMb = settledMb();
            QElapsedTimer t;
            t.start();
            layout.Prepare();
            QPrinter printer(QPrinter::HighResolution);
            printer.setFullPage(true);
            printer.setPageSize(QPageSize(layout.prepared.paper));
            {
                QPrintPreviewDialog dlg(&printer);
                QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg,
                                 [&](QPrinter* p) { rpt::print(layout.prepared, *p); });
                dlg.findChild<QPrintPreviewWidget*>()->updatePreview();
                r.firstPageMs = t.nsecsElapsed() / 1e6;
                r.openMb = residentMb();
            }
            r.afterMb = settledMb();
            pages = layout.prepared.pages.size();
            layout.prepared = rpt::PreparedReport();
            settledMb();
            dialogRuns.push_back(r);
        }
        // The paged preview: one page painted; the pages are let go when it closes.
        {
            Run r;
            r.beforeMb = settledMb();
            QElapsedTimer t;
            t.start();
            {
                const rpt::PreparedReport prepared = rpt::prepare(layout.QuickRep1, papers::QueryRows(q, {QStringLiteral("kolvo"), QStringLiteral("mass")}));
                rpt::PagedPreview dlg(prepared, layout.QRLabel1().text);
                r.firstPageMs = t.nsecsElapsed() / 1e6;
                if (dlg.pageImage().isNull() || dlg.paintedPages() != 1) std::printf("the first page was not painted\n");
                dlg.setPage(dlg.pageCount() - 1);  // leafing to the end paints just that page
                r.openMb = residentMb();
            }
            r.afterMb = settledMb();
            pagedRuns.push_back(r);
        }
        // As the windows do it: pages laid out as the preview turns to them.
        {
            Run r;
            r.beforeMb = settledMb();
            QElapsedTimer t;
            t.start();
            {
                std::unique_ptr<rpt::LazyReport> lazy = layout.PrepareLazily();
                rpt::PagedPreview dlg(*lazy, layout.QRLabel1().text);
                r.firstPageMs = t.nsecsElapsed() / 1e6;
                if (dlg.pageImage().isNull() || dlg.paintedPages() != 1) std::printf("the first page was not painted\n");
                dlg.setPage(dlg.pageCount() - 1);
                r.openMb = residentMb();
            }
            r.afterMb = settledMb();
            lazyRuns.push_back(r);
        }
    }
    const int rowCount = q.recordCount();
    q.close();

    auto report = [](const char* name, const std::vector<Run>& v) {
        std::vector<double> first, before, open, after;
        for (const Run& r : v) {
            first.push_back(r.firstPageMs);
            before.push_back(r.beforeMb);
            open.push_back(r.openMb);
            after.push_back(r.afterMb);
        }
        std::printf("  %-24s first page %8.1f ms   resident MB before %6.1f  open %6.1f  after close %6.1f\n", name,
                    median(first), median(before), median(open), median(after));
        return median(first);
    };
    std::printf("detailed report by products: %d rows, %zu pages, median of %d runs (query already read)\n",
                rowCount, pages, runs);
    const double dialog = report("print preview dialog", dialogRuns);
    const double paged = report("paged, laid out first", pagedRuns);
    const double lazy = report("paged, laid out as shown", lazyRuns);
    std::printf("  first page: of the print preview dialog's time, paged takes %.3f, laid out as shown %.3f\n",
                paged / dialog, lazy / dialog);
    testdb::stopApp();
    return 0;
}
