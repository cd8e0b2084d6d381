#include "papers/payroll_export.h"

#include "export/workbook.h"
#include "export/xlsx_file.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSaveFile>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <zlib.h>

#include <cerrno>
#include <iconv.h>

namespace mirn {

namespace papers {
namespace {

using payroll::Column;
using payroll::ColumnKind;

QStringList joinedLines(const QList<QStringList>& rows) {
    QStringList out;
    for (const QStringList& r : rows) {
        QStringList f;
        for (const QString& x : r) f << payroll::quoted(x);
        out << f.join(QLatin1Char(';'));
    }
    return out;
}

// Windows-1251 through the C library's iconv: Qt 6.4's own converters know no code pages,
// and a letter the code page lacks must stop the export rather than turn into "?".
bool toCp1251(const QString& text, QByteArray* out, QString* bad) {
    iconv_t cd = iconv_open("WINDOWS-1251", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        *bad = QStringLiteral("в системе нет преобразования в Windows-1251 (iconv)");
        return false;
    }
    QByteArray in = text.toUtf8();
    QByteArray buf(in.size() + 16, '\0');
    char* src = in.data();
    size_t srcLeft = size_t(in.size());
    char* dst = buf.data();
    size_t dstLeft = size_t(buf.size());
    bool ok = true;
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == size_t(-1)) {
            if (errno == E2BIG) continue;  // cannot happen: one byte per character at most
            const qsizetype at = src - in.data();
            const QString rest = QString::fromUtf8(in.mid(at, 4));
            *bad = QStringLiteral("знака «%1» нет в кодировке Windows-1251").arg(rest.left(1));
            ok = false;
            break;
        }
    }
    iconv_close(cd);
    if (ok) *out = buf.left(buf.size() - qsizetype(dstLeft));
    return ok;
}

// ---- a workbook's cells, read back from the .xlsx container

struct ZipEntry {
    quint16 method = 0;
    quint32 compressed = 0, size = 0, offset = 0;
};

quint16 u16(const QByteArray& b, qsizetype at) {
    return quint16(quint8(b[at])) | quint16(quint16(quint8(b[at + 1])) << 8);
}
quint32 u32(const QByteArray& b, qsizetype at) { return quint32(u16(b, at)) | (quint32(u16(b, at + 2)) << 16); }

QMap<QString, ZipEntry> zipDirectory(const QByteArray& zip) {
    QMap<QString, ZipEntry> out;
    const qsizetype eocd = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (eocd < 0 || eocd + 22 > zip.size()) return out;
    const int count = u16(zip, eocd + 10);
    qsizetype at = u32(zip, eocd + 16);
    for (int i = 0; i < count && at + 46 <= zip.size() && u32(zip, at) == 0x02014b50; ++i) {
        ZipEntry e;
        e.method = u16(zip, at + 10);
        e.compressed = u32(zip, at + 20);
        e.size = u32(zip, at + 24);
        const int nameLen = u16(zip, at + 28), extraLen = u16(zip, at + 30), commentLen = u16(zip, at + 32);
        e.offset = u32(zip, at + 42);
        out.insert(QString::fromUtf8(zip.mid(at + 46, nameLen)), e);
        at += 46 + nameLen + extraLen + commentLen;
    }
    return out;
}

std::optional<QByteArray> zipMember(const QByteArray& zip, const QMap<QString, ZipEntry>& dir, const QString& name) {
    const auto it = dir.find(name);
    if (it == dir.end()) return std::nullopt;
    const qsizetype local = it->offset;
    if (local + 30 > zip.size() || u32(zip, local) != 0x04034b50) return std::nullopt;
    const qsizetype data = local + 30 + u16(zip, local + 26) + u16(zip, local + 28);
    if (data + qsizetype(it->compressed) > zip.size()) return std::nullopt;
    const QByteArray raw = zip.mid(data, it->compressed);
    if (it->method == 0) return raw;
    if (it->method != 8) return std::nullopt;
    QByteArray out(qsizetype(it->size), '\0');
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return std::nullopt;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
    z.avail_in = uInt(raw.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int rc = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    if (rc != Z_STREAM_END) return std::nullopt;
    return out;
}

struct RawCell {
    QString text;
    bool number = false;
};

// "BC12" -> column 55 (1-based); 0 when not a reference.
int columnOfRef(const QString& ref) {
    int col = 0;
    for (const QChar c : ref) {
        if (c < u'A' || c > u'Z') break;
        col = col * 26 + (c.unicode() - u'A' + 1);
    }
    return col;
}

std::optional<QList<QList<RawCell>>> readSheet(const QString& path, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = f.errorString();
        return std::nullopt;
    }
    const QByteArray zip = f.readAll();
    const auto dir = zipDirectory(zip);
    const auto sheet = zipMember(zip, dir, QStringLiteral("xl/worksheets/sheet1.xml"));
    if (!sheet) {
        *error = QStringLiteral("это не книга Excel (.xlsx) или она повреждена");
        return std::nullopt;
    }
    QStringList shared;
    if (const auto ss = zipMember(zip, dir, QStringLiteral("xl/sharedStrings.xml"))) {
        QXmlStreamReader x(*ss);
        QString cur;
        bool inSi = false;
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement() && x.name() == QLatin1String("si")) {
                inSi = true;
                cur.clear();
            } else if (x.isEndElement() && x.name() == QLatin1String("si")) {
                inSi = false;
                shared << cur;
            } else if (inSi && x.isStartElement() && x.name() == QLatin1String("t")) {
                cur += x.readElementText();
            }
        }
    }
    QList<QList<RawCell>> rows;
    QXmlStreamReader x(*sheet);
    int row = 0, col = 0;
    QString type;
    while (!x.atEnd()) {
        x.readNext();
        if (!x.isStartElement()) continue;
        if (x.name() == QLatin1String("row")) {
            row = x.attributes().value(QLatin1String("r")).toInt();
        } else if (x.name() == QLatin1String("c")) {
            col = columnOfRef(x.attributes().value(QLatin1String("r")).toString());
            type = x.attributes().value(QLatin1String("t")).toString();
        } else if ((x.name() == QLatin1String("v") || x.name() == QLatin1String("t")) && row > 0 && col > 0) {
            const QString v = x.readElementText();
            RawCell c;
            if (type == QLatin1String("s"))
                c.text = shared.value(v.toInt());
            else if (type.isEmpty() || type == QLatin1String("n")) {
                c.text = v;
                c.number = true;
            } else
                c.text = v;
            while (rows.size() < row) rows.append(QList<RawCell>());
            QList<RawCell>& r = rows[row - 1];
            while (r.size() < col) r.append(RawCell());
            r[col - 1] = c;
        }
    }
    if (x.hasError()) {
        *error = QStringLiteral("книга повреждена: ") + x.errorString();
        return std::nullopt;
    }
    return rows;
}

