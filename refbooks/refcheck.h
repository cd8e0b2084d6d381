#pragma once
// The duplicate check of the reference-book editors with the typed text bound as a
// parameter: the shared CheckExists takes a finished SQL text, which would need the
// text pasted between quotes.
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

namespace refcheck {

using Params = QList<QPair<QString, QVariant>>;

// Runs sql (one row, integer column cnt) through the shared query Control with the
// given parameters; on cnt > 0 shows message under "Ошибка" and returns true.
bool existsBound(const QString& sql, const Params& params, const QString& message);

// A key column as an integer (numeric keys come back as decimal text); 0 when null.
qlonglong key(const QVariant& v);

}  // namespace refcheck
