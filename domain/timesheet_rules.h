#pragma once
// The calendar rules of the hours timesheet: the month's period, which day columns are
// weekends or lie beyond the month.
#include <QDate>
#include <QStringList>

#include <array>

namespace mirn {

namespace timesheet {

// The names of the months as the month list shows them, January first.
QStringList monthNames();
// The years of the year list: 2007 up to the year after the current one.
QStringList yearItems(int currentYear);

// The days a month's queries read: from the first day of the month (included) to
// the first day of the next month (excluded). Invalid dates when the year is not
// a real one (no year chosen).
struct Period {
    QDate date1;
    QDate date2;
};
Period monthPeriod(int month, int year);

// Number of days of the month; 0 when month or year is not a real one.
int daysInMonth(int month, int year);
// Day of the week of the month's first day, 1 = Sunday … 7 = Saturday; 0 if none.
int firstWeekday(int month, int year);
// With w the first day's weekday as above: (day + w) mod 7 is 1 on Saturdays, 2 on Sundays.
bool isWeekend(int day, int w);

enum class DayKind { Workday, Weekend, Beyond };
// Kinds of the 31 day columns of a month (index 0 is day 1).
std::array<DayKind, 31> dayKinds(int month, int year);

}  // namespace timesheet

}  // namespace mirn
