#include "domain/session.h"

#include "domain/db.h"

#include <QCoreApplication>

namespace mirn {

Role roleForCode(const QString& typed) {
    const QString code = typed.trimmed();
    if (code == QLatin1String("pivrat")) return Role::Viewer;
    if (code == kForemenCode) return Role::Foremen;
    if (code == QLatin1String("tuvem")) return Role::FinishedGoods;
    if (code == QLatin1String("63527140") || code == QLatin1String("9471")) return Role::Administrator;
    return Role::None;
}

Role roleOfLogin(const QString& connection) {
    Query q(connection);
    // The strongest group first: an administrator who also reads is an administrator.
    q.SQL = {QStringLiteral("select case when pg_has_role(session_user, 'mirn_admin', 'MEMBER') then 4 "
                            "when pg_has_role(session_user, 'mirn_goods', 'MEMBER') then 3 "
                            "when pg_has_role(session_user, 'mirn_foremen', 'MEMBER') then 2 "
                            "when pg_has_role(session_user, 'mirn_viewer', 'MEMBER') then 1 else 0 end as role "
                            "where to_regrole('mirn_admin') is not null")};
    q.open();
    return q.isEmpty() ? Role::None : Role(q.asInt(QStringLiteral("role")));
}

// As the client's windows allow: the timesheet's rebuild is the administrator's, and
// neither the viewer nor the finished goods add entries.
bool mayRebuild(Role role) { return role == Role::Administrator; }
bool mayAddEntries(Role role) { return role == Role::Foremen || role == Role::Administrator; }

Session& session() {
    static Session s;
    return s;
}

namespace app {
namespace {
bool g_terminated = false;
int g_code = 0;
}  // namespace

void terminate(int code) {
    g_terminated = true;
    g_code = code;
    QCoreApplication::exit(code);
}
bool terminated() { return g_terminated; }
int exitCode() { return g_code; }
namespace testing {
void resetTerminated() {
    g_terminated = false;
    g_code = 0;
}
}  // namespace testing
}  // namespace app

}  // namespace mirn
