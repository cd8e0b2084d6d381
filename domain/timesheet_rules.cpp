#include "domain/timesheet_rules.h"

namespace mirn {

namespace timesheet {

QStringList monthNames() {
    return {QStringLiteral("Январь"), QStringLiteral("Февраль"), QStringLiteral("Март"),
            QStringLiteral("Апрель"), QStringLiteral("Май"),     QStringLiteral("Июнь"),
            QStringLiteral("Июль"),   QStringLiteral("Август"),  QStringLiteral("Сентябрь"),
            QStringLiteral("Октябрь"), QStringLiteral("Ноябрь"), QStringLiteral("Декабрь")};
}

QStringList yearItems(int currentYear) {
    QStringList years;
    for (int y = 2007; y <= currentYear + 1; ++y) years << QString::number(y);
    return years;
}

Period monthPeriod(int month, int year) {
    const QDate first(year, month, 1);
    if (year <= 0 || !first.isValid()) return {};
    return {first, first.addMonths(1)};
}

int daysInMonth(int month, int year) {
    const QDate first(year, month, 1);
    return year > 0 && first.isValid() ? first.daysInMonth() : 0;
}

int firstWeekday(int month, int year) {
    const QDate first(year, month, 1);
    if (year <= 0 || !first.isValid()) return 0;
    return first.dayOfWeek() % 7 + 1;  // Qt counts Monday 1 … Sunday 7
}

bool isWeekend(int day, int w) {
    const int r = (day + w) % 7;
    return r == 1 || r == 2;
}

std::array<DayKind, 31> dayKinds(int month, int year) {
    std::array<DayKind, 31> kinds;
    kinds.fill(DayKind::Beyond);
    const int n = daysInMonth(month, year);
    const int w = firstWeekday(month, year);
    for (int d = 1; d <= n; ++d) kinds[size_t(d - 1)] = isWeekend(d, w) ? DayKind::Weekend : DayKind::Workday;
    return kinds;
}

}  // namespace timesheet

}  // namespace mirn
