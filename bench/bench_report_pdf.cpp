// A full PDF of a large report (the detailed report by products), against the time of
// the report's query in the same run: the PDF as it was painted before, each text laid
// out and shaped where it is drawn, kept here; and as writePdf paints it now. Both files'
// texts are compared page by page (pdftotext).
// Usage: bench_report_pdf [rows] [runs]  (needs the test server, see scripts/test.sh)
#include "papers/layouts.h"
#include "support/testdb.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
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

// The painter as it was: every text through QPainter::drawText.
void oldRender(const rpt::PreparedReport& report, int pageIndex, QPainter& painter) {
    const QPaintDevice* dev = painter.device();
    const double sx = dev->logicalDpiX() / 25.4;
    const double sy = dev->logicalDpiY() / 25.4;
    auto map = [&](const QRectF& mm) {
        return QRectF(mm.x() * sx, mm.y() * sy, mm.width() * sx, mm.height() * sy);
    };
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    QPen rule(Qt::black, 0.2 * sx, Qt::SolidLine, Qt::SquareCap);
    QFont font(report.fontFamily);
    font.setStyleHint(QFont::SansSerif);
    for (const rpt::PreparedItem& it : report.pages[size_t(pageIndex)].items) {
        const QRectF r = map(it.rect);
        if (it.shade.isValid()) painter.fillRect(r, it.shade);
        if (!it.text.isEmpty()) {
            font.setPointSizeF(it.fontSize);
            font.setBold(it.bold);
            painter.setFont(font);
            painter.setPen(Qt::black);
            const QRectF inner = r.adjusted(0.6 * sx, 0, -0.6 * sx, 0);
            if (it.text.contains(QLatin1Char('\n'))) {
                const QStringList lines = it.text.split(QLatin1Char('\n'));
                const double h = inner.height() / double(lines.size());
                const int across = int(it.alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter;
                for (qsizetype i = 0; i < lines.size(); ++i)
                    painter.drawText(QRectF(inner.x(), inner.y() + double(i) * h, inner.width(), h),
                                     across | Qt::TextSingleLine, lines[i]);
            } else {
                painter.drawText(inner, int(it.alignment) | Qt::TextSingleLine, it.text);
            }
        }
        if (it.frame != rpt::NoSides) {
            painter.setPen(rule);
            if (it.frame & rpt::Top) painter.drawLine(r.topLeft(), r.topRight());
            if (it.frame & rpt::Bottom) painter.drawLine(r.bottomLeft(), r.bottomRight());
            if (it.frame & rpt::Left) painter.drawLine(r.topLeft(), r.bottomLeft());
            if (it.frame & rpt::Right) painter.drawLine(r.topRight(), r.bottomRight());
        }
    }
    painter.restore();
}

bool oldWritePdf(const rpt::PreparedReport& report, const QString& path, const QString& title) {
    QPdfWriter writer(path);
    writer.setPageLayout(report.pageLayout());
    writer.setResolution(600);
    writer.setTitle(title);
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    for (size_t p = 0; p < report.pages.size(); ++p) {
        if (p > 0) writer.newPage();
        oldRender(report, int(p), painter);
    }
    return painter.end();
}

QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 17000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const int products = rows / 20;

    testdb::openFresh(QStringLiteral("b_report_pdf"));
    // The large month of bench_report_preview: product groups, five operations per product.
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

    QTemporaryDir dir;
    const QString before = dir.filePath(QStringLiteral("before.pdf")), after = dir.filePath(QStringLiteral("after.pdf"));
    std::vector<double> query, oldPdf, newPdf, prepareMs;
    size_t pages = 0;
    int rowCount = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        q.close();
        t.start();
        q.open();
        query.push_back(t.nsecsElapsed() / 1e6);
        rowCount = q.recordCount();
        t.restart();
        const rpt::PreparedReport& prepared = layout.Prepare();
        prepareMs.push_back(t.nsecsElapsed() / 1e6);
        pages = prepared.pages.size();
        t.restart();
        oldWritePdf(prepared, before, QStringLiteral("Детальный отчет"));
        oldPdf.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        rpt::writePdf(prepared, after, QStringLiteral("Детальный отчет"));
        newPdf.push_back(t.nsecsElapsed() / 1e6);
    }
    const QString textBefore = pdfText(before), textAfter = pdfText(after);
    q.close();

    QFile load(QStringLiteral("/proc/loadavg"));
    load.open(QIODevice::ReadOnly);
    const double base = median(query), was = median(oldPdf) + median(prepareMs), now = median(newPdf) + median(prepareMs);
    std::printf("full PDF, detailed report by products: %d rows, %zu pages, median of %d runs\n", rowCount, pages, runs);
    std::printf("  layout (prepare) %8.1f ms, PDF painted before %8.1f ms, now %8.1f ms\n", median(prepareMs),
                median(oldPdf), median(newPdf));
    std::printf("  before (layout + PDF)     %8.1f ms\n  after  (layout + PDF)     %8.1f ms\n"
                "  baseline (report's query) %8.1f ms\n  ratio after/baseline %.2f (before %.2f)\n",
                was, now, base, now / base, was / base);
    std::printf("  best of %d: query %.1f ms, layout %.1f ms, PDF before %.1f ms, now %.1f ms\n", runs,
                *std::min_element(query.begin(), query.end()), *std::min_element(prepareMs.begin(), prepareMs.end()),
                *std::min_element(oldPdf.begin(), oldPdf.end()), *std::min_element(newPdf.begin(), newPdf.end()));
    std::printf("  same text on every page: %s (%lld characters)\n",
                textBefore == textAfter && !textAfter.isEmpty() ? "yes" : "NO", qlonglong(textAfter.size()));
    std::printf("  load: %s", load.readAll().constData());
    return 0;
}
