#pragma once
// Today's date as the stores read it, so that a test can say which day it is.
#include <QDate>

namespace mirn::clock {

// The system's date, or the one a test set.
QDate today();

namespace testing {
// Makes today() answer `day`; an invalid date gives the system's date back.
void setToday(const QDate& day);
}  // namespace testing

}  // namespace mirn::clock
