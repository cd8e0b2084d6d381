#include "timesheet/timesheet.h"

namespace mirn {

namespace timesheet {

DayColumn dayColumn(DayKind kind, const QPalette& pal) {
    switch (kind) {
    case DayKind::Weekend: return {kRed, kRed, false};
    case DayKind::Workday: return {pal.color(QPalette::WindowText), pal.color(QPalette::WindowText), false};
    case DayKind::Beyond: break;
    }
    return {pal.color(QPalette::Base), kSilver, true};
}

CellStyle dayCellStyle(const DayColumn& column, const QVariant& value, const QPalette& pal,
                       const QFont& font) {
    CellStyle st;
    st.font = font;
    st.foreground = column.cell;
    const int v = toInt(value);
    if (v == 0) {
        if (!column.red()) st.foreground = kSilver;
        if (column.readOnly) st.foreground = pal.color(QPalette::Base);
    } else if (v == 8) {
        st.font.setBold(true);
        if (!column.red()) st.foreground = pal.color(QPalette::WindowText);
    } else if (v > 8) {
        st.font.setBold(true);
        st.background = kMoneyGreen;
    }
    return st;
}

}  // namespace timesheet

}  // namespace mirn
