#pragma once
// The workbook the spreadsheet operations fill: sheets of cells kept in memory until the
// workbook is shown, then written out as one .xlsx file (see xlsx_file.h).
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace mirn {

namespace workbook {

// Limits of an .xlsx worksheet; a spreadsheet refuses cells outside them.
inline constexpr int kMaxRows = 1048576;
inline constexpr int kMaxColumns = 16384;
inline constexpr int kMaxTextLength = 32767;
// Widest column a spreadsheet accepts, in character units.
inline constexpr double kMaxColumnWidth = 255.0;

enum class CellType { Empty, Text, Number };

struct Cell {
    QString text;             // the text as it was written
    double number = 0.0;      // the value when type is Number
    CellType type = CellType::Empty;
    bool bold = false;
    bool textFormat = false;  // number format "@": whatever is written stays text
    QString numberFormat;     // how a number shows, e.g. "#,##0.00"; empty: General
};

// How a spreadsheet reads a written text as a number. Accepted: optional blanks around,
// an optional sign ("+" or "-"), decimal digits with at most one decimal separator, which
// may be "." or "," ("12.5" and "12,5" are both 12.5; the client writes numbers without
// digit grouping, so "1,234" is 1.234), at least one digit, and at most 15 significant
// digits. Everything else stays text: exponents ("1E5" could be a product mark), digit
// grouping, percents, currency, dates, and longer digit runs such as codes, which a
// double could not keep whole.
std::optional<double> readAsNumber(QStringView text);

// Width in character units (the width of "0" in the default font) that a column needs to
// show the text in full, padding included; bold text is a little wider.
double textWidth(QStringView text, bool bold);

class Sheet {
public:
    explicit Sheet(QString name) : name_(std::move(name)) {}

    const QString& name() const { return name_; }

    // The cell at a 1-based column and row, or nullptr if nothing was ever put there.
    const Cell* find(int column, int row) const;
    // The cell at a 1-based column and row, created empty if needed.
    Cell& at(int column, int row);

    // Puts a written text into a cell: a number unless the cell has the text format.
    // Records the text's width for a later fit of its column.
    void setValue(int column, int row, const QString& text);
    void setTextFormat(int column, int row) { at(column, row).textFormat = true; }
    void setNumberFormat(int column, int row, const QString& format) { at(column, row).numberFormat = format; }
    void setBold(int column, int row, bool bold);

    // Fits the column to the widest text written to it so far; the width stays until the
    // next fit, as in a spreadsheet.
    void fitColumn(int column);
    // The fitted width of a column, or nothing if it was never fitted.
    std::optional<double> columnWidth(int column) const;

    // Rows by index (0 = row 1), each a vector of cells by column (0 = column 1); short
    // rows simply end early.
    const std::vector<std::vector<Cell>>& rows() const { return rows_; }
    // Fitted widths by column index (0 = column 1); a negative width means not fitted.
    const std::vector<double>& fittedWidths() const { return fitted_; }

private:
    void noteWidth(int column, const Cell& cell);

    QString name_;
    std::vector<std::vector<Cell>> rows_;
    std::vector<double> contentWidth_;  // widest text written per column
    std::vector<double> fitted_;        // width set by the last fit per column, < 0 none
};

class Workbook {
public:
    // A new workbook has one sheet, "Лист1", as a new spreadsheet workbook does.
    explicit Workbook(QString title);

    // The subject the file name starts with, e.g. "Прайс".
    const QString& title() const { return title_; }
    void setTitle(QString title) { title_ = std::move(title); }

    int sheetCount() const { return static_cast<int>(sheets_.size()); }
    // The sheet with a 1-based index, or nullptr if the workbook has no such sheet.
    Sheet* sheet(int index);
    const Sheet* sheet(int index) const;

    // The cell at (sheet, column, row), all 1-based; an Empty cell if there is none.
    Cell cell(int sheet, int column, int row) const;
    // The fitted width of a column, or nothing if it was never fitted.
    std::optional<double> columnWidth(int sheet, int column) const;

    // Whether the workbook has been written to a file since its last change.
    bool isSaved() const { return saved_; }
    void markChanged() { saved_ = false; }
    void markSaved(QString path) { saved_ = true; path_ = std::move(path); }
    // The file it was last written to (empty before the first write).
    const QString& path() const { return path_; }

private:
    QString title_;
    std::vector<Sheet> sheets_;
    bool saved_ = false;
    QString path_;
};

}  // namespace workbook

}  // namespace mirn
