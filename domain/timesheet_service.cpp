#include "domain/timesheet_service.h"

#include "domain/db.h"

namespace mirn {

namespace timesheet {

Service::Service(Db db) : db_(std::move(db)) {}

void Service::lockDays(const QList<Day>& days) const { locks::takeDays(db_, days); }

void Service::postDay(const Day& d, bool insertMissing) const {
    // The total, the row's update and the missing row's insert are one statement.
    db_.exec(sql::postDay(d, insertMissing));
    posted();
}

void Service::lockDays(StatementBatch& batch, const QList<Day>& days) const {
    for (const QString& s : locks::dayStatements(days)) batch.add(s);
}

int Service::postDay(StatementBatch& batch, const Day& d, bool insertMissing) const {
    return batch.add(sql::postDay(d, insertMissing));
}

void Service::recountDays(const QList<Day>& days) const {
    // All of them in one round trip, in the order given.
    StatementBatch batch(db_);
    for (const Day& d : days) postDay(batch, d, false);
    batch.run();
    batch.check();
    for (qsizetype i = 0; i < days.size(); ++i) posted();
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