// A workbook's rows as the fields of the table: the data by its columns' kinds, which
// the control block's "Столбцы" line names.
QList<QStringList> tableOfSheet(const QList<QList<RawCell>>& sheet) {
    std::vector<std::pair<Column, QString>> columns;
    int control = int(sheet.size());
    for (int i = 0; i < sheet.size(); ++i) {
        if (!sheet[i].isEmpty() && sheet[i].front().text == payroll::kControlTitle) control = i;
        if (i > control && sheet[i].size() >= 2 && sheet[i][0].text == payroll::kColumnsLabel)
            columns = payroll::parseColumnList(sheet[i][1].text).value_or(columns);
    }
    QList<QStringList> out;
    for (int i = 0; i < sheet.size(); ++i) {
        QStringList r;
        for (int c = 0; c < sheet[i].size(); ++c) {
            const RawCell& cell = sheet[i][c];
            ColumnKind kind = ColumnKind::Text;
            if (i < control && i > 0 && size_t(c) < columns.size()) kind = payroll::kindOf(columns[size_t(c)].first);
            else if (i > control && c == 1)
                kind = sheet[i][0].text.startsWith(payroll::kTotalLabel) ? ColumnKind::Money : ColumnKind::Number;
            r << payroll::canonicalCell(kind, cell.text, cell.number);
        }
        out << r;
    }
    return out;
}

}  // namespace

std::optional<CsvEncoding> csvEncodingOf(const QString& name) {
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("utf-8") || n == QLatin1String("utf8")) return CsvEncoding::Utf8;
    if (n == QLatin1String("cp1251") || n == QLatin1String("windows-1251")) return CsvEncoding::Cp1251;
    return std::nullopt;
}

bool payrollCsv(const payroll::Export& e, CsvEncoding encoding, QByteArray* bytes, QString* error) {
    QStringList lines = payroll::dataLines(e);
    lines << QString();
    lines += joinedLines(payroll::controlBlock(e));
    const QString text = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    if (encoding == CsvEncoding::Utf8) {
        *bytes = QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        return true;
    }
    QString why;
    if (toCp1251(text, bytes, &why)) return true;
    // Name the worker whose name cannot be written.
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray probe;
        QString ignored;
        if (!toCp1251(lines[i], &probe, &ignored)) {
            why = QStringLiteral("строка %1 (%2): %3").arg(i + 1).arg(lines[i].left(60), why);
            break;
        }
    }
    *error = why + QStringLiteral(". Выберите кодировку UTF-8.");
    return false;
}

bool writePayrollCsv(const payroll::Export& e, const QString& path, CsvEncoding encoding, QString* error) {
    QByteArray bytes;
    if (!payrollCsv(e, encoding, &bytes, error)) return false;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        *error = QStringLiteral("не удалось записать файл %1: %2").arg(QDir::toNativeSeparators(path), f.errorString());
        return false;
    }
    return true;
}

