// The one painter of prepared pages, and the PDF writer.
#include "engine/engine.h"

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QPaintEngine>
#include <QPainter>
#include <QDir>
#include <QPdfWriter>
#include <QSaveFile>
#include <QStringList>
#include <QTextLayout>

namespace mirn {

namespace rpt {
namespace {

constexpr double kLineWidth = 0.2;  // millimetres: a thin printed rule
constexpr double kPadding = 0.6;    // millimetres between a frame and its text

// One text in one font, laid out for a box of one size with one set of alignment flags.
struct TextKey {
    QString text;
    double pointSize;
    bool bold;
    int flags;
    double width, height;
    bool operator==(const TextKey&) const = default;
};
size_t qHash(const TextKey& k, size_t seed = 0) {
    return qHashMulti(seed, k.text, k.pointSize, k.bold, k.flags, k.width, k.height);
}

// A single-line text as QPainter::drawText(box, flags, text) lays it out: its glyphs,
// placed from the box's top-left corner, and the extent it is clipped by.
struct Shaped {
    bool direct = false;  // a text drawText treats specially: drawn by it every time
    QList<QGlyphRun> runs;
    QPointF at;           // where the runs start, from the box's corner
    QRectF bounds;        // the text's extent from the box's corner; clipped when outside the box
};

}  // namespace

struct ShapedTexts::Store {
    bool reuse = false;  // painting into a PDF
    double dpiX = 0, dpiY = 0;
    QHash<TextKey, Shaped> texts;
};

ShapedTexts::ShapedTexts() : store_(std::make_unique<Store>()) {}
ShapedTexts::~ShapedTexts() = default;

namespace {

// Lays a text out the way drawText does for one line: line breaks, tabs and carriage
// returns read as spaces, in the painter's direction, no wrapping, trailing spaces counted in the
// width; aligned in the box by the text's natural width (across) and its line's
// ascent and descent (up and down). painter holds the text's font.
Shaped shape(QPainter& painter, QString text, int flags, const QSizeF& box) {
    Shaped out;
    for (QChar& c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\t') c = u' ';
        else if (c == QChar(0x9c) || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) out.direct = true;
    }
    if (out.direct || text.isEmpty()) return out;
    QTextLayout layout(text, painter.font(), painter.device());
    QTextOption option;
    option.setTextDirection(painter.layoutDirection());
    option.setAlignment(Qt::AlignLeft);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(0x01000000);
    line.setPosition(QPointF(0, 0));
    const bool more = layout.createLine().isValid();
    layout.endLayout();
    // Right-to-left text places its spaces otherwise: drawText does that.
    if (more || !line.isValid() || painter.layoutDirection() == Qt::RightToLeft || text.isRightToLeft()) {
        out.direct = true;
        return out;
    }
    const double height = line.ascent() + line.descent();
    const double width = line.naturalTextWidth();
    double yoff = 0, xoff = 0;
    if (flags & Qt::AlignBottom) yoff = box.height() - height;
    else if (flags & Qt::AlignVCenter) yoff = (box.height() - height) / 2;
    if (flags & Qt::AlignRight) xoff = box.width() - width;
    else if (flags & Qt::AlignHCenter) xoff = (box.width() - width) / 2;
    out.bounds = QRectF(xoff, yoff, width, height);
    const double advance = line.horizontalAdvance();
    double x = 0;
    if (flags & Qt::AlignRight) x = box.width() - advance;
    else if (flags & Qt::AlignHCenter) x = (box.width() - advance) / 2;
    out.at = QPointF(x, yoff);
    out.runs = line.glyphRuns();
    return out;
}

void drawTextLine(QPainter& painter, const QFont& font, ShapedTexts::Store& store, const QRectF& box, int flags,
              const QString& text) {
    // On a screen or an image drawText itself paints (a preview paints a page at a time,
    // and the raster engine rounds a run's glyphs to pixels its own way); a PDF or a
    // printer gets the same glyphs at the same places from the store.
    if (!store.reuse) {
        painter.setFont(font);
        painter.drawText(box, flags, text);
        return;
    }
    const TextKey key{text, font.pointSizeF(), font.bold(), flags, box.width(), box.height()};
    auto it = store.texts.constFind(key);
    if (it == store.texts.constEnd()) {
        painter.setFont(font);
        it = store.texts.insert(key, shape(painter, text, flags, box.size()));
    }
    const Shaped& s = *it;
    if (s.direct) {
        painter.setFont(font);
        painter.drawText(box, flags, text);
        return;
    }
    if (s.runs.isEmpty()) return;
    const QPointF at = box.topLeft() + s.at;
    const bool clip = !box.contains(s.bounds.translated(box.topLeft()));
    if (clip) {
        painter.save();
        painter.setClipRect(box, Qt::IntersectClip);
    }
    for (const QGlyphRun& run : s.runs) painter.drawGlyphRun(at, run);
    if (clip) painter.restore();
}

}  // namespace

void render(const PreparedReport& report, int pageIndex, QPainter& painter) {
    ShapedTexts shaped;
    render(report, pageIndex, painter, shaped);
}

void render(const PreparedReport& report, int pageIndex, QPainter& painter, ShapedTexts& shaped) {
    if (pageIndex < 0 || size_t(pageIndex) >= report.pages.size()) return;
    const QPaintDevice* dev = painter.device();
    const double sx = dev->logicalDpiX() / 25.4;
    const double sy = dev->logicalDpiY() / 25.4;
    auto map = [&](const QRectF& mm) {
        return QRectF(mm.x() * sx, mm.y() * sy, mm.width() * sx, mm.height() * sy);
    };
    ShapedTexts::Store& store = *shaped.store_;
    if (store.dpiX != dev->logicalDpiX() || store.dpiY != dev->logicalDpiY()) {
        store.texts.clear();
        store.dpiX = dev->logicalDpiX();
        store.dpiY = dev->logicalDpiY();
    }
    store.reuse = painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Pdf;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);  // crisp rules
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    // Texts take their colour from the pen: one black pen paints both them and the rules,
    // so the writer is not told a new pen for every framed cell.
    painter.setPen(QPen(Qt::black, kLineWidth * sx, Qt::SolidLine, Qt::SquareCap));
    QFont font(report.fontFamily);
    font.setStyleHint(QFont::SansSerif);  // a metric twin of Arial, or any sans with Cyrillic

