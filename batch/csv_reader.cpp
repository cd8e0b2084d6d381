#include "batch/csv_reader.h"

#include <QStringDecoder>

#include <csv.h>

namespace mirn {

namespace batch {

namespace {

struct Reader {
    QList<CsvRow>* rows = nullptr;
    CsvRow current;
    bool rowOpen = false;   // a row has started and not yet ended
    QString badText;        // set when a field is not valid UTF-8
};

void onField(void* data, size_t len, void* self) {
    auto* r = static_cast<Reader*>(self);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString field = utf8(QByteArrayView(static_cast<const char*>(data), qsizetype(len)));
    if (utf8.hasError() && r->badText.isEmpty()) r->badText = field;
    r->current.fields << field;
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

bool readCsv(const QByteArray& input, QList<CsvRow>* rows, QString* error) {
    QByteArray data = input;
    if (data.startsWith("\xEF\xBB\xBF")) data.remove(0, 3);
    rows->clear();

    csv_parser p;
    if (csv_init(&p, CSV_STRICT | CSV_STRICT_FINI) != 0) {
        *error = QStringLiteral("не удалось начать чтение CSV");
        return false;
    }
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
        } else if (!r.badText.isEmpty()) {
            *error = QStringLiteral("строка %1: текст не в кодировке UTF-8").arg(line);
            ok = false;
        }
    }
    if (ok && csv_fini(&p, onField, onRowEnd, &r) != 0) {
        *error = QStringLiteral("строка %1: кавычка открыта и не закрыта до конца файла").arg(r.current.line);
        ok = false;
    }
    if (ok && !r.badText.isEmpty()) {
        *error = QStringLiteral("строка %1: текст не в кодировке UTF-8").arg(r.current.line);
        ok = false;
    }
    csv_free(&p);
    return ok;
}

}  // namespace batch

}  // namespace mirn