bool writePayrollXlsx(const payroll::Export& e, const QString& path, QString* error) {
    workbook::Workbook book(QStringLiteral("Зарплата"));
    workbook::Sheet& s = *book.sheet(1);
    const auto& cols = e.settings.columns;
    const int width = int(cols.size());
    for (int c = 0; c < width; ++c) {
        s.setTextFormat(c + 1, 1);
        s.setValue(c + 1, 1, e.settings.titleOf(c));
        s.setBold(c + 1, 1, true);
    }
    // The CSV's fields are the cells' values: one source for both formats.
    const QList<QStringList> data = payroll::dataFields(e);
    for (int r = 1; r <= data.size(); ++r) {
        const QStringList& fields = data[r - 1];
        for (int c = 0; c < width; ++c) {
            const ColumnKind kind = payroll::kindOf(cols[size_t(c)]);
            if (kind == ColumnKind::Text) s.setTextFormat(c + 1, r + 1);
            s.setValue(c + 1, r + 1, fields.value(c));
            if (kind == ColumnKind::Money) s.setNumberFormat(c + 1, r + 1, QStringLiteral("0.00"));
        }
    }
    int row = int(data.size()) + 3;
    for (const QStringList& b : payroll::controlBlock(e)) {
        const bool total = b.front().startsWith(payroll::kTotalLabel + QLatin1Char(' '));
        const bool count = b.front() == payroll::kRowsLabel;
        s.setTextFormat(1, row);
        s.setValue(1, row, b.front());
        if (b.size() > 1) {
            if (!total && !count) s.setTextFormat(2, row);
            s.setValue(2, row, b[1]);
            if (total) s.setNumberFormat(2, row, QStringLiteral("0.00"));
        }
        if (b.size() == 1) s.setBold(1, row, true);
        ++row;
    }
    for (int c = 1; c <= width; ++c) s.fitColumn(c);
    workbook::ensureCNumericLocale();
    return workbook::saveXlsx(book, path, error);
}

QList<QStringList> readPayrollTable(const QString& path, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("не удалось открыть файл %1: %2").arg(QDir::toNativeSeparators(path), f.errorString());
        return {};
    }
    const QByteArray head = f.peek(4);
    if (head.startsWith("PK\x03\x04")) {
        f.close();
        const auto sheet = readSheet(path, error);
        return sheet ? tableOfSheet(*sheet) : QList<QStringList>();
    }
    QByteArray data = f.readAll();
    if (data.startsWith("\xEF\xBB\xBF")) data = data.mid(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (utf8.hasError()) {
        iconv_t cd = iconv_open("UTF-8", "WINDOWS-1251");
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            *error = QStringLiteral("в системе нет преобразования из Windows-1251 (iconv)");
            return {};
        }
        QByteArray out(data.size() * 3 + 4, '\0');
        char* src = data.data();
        size_t srcLeft = size_t(data.size());
        char* dst = out.data();
        size_t dstLeft = size_t(out.size());
        const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        iconv_close(cd);
        if (rc == size_t(-1)) {
            *error = QStringLiteral("файл не в UTF-8 и не в Windows-1251");
            return {};
        }
        text = QString::fromUtf8(out.left(out.size() - qsizetype(dstLeft)));
    }
    QList<QStringList> table = payroll::splitCsv(text);
    if (table.isEmpty()) *error = QStringLiteral("файл пуст");
    return table;
}

PayrollOutcome exportPayroll(int month, int year, PayrollFormat format, CsvEncoding encoding, const QString& path,
                             const QString& role, const payroll::Settings& settings, const Db& db) {
    PayrollOutcome out;
    out.message = payroll::refusal(month, year, db);
    if (!out.message.isEmpty()) return out;
    payroll::Export e;
    e.month = month;
    e.year = year;
    e.at = QDateTime::currentDateTime();
    e.who = payroll::exporter(role, db).text();
    e.settings = settings;
    e.rows = payroll::rows(month, year, db);
    QString why;
    const bool written = format == PayrollFormat::Xlsx ? writePayrollXlsx(e, path, &why)
                                                      : writePayrollCsv(e, path, encoding, &why);
    if (!written) {
        out.message = why.isEmpty() ? QStringLiteral("файл не записан") : why;
        return out;
    }
    out.done = true;
    out.rows = int(e.rows.size());
    out.totals = payroll::totals(e);
    out.hash = payroll::hashOf(payroll::columnList(settings), payroll::dataLines(e));
    out.recorded = payroll::record(e, QFileInfo(path).fileName(), out.hash, db);
    qInfo().noquote() << "payroll written:" << QFileInfo(path).absoluteFilePath() << "| rows" << out.rows << "| sha256"
                      << out.hash << "| recorded" << out.recorded;
    return out;
}

}  // namespace papers

}  // namespace mirn
