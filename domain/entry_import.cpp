#include "domain/entry_import.h"

#include "domain/db.h"
#include "domain/limits.h"
#include "domain/period.h"

#include <QRegularExpression>

#include <algorithm>

namespace mirn {

namespace entry {

namespace {
// Marks and type names are unique without regard to letter case; the database's own
// upper() would leave Cyrillic alone under a C collation, so the match is made here.
QString fold(const QString& s) { return s.trimmed().toUpper(); }

// A spreadsheet may save a whole number with a zero fraction ("8,0" in a Russian
// locale, "8.00"): that is still the whole number.
QString wholeText(const QString& s) {
    static const QRegularExpression zeroFraction(QStringLiteral("^(-?\\d+)[.,]0+$"));
    const auto m = zeroFraction.match(s);
    return m.hasMatch() ? m.captured(1) : s;
}

// A text as a refusal may quote it: a runaway field is cut, so that one line of the
// report stays one line.
constexpr qsizetype kEchoMax = 60;
QString echo(const QString& s) {
    if (s.size() <= kEchoMax) return s;
    return s.left(kEchoMax) + QStringLiteral("… (всего %1 знаков)").arg(s.size());
}
}  // namespace

EntryImport::EntryImport(Db db) : db_(std::move(db)) {}

bool EntryImport::setHeader(int line, const QStringList& names) {
    column_.clear();
    QStringList unknown, twice;
    for (int i = 0; i < names.size(); ++i) {
        const QString n = names[i].trimmed().toLower();
        if (!kImportColumns.contains(n)) unknown << echo(names[i].trimmed());
        else if (column_.contains(n)) twice << n;
        else column_.insert(n, i);
    }
    QStringList missing;
    for (const QString& c : kImportColumns)
        if (!column_.contains(c)) missing << c;
    if (unknown.isEmpty() && twice.isEmpty() && missing.isEmpty()) {
        headerOk_ = true;
        return true;
    }
    QStringList why;
    if (!missing.isEmpty()) why << QStringLiteral("нет столбцов %1").arg(missing.join(QStringLiteral(", ")));
    if (!unknown.isEmpty()) why << QStringLiteral("лишние столбцы %1").arg(unknown.join(QStringLiteral(", ")));
    if (!twice.isEmpty()) why << QStringLiteral("повторены столбцы %1").arg(twice.join(QStringLiteral(", ")));
    refusals_ << ImportRefusal{line, QStringLiteral("неверный заголовок: %1; нужен заголовок %2")
                                         .arg(why.join(QStringLiteral("; ")), kImportColumns.join(QLatin1Char(',')))};
    return false;
}

void EntryImport::addRow(int line, const QStringList& fields) {
    if (!headerOk_) return;
    Record r;
    if (auto refusal = check(fields, &r)) {
        // Whatever the refusal quotes of a runaway field is cut.
        for (const QString& f : fields)
            if (f.trimmed().size() > kEchoMax) refusal->replace(f.trimmed(), echo(f.trimmed()));
        refusals_ << ImportRefusal{line, *refusal};
        return;
    }
    records_ << r;
    lines_ << line;
}

std::optional<QString> EntryImport::check(const QStringList& fields, Record* out) {
    if (fields.size() != kImportColumns.size())
        return QStringLiteral("в строке %1 полей, а в заголовке %2").arg(fields.size()).arg(kImportColumns.size());
    auto text = [&](const char* name) { return fields[column_.value(QLatin1String(name))].trimmed(); };
    auto number = [&](const char* name) { return wholeText(text(name)); };
    const QString date = text("date"), shift = number("shift"), worker = number("worker"), mark = text("mark"),
                  type = text("operation"), kind = number("kind"), quantity = number("quantity"),
                  rejects = number("rejects"), hours = number("hours"), colour = number("colour"),
                  dayOff = number("dayoff");

    // The dialog's own rule first: what a foreman must fill in before "Запись".
    const QString operation = mark.isEmpty() || type.isEmpty() ? QString() : mark + QStringLiteral("; ") + type;
    const Fields f{worker, operation, quantity, rejects, colour, hours};
    QStringList empty;
    const std::pair<const char*, QString> required[] = {
        {"date", date},         {"shift", shift},     {"worker", worker},     {"mark", mark},
        {"operation", type},    {"kind", kind},       {"quantity", quantity}, {"rejects", rejects},
        {"hours", hours},       {"dayoff", dayOff}};
    for (const auto& [name, value] : required)
        if (value.isEmpty()) empty << QLatin1String(name);
    if (isPaintOperation(type) && colour.isEmpty()) empty << QStringLiteral("colour");
    if (missingField(f) || !empty.isEmpty())
        return kFillAllFields + QStringLiteral(" (не заполнено: %1)").arg(empty.join(QStringLiteral(", ")));

    const QDate day = QDate::fromString(date, QStringLiteral("dd.MM.yyyy"));
    if (!day.isValid()) return QStringLiteral("неверная дата \"%1\" (нужна дата вида ДД.ММ.ГГГГ)").arg(date);
    const auto shiftNo = wholeNumber(shift);
    if (!shiftNo || *shiftNo < 1 || *shiftNo > 4)
        return QStringLiteral("смена должна быть числом от 1 до 4, а не \"%1\"").arg(shift);
    if (kind != QLatin1String("0") && kind != QLatin1String("1"))
        return QStringLiteral("вид продукции (kind) должен быть 0 или 1, а не \"%1\"").arg(kind);
    if (dayOff != QLatin1String("0") && dayOff != QLatin1String("1"))
        return QStringLiteral("выходной (dayoff) должен быть 0 или 1, а не \"%1\"").arg(dayOff);
    if (auto bad = notANumber(f)) return *bad;

    // Only a paint operation takes a colour; the dialog empties the field for any other.
    const int colourNo = colour.isEmpty() ? 0 : *wholeNumber(colour);
    if (!isPaintOperation(type) && colourNo != 0)
        return QStringLiteral("цвет %1 указан для операции \"%2\", а цвет бывает только у операции покраски "
                              "(со словом \"КРАСКА\" в названии)")
            .arg(colour, type);

    // The database refuses every write into a closed month (db/extension.sql): say so per
    // row, in the words the client shows, before anything is written.
    if (period::installed()) {
        const QString month = day.toString(QStringLiteral("yyyy-MM"));
        if (!closedMonth_.contains(month))
            closedMonth_.insert(month, period::PeriodStore(db_).isClosed(day));
        if (closedMonth_.value(month)) return closedMonthText(day);
    }

    Record& r = *out;
    if (auto refusal = findWorker(worker, &r.w_id)) return refusal;
    Operation op;
    if (auto refusal = findOperation(mark, type, kind.toInt(), &op)) return refusal;
    r.i_id = op.i_id;
    r.o_id = op.o_id;
    r.cena = finalPrice(op.basePrice, dayOff == QLatin1String("1"), *shiftNo);
    r.kol_vo = *wholeNumber(quantity);
    r.brak = *wholeNumber(rejects);
    r.time = *wholeNumber(hours);
    r.color = colourNo;
    r.date = day;
    r.shift = *shiftNo;
    if (auto refusal = outOfRange(r)) return refusal;

    // Duplicates and the worker's month need what is stored: they are checked for all
    // rows at once when the file is posted.
    return std::nullopt;
}

std::optional<QString> EntryImport::findWorker(const QString& text, int* w_id) {
    const auto number = wholeNumber(text);
    if (!number) return notANumberMessage(QStringLiteral("Рабочий"), text);
    // As the journal finds an entry's worker: by person id or by the worker number
    // (s_code), skipping codes that are no number instead of failing on them. Every key
    // is read once for the whole file.
    if (!workers_) {
        Query q(db_);
        q.setText(sqltext::workerKeys());
        q.open();
        workers_.emplace();
        for (int i = 0; i < q.recordCount(); ++i) {
            bool ok = false;
            const qint64 k = q.value(i, 0).toString().toLongLong(&ok);
            if (ok) workers_->insert(k);
        }
    }
    if (!workers_->contains(*number)) return QStringLiteral("рабочий с номером или кодом %1 не найден").arg(*number);
    *w_id = *number;
    return std::nullopt;
}

std::optional<QString> EntryImport::findOperation(const QString& mark, const QString& type, int kind,
                                                  Operation* op) {
    if (!operations_) {
        // The priced operations with their lowest norm price, as the operations list
        // offers them to the dialog; those without norms come too, to be refused by name.
        Query q(db_);
        q.SQL = sqltext::importOperations();
        q.open();
        operations_.emplace();
        for (int i = 0; i < q.recordCount(); ++i) {
            const QVariant price = q.value(i, QStringLiteral("cena"));
            const QString key = fold(q.value(i, QStringLiteral("marka")).toString()) + QLatin1Char('\n') +
                                fold(q.value(i, QStringLiteral("vid")).toString()) + QLatin1Char('\n') +
                                QString::number(toInt(q.value(i, QStringLiteral("naimen"))));
            operations_->insert(key, Operation{toInt(q.value(i, QStringLiteral("id"))),
                                               toInt(q.value(i, QStringLiteral("i_id"))),
                                               price.isNull() ? 0.0 : toDouble(price), !price.isNull()});
        }
    }
    const QList<Operation> found = operations_->values(fold(mark) + QLatin1Char('\n') + fold(type) +
                                                       QLatin1Char('\n') + QString::number(kind));
    const QString what = operationDescription(mark, type, kind);
    if (found.isEmpty()) return QStringLiteral("операция \"%1\" не найдена").arg(what);
    if (found.size() > 1) return QStringLiteral("операция \"%1\" заведена несколько раз").arg(what);
    if (!found.front().priced)
        return QStringLiteral("у операции \"%1\" ещё нет цены: задайте её в списке операций кнопкой \"Цены\"")
            .arg(what);
    *op = found.front();
    return std::nullopt;
}

QString EntryImport::closedMonthText(const QDate& day) {
    return period::kClosedBanner + QStringLiteral(": ") + period::monthCaption(day.month(), day.year());
}

BatchResult EntryImport::post() {
    if (!headerOk_) return {};
    if (records_.isEmpty()) {
        if (!refusals_.isEmpty()) return {};
        return {{}, true};
    }
    BatchOptions options;
    // With a row refused already the others are still checked, so that every refused
    // line is named at once; nothing is stored.
    options.checkOnly = !refusals_.isEmpty();
    options.repeats = [this](int earlier) {
        return kDuplicateEntry + QStringLiteral(" (повторяет строку %1)").arg(lines_[earlier]);
    };
    options.progress = progress;
    BatchResult result;
    try {
        result = EntryStore(db_).insertAll(records_, options);
    } catch (const ClosedMonthError& e) {
        // A month closed after the rows were checked: nothing is stored; the rows of the
        // months now closed are named, or every row when none can be told.
        const period::PeriodStore months(db_);
        QHash<QString, bool> closed;
        for (int i = 0; i < records_.size(); ++i) {
            const QString month = records_[i].date.toString(QStringLiteral("yyyy-MM"));
            if (!closed.contains(month)) closed.insert(month, months.isClosed(records_[i].date));
            if (closed.value(month)) refusals_ << ImportRefusal{lines_[i], closedMonthText(records_[i].date)};
        }
        if (refusals_.isEmpty())
            for (int line : std::as_const(lines_)) refusals_ << ImportRefusal{line, QString::fromStdString(e.what())};
        sortRefusals();
        return {};
    }
    for (int k = 0; k < result.items.size(); ++k)
        if (!result.items[k].saved()) refusals_ << ImportRefusal{lines_[k], result.items[k].message};
    if (refusals_.isEmpty()) return result;
    // The refusals of the stored rows' checks came after those of the rows themselves:
    // the report names them in the file's order.
    sortRefusals();
    return {};
}

void EntryImport::sortRefusals() {
    std::stable_sort(refusals_.begin(), refusals_.end(),
                     [](const ImportRefusal& a, const ImportRefusal& b) { return a.line < b.line; });
}

}  // namespace entry

}  // namespace mirn
