#pragma once
// Where the client connects: from the command line (database, server) or the
// built-in default; the standard PG* variables override the built-in values.
#include <QProcessEnvironment>
#include <QString>

namespace connection {

inline const QString kDefaultDatabase = QStringLiteral("mirn_erp");
inline const QString kDefaultServer = QStringLiteral("localhost");
inline const QString kUser = QStringLiteral("sys");
inline const QString kPassword = QStringLiteral("wubalem");
inline constexpr int kPort = 5432;

// The ODBC connection string, built exactly as the enterprise's clients build it.
QString connectionString(const QString& arg1, const QString& arg2);

struct Params {
    QString host;
    int port = kPort;
    QString database;
    QString user;
    QString password;
    QString options;  // libpq options, "sslmode=allow"
};

// The same values for the QPSQL driver. PGHOST replaces the built-in server only;
// PGPORT, PGUSER and PGPASSWORD replace the built-in port, user and password.
Params params(const QString& arg1, const QString& arg2,
              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

// Opens the shared connection (or another one by name, for a second client in a test
// or a worker thread); false (and nothing open) when it cannot be opened.
bool open(const Params& p, QString* error = nullptr, const QString& name = {});
// Closes and removes the shared connection (or the one named).
void closeShared(const QString& name = {});

}  // namespace connection
