// The ways out that need a screen: the preview, the print dialog and "Save as PDF".
#include "gui/busy.h"
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
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStyle>
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

// The file the user names for the PDF; empty when they think better of it.
QString askPdfPath(QWidget* parent, const QString& title) {
    QFileDialog fd(parent, QStringLiteral("Сохранить в PDF"), suggestedFileName(title),
                   QStringLiteral("Документы PDF (*.pdf)"));
    fd.setAcceptMode(QFileDialog::AcceptSave);
    fd.setFileMode(QFileDialog::AnyFile);
    fd.setDefaultSuffix(QStringLiteral("pdf"));
    if (ui::execModal(&fd) != QDialog::Accepted) return {};
    return fd.selectedFiles().value(0);
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

// A report of hundreds of pages takes a while to lay out and to write: page by page with
// "Отмена", and a stopped save leaves no file behind (and an older file of that name whole).
void PagedPreview::savePdf() {
    const QString path = askPdfPath(this, title_);
    if (path.isEmpty()) return;
    const int pages = pageCount();
    const int first = lazy_ ? lazy_->laidOutPages() : pages;  // the pages still to lay out: first…pages-1
    const int toLayOut = pages - first;
    bool ok = false;
    {
        ui::Progress progress(this, QStringLiteral("Сохранение в PDF"), toLayOut + pages);
        try {
            for (int p = first; p < pages; ++p) {
                progress.setLabel(QStringLiteral("Подготовка страницы %1 из %2").arg(p + 1).arg(pages));
                lazy_->pagesThrough(p);
                progress.step(p - first + 1);
            }
            ok = writePdf(report(), path, title_.trimmed(), [&](int page) {
                progress.setLabel(QStringLiteral("Запись в PDF: страница %1 из %2").arg(page + 1).arg(pages));
                try {
                    progress.step(toLayOut + page + 1);
                } catch (const ui::Cancelled&) {
                    return false;
                }
                return true;
            });
        } catch (const ui::Cancelled&) {
            return;
        }
        if (!ok && progress.cancelled()) return;
    }
    if (!ok)
        ui::error(QStringLiteral("Не удалось записать файл %1").arg(QDir::toNativeSeparators(path)));
    else
        ui::fileWritten(ui::writtenText(QStringLiteral("Отчет сохранён"), path), QStringLiteral("Отчет сохранён"), path);
}

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
    percent_ = new QSpinBox(bar);
    percent_->setObjectName(QStringLiteral("zoomPercent"));
    percent_->setRange(25, 400);
    percent_->setSingleStep(10);
    percent_->setSuffix(QStringLiteral(" %"));
    percent_->setKeyboardTracking(false);  // a typed figure counts on Enter
    percent_->setToolTip(QStringLiteral("Масштаб"));
    bar->addWidget(percent_);
    connect(percent_, &QSpinBox::valueChanged, this, ui::guard([this](int v) { setZoom(v / 100.0); }));
    act(QStringLiteral("По ширине"), QStringLiteral("fitWidth"), {QKeySequence(Qt::CTRL | Qt::Key_W)},
        QStringLiteral("По ширине окна"), [this] { setFit(Fit::Width); });
    act(QStringLiteral("Страница целиком"), QStringLiteral("fitPage"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
        QStringLiteral("Страница целиком"), [this] { setFit(Fit::Page); });
    bar->addSeparator();
    act(QStringLiteral("Печать"), QStringLiteral("print"), {QKeySequence::Print}, QStringLiteral("Печать"),
        [this] { rpt::print(report(), this); });
    act(QStringLiteral("Сохранить в PDF"), QStringLiteral("savePdf"), {QKeySequence(Qt::CTRL | Qt::Key_S)},
        QStringLiteral("Сохранить в PDF"), [this] { savePdf(); });
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
    fit_ = Fit::None;
    zoom_ = std::clamp(zoom, 0.25, 4.0);
    paintPage();
}

void PagedPreview::setFit(Fit fit) {
    fit_ = fit;
    applyFit();
}

void PagedPreview::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    applyFit();
}

void PagedPreview::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    applyFit();
}

// The zoom at which the page fills the visible width (a vertical scroll bar taken off, as a
// page that fits the width is mostly taller than the window), or all of it fits.
void PagedPreview::applyFit() {
    if (fit_ == Fit::None) return;
    const QSize room = scroll_->maximumViewportSize();
    if (room.width() < 50 || room.height() < 50) return;
    const QSizeF mm = (full_ ? *full_ : lazy_->pagesThrough(page_)).paperSize;
    const double pageW = mm.width() / 25.4 * 96.0, pageH = mm.height() / 25.4 * 96.0;
    constexpr int kMargin = 8;  // pixels of the dark background around the page
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_);
    const double byWidth = (room.width() - bar - 2 * kMargin) / pageW;
    const double byHeight = (room.height() - 2 * kMargin) / pageH;
    const double wanted = std::clamp(fit_ == Fit::Width ? byWidth : std::min(byWidth, byHeight), 0.1, 4.0);
    if (std::abs(wanted - zoom_) < 1e-3 && !image_.isNull()) return;
    zoom_ = wanted;
    paintPage();
}

void PagedPreview::showZoom(double zoom) {
    const QSignalBlocker quiet(percent_);
    percent_->setMinimum(std::min(25, int(zoom * 100 + 0.5)));
    percent_->setValue(int(zoom * 100 + 0.5));
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
    showZoom(zoom_);
}

}  // namespace rpt

}  // namespace mirn
