#include "export/workbook.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace mirn {

namespace workbook {

std::optional<double> readAsNumber(QStringView text) {
    const QStringView t = text.trimmed();
    if (t.isEmpty() || t.size() > 64) return std::nullopt;  // no sensible number is longer

    // The same number in the form std::from_chars reads: "-", digits, ".", digits.
    std::string s;
    s.reserve(static_cast<size_t>(t.size()) + 1);
    qsizetype i = 0;
    if (t[0] == u'+' || t[0] == u'-') {
        if (t[0] == u'-') s.push_back('-');
        ++i;
    }
    int digits = 0;
    int significant = 0;
    int pendingZeros = 0;  // zeros after the separator, significant only if a digit follows
    bool separator = false;
    bool leading = true;  // still among the leading zeros
    for (; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c >= u'0' && c <= u'9') {
            ++digits;
            if (c == u'0' && leading) {
                // leading zeros carry no precision
            } else if (c == u'0' && separator) {
                ++pendingZeros;
            } else {
                leading = false;
                significant += pendingZeros + 1;
                pendingZeros = 0;
            }
            s.push_back(static_cast<char>(c));
        } else if ((c == u'.' || c == u',') && !separator) {
            separator = true;
            if (digits == 0) s.push_back('0');  // ".5" is 0.5
            s.push_back('.');
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0 || significant > 15) return std::nullopt;
    if (s.back() == '.') s.pop_back();  // "5." is 5

    double value = 0.0;
    const char* end = s.data() + s.size();
    const auto [ptr, ec] = std::from_chars(s.data(), end, value);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    if (value == 0.0) value = 0.0;  // "-0" is plain zero in a spreadsheet
    return value;
}

namespace {
// Rough advance of a character in the default spreadsheet font, in widths of "0".
double charWidth(char16_t c) {
    if (c >= u'0' && c <= u'9') return 1.0;
    switch (c) {
    case u' ': return 0.45;
    case u'.': case u',': case u':': case u';': case u'!': case u'\'': case u'|':
    case u'i': case u'l': case u'j': case u'I': case u'(': case u')': case u'[': case u']':
        return 0.5;
    case u'-': case u'f': case u't': case u'r': return 0.6;
    case u'M': case u'W': case u'm': case u'w':
    case u'М': case u'Ш': case u'Щ': case u'Ж': case u'Ю': case u'Ы': case u'Ф':
    case u'ш': case u'щ': case u'ж': case u'ю': case u'ы': case u'ф': case u'м':
        return 1.5;
    default: break;
    }
    if (c >= u'a' && c <= u'z') return 0.9;
    if (c >= u'A' && c <= u'Z') return 1.2;
    if ((c >= u'А' && c <= u'Я') || c == u'Ё') return 1.2;
    if ((c >= u'а' && c <= u'я') || c == u'ё') return 1.0;
    return 1.1;
}
}  // namespace

double textWidth(QStringView text, bool bold) {
    double w = 0.0;
    for (const QChar ch : text) {
        if (ch.isLowSurrogate()) continue;  // one character, counted at its high half
        w += charWidth(ch.unicode());
    }
    if (bold) w *= 1.08;
    w += 1.0;  // the cell's inner margins
    w = std::ceil(w * 100.0) / 100.0;
    return std::min(w, kMaxColumnWidth);
}

const Cell* Sheet::find(int column, int row) const {
    if (row < 1 || column < 1 || row > static_cast<int>(rows_.size())) return nullptr;
    const auto& r = rows_[static_cast<size_t>(row - 1)];
    if (column > static_cast<int>(r.size())) return nullptr;
    const Cell& c = r[static_cast<size_t>(column - 1)];
    // A cell that only got a format or a bold flag still counts as put there.
    if (c.type == CellType::Empty && !c.bold && !c.textFormat && c.numberFormat.isEmpty()) return nullptr;
    return &c;
}

Cell& Sheet::at(int column, int row) {
    const auto r = static_cast<size_t>(row - 1);
    const auto c = static_cast<size_t>(column - 1);
    if (r >= rows_.size()) rows_.resize(r + 1);
    auto& cells = rows_[r];
    if (c >= cells.size()) {
        // Rows are mostly filled left to right; grow in steps, not one cell at a time.
        if (c >= cells.capacity()) cells.reserve(std::max<size_t>(c + 1, cells.capacity() * 2));
        cells.resize(c + 1);
    }
    return cells[c];
}

void Sheet::setValue(int column, int row, const QString& text) {
    Cell& cell = at(column, row);
    cell.text = text;
    std::optional<double> number;
    if (!cell.textFormat) number = readAsNumber(text);
    if (number) {
        cell.type = CellType::Number;
        cell.number = *number;
    } else {
        cell.type = CellType::Text;
        cell.number = 0.0;
    }
    noteWidth(column, cell);
}

void Sheet::setBold(int column, int row, bool bold) {
    Cell& cell = at(column, row);
    if (cell.bold == bold) return;
    cell.bold = bold;
    if (cell.type != CellType::Empty) noteWidth(column, cell);
}

void Sheet::noteWidth(int column, const Cell& cell) {
    const auto c = static_cast<size_t>(column - 1);
    if (c >= contentWidth_.size()) contentWidth_.resize(c + 1, 0.0);
    contentWidth_[c] = std::max(contentWidth_[c], textWidth(cell.text, cell.bold));
}

void Sheet::fitColumn(int column) {
    const auto c = static_cast<size_t>(column - 1);
    if (c >= fitted_.size()) fitted_.resize(c + 1, -1.0);
    fitted_[c] = c < contentWidth_.size() ? contentWidth_[c] : 0.0;
}

std::optional<double> Sheet::columnWidth(int column) const {
    if (column < 1 || column > static_cast<int>(fitted_.size())) return std::nullopt;
    const double w = fitted_[static_cast<size_t>(column - 1)];
    if (w < 0.0) return std::nullopt;
    return w;
}

Workbook::Workbook(QString title) : title_(std::move(title)) {
    sheets_.emplace_back(QStringLiteral("Лист1"));
}

Sheet* Workbook::sheet(int index) {
    if (index < 1 || index > sheetCount()) return nullptr;
    return &sheets_[static_cast<size_t>(index - 1)];
}

const Sheet* Workbook::sheet(int index) const {
    if (index < 1 || index > sheetCount()) return nullptr;
    return &sheets_[static_cast<size_t>(index - 1)];
}

Cell Workbook::cell(int sheetIndex, int column, int row) const {
    const Sheet* s = sheet(sheetIndex);
    if (!s) return {};
    const Cell* c = s->find(column, row);
    return c ? *c : Cell{};
}

std::optional<double> Workbook::columnWidth(int sheetIndex, int column) const {
    const Sheet* s = sheet(sheetIndex);
    if (!s) return std::nullopt;
    return s->columnWidth(column);
}

}  // namespace workbook

}  // namespace mirn
