// The one painter of prepared pages, and the PDF writer.
#include "engine/engine.h"

#include <QFont>
#include <QPainter>
#include <QDir>
#include <QPdfWriter>

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
            painter.drawText(inner, int(it.alignment) | Qt::TextSingleLine, it.text);
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

bool writePdf(const PreparedReport& report, const QString& path, const QString& title) {
    QPdfWriter writer(path);
    writer.setPageLayout(report.pageLayout());
    writer.setResolution(600);
    if (!title.isEmpty()) writer.setTitle(title);
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    for (size_t p = 0; p < report.pages.size(); ++p) {
        if (p > 0) writer.newPage();
        render(report, int(p), painter);
    }
    const bool ok = painter.end();
    if (ok)
        qInfo("pdf written: %s (%d pages)", qUtf8Printable(QDir::toNativeSeparators(path)), int(report.pages.size()));
    else
        qWarning("pdf not written: %s", qUtf8Printable(QDir::toNativeSeparators(path)));
    return ok;
}

}  // namespace rpt

}  // namespace mirn