    for (const PreparedItem& it : report.pages[size_t(pageIndex)].items) {
        const QRectF r = map(it.rect);
        if (it.shade.isValid()) painter.fillRect(r, it.shade);
        if (!it.text.isEmpty()) {
            font.setPointSizeF(it.fontSize);
            font.setBold(it.bold);
            const QRectF inner = r.adjusted(kPadding * sx, 0, -kPadding * sx, 0);
            if (it.text.contains(QLatin1Char('\n'))) {
                // A wrapped text: its lines as laid out, each in its own slice of the box,
                // so that the screen's font metrics cannot add or move a line.
                const QStringList lines = it.text.split(QLatin1Char('\n'));
                const double h = inner.height() / double(lines.size());
                const int across = int(it.alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter;
                for (qsizetype i = 0; i < lines.size(); ++i)
                    drawTextLine(painter, font, store, QRectF(inner.x(), inner.y() + double(i) * h, inner.width(), h),
                             across | Qt::TextSingleLine, lines[i]);
            } else {
                drawTextLine(painter, font, store, inner, int(it.alignment) | Qt::TextSingleLine, it.text);
            }
        }
        if (it.frame != NoSides) {
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
    ShapedTexts shaped;
    for (size_t p = 0; p < report.pages.size(); ++p) {
        if (page && !page(int(p))) {
            painter.end();
            file.cancelWriting();  // the temporary file goes, nothing takes path's name
            qInfo("pdf stopped at page %d: %s", int(p) + 1, qUtf8Printable(QDir::toNativeSeparators(path)));
            return false;
        }
        if (p > 0) writer.newPage();
        render(report, int(p), painter, shaped);
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
