#pragma once
// The signed-in role, kept for the windows that restrict by it, and ending the application.
#include <QString>

namespace mirn {

enum class Role { None, Viewer, Foremen, FinishedGoods, Administrator };

// The role a typed code selects (the code compared exactly after trimming).
Role roleForCode(const QString& typed);

inline const QString kForemenCode = QStringLiteral("brolkin");

// The role of the signed-in personal account (db/roles.sql): its group's. Role::None
// when the login is in none of the program's groups or roles.sql is not installed.
Role roleOfLogin(const QString& connection = {});

// [signin] mode=accounts: the commands a role may not run in the batch.
bool mayRebuild(Role role);
bool mayAddEntries(Role role);

struct Session {
    Role role = Role::None;
};
Session& session();

namespace app {
// Ends the application: every running event loop returns, with this exit code.
void terminate(int code = 0);
bool terminated();
int exitCode();
namespace testing {
void resetTerminated();
}
}  // namespace app

}  // namespace mirn
