#include "domain/clock.h"

#include <atomic>

namespace mirn::clock {

namespace {
// A Julian day; 0 for none. Stores read it from several threads at once.
std::atomic<qint64> g_day{0};
}  // namespace

QDate today() {
    const qint64 day = g_day.load();
    return day ? QDate::fromJulianDay(day) : QDate::currentDate();
}

namespace testing {
void setToday(const QDate& day) { g_day.store(day.isValid() ? day.toJulianDay() : 0); }
}  // namespace testing

}  // namespace mirn::clock
