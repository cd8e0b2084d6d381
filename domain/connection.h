#pragma once
// Where the client connects. Each value comes from the first of these that gives it:
// the command line (database, server), the PG* variables, the user's settings file,
// the system settings file(s), the built-in value. With no file and no variable the
// client connects exactly as it always did.
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace mirn {

namespace connection {

inline const QString kDefaultDatabase = QStringLiteral("mirn_erp");
inline const QString kDefaultServer = QStringLiteral("localhost");
inline const QString kUser = QStringLiteral("sys");
inline const QString kPassword = QStringLiteral("wubalem");
inline const QString kSslMode = QStringLiteral("allow");
inline constexpr int kPort = 5432;

// The ODBC connection string, built exactly as the enterprise's clients build it.
QString connectionString(const QString& arg1, const QString& arg2);

struct Params {
    QString host;
    int port = kPort;
    QString database;
    QString user;
    QString password;
    QString sslmode = kSslMode;
    QString sslrootcert;  // empty: libpq's default
    QString options;      // libpq options as the QPSQL driver takes them
    // Where each value came from, for the support log: "server=command line" …
    QStringList origins;
    // [signin] mode=accounts: every person signs in with a login of their own and
    // nothing compiled in is used; user and password are the given ones or empty.
    bool accounts = false;
    // The shared connection then waits for the sign-in window, which opens it with the
    // typed login and password (open() only remembers these parameters).
    bool atSignIn = false;

    // host:port/database as user, sslmode — never the password.
    QString target() const;
};

// The command line's values: the two positional arguments, database and server.
// The database is taken only when a server is given (a lone first argument is ignored).
struct CommandLine {
    QString database;
    QString server;
};

// The settings files of an application named `app` (XDG base directories):
// $XDG_CONFIG_HOME/app/app.conf (default ~/.config) and, first one winning,
// each of $XDG_CONFIG_DIRS/app/app.conf (default /etc/xdg).
QString userSettingsFile(const QProcessEnvironment& env, const QString& app = QStringLiteral("mirn"));
QStringList systemSettingsFiles(const QProcessEnvironment& env,
                                const QString& app = QStringLiteral("mirn"));

// [signin] mode of the settings files (the user's first, then the system's): true for
// "accounts"; anything else, or nothing, is the code sign-in.
bool accountsMode(const QString& userFile, const QStringList& systemFiles);

// Resolves every value by the order above. The files are INI files with a
// [connection] group: server, port, database, user, password, passfile, sslmode,
// sslrootcert. A password file holds PGPASSFILE lines (host:port:database:user:password,
// "*" matching anything); an explicit password of the same source wins over it.
// Missing or unreadable files count as empty.
Params resolve(const CommandLine& cmd, const QProcessEnvironment& env, const QString& userFile,
               const QStringList& systemFiles);

// The same without settings files (command line, PG* variables, built-in values).
Params params(const QString& arg1, const QString& arg2,
              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

// The password of the first matching line of a PGPASSFILE-style file; null when none.
QString passwordFromFile(const QString& path, const QString& host, int port, const QString& database,
                         const QString& user);

// Opens the shared connection (or another one by name, for a second client in a test
// or a worker thread); false (and nothing open) when it cannot be opened. The shared
// connection's parameters are kept for reconnecting.
bool open(const Params& p, QString* error = nullptr, const QString& name = {});
// Session settings (set_config name, value) given to the connection of that name (the
// shared one when empty) now and again each time it is opened, a reconnect included:
// what the history's triggers read of the client must not go with a lost connection.
void setSessionFields(const QList<QPair<QString, QString>>& fields, const QString& name = {});

// The parameters of the last successful open of the shared connection.
const Params& current();
// True while the shared connection waits for the sign-in (accounts mode).
bool pending();
// Closes and removes the shared connection (or the one named).
void closeShared(const QString& name = {});

}  // namespace connection

}  // namespace mirn
