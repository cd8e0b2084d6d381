// The ways out that need a screen: the preview, the print dialog and "Save as PDF".
#include "core/ui.h"
#include "reports/engine/preview.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QStandardPaths>
#include <QToolBar>

namespace rpt {
namespace {

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
