#include "domain/session.h"

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
