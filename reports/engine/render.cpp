// The one painter of prepared pages, and the three ways out: preview, printer, PDF.
#include "core/ui.h"
#include "reports/engine/engine.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStandardPaths>
#include <QToolBar>

namespace rpt {
namespace {

constexpr double kLineWidth = 0.2;  // millimetres: a thin printed rule
constexpr double kPadding = 0.6;    // millimetres between a frame and its text

QString suggestedFileName(const QString& title) {
    QString name = title.simplified();
    static const QString bad = QStringLiteral("\\/:*?\"<>|");
    for (QChar& c : name)
        if (bad.contains(c)) c = QLatin1Char('_');
    if (name.isEmpty()) name = QStringLiteral("Отчет");
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(dir).filePath(name + QStringLiteral(".pdf"));
}

void savePdfAs(const PreparedReport& report, QWidget* parent, const QString& title) {
    QFileDialog fd(parent, QStringLiteral("Сохранить в PDF"), suggestedFileName(title),
                   QStringLiteral("Документы PDF (*.pdf)"));
    fd.setAcceptMode(QFileDialog::AcceptSave);
    fd.setFileMode(QFileDialog::AnyFile);
    fd.setDefaultSuffix(QStringLiteral("pdf"));
    if (ui::execModal(&fd) != QDialog::Accepted) return;
    const QString path = fd.selectedFiles().value(0);
    if (path.isEmpty()) return;
    bool ok = false;
    {
        ui::BusyCursor busy;
        ok = writePdf(report, path, title.trimmed());
    }
    if (!ok)
        ui::error(QStringLiteral("Не удалось записать файл %1").arg(QDir::toNativeSeparators(path)));
}

// Paper and orientation only: in full-page mode the margins play no part, and a printer
// may refuse a whole layout whose zero margins lie outside its printable area.
void applyPaper(QPrinter& printer, const PreparedReport& report) {
    printer.setFullPage(true);  // prepared coordinates start at the paper's corner
    printer.setPageSize(QPageSize(report.paper));
    printer.setPageOrientation(report.orientation);
}

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

bool print(const PreparedReport& report, QPrinter& printer) {
    applyPaper(printer, report);
    int first = 1;
    int last = int(report.pages.size());
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::max(first, printer.fromPage());
        last = std::min(last, printer.toPage() > 0 ? printer.toPage() : last);
    }
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    for (int p = first; p <= last; ++p) {
        if (p > first) printer.newPage();
        render(report, p - 1, painter);
    }
    return painter.end();
}

bool print(const PreparedReport& report, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    applyPaper(printer, report);
    QPrintDialog dlg(&printer, parent);
    dlg.setMinMax(1, int(report.pages.size()));
    dlg.setOption(QAbstractPrintDialog::PrintPageRange, true);
    if (ui::execModal(&dlg) != QDialog::Accepted) return false;
    return print(report, printer);
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
    return painter.end();
}

int showPreview(const PreparedReport& report, QWidget* parent, const QString& title) {
    QPrinter printer(QPrinter::HighResolution);
    applyPaper(printer, report);
    QPrintPreviewDialog dlg(&printer, parent);
    dlg.setWindowTitle(title.trimmed());
    QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg,
                     [&report](QPrinter* p) { print(report, *p); });
    if (auto* bar = dlg.findChild<QToolBar*>()) {
        bar->addSeparator();
        QAction* save = bar->addAction(QStringLiteral("Сохранить в PDF"));
        save->setObjectName(QStringLiteral("savePdf"));
        QObject::connect(save, &QAction::triggered, &dlg,
                         ui::guard([&report, &dlg, title] { savePdfAs(report, &dlg, title); }));
    }
    // A window manager maximises it; without one it still opens at a readable size.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        dlg.resize(screen->availableGeometry().size() * 0.9);
    dlg.setWindowState(dlg.windowState() | Qt::WindowMaximized);
    return ui::execModal(&dlg);
}

}  // namespace rpt
