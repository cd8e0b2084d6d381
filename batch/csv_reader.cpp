#include "batch/csv_reader.h"

#include <QStringDecoder>

#include <csv.h>

namespace mirn {

namespace batch {

namespace {

const QString kUtf8 = QStringLiteral("UTF-8");
const QString kCp1251 = QStringLiteral("Windows-1251");

// Windows-1251 bytes 0x80..0xBF; 0xC0..0xFF are А..я in order.
constexpr char16_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

QString fromCp1251(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) out += QChar(char16_t(b));
        else if (b < 0xC0) out += QChar(kCp1251High[b - 0x80]);
        else out += QChar(char16_t(0x0410 + (b - 0xC0)));
    }
    return out;
}

bool isUtf8(QByteArrayView bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(utf8(bytes));
    return !utf8.hasError();
}

bool isAscii(QByteArrayView bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

QString quotedSeparator(char c) { return QStringLiteral("«%1»").arg(QLatin1Char(c)); }

// The text in UTF-8, whichever of the two encodings the file is in. A file is UTF-8 when
// every line is; it is Windows-1251 when no line is UTF-8 with letters beyond ASCII.
// Anything else mixes the two, and the lines that show it are named.
bool toUtf8(const QByteArray& input, QByteArray* out, QString* encoding, QString* error) {
    QByteArray data = input;
    const bool bom = data.startsWith("\xEF\xBB\xBF");
    if (bom) data.remove(0, 3);
    int firstUtf8 = 0, firstOther = 0, line = 0;
    for (qsizetype pos = 0; pos < data.size() && !(firstUtf8 && firstOther);) {
        qsizetype end = data.indexOf('\n', pos);
        end = end < 0 ? data.size() : end + 1;
        const QByteArrayView chunk(data.constData() + pos, end - pos);
        pos = end;
        ++line;
        if (isAscii(chunk)) continue;
        if (isUtf8(chunk)) {
            if (!firstUtf8) firstUtf8 = line;
        } else if (!firstOther) {
            firstOther = line;
        }
    }
    if (!firstOther) {
        *encoding = kUtf8;
        *out = data;
        return true;
    }
    if (bom || firstUtf8) {
        *error = QStringLiteral("строка %1: текст не в кодировке UTF-8 (похоже на Windows-1251), а %2 — в UTF-8; "
                                "в файле должна быть одна кодировка: сохраните его заново целиком в UTF-8 или "
                                "в Windows-1251")
                     .arg(firstOther)
                     .arg(bom ? QStringLiteral("метка BOM в начале файла говорит, что весь файл")
                              : QStringLiteral("строка %1").arg(firstUtf8));
        return false;
    }
    *encoding = kCp1251;
    *out = fromCp1251(data).toUtf8();
    return true;
}

// The separator the header uses: a semicolon (as a spreadsheet in a Russian locale
// saves CSV) or a comma; only one of them.
bool headerSeparator(const QByteArray& data, char* separator, QString* error) {
    qsizetype start = 0;
    int line = 1;
    // The header is the first line that is not blank.
    for (;;) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0) end = data.size();
        if (!data.mid(start, end - start).trimmed().isEmpty() || end >= data.size()) {
            int commas = 0, semicolons = 0;
            bool quoted = false;
            for (qsizetype i = start; i < end; ++i) {
                const char c = data[i];
                if (c == '"') quoted = !quoted;
                else if (!quoted && c == ',') ++commas;
                else if (!quoted && c == ';') ++semicolons;
            }
            if (commas && semicolons) {
                *error = QStringLiteral("строка %1: в заголовке между столбцами стоят и %2, и %3; разделитель "
                                        "должен быть один")
                             .arg(line)
                             .arg(quotedSeparator(','), quotedSeparator(';'));
                return false;
            }
            *separator = semicolons ? ';' : ',';
            return true;
        }
        start = end + 1;
        ++line;
    }
}

struct Reader {
    QList<CsvRow>* rows = nullptr;
    CsvRow current;
    bool rowOpen = false;  // a row has started and not yet ended
};

void onField(void* data, size_t len, void* self) {
    auto* r = static_cast<Reader*>(self);
    r->current.fields << QString::fromUtf8(static_cast<const char*>(data), qsizetype(len));
}

void onRowEnd(int, void* self) {
    auto* r = static_cast<Reader*>(self);
    // A line of blanks only comes as one empty field: no row.
    const bool blank = r->current.fields.size() == 1 && r->current.fields.front().isEmpty();
    if (!blank) r->rows->append(r->current);
    r->current.fields.clear();
    r->rowOpen = false;
}

}  // namespace

bool readCsv(const QByteArray& input, QList<CsvRow>* rows, QString* error, CsvFormat* format) {
    rows->clear();
    QByteArray data;
    CsvFormat found;
    if (!toUtf8(input, &data, &found.encoding, error)) return false;
    if (!headerSeparator(data, &found.separator, error)) return false;
    if (format) *format = found;

    csv_parser p;
    if (csv_init(&p, CSV_STRICT | CSV_STRICT_FINI) != 0) {
        *error = QStringLiteral("не удалось начать чтение CSV");
        return false;
    }
    csv_set_delim(&p, static_cast<unsigned char>(found.separator));
    Reader r;
    r.rows = rows;
    bool ok = true;
    // Fed one physical line at a time, so that a row's first line is known even when a
    // quoted field runs over several lines.
    int line = 0;
    qsizetype pos = 0;
    while (ok && pos < data.size()) {
        qsizetype end = data.indexOf('\n', pos);
        end = end < 0 ? data.size() : end + 1;
        const QByteArray chunk = data.mid(pos, end - pos);
        pos = end;
        ++line;
        if (!r.rowOpen && !chunk.trimmed().isEmpty()) {
            r.rowOpen = true;
            r.current.line = line;
        }
        if (csv_parse(&p, chunk.constData(), size_t(chunk.size()), onField, onRowEnd, &r) != size_t(chunk.size())) {
            *error = QStringLiteral("строка %1: неверный CSV (%2)")
                         .arg(line)
                         .arg(csv_error(&p) == CSV_EPARSE ? QStringLiteral("кавычка не на своём месте")
                                                          : QString::fromUtf8(csv_strerror(csv_error(&p))));
            ok = false;
        }
    }
    if (ok && csv_fini(&p, onField, onRowEnd, &r) != 0) {
        *error = QStringLiteral("строка %1: кавычка открыта и не закрыта до конца файла").arg(r.current.line);
        ok = false;
    }
    csv_free(&p);
    if (!ok || rows->isEmpty()) return ok;

    // A row cut by the other separator: the file mixes the two.
    const char other = found.separator == ',' ? ';' : ',';
    const qsizetype columns = rows->front().fields.size();
    for (const CsvRow& row : std::as_const(*rows)) {
        if (row.fields.size() == columns) continue;
        const qsizetype others = row.fields.join(QLatin1Char(found.separator)).count(QLatin1Char(other));
        if (others >= columns - 1 && columns > 1) {
            *error = QStringLiteral("строка %1: поля разделены знаком %2, а в заголовке — знаком %3; в файле "
                                    "должен быть один разделитель")
                         .arg(row.line)
                         .arg(quotedSeparator(other), quotedSeparator(found.separator));
            return false;
        }
    }
    return true;
}

}  // namespace batch

}  // namespace mirn
