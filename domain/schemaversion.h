#pragma once
// The versions of the opt-in database scripts (db/extension.sql, db/roles.sql) this build
// was written for, and the check at sign-in against what the database has installed.
#include <QString>

#include <vector>

namespace mirn {

namespace schemaversion {

struct Expected {
    QString component;  // as the scripts write it into accounts_dep.schema_version
    int version;
    QString script;     // what installs it
};
// What this build expects where a component is installed.
const std::vector<Expected>& expected();

struct Mismatch {
    QString component;
    int installed;
    int expected;
    QString script;
};

// The installed components whose version differs from this build's. Nothing when the
// database has no version table (no opt-in script installed, or installed before the
// scripts carried versions).
std::vector<Mismatch> check(const QString& connection = {});

// What the administrator is told, in Russian: for each mismatch, which side is older and
// what to run.
QString message(const std::vector<Mismatch>& mismatches);

}  // namespace schemaversion

}  // namespace mirn
