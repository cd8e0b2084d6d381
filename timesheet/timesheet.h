#pragma once
// How the hours timesheet paints its day columns and cells.
#include "domain/timesheet_rules.h"
#include "gui/dbgrid.h"

#include <QColor>
#include <QDate>
#include <QPalette>
#include <QStringList>
#include <QVariant>

#include <array>
#include <functional>

namespace mirn {

namespace timesheet {

inline const QColor kRed(255, 0, 0);
inline const QColor kSilver(192, 192, 192);
inline const QColor kMoneyGreen(192, 220, 192);

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

}  // namespace timesheet

}  // namespace mirn
