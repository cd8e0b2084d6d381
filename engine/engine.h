#pragma once
// A small banded report engine.
//
//   1. Describe the report as data: a ReportDef with its paper, groups, detail band and
//      page footer, each band holding positioned elements.
//   2. prepare(def, rows) lays out every page. It is a pure step, paints nothing and needs
//      no GUI, so pagination, group breaks and totals can be checked on its result.
//   3. The prepared pages go to a PDF file (writePdf) or, through preview.h, to the
//      screen (showPreview) or a printer (print); all of them paint through render().
//
// Geometry is in millimetres: element rectangles relative to the top-left corner of their
// band, prepared items relative to the top-left corner of the paper. Font sizes are points.
//
// Band order on the page:
//   groups[0].header, groups[1].header, ... (each followed by its child bands)
//   detail, once per row
//   ..., groups[1].footer, groups[0].footer
//   pageFooter at the bottom of every page
// A group without a key opens once before the first row and closes after the last one:
// the first keyless group is the report's header and its footer the final totals band.
// Keyless groups before the first keyed group print even when there are no rows. A keyed
// group breaks whenever its key changes from one row to the next, and every group inside
// it breaks with it.
//
// Pagination: bands never split. A band that does not fit above the page footer goes to
// the next page, which first repeats the headers of the open groups marked repeatHeader.
// Group headers are kept on the page of their first detail row, and the footer of a group
// marked keepFooterWithRows on the page of its last one. A band taller than the page gets
// a page of its own and is clipped.
//
// A wrapped element breaks its text into lines at word boundaries to fit its width; its
// band grows by the lines it takes beyond the first.
//
// Sums add up the detail rows as exact decimals (see decimal.h), each sum element on its
// own: a detail row counts once it has found its place, so a row pushed to the next page
// counts in that page's footer.
#include "domain/decimal.h"

#include <QColor>
#include <QHash>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class QPainter;

namespace mirn {

namespace rpt {
// The exact decimal numbers of the domain, under the engine's own name too.
using mirn::Decimal;
using mirn::Mask;
}  // namespace rpt

namespace rpt {

// ---------------------------------------------------------------------------------------
// Rows

// The rows a report walks, in order. Field names are matched without regard to letter
// case (PostgreSQL returns lower-case names; layouts may write MARKA). A name qualified by
// a query name ("t_Report.fio") also matches the bare field.
class ReportDataSource {
public:
    virtual ~ReportDataSource() = default;
    virtual int rowCount() const = 0;
    virtual QStringList fieldNames() const = 0;
    virtual QVariant value(int row, int field) const = 0;
};

// Rows held in memory: a list of field names and one QVariantList per row.
class VectorDataSource : public ReportDataSource {
public:
    explicit VectorDataSource(QStringList fields, std::vector<QVariantList> rows = {});
    void addRow(QVariantList row);  // missing trailing values read as null

    int rowCount() const override { return int(rows_.size()); }
    QStringList fieldNames() const override { return fields_; }
    QVariant value(int row, int field) const override;

private:
    QStringList fields_;
    std::vector<QVariantList> rows_;
};

// One row as computed values and group keys see it. In a group footer it is the last row
// of the group; where there is no row (an empty report) every value is null.
class Row {
public:
    QVariant value(const QString& field) const;  // throws std::invalid_argument if unknown
    int index() const { return row_; }           // -1 when there is no row

private:
    friend class Preparer;
    Row(const ReportDataSource* src, const QHash<QString, int>* fields, int row)
        : src_(src), fields_(fields), row_(row) {}
    const ReportDataSource* src_;
    const QHash<QString, int>* fields_;
    int row_;
};

using ValueFn = std::function<QVariant(const Row&)>;

// ---------------------------------------------------------------------------------------
// Definition

enum Side : int { NoSides = 0, Left = 1, Top = 2, Right = 4, Bottom = 8, AllSides = 15 };

// One printed thing on a band. Build it with a factory and adjust with the setters:
//   Element::field({60, 0, 25, 5}, "kolvo", "#0.000").centred()
struct Element {
    enum class Kind { Label, Field, Computed, Sum, PageNumber };

