#pragma once
// The rules of the hours timesheet as plain functions: the month's period, which day
// columns are weekends or lie beyond the month, how a day cell is coloured by its
// hours, and the rebuild of a month's rows from the shift entries.
#include "core/db.h"
#include "core/dbgrid.h"

#include <QColor>
#include <QDate>
#include <QPalette>
#include <QStringList>
#include <QVariant>

#include <array>
#include <functional>

namespace timesheet {

inline const QColor kRed(255, 0, 0);
inline const QColor kSilver(192, 192, 192);
inline const QColor kMoneyGreen(192, 220, 192);

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

// How a day column is painted before its values are looked at.
struct DayColumn {
    QColor cell;            // font colour of its cells
    QColor title;           // font colour of its title
    bool readOnly = false;  // a day beyond the month's end
    bool red() const { return cell == kRed; }
};
// Weekends red, other days in the window-text colour; days beyond the month get the
// window background as cell colour (their values vanish) and a silver title.
DayColumn dayColumn(DayKind kind, const QPalette& pal);

// The colouring of one day cell by its hours (an empty cell counts as 0):
// 0 silver (a weekend stays red, a day beyond the month vanishes); 8 bold; above 8
// bold on money green; anything else keeps the column's colour.
CellStyle dayCellStyle(const DayColumn& column, const QVariant& value, const QPalette& pal,
                       const QFont& font);

// The text of the day query of the rebuild.
QString dayQueryText();

// Rebuilds the month's rows of accounts_dep.h_tabel from the shift entries: deletes
// the month, then for each day reads the day's hours per shift and worker through dt
// and puts them into the worker's row of that shift (made on its first day with
// entries); days without entries stay empty. Runs in one transaction, so a failure
// leaves the month as it was; onDay(i) is called once day i has been read.
void rebuildMonth(Query& dt, int month, int year, const std::function<void(int day)>& onDay = {});

}  // namespace timesheet
