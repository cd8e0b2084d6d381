#include "domain/timesheet_service.h"

#include "domain/db.h"

namespace mirn {

namespace timesheet {


Service::Service(Db db) : db_(std::move(db)) {}

void Service::lockDays(const QList<Day>& days) const { locks::takeDays(db_, days); }

void Service::postDay(const Day& d, bool insertMissing) const {
    // A day without entries reads no row: 0 hours.
    const int cnt = insertMissing ? db_.scalarInt(sql::timesheetCount(d)) : 1;
    const int tim = db_.scalarInt(sql::daySum(d));
    if (afterSum) afterSum();
    db_.exec(cnt == 0 ? sql::timesheetInsert(d, tim) : sql::timesheetUpdate(d, tim));
}

void Service::recountDays(const QList<Day>& days) const {
    for (const Day& d : days) postDay(d, false);
}

void Service::rebuildMonth(int month, int year, const std::function<void(int day)>& onDay) const {
    const QDate first(year, month, 1);
    if (year <= 0 || !first.isValid()) throw DbError(QStringLiteral("Нет такого месяца: %1.%2").arg(month).arg(year));
    Transaction tx(db_);
    locks::takeMonths(db_, {{year, month}});
    db_.exec(sql::deleteMonth(month, year));
    db_.exec(sql::insertMonth(month, year));
    if (onDay)
        for (int i = 1; i <= first.daysInMonth(); ++i) onDay(i);
    tx.commit();
}

}  // namespace timesheet

}  // namespace mirn
