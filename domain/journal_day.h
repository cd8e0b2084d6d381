#pragma once
// The journal's day as one read: the four shift queries of a date and whether the date's
// month is closed come back from one statement, one round trip whatever the distance to
// the server, instead of one per query and two for the month.
#include "domain/db.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <array>

namespace mirn {

namespace journalday {

// The month of the date shown: closed only with the closed months extension installed,
// and then who closed it and when, as the banner names it ("Закрыл: …").
struct MonthState {
    bool closed = false;
    QString closedBy;
    bool operator==(const MonthState&) const = default;
};

// The journal queries of shifts 1, 2, 3 and 4, in this order, each with its own text and
// parameters (data, ok).
using Shifts = std::array<Query*, 4>;

// Sets the date on the four queries and reads them and the date's month in one round
// trip. Each query is then open on the rows, in the order and with the columns and
// value types its own text gives, as if it had been opened itself; its filter and sort
// stay. On an error the four stay closed.
MonthState openDay(const Shifts& shifts, const QDate& date);
// The same on the date the queries hold now.
MonthState reopenDay(const Shifts& shifts);

// The columns of a shift query, in its own order: shift 1 reads the key first, the
// others after the premium.
const QStringList& shiftColumns(int shift);

// The one statement of openDay: every row of the four shifts tagged by its shift and
// its place there, then the month's lock row when withMonth (needs the extension).
QString dayStatement(const Shifts& shifts, const QDate& date, bool withMonth);

}  // namespace journalday

}  // namespace mirn
