#include "export/xlsx_file.h"

#include <QFile>
#include <QHash>

#include <clocale>
#include <memory>

#include <xlsxwriter.h>

namespace mirn {

namespace workbook {

void ensureCNumericLocale() { std::setlocale(LC_NUMERIC, "C"); }

namespace {
QString describe(lxw_error e) { return QString::fromUtf8(lxw_strerror(e)); }
}  // namespace

bool saveXlsx(const Workbook& book, const QString& path, QString* error) {
    ensureCNumericLocale();

    const QByteArray fileName = QFile::encodeName(path);
    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    options.tmpdir = nullptr;
    options.use_zip64 = LXW_FALSE;
    lxw_workbook* wb = workbook_new_opt(fileName.constData(), &options);
    if (!wb) {
        if (error) *error = QStringLiteral("не удалось создать книгу");
        return false;
    }

    const QByteArray title = book.title().toUtf8();
    lxw_doc_properties properties{};
    properties.title = const_cast<char*>(title.constData());
    workbook_set_properties(wb, &properties);

    // One format per combination of bold, text format and number format, made only when used.
    QHash<QString, lxw_format*> formats;
    auto formatFor = [&](const Cell& c) -> lxw_format* {
        if (!c.bold && !c.textFormat && c.numberFormat.isEmpty()) return nullptr;
        const QString key = QString::number(int(c.bold)) + QString::number(int(c.textFormat)) + c.numberFormat;
        lxw_format*& f = formats[key];
        if (!f) {
            f = workbook_add_format(wb);
            if (c.bold) format_set_bold(f);
            if (c.textFormat) format_set_num_format(f, "@");
            else if (!c.numberFormat.isEmpty()) format_set_num_format(f, c.numberFormat.toUtf8().constData());
        }
        return f;
    };

    lxw_error failure = LXW_NO_ERROR;
    for (int s = 1; s <= book.sheetCount() && failure == LXW_NO_ERROR; ++s) {
        const Sheet* sheet = book.sheet(s);
        lxw_worksheet* ws = workbook_add_worksheet(wb, sheet->name().toUtf8().constData());
        if (!ws) {
            failure = LXW_ERROR_SHEETNAME_ALREADY_USED;
            break;
        }
        const auto& widths = sheet->fittedWidths();
        for (size_t c = 0; c < widths.size() && failure == LXW_NO_ERROR; ++c) {
            if (widths[c] < 0.0) continue;
            const auto col = static_cast<lxw_col_t>(c);
            failure = worksheet_set_column(ws, col, col, widths[c], nullptr);
        }
        const auto& rows = sheet->rows();
        QByteArray utf8;
        for (size_t r = 0; r < rows.size() && failure == LXW_NO_ERROR; ++r) {
            const auto row = static_cast<lxw_row_t>(r);
            const auto& cells = rows[r];
            for (size_t c = 0; c < cells.size(); ++c) {
                const Cell& cell = cells[c];
                const auto col = static_cast<lxw_col_t>(c);
                lxw_format* format = formatFor(cell);
                switch (cell.type) {
                case CellType::Number:
                    failure = worksheet_write_number(ws, row, col, cell.number, format);
                    break;
                case CellType::Text:
                    utf8 = cell.text.toUtf8();
                    failure = worksheet_write_string(ws, row, col, utf8.constData(), format);
                    break;
                case CellType::Empty:
                    // A formatted cell without a value keeps its format, as in a spreadsheet.
                    if (format) failure = worksheet_write_blank(ws, row, col, format);
                    break;
                }
                if (failure != LXW_NO_ERROR) break;
            }
        }
    }

    if (failure != LXW_NO_ERROR) {
        // workbook_close() still frees everything; the half-made file is of no use.
        workbook_close(wb);
        QFile::remove(path);
        if (error) *error = describe(failure);
        return false;
    }
    const lxw_error closed = workbook_close(wb);
    if (closed != LXW_NO_ERROR) {
        if (error) *error = describe(closed);
        return false;
    }
    return true;
}

}  // namespace workbook

}  // namespace mirn
