#pragma once
// Keys of the reference books as the database returns them.
#include <QVariant>

namespace mirn {

namespace refcheck {

// A key column as an integer (numeric keys come back as decimal text); 0 when null.
qlonglong key(const QVariant& v);

}  // namespace refcheck

}  // namespace mirn
