#pragma once
// The lock protocol of every writer of shift entries and of the hours timesheet.
//
// Every change of accounts_dep.smena or accounts_dep.h_tabel runs in one transaction
// that first takes PostgreSQL advisory transaction locks, all of them in one statement
// and always in this order:
//   1. month locks, ascending by key: one per (year, month) the change touches;
//      shared for a day posting (an entry saved, changed, deleted, copied, imported),
//      exclusive for a change of whole months (the rebuild, deleting a product's entries);
//   2. worker month locks, ascending by key: one per (worker, year, month) a posting
//      touches, whatever the shift, always exclusive;
//   3. worker locks, ascending by key: one per (worker, shift, year, month) whose
//      timesheet row a posting writes, always exclusive.
// A rebuild therefore waits for the postings under way in its month and they wait for
// it, so none of them is lost or counted twice; two postings of one worker's month
// cannot both create the month's row, and two saves of one worker's month in different
// shifts cannot both pass the limit on the month's amount. Since every transaction takes its locks in the
// same order and before its first write, none can wait for another in a circle.
//
// Duplicate checks of the reference books (product marks, operation type names,
// priced operations) take an exclusive reference lock of their book before the check,
// in the transaction of the insert or update. They never hold a timesheet lock.
#include "domain/db.h"

#include <QDate>
#include <QList>
#include <QString>

namespace mirn {

namespace locks {

// One worker's day in one shift: what the timesheet holds per day column.
struct Day {
    int w_id = 0;
    QDate date;
    int shift = 1;
    bool operator==(const Day&) const = default;
};

// Keys: a fixed tag in the top byte keeps each kind apart from any other advisory lock.
qint64 monthKey(int year, int month);
qint64 workerKey(const Day& d);
qint64 workerMonthKey(const Day& d);

enum class Book { Products = 1, OperationTypes = 2, PricedOperations = 3 };
qint64 bookKey(Book book);

enum class MonthMode { Shared, Exclusive };

// The one statement that takes the locks of these days (month locks in mode, then
// worker month locks, then worker locks), duplicates dropped and each kind in ascending
// order. Worker locks of both kinds are taken only for shared (posting) mode.
QString statement(const QList<Day>& days, MonthMode mode);
// The statement of exclusive month locks for these (year, month) pairs.
QString monthsStatement(QList<QPair<int, int>> months);

// The statements that take the locks of a posting for these days, in their order (one
// unless there are very many), for a caller that sends them with other statements.
QStringList dayStatements(const QList<Day>& days);

// Takes them on the connection (inside its open transaction).
void takeDays(const Db& db, const QList<Day>& days);
void takeMonths(const Db& db, const QList<QPair<int, int>>& months);
void takeBook(const Db& db, Book book);

}  // namespace locks

}  // namespace mirn