    Kind kind = Kind::Label;
    QString name;      // lets the caller find it (ReportDef::element), e.g. "QRLabel1"
    QString text;      // Label: the caption; PageNumber: format with %1 for the number
                       // and %2 for the count of pages ("стр. %1 из %2")
    QString fieldName; // Field, Sum over a field
    ValueFn compute;   // Computed, Sum over a computed value
    QString mask;      // Field, Computed, Sum: "#0", "#0.00", ...; empty prints as is
    bool groupDigits = false;  // numbers get the group separator ("1 778,40"), masked or not
    bool resetAfterPrint = true;  // Sum: start again from zero once printed
    bool blankIfNothing = false;  // Sum: print nothing (not 0) while no value has been added
    QRectF rect;                   // millimetres within the band
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    int bold = -1;          // -1 follows the band, 0 regular, 1 bold
    double fontSize = 0;    // points; 0 follows the report
    int frame = NoSides;    // Side flags
    QColor shade;           // background; invalid means none
    bool wrap = false;      // break a long text into lines; the band grows to hold them

    static Element label(const QRectF& rect, const QString& caption, const QString& name = {});
    static Element field(const QRectF& rect, const QString& field, const QString& mask = {});
    static Element computed(const QRectF& rect, ValueFn fn, const QString& mask = {});
    // Sum of a field over the detail rows printed since the last reset.
    static Element sum(const QRectF& rect, const QString& field, const QString& mask = {},
                       bool resetAfterPrint = true);
    static Element sum(const QRectF& rect, ValueFn fn, const QString& mask = {},
                       bool resetAfterPrint = true);
    static Element pageNumber(const QRectF& rect, const QString& format = QStringLiteral("%1"));

    Element& named(const QString& n) { name = n; return *this; }
    Element& align(Qt::Alignment a) { alignment = a; return *this; }
    Element& centred() { alignment = Qt::AlignCenter; return *this; }
    Element& right() { alignment = Qt::AlignRight | Qt::AlignVCenter; return *this; }
    Element& setBold(bool b = true) { bold = b ? 1 : 0; return *this; }
    Element& setFontSize(double pt) { fontSize = pt; return *this; }
    Element& setFrame(int sides) { frame = sides; return *this; }
    Element& setShade(const QColor& c) { shade = c; return *this; }
    Element& blankWhenNothingAdded() { blankIfNothing = true; return *this; }
    Element& grouped(bool on = true) { groupDigits = on; return *this; }
    Element& wrapped(bool on = true) { wrap = on; return *this; }
};

struct Band {
    QString name;            // carried into the prepared items, for finding them again
    double height = 0;       // millimetres
    std::vector<Element> elements;
    std::vector<Band> children;  // printed right after this band, each time it prints
    int frame = NoSides;     // lines on these sides of the whole band
    QColor shade;            // band background; invalid means none
    bool bold = false;       // default for its elements

    Band() = default;
    Band(const QString& bandName, double bandHeight) : name(bandName), height(bandHeight) {}
    Band& add(Element e) { elements.push_back(std::move(e)); return *this; }
    Band& addChild(Band b) { children.push_back(std::move(b)); return *this; }
    Band& setFrame(int sides) { frame = sides; return *this; }
    Band& setShade(const QColor& c) { shade = c; return *this; }
    Band& setBold(bool b = true) { bold = b; return *this; }
    bool isEmpty() const { return height <= 0 && children.empty(); }
};

struct Group {
    QString key;        // field whose change breaks the group; empty with no keyFn: keyless
    ValueFn keyFn;      // alternatively a computed key
    Band header;
    Band footer;
    bool repeatHeader = false;  // print the header again at the top of every new page
    bool newPage = false;       // each time it opens, start on a page of its own
    // The footer never starts a page alone: when it would not fit under the group's last
    // row, that row goes to the next page with it.
    bool keepFooterWithRows = false;
};

struct ReportDef {
    QPageSize::PageSizeId paper = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF margins{10, 10, 10, 10};  // millimetres
    QString fontFamily = QStringLiteral("Arial");
    double fontSize = 9;                 // points
    // Decimal separator of every number the engine formats itself (masked values, totals,
    // unmasked doubles). Empty: the platform's, i.e. QLocale() at prepare time, so figures
    // read like the rest of the user's desktop ("1234,50" on a Russian workstation).
    // Text values without a mask are printed as they come and never touched.
    QString decimalSeparator;
    // Separator between groups of three digits in the numbers of grouped elements. Empty:
    // the platform's (QLocale() at prepare time; none in the C locale or where the locale
    // omits grouping).
    QString groupSeparator;

    std::vector<Group> groups;  // outermost first
    Band detail;
    Band pageFooter;

