#include "domain/timesheet_service.h"

#include "domain/db.h"

namespace mirn {

namespace timesheet {

namespace sql {

namespace {
QString n(qint64 v) { return QString::number(v); }
QString dateText(const QDate& d) { return d.toString(QStringLiteral("dd.MM.yyyy")); }
QString monthRow(const Day& d) {
    return QStringLiteral(" where w_id=") + n(d.w_id) + QStringLiteral(" and smena=") + n(d.shift) +
           QStringLiteral(" and month=") + n(d.date.month()) + QStringLiteral(" and year=") + n(d.date.year());
}
}  // namespace

QString timesheetCount(const Day& d) {
    return QStringLiteral("select count(w_id) as cnt from accounts_dep.h_tabel") + monthRow(d);
}

QString daySum(const Day& d) {
    return QStringLiteral("select sum(time) as tim from accounts_dep.smena where w_id=") + n(d.w_id) +
           QStringLiteral(" and smena=") + n(d.shift) + QStringLiteral(" and data=to_date('") + dateText(d.date) +
           QStringLiteral("', 'DD.MM.YYYY') group by w_id, smena, data");
}

QString timesheetInsert(const Day& d, int tim) {
    return QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d") + n(d.date.day()) +
           QStringLiteral(") ") + QStringLiteral("values(") + n(d.shift) + QStringLiteral(", ") + n(d.w_id) +
           QStringLiteral(", ") + n(d.date.month()) + QStringLiteral(", ") + n(d.date.year()) +
           QStringLiteral(", ") + n(tim) + QStringLiteral(")");
}

QString timesheetUpdate(const Day& d, int tim) {
    return QStringLiteral("update accounts_dep.h_tabel set d") + n(d.date.day()) + QStringLiteral("=") + n(tim) +
           monthRow(d);
}

QString deleteMonth(int month, int year) {
    return QStringLiteral("delete from accounts_dep.h_tabel where month=") + n(month) + QStringLiteral(" and year=") +
           n(year);
}

QString insertMonth(int month, int year) {
    const QDate first(year, month, 1);
    QString sql = QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year");
    for (int d = 1; d <= 31; ++d) sql += QStringLiteral(", d%1").arg(d);
    sql += QStringLiteral(") select smena, w_id, ") + n(month) + QStringLiteral(", ") + n(year);
    for (int d = 1; d <= 31; ++d)
        sql += QStringLiteral(", sum(time) filter (where extract(day from data)=%1)").arg(d);
    // Entries without a worker or shift belong to no row of the timesheet.
    sql += QStringLiteral(" from accounts_dep.smena where data>=to_date('") + dateText(first) +
           QStringLiteral("', 'DD.MM.YYYY') and data<to_date('") + dateText(first.addMonths(1)) +
           QStringLiteral("', 'DD.MM.YYYY') and w_id is not null and smena is not null group by smena, w_id");
    return sql;
}

}  // namespace sql

Service::Service(QString connection) : connection_(std::move(connection)) {}

int Service::scalar(const QString& text) const {
    Query q(connection_);
    q.setText(text);
    q.open();
    return q.isEmpty() ? 0 : toInt(q.value(0, 0));  // no row: 0
}

void Service::lockDays(const QList<Day>& days) const { locks::takeDays(connection_, days); }

void Service::postDay(const Day& d, bool insertMissing) const {
    const int cnt = insertMissing ? scalar(sql::timesheetCount(d)) : 1;
    const int tim = scalar(sql::daySum(d));
    if (afterSum) afterSum();
    Command c(connection_);
    c.setText(cnt == 0 ? sql::timesheetInsert(d, tim) : sql::timesheetUpdate(d, tim));
    c.exec();
}

void Service::recountDays(const QList<Day>& days) const {
    for (const Day& d : days) postDay(d, false);
}

void Service::rebuildMonth(int month, int year, const std::function<void(int day)>& onDay) const {
    const QDate first(year, month, 1);
    if (year <= 0 || !first.isValid()) throw DbError(QStringLiteral("Нет такого месяца: %1.%2").arg(month).arg(year));
    Transaction tx(connection_);
    locks::takeMonths(connection_, {{year, month}});
    Command c(connection_);
    c.setText(sql::deleteMonth(month, year));
    c.exec();
    c.setText(sql::insertMonth(month, year));
    c.exec();
    if (onDay)
        for (int i = 1; i <= first.daysInMonth(); ++i) onDay(i);
    tx.commit();
}

}  // namespace timesheet

}  // namespace mirn
