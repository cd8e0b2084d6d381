#pragma once
// What a typed number may be before anything is sent to the database. The ranges come
// from the columns the numbers go into and from the sums the month's queries form:
// the timesheet's month query casts a worker's month earnings to numeric(10,2), so an
// entry's amount and a worker's month must stay below 10^8; a day column is a
// smallint; quantities, hours and colours are integers that make no sense negative.
#include "domain/decimal.h"

#include <QString>
#include <optional>

namespace mirn {

namespace limits {

struct Range {
    QString field;  // the caption the user sees
    double min = 0;
    double max = 0;
    bool whole = true;  // integers only
};

inline const Range kQuantity{QStringLiteral("Кол-во"), 0, 1000000, true};
inline const Range kRejects{QStringLiteral("Брак"), 0, 1000000, true};
inline const Range kHours{QStringLiteral("Время"), 0, 24, true};
inline const Range kColour{QStringLiteral("Цвет"), 0, 9999, true};
inline const Range kPrice{QStringLiteral("Цена"), 0, 1000000, false};
inline const Range kNorma{QStringLiteral("Норма"), 0, 1000000000, true};
inline const Range kPrize{QStringLiteral("Премия"), 0, 1000, true};
inline const Range kMass{QStringLiteral("Масса"), 0, 1000000, false};
inline const Range kAuxHours{QStringLiteral("Часы"), 0, 24, true};

// The largest sum of money a worker's month (and so one entry) may come to, exactly.
inline constexpr Decimal kMonthAmountMax = Decimal::fromUnits(99'999'999'990'000);

// Reads a number as the user typed it ("," or "." as the separator); none when the
// text is not one finite number.
std::optional<double> parse(const QString& text);

// The refusal for a value outside the range, naming the field and the range; none
// when the value fits.
std::optional<QString> check(const Range& r, double value);
// The same for typed text, which must also be a number (whole where the range says so).
std::optional<QString> check(const Range& r, const QString& text);

// The refusal for an entry (or a worker's month) whose amount does not fit.
QString amountMessage(Decimal amount);
// That refusal when the amount (of either sign) is past kMonthAmountMax; none otherwise.
std::optional<QString> checkAmount(Decimal amount);

}  // namespace limits

}  // namespace mirn
