// The one painter of prepared pages, and the PDF writer.
#include "engine/engine.h"

#include <QFont>
#include <QPainter>
#include <QDir>
#include <QPdfWriter>
#include <QSaveFile>
#include <QStringList>

namespace mirn {

namespace rpt {
namespace {

constexpr double kLineWidth = 0.2;  // millimetres: a thin printed rule
constexpr double kPadding = 0.6;    // millimetres between a frame and its text

}  // namespace

void render(const PreparedReport& report, int pageIndex, QPainter& painter) {
    if (pageIndex < 0 || size_t(pageIndex) >= report.pages.size()) return;
    const QPaintDevice* dev = painter.device();
    const double sx = dev->logicalDpiX() / 25.4;
    const double sy = dev->logicalDpiY() / 25.4;
    auto map = [&](const QRectF& mm) {
        return QRectF(mm.x() * sx, mm.y() * sy, mm.width() * sx, mm.height() * sy);
    };

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);  // crisp rules
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    QPen rule(Qt::black, kLineWidth * sx, Qt::SolidLine, Qt::SquareCap);
    QFont font(report.fontFamily);
    font.setStyleHint(QFont::SansSerif);  // a metric twin of Arial, or any sans with Cyrillic

    for (const PreparedItem& it : report.pages[size_t(pageIndex)].items) {
        const QRectF r = map(it.rect);
        if (it.shade.isValid()) painter.fillRect(r, it.shade);
        if (!it.text.isEmpty()) {
            font.setPointSizeF(it.fontSize);
            font.setBold(it.bold);
            painter.setFont(font);
            painter.setPen(Qt::black);
            const QRectF inner = r.adjusted(kPadding * sx, 0, -kPadding * sx, 0);
            if (it.text.contains(QLatin1Char('\n'))) {
                // A wrapped text: its lines as laid out, each in its own slice of the box,
                // so that the screen's font metrics cannot add or move a line.
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
        if (it.frame != NoSides) {
            painter.setPen(rule);
            if (it.frame & Top) painter.drawLine(r.topLeft(), r.topRight());
            if (it.frame & Bottom) painter.drawLine(r.bottomLeft(), r.bottomRight());
            if (it.frame & Left) painter.drawLine(r.topLeft(), r.bottomLeft());
            if (it.frame & Right) painter.drawLine(r.topRight(), r.bottomRight());
        }
    }
    painter.restore();
}

bool writePdf(const PreparedReport& report, const QString& path, const QString& title,
              const std::function<bool(int page)>& page) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning("pdf not written: %s", qUtf8Printable(QDir::toNativeSeparators(path)));
        return false;
    }
    QPdfWriter writer(&file);
    writer.setPageLayout(report.pageLayout());
    writer.setResolution(600);
    if (!title.isEmpty()) writer.setTitle(title);
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    for (size_t p = 0; p < report.pages.size(); ++p) {
        if (page && !page(int(p))) {
            painter.end();
            file.cancelWriting();  // the temporary file goes, nothing takes path's name
            qInfo("pdf stopped at page %d: %s", int(p) + 1, qUtf8Printable(QDir::toNativeSeparators(path)));
            return false;
        }
        if (p > 0) writer.newPage();
        render(report, int(p), painter);
    }
    const bool ok = painter.end() && file.commit();
    if (ok)
        qInfo("pdf written: %s (%d pages)", qUtf8Printable(QDir::toNativeSeparators(path)), int(report.pages.size()));
    else
        qWarning("pdf not written: %s", qUtf8Printable(QDir::toNativeSeparators(path)));
    return ok;
}

}  // namespace rpt

}  // namespace mirn
