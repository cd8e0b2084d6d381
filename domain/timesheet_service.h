#pragma once
// The one writer of accounts_dep.h_tabel. Every posting of a day, recount of days and
// rebuild of a month goes through here, under the lock protocol of domain/locks.h.
#include "domain/locks.h"

#include <QList>
#include <QPair>
#include <QString>
#include <functional>

namespace mirn {

namespace timesheet {

using Day = locks::Day;

// The statement texts of a day posting, exactly as the database is given them.
namespace sql {
QString timesheetCount(const Day& d);
QString daySum(const Day& d);
QString timesheetInsert(const Day& d, int tim);
QString timesheetUpdate(const Day& d, int tim);
QString deleteMonth(int month, int year);
// The month's rows computed from the shift entries in one statement: one row per
// worker and shift with entries, the day's total hours in its column, NULL on days
// without entries.
QString insertMonth(int month, int year);
}  // namespace sql

class Service {
public:
    explicit Service(QString connection);

    // Inside the caller's open transaction: the locks of a posting for these days.
    void lockDays(const QList<Day>& days) const;
    // Inside the caller's open transaction, with lockDays taken: sets the day's column
    // to the day's total hours; a missing month row is created when insertMissing,
    // else left missing.
    void postDay(const Day& d, bool insertMissing) const;
    // postDay(d, false) for each day, in the order given.
    void recountDays(const QList<Day>& days) const;

    // Rebuilds the month's rows from the shift entries in a transaction of its own
    // (exclusive month lock, delete, one insert); onDay(i) is called for each day of
    // the month before the commit, so a throw from it leaves the month as it was.
    void rebuildMonth(int month, int year, const std::function<void(int day)>& onDay = {}) const;

    // Runs between reading a day's total and storing it (tests hold a posting there to
    // let another client in).
    std::function<void()> afterSum;

private:
    int scalar(const QString& sql) const;
    QString connection_;
};

}  // namespace timesheet

}  // namespace mirn
