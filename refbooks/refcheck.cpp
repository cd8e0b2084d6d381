#include "refbooks/refcheck.h"

#include "core/datamodule.h"
#include "core/ui.h"

namespace refcheck {

bool existsBound(const QString& sql, const Params& params, const QString& message) {
    Query& c = dm().Control;
    c.close();
    c.clearParams();
    c.SQL = QStringList{sql};
    for (const auto& p : params) c.setParam(p.first, p.second);
    int cnt = 0;
    try {
        c.open();
        cnt = c.asInt(QStringLiteral("cnt"));
    } catch (...) {
        c.close();
        c.clearParams();
        throw;
    }
    c.close();
    c.clearParams();
    if (cnt > 0) {
        ui::error(message);
        return true;
    }
    return false;
}

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
