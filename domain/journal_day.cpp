#include "domain/journal_day.h"

#include "domain/period.h"
#include "domain/sqltext.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlRecord>
#include <QSqlResult>

#include <atomic>
#include <map>
#include <utility>
#include <vector>

namespace mirn {

namespace journalday {
namespace {

// ---- handing rows already read to a query
// A query fills itself only from a statement it runs. Rows split out of one read are
// handed over by a connection of this process that serves them: no server, no round
// trip. The receiving query takes them with takeRows, exactly as read.
struct Table {
    QStringList fields;
    std::vector<Query::Row> rows;
};

class RowsResult : public QSqlResult {
public:
    RowsResult(const QSqlDriver* driver, const std::map<QString, Table>& tables) : QSqlResult(driver), tables_(tables) {}

protected:
    bool reset(const QString& text) override {
        const auto it = tables_.find(text.trimmed());
        table_ = it == tables_.end() ? nullptr : &it->second;
        setSelect(true);
        setActive(table_ != nullptr);
        setAt(QSql::BeforeFirstRow);
        return table_ != nullptr;
    }
    bool fetch(int i) override {
        if (!table_ || i < 0 || i >= int(table_->rows.size())) {
            setAt(QSql::AfterLastRow);
            return false;
        }
        setAt(i);
        return true;
    }
    bool fetchFirst() override { return fetch(0); }
    bool fetchLast() override { return table_ && fetch(int(table_->rows.size()) - 1); }
    QVariant data(int i) override { return cell(i); }
    bool isNull(int i) override { return cell(i).isNull(); }
    int size() override { return table_ ? int(table_->rows.size()) : -1; }
    int numRowsAffected() override { return 0; }
    QSqlRecord record() const override {
        QSqlRecord r;
        if (table_)
            for (const QString& f : table_->fields) r.append(QSqlField(f));
        return r;
    }

private:
    QVariant cell(int i) const {
        if (!table_ || at() < 0 || at() >= int(table_->rows.size())) return {};
        const Query::Row& row = table_->rows[size_t(at())];
        return i >= 0 && i < row.size() ? row[i] : QVariant();
    }
    const std::map<QString, Table>& tables_;
    const Table* table_ = nullptr;
};

class RowsDriver : public QSqlDriver {
public:
    std::map<QString, Table> tables;  // by the text that reads them

    bool hasFeature(DriverFeature f) const override { return f == QuerySize; }
    bool open(const QString&, const QString&, const QString&, const QString&, int, const QString&) override {
        setOpen(true);
        setOpenError(false);
        return true;
    }
    void close() override { setOpen(false); }
    QSqlResult* createResult() const override { return new RowsResult(this, tables); }
};

// Gives each query its table (by its place in targets) and closes the serving connection.
void handOver(const std::vector<Query*>& targets, std::vector<Table> tables) {
    static std::atomic<int> serial{0};
    const QString name = QStringLiteral("mirn_rows_%1").arg(++serial);
    {
        auto* driver = new RowsDriver;
        for (size_t i = 0; i < tables.size(); ++i) driver->tables[QString::number(i)] = std::move(tables[i]);
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);  // owns the driver
        db.open();
        for (size_t i = 0; i < targets.size(); ++i) {
            Query rows{Db(name)};
            rows.setText(QString::number(i));
            rows.open();
            targets[i]->takeRows(rows);
        }
    }
    QSqlDatabase::removeDatabase(name);
}

// ---- literals
QString quotedText(const QString& s) {
    QString body = s;
    body.replace(QLatin1Char('\''), QStringLiteral("''"));
    // A backslash is written so that it stays one whatever standard_conforming_strings says.
    if (body.contains(QLatin1Char('\\'))) {
        body.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        return QStringLiteral("E'") + body + QLatin1Char('\'');
    }
    return QLatin1Char('\'') + body + QLatin1Char('\'');
}

QString literal(const QString& name, const QVariant& v) {
    if (v.isNull() || !v.isValid()) return QStringLiteral("null");
    switch (v.typeId()) {
    case QMetaType::QDate: return v.toDate().isValid() ? sqltext::toDate(v.toDate()) : QStringLiteral("null");
    case QMetaType::QString: return quotedText(v.toString());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort: return sqltext::number(v.toLongLong());
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default: break;
    }
    throw DbError(QStringLiteral("the value of parameter %1 (%2) cannot be written into a statement")
                      .arg(name, QString::fromLatin1(v.typeName())));
}

bool nameChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

// The lock row of the month: who closed it and when, as the banner shows them.
QString monthBranch(const QDate& date, int columns) {
    QStringList nulls;
    for (int i = 0; i < columns; ++i) nulls << QStringLiteral("null");
    return QStringLiteral("select 0, 0, ") + nulls.join(QStringLiteral(", ")) +
           QStringLiteral(", coalesce(closed_by, ''), coalesce(to_char(closed_at, 'DD.MM.YYYY HH24:MI'), '') "
                          "from accounts_dep.period_lock where year = ") +
           sqltext::number(date.year()) + QStringLiteral(" and month = ") + sqltext::number(date.month());
}

const QString kShiftNo = QStringLiteral("shift_no");
const QString kRowNo = QStringLiteral("row_no");
const QString kClosedBy = QStringLiteral("lock_closed_by");
const QString kClosedAt = QStringLiteral("lock_closed_at");

}  // namespace

const QStringList& shiftColumns(int shift) {
    static const QStringList first{
        QStringLiteral("id"),     QStringLiteral("data"),          QStringLiteral("smena"),
        QStringLiteral("i_id"),   QStringLiteral("o_id"),          QStringLiteral("w_id"),
        QStringLiteral("cena"),   QStringLiteral("fio"),           QStringLiteral("marka"),
        QStringLiteral("vid"),    QStringLiteral("nmn"),           QStringLiteral("naimen"),
        QStringLiteral("brak"),   QStringLiteral("kol_vo"),        QStringLiteral("summa"),
        QStringLiteral("prize"),  QStringLiteral("color"),         QStringLiteral("time"),
        QStringLiteral("ok"),     QStringLiteral("vvod"),          QStringLiteral("id_doc"),
        QStringLiteral("id_doc_item"), QStringLiteral("f_gds_qty_use"), QStringLiteral("id_gds_use"),
        QStringLiteral("id_cons_use")};
    static const QStringList others{
        QStringLiteral("data"),   QStringLiteral("smena"),         QStringLiteral("i_id"),
        QStringLiteral("o_id"),   QStringLiteral("w_id"),          QStringLiteral("cena"),
        QStringLiteral("fio"),    QStringLiteral("marka"),         QStringLiteral("vid"),
        QStringLiteral("nmn"),    QStringLiteral("naimen"),        QStringLiteral("kol_vo"),
        QStringLiteral("brak"),   QStringLiteral("summa"),         QStringLiteral("prize"),
        QStringLiteral("id"),     QStringLiteral("color"),         QStringLiteral("time"),
        QStringLiteral("ok"),     QStringLiteral("vvod"),          QStringLiteral("id_doc"),
        QStringLiteral("id_doc_item"), QStringLiteral("f_gds_qty_use"), QStringLiteral("id_gds_use"),
        QStringLiteral("id_cons_use")};
    return shift == 1 ? first : others;
}

QString withLiterals(const Statement& s) {
    const QString text = s.text();
    QString out;
    out.reserve(text.size() + 32);
    QChar quote;  // the quote we are inside, if any
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            out += c;
            if (c == quote) quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            out += c;
            continue;
        }
        if (c != QLatin1Char(':')) {
            out += c;
            continue;
        }
        if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char(':')) {  // a cast
            out += QStringLiteral("::");
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        while (end < text.size() && nameChar(text.at(end))) ++end;
        if (end == i + 1) {
            out += c;
            continue;
        }
        const QString name = text.mid(i + 1, end - i - 1);
        out += literal(name, s.param(name));
        i = end - 1;
    }
    return out;
}

