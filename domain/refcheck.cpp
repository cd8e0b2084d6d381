#include "domain/refcheck.h"

namespace mirn {

namespace refcheck {

qlonglong key(const QVariant& v) {
    if (v.isNull()) return 0;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        bool ok = false;
        const qlonglong n = s.toLongLong(&ok);
        return ok ? n : qlonglong(s.toDouble());
    }
    return v.toLongLong();
}

}  // namespace refcheck

}  // namespace mirn
