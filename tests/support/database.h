#pragma once
// The database fixture of the tests: a database of the test's own, made from a
// template that the test command prepared (schema only, or schema with the demo
// data), and statements on the shared connection. The domain layer alone: no windows.
#include "domain/db.h"

#include <QList>
#include <QString>
#include <QVariant>

namespace mirn {

namespace testdb {

// The database name `base` with MIRN_TEST_DB_SUFFIX appended: a test program run as
// several test entries side by side (see tests/support/except.sh) gives each its own.
QString dbName(const QString& base);

// The server the test command started (PGHOST, PGPORT, PGUSER, PGPASSWORD).
QString host();

// Gives database `name` the template's content (the schema template, or the demo one).
// The first call drops and re-creates it from the template. A later call for the same
// schema-template database empties its tables and rewinds its sequences instead, which
// is much cheaper than a copy; when the database's structure differs from what the
// template gave (a test created a trigger, installed the extension...), it is copied
// afresh as on the first call. Other sessions on the database are ended either way.
void createDatabase(const QString& name, bool demo = false);

// Always drops and re-creates database `name` from the template.
void copyDatabase(const QString& name, bool demo = false);

// Creates the database and opens the shared connection to it.
void openFresh(const QString& name, bool demo = false);

// Statements on the shared connection; a failure throws DbError.
void exec(const QString& sql);
QVariant scalar(const QString& sql);
int scalarInt(const QString& sql);
QList<QVariantList> rows(const QString& sql);

// Advisory locks in this test's own database (others run side by side), or only the
// ones a session is waiting for.
int advisoryLocks(bool waitingOnly = false);

}  // namespace testdb

}  // namespace mirn