    // The element with this name anywhere in the report; throws std::invalid_argument if
    // there is none, so a misspelt caption does not go unnoticed.
    Element& element(const QString& name);
    void setCaption(const QString& name, const QString& caption) { element(name).text = caption; }
};

// ---------------------------------------------------------------------------------------
// Prepared pages

struct PreparedItem {
    QRectF rect;          // millimetres from the top-left corner of the paper
    QString text;         // final text, a wrapped one with its lines joined by '\n' (the
                          // rectangle holding them one under another); empty for a band's
                          // own background and frame
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool bold = false;
    double fontSize = 9;  // points
    int frame = NoSides;
    QColor shade;
    QString band;         // name of the band that produced it
    QString element;      // name of the element
    bool isBand = false;  // the band's own background and frame, painted under its elements
};

struct PreparedPage {
    std::vector<PreparedItem> items;  // in painting order
};

struct PreparedReport {
    QPageSize::PageSizeId paper = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QSizeF paperSize;  // millimetres, orientation applied
    QString fontFamily;
    std::vector<PreparedPage> pages;  // never empty

    QPageLayout pageLayout() const;  // the paper with zero margins
};

// Lays out all pages. Throws std::invalid_argument for an unknown field or a bad mask,
// std::runtime_error for a summed value that is not a number, std::overflow_error for a
// total out of range. Null and empty values add nothing to a sum.
PreparedReport prepare(const ReportDef& def, const ReportDataSource& rows);

class Preparer;

// The same layout, done page by page as the pages are asked for: a long report's first
// page is ready long before its last would be. The page count is measured at once (page
// breaks depend on band heights and group keys only), so "стр. 1 из N" prints right. The
// definition and the rows must outlive it, unless it is given the rows to keep. Errors of
// prepare() surface from the call that reaches the row at fault.
//
// The measuring walks every row: a long report tells `progress` the rows walked so far and
// the rows in all, row by row; what progress throws (the user stopped) leaves the constructor.
class LazyReport {
public:
    using Progress = std::function<void(int walked, int rows)>;
    LazyReport(const ReportDef& def, const ReportDataSource& rows, const Progress& progress = {});
    LazyReport(const ReportDef& def, std::unique_ptr<const ReportDataSource> rows, const Progress& progress = {});
    ~LazyReport();
    LazyReport(const LazyReport&) = delete;
    LazyReport& operator=(const LazyReport&) = delete;

    int pageCount() const { return pageCount_; }
    // The report with at least pages 0…index laid out (index is clamped to the pages).
    const PreparedReport& pagesThrough(int index);
    // The report with every page laid out, as prepare() gives it.
    const PreparedReport& complete();
    int laidOutPages() const;  // complete pages so far

private:
    std::unique_ptr<const ReportDataSource> owned_;
    std::unique_ptr<Preparer> preparer_;
    int pageCount_ = 1;
};

// Formats a value as a data field does: with the mask if there is one and the value is a
// number; otherwise strings as they are, doubles and Decimals in their shortest exact form,
// dates as dd.MM.yyyy, null as nothing.
QString formatValue(const QVariant& v, const QString& mask, const QString& decimalSeparator);

// ---------------------------------------------------------------------------------------
// Output

// Texts laid out and shaped once for one paint device and kept across the pages painted
// with it: a long report repeats its captions, dates, names and figures on every page.
class ShapedTexts {
public:
    ShapedTexts();
    ~ShapedTexts();
    ShapedTexts(const ShapedTexts&) = delete;
    ShapedTexts& operator=(const ShapedTexts&) = delete;
    struct Store;

private:
    friend void render(const PreparedReport&, int, QPainter&, ShapedTexts&);
    std::unique_ptr<Store> store_;
};

// Paints one page onto a painter whose device is the whole sheet of paper (printer in
// full-page mode, PDF writer or image); millimetres are mapped through the device's DPI.
// Each text is painted exactly as QPainter::drawText paints it in its box.
void render(const PreparedReport& report, int pageIndex, QPainter& painter);
// The same, reusing the texts shaped for earlier pages on the same device.
void render(const PreparedReport& report, int pageIndex, QPainter& painter, ShapedTexts& shaped);

// Writes all pages as a PDF file. Returns false if the file cannot be written, or when
// `page`, asked before each page with its index, returns false (the user stopped). The
// pages go into a temporary file beside path, which takes path's name only once whole: a
// stopped or failed write leaves no file, and a file of that name as it was.
bool writePdf(const PreparedReport& report, const QString& path, const QString& title = {},
              const std::function<bool(int page)>& page = {});

}  // namespace rpt

}  // namespace mirn
