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

// The server the test command started (PGHOST, PGPORT, PGUSER, PGPASSWORD).
QString host();

// Drops and re-creates database `name` from the schema template (or the demo one).
void createDatabase(const QString& name, bool demo = false);

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
