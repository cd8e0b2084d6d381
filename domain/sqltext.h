#pragma once
// The texts of the named queries the windows share, line by line, exactly as the
// database is given them.
#include <QStringList>

namespace mirn {

namespace sqltext {
// The journal query of one shift (parameters data and ok).
QStringList smena(int shift);
// The priced operations with their lowest norm price.
QStringList oper();
// The month of one shift of the timesheet (parameters mnth, yea, date1, date2).
QStringList hTabel(int shift);
}  // namespace sqltext

}  // namespace mirn
