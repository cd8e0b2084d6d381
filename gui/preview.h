#pragma once
// The report engine's ways out that need widgets: the print preview and the printer.
#include "engine/engine.h"

#include <QDialog>
#include <QImage>

class QLabel;
class QPrinter;
class QScrollArea;
class QSpinBox;
class QWidget;

namespace mirn {

namespace rpt {

// Paints the pages the printer asks for (all, or its page range) onto it. Returns false if
// the printer cannot be opened.
bool print(const PreparedReport& report, QPrinter& printer);
// Asks for a printer with the print dialog and prints. Returns false if cancelled.
bool print(const PreparedReport& report, QWidget* parent);

// Shows the paged preview below (zoom, page navigation, printing, "Сохранить в PDF"),
// maximised, modally through ui::execModal and returns its result code.
int showPreview(const PreparedReport& report, QWidget* parent, const QString& title);
// The same for a report laid out as its pages are shown.
int showPreview(LazyReport& report, QWidget* parent, const QString& title);

// A preview that paints only the page on screen, when it is shown: the first page of a
// report of hundreds of pages appears at once, and nothing but that one page image is
// held besides the prepared pages. Page navigation, zoom, printing and "Сохранить в PDF".
// It opens fitted to the window's width and keeps to the fit chosen ("По ширине",
// "Страница целиком") as the window is resized, until a zoom of its own is chosen (the
// buttons, or the zoom in percent typed in).
class PagedPreview : public QDialog {
    Q_OBJECT
public:
    PagedPreview(const PreparedReport& report, const QString& title, QWidget* parent = nullptr);
    // Lays out only the pages up to the one shown; printing and the PDF take them all.
    PagedPreview(LazyReport& report, const QString& title, QWidget* parent = nullptr);

    int pageCount() const { return lazy_ ? lazy_->pageCount() : int(full_->pages.size()); }
    // Every page, laid out now if need be: what printing and the PDF take.
    const PreparedReport& report();
    int currentPage() const { return page_; }  // 0-based
    void setPage(int page);
    void setZoom(double zoom);                  // 1.0 is the paper's size at 96 dpi: 100 %
    double zoom() const { return zoom_; }
    enum class Fit { None, Width, Page };
    void setFit(Fit fit);
    Fit fit() const { return fit_; }
    const QImage& pageImage() const { return image_; }
    int paintedPages() const { return painted_; }  // pages painted since it opened

protected:
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void build();
    void savePdf();
    void paintPage();
    void applyFit();
    void showZoom(double zoom);

    const PreparedReport* full_ = nullptr;
    LazyReport* lazy_ = nullptr;
    QString title_;
    QScrollArea* scroll_;
    QLabel* view_;
    QLabel* position_;
    QSpinBox* percent_;
    QImage image_;
    int page_ = 0;
    double zoom_ = 1.25;
    Fit fit_ = Fit::Width;
    int painted_ = 0;
};

}  // namespace rpt

}  // namespace mirn
