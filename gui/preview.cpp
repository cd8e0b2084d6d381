// The ways out that need a screen: the preview, the print dialog and "Save as PDF".
#include "gui/ui.h"
#include "gui/preview.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QStandardPaths>
#include <QToolBar>

#include <algorithm>

namespace mirn {

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

namespace {
// The paged preview shows the first page at once however long the report, and holds no
// picture of any page but the one on screen.
int execPreview(PagedPreview& dlg) {
    // A window manager maximises it; without one it still opens at a readable size.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        dlg.resize(screen->availableGeometry().size() * 0.9);
    dlg.setWindowState(dlg.windowState() | Qt::WindowMaximized);
    return ui::execModal(&dlg);
}
}  // namespace

int showPreview(const PreparedReport& report, QWidget* parent, const QString& title) {
    PagedPreview dlg(report, title, parent);
    return execPreview(dlg);
}

int showPreview(LazyReport& report, QWidget* parent, const QString& title) {
    PagedPreview dlg(report, title, parent);
    return execPreview(dlg);
}

PagedPreview::PagedPreview(const PreparedReport& report, const QString& title, QWidget* parent)
    : QDialog(parent), full_(&report), title_(title) {
    build();
}

PagedPreview::PagedPreview(LazyReport& report, const QString& title, QWidget* parent)
    : QDialog(parent), lazy_(&report), title_(title) {
    build();
}

const PreparedReport& PagedPreview::report() { return lazy_ ? lazy_->complete() : *full_; }

void PagedPreview::build() {
    setWindowTitle(title_.trimmed());
    auto* bar = new QToolBar(this);
    auto act = [&](const QString& text, const QString& name, QList<QKeySequence> keys, const QString& tip, auto fn) {
        QAction* a = bar->addAction(text);
        a->setObjectName(name);
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        if (!keys.isEmpty())
            a->setToolTip(tip + QStringLiteral(" (") + keys.first().toString(QKeySequence::NativeText) + QLatin1Char(')'));
        else
            a->setToolTip(tip);
        connect(a, &QAction::triggered, this, ui::guard(fn));
        return a;
    };
    act(QStringLiteral("<<"), QStringLiteral("firstPage"), {QKeySequence(Qt::CTRL | Qt::Key_Home)},
        QStringLiteral("Первая страница"), [this] { setPage(0); });
    act(QStringLiteral("<"), QStringLiteral("previousPage"), {QKeySequence(Qt::Key_PageUp)},
        QStringLiteral("Предыдущая страница"), [this] { setPage(page_ - 1); });
    position_ = new QLabel(bar);
    bar->addWidget(position_);
    act(QStringLiteral(">"), QStringLiteral("nextPage"), {QKeySequence(Qt::Key_PageDown)},
        QStringLiteral("Следующая страница"), [this] { setPage(page_ + 1); });
    act(QStringLiteral(">>"), QStringLiteral("lastPage"), {QKeySequence(Qt::CTRL | Qt::Key_End)},
        QStringLiteral("Последняя страница"), [this] { setPage(pageCount() - 1); });
    bar->addSeparator();
    act(QStringLiteral("+"), QStringLiteral("zoomIn"), {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)},
        QStringLiteral("Крупнее"), [this] { setZoom(zoom_ * 1.25); });
    act(QStringLiteral("-"), QStringLiteral("zoomOut"), {QKeySequence::ZoomOut}, QStringLiteral("Мельче"),
        [this] { setZoom(zoom_ / 1.25); });
    bar->addSeparator();
    act(QStringLiteral("Печать"), QStringLiteral("print"), {QKeySequence::Print}, QStringLiteral("Печать"),
        [this] { rpt::print(report(), this); });
    act(QStringLiteral("Сохранить в PDF"), QStringLiteral("savePdf"), {QKeySequence(Qt::CTRL | Qt::Key_S)},
        QStringLiteral("Сохранить в PDF"), [this] { savePdfAs(report(), this, title_); });
    bar->addSeparator();
    act(QStringLiteral("Закрыть"), QStringLiteral("close"), {}, QStringLiteral("Закрыть (Esc)"), [this] { accept(); });

    view_ = new QLabel;
    view_->setAlignment(Qt::AlignCenter);
    scroll_ = new QScrollArea(this);
    scroll_->setWidget(view_);
    scroll_->setWidgetResizable(true);
    scroll_->setBackgroundRole(QPalette::Dark);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(bar);
    lay->addWidget(scroll_, 1);
    paintPage();
}

void PagedPreview::setPage(int page) {
    page = std::clamp(page, 0, std::max(0, pageCount() - 1));
    if (page == page_ && !image_.isNull()) return;
    page_ = page;
    paintPage();
}

void PagedPreview::setZoom(double zoom) {
    zoom_ = std::clamp(zoom, 0.25, 4.0);
    paintPage();
}

void PagedPreview::paintPage() {
    // One image at a time: the previous page's is dropped as this one replaces it.
    const PreparedReport& laidOut = lazy_ ? lazy_->pagesThrough(page_) : *full_;
    const double dpi = 96.0 * zoom_;
    const QSizeF mm = laidOut.paperSize;
    QImage img(int(mm.width() / 25.4 * dpi + 0.5), int(mm.height() / 25.4 * dpi + 0.5), QImage::Format_RGB32);
    img.setDotsPerMeterX(int(dpi / 0.0254 + 0.5));
    img.setDotsPerMeterY(int(dpi / 0.0254 + 0.5));
    img.fill(Qt::white);
    {
        QPainter painter(&img);
        rpt::render(laidOut, page_, painter);
    }
    image_ = std::move(img);
    ++painted_;
    view_->setPixmap(QPixmap::fromImage(image_));
    position_->setText(QStringLiteral(" %1 из %2 ").arg(page_ + 1).arg(pageCount()));
}

}  // namespace rpt

}  // namespace mirn
