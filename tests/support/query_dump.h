#pragma once
// Everything a grid sees of a query, as lines to compare: the field names, then per
// row each value's type and text.
#include "domain/db.h"

#include <QStringList>

namespace mirn {

namespace testdb {

inline QStringList dump(const Query& q) {
    QStringList out{q.fieldNames().join(QLatin1Char('|'))};
    for (int r = 0; r < q.recordCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < q.fieldNames().size(); ++c) {
            const QVariant v = q.value(r, c);
            cells << QStringLiteral("%1:%2").arg(QString::fromLatin1(v.metaType().name()),
                                                 v.isNull() ? QStringLiteral("<null>") : v.toString());
        }
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

}  // namespace testdb

}  // namespace mirn