QString dayStatement(const Shifts& shifts, const QDate& date, bool withMonth) {
    const QStringList& columns = shiftColumns(1);
    QStringList picked;
    for (const QString& c : columns) picked << QStringLiteral("t.") + c;
    QStringList parts;
    for (int i = 0; i < 4; ++i) {
        // The shift's own text, its rows numbered in the order it gives them.
        QString head = QStringLiteral("select %1").arg(i + 1);
        head += i == 0 ? QStringLiteral(" as ") + kShiftNo + QStringLiteral(", row_number() over () as ") + kRowNo
                       : QStringLiteral(", row_number() over ()");
        head += QStringLiteral(", ") + picked.join(QStringLiteral(", "));
        head += i == 0 ? QStringLiteral(", null::text as ") + kClosedBy + QStringLiteral(", null::text as ") + kClosedAt
                       : QStringLiteral(", null, null");
        parts << head + QStringLiteral(" from (\n") + withLiterals(*shifts[size_t(i)]) + QStringLiteral("\n) t");
    }
    if (withMonth) parts << monthBranch(date, int(columns.size()));
    return parts.join(QStringLiteral("\nunion all\n")) + QStringLiteral("\norder by 1, 2");
}

MonthState openDay(const Shifts& shifts, const QDate& date) {
    for (Query* q : shifts) q->close();
    for (Query* q : shifts) q->setParam(QStringLiteral("data"), date);
    const bool withMonth = period::installed() && date.isValid();
    Query all(Db(shifts[0]->database().connectionName()));
    all.setText(dayStatement(shifts, date, withMonth));
    all.open();

    const int shiftCol = all.fieldIndex(kShiftNo);
    std::vector<Table> tables(4);
    std::vector<std::vector<int>> from(4);  // each shift's columns in the read
    for (int s = 0; s < 4; ++s) {
        tables[size_t(s)].fields = shiftColumns(s + 1);
        for (const QString& f : tables[size_t(s)].fields) from[size_t(s)].push_back(all.fieldIndex(f));
    }
    MonthState month;
    for (int r = 0; r < all.recordCount(); ++r) {
        const Query::Row& row = all.row(r);
        const int s = toInt(row[shiftCol]);
        if (s == 0) {
            month.closed = true;
            month.closedBy = period::closedByText(all.value(r, kClosedBy).toString(), all.value(r, kClosedAt).toString());
            continue;
        }
        const std::vector<int>& cols = from[size_t(s - 1)];
        Query::Row out(qsizetype(cols.size()));
        for (size_t c = 0; c < cols.size(); ++c) out[qsizetype(c)] = row[cols[c]];
        tables[size_t(s - 1)].rows.push_back(std::move(out));
    }
    all.close();
    handOver({shifts.begin(), shifts.end()}, std::move(tables));
    return month;
}

MonthState reopenDay(const Shifts& shifts) {
    return openDay(shifts, shifts[0]->param(QStringLiteral("data")).toDate());
}

void reopenShift(Query& shift) {
    // Closed first, as Query::reopen does: a read that fails leaves the shift empty.
    shift.close();
    Query fresh(Db(shift.database().connectionName()));
    fresh.setText(withLiterals(shift));
    fresh.open();
    shift.takeRows(fresh);
}

void reopenShiftKeepingRow(Query& shift, Query::KeepRow how) {
    const int rec = shift.recNo();
    reopenShift(shift);
    shift.returnTo(rec, how);
}

}  // namespace journalday

}  // namespace mirn
