#include "domain/locks.h"

#include "domain/db.h"

#include <algorithm>

namespace mirn {

namespace locks {

namespace {
constexpr quint64 kWorkerTag = 0x3A;
constexpr quint64 kMonthTag = 0x3B;
constexpr quint64 kBookTag = 0x3C;
constexpr quint64 kWorkerMonthTag = 0x3D;

quint64 monthIndex(int year, int month) { return quint64(year * 12 + month - 1) & 0xFFFFF; }

void sortUnique(QList<qint64>& keys) {
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
}

QString call(const QString& fn, const QList<qint64>& keys) {
    QStringList calls;
    for (qint64 k : keys) calls << fn + QLatin1Char('(') + QString::number(k) + QLatin1Char(')');
    return calls.join(QStringLiteral(", "));
}

// The server takes at most 1,664 values in one select list: a batch of many months and
// workers takes its locks in several statements, one after the other, in the same order.
constexpr qsizetype kCallsPerStatement = 1000;

QStringList split(const QString& sql) {
    if (sql.isEmpty()) return {};
    const QStringList calls = sql.mid(7).split(QStringLiteral(", "));  // after "select "
    if (calls.size() <= kCallsPerStatement) return {sql};
    QStringList out;
    for (qsizetype i = 0; i < calls.size(); i += kCallsPerStatement)
        out << QStringLiteral("select ") + calls.mid(i, kCallsPerStatement).join(QStringLiteral(", "));
    return out;
}

void run(const Db& db, const QString& sql) {
    for (const QString& s : split(sql)) db.exec(s);
}
}  // namespace

qint64 monthKey(int year, int month) { return qint64((kMonthTag << 56) | monthIndex(year, month)); }

qint64 workerKey(const Day& d) {
    return qint64((kWorkerTag << 56) | (quint64(quint32(d.w_id)) << 24) | (quint64(d.shift & 0xF) << 20) |
                  monthIndex(d.date.year(), d.date.month()));
}

qint64 workerMonthKey(const Day& d) {
    return qint64((kWorkerMonthTag << 56) | (quint64(quint32(d.w_id)) << 24) | monthIndex(d.date.year(), d.date.month()));
}

qint64 bookKey(Book book) { return qint64((kBookTag << 56) | quint64(book)); }

QString statement(const QList<Day>& days, MonthMode mode) {
    QList<qint64> months, workerMonths, workers;
    for (const Day& d : days) {
        if (!d.date.isValid()) continue;
        months << monthKey(d.date.year(), d.date.month());
        if (mode == MonthMode::Shared) {
            workerMonths << workerMonthKey(d);
            workers << workerKey(d);
        }
    }
    sortUnique(months);
    sortUnique(workerMonths);
    sortUnique(workers);
    if (months.isEmpty()) return {};
    // The select list is evaluated left to right: months first, then workers' months,
    // then workers' shifts.
    QString sql = QStringLiteral("select ") +
                  call(mode == MonthMode::Shared ? QStringLiteral("pg_advisory_xact_lock_shared")
                                                 : QStringLiteral("pg_advisory_xact_lock"),
                       months);
    if (!workerMonths.isEmpty())
        sql += QStringLiteral(", ") + call(QStringLiteral("pg_advisory_xact_lock"), workerMonths);
    if (!workers.isEmpty()) sql += QStringLiteral(", ") + call(QStringLiteral("pg_advisory_xact_lock"), workers);
    return sql;
}

QString monthsStatement(QList<QPair<int, int>> months) {
    QList<qint64> keys;
    for (const auto& m : months) keys << monthKey(m.first, m.second);
    sortUnique(keys);
    if (keys.isEmpty()) return {};
    return QStringLiteral("select ") + call(QStringLiteral("pg_advisory_xact_lock"), keys);
}

QStringList dayStatements(const QList<Day>& days) { return split(statement(days, MonthMode::Shared)); }

void takeDays(const Db& db, const QList<Day>& days) { run(db, statement(days, MonthMode::Shared)); }

void takeMonths(const Db& db, const QList<QPair<int, int>>& months) { run(db, monthsStatement(months)); }

void takeBook(const Db& db, Book book) {
    run(db, QStringLiteral("select pg_advisory_xact_lock(%1)").arg(bookKey(book)));
}

}  // namespace locks

}  // namespace mirn
