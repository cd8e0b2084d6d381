#include "domain/schemaversion.h"

#include "domain/db.h"

#include <QStringList>

namespace mirn {

namespace schemaversion {

const std::vector<Expected>& expected() {
    static const std::vector<Expected> list = {
        {QStringLiteral("extension"), 2, QStringLiteral("db/extension.sql")},
        {QStringLiteral("roles"), 1, QStringLiteral("db/roles.sql")},
    };
    return list;
}

std::vector<Mismatch> check(const QString& connection) {
    std::vector<Mismatch> out;
    Query present(connection);
    present.SQL = {QStringLiteral("select to_regclass('accounts_dep.schema_version') is not null as present")};
    present.open();
    if (!present.field(QStringLiteral("present")).toBool()) return out;
    Query rows(connection);
    rows.SQL = {QStringLiteral("select component, version from accounts_dep.schema_version order by component")};
    rows.open();
    for (rows.first(); !rows.eof(); rows.next()) {
        const QString component = rows.asString(QStringLiteral("component"));
        const int installed = rows.asInt(QStringLiteral("version"));
        for (const Expected& e : expected())
            if (e.component == component && e.version != installed)
                out.push_back({component, installed, e.version, e.script});
    }
    return out;
}

QString message(const std::vector<Mismatch>& mismatches) {
    QStringList lines;
    for (const Mismatch& m : mismatches) {
        if (m.installed < m.expected)
            lines << QStringLiteral("Компонент базы данных «%1» версии %2, программа ждёт версию %3: "
                                    "выполните шаги обновления из db/upgrade (см. db/README.md).")
                         .arg(m.component)
                         .arg(m.installed)
                         .arg(m.expected);
        else
            lines << QStringLiteral("Компонент базы данных «%1» версии %2 новее программы (версия %3): "
                                    "обновите программу.")
                         .arg(m.component)
                         .arg(m.installed)
                         .arg(m.expected);
    }
    return lines.join(u'\n');
}

}  // namespace schemaversion

}  // namespace mirn
