#include "domain/connection.h"

#include "domain/db.h"

#include <QDir>
#include <QHash>
#include <QFile>
#include <QLoggingCategory>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace mirn {

Q_LOGGING_CATEGORY(lcConnection, "mirn.connection")

namespace connection {
namespace {

Params g_current;
QHash<QString, QList<QPair<QString, QString>>> g_sessionFields;  // connection name -> set_config pairs

// Session-wide (false): every later transaction of the connection carries them.
bool applySessionFields(QSqlDatabase& db, const QString& connectionName, QString* why) {
    const auto fields = g_sessionFields.value(connectionName);
    if (fields.isEmpty()) return true;
    QStringList calls;
    for (int i = 0; i < fields.size(); ++i) calls << QStringLiteral("set_config(?, ?, false)");
    QSqlQuery q(db);
    q.prepare(QStringLiteral("select ") + calls.join(QStringLiteral(", ")));
    for (const auto& f : fields) {
        q.addBindValue(f.first);
        q.addBindValue(f.second);
    }
    if (q.exec()) return true;
    *why = q.lastError().text();
    return false;
}
bool g_pending = false;

// One source of values: a name for the log and the values it gives (empty: not given).
struct Layer {
    QString origin;
    QString server, port, database, user, password, passfile, sslmode, sslrootcert;
};

QString settingText(const QSettings& s, const QString& key) {
    // QSettings reads "a,b" as a list: a password may well hold a comma.
    const QVariant v = s.value(key);
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

Layer fileLayer(const QString& path, const QString& origin) {
    Layer l;
    l.origin = origin;
    if (path.isEmpty() || !QFile::exists(path)) return l;
    QSettings s(path, QSettings::IniFormat);
    s.beginGroup(QStringLiteral("connection"));
    l.server = settingText(s, QStringLiteral("server"));
    l.port = settingText(s, QStringLiteral("port"));
    l.database = settingText(s, QStringLiteral("database"));
    l.user = settingText(s, QStringLiteral("user"));
    l.password = settingText(s, QStringLiteral("password"));
    l.passfile = settingText(s, QStringLiteral("passfile"));
    l.sslmode = settingText(s, QStringLiteral("sslmode"));
    l.sslrootcert = settingText(s, QStringLiteral("sslrootcert"));
    return l;
}

Layer envLayer(const QProcessEnvironment& env) {
    Layer l;
    l.origin = QStringLiteral("PG*");
    l.server = env.value(QStringLiteral("PGHOST"));
    l.port = env.value(QStringLiteral("PGPORT"));
    l.database = env.value(QStringLiteral("PGDATABASE"));
    l.user = env.value(QStringLiteral("PGUSER"));
    l.password = env.value(QStringLiteral("PGPASSWORD"));
    l.passfile = env.value(QStringLiteral("PGPASSFILE"));
    l.sslmode = env.value(QStringLiteral("PGSSLMODE"));
    l.sslrootcert = env.value(QStringLiteral("PGSSLROOTCERT"));
    return l;
}

// Splits a password file line at unescaped colons; "\:" and "\\" stand for themselves.
QStringList passLine(const QString& line) {
    QStringList out{QString()};
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('\\') && i + 1 < line.size()) {
            out.last() += line[++i];
        } else if (c == QLatin1Char(':') && out.size() < 5) {
            out << QString();
        } else {
            out.last() += c;
        }
    }
    return out;
}

QString quoted(const QString& v) {
    if (!v.contains(QLatin1Char(' ')) && !v.contains(QLatin1Char('\'')) && !v.contains(QLatin1Char('\\')))
        return v;
    QString e = v;
    e.replace(QLatin1String("\\"), QLatin1String("\\\\")).replace(QLatin1String("'"), QLatin1String("\\'"));
    return QLatin1Char('\'') + e + QLatin1Char('\'');
}

}  // namespace

QString connectionString(const QString& arg1, const QString& arg2) {
    const bool builtIn = arg2.isEmpty();
    return QStringLiteral("DRIVER={PostgreSQL UNICODE};DATABASE=") +
           (builtIn ? kDefaultDatabase : arg1) + QStringLiteral(";SERVER=") +
           (builtIn ? kDefaultServer : arg2) + QStringLiteral(";PORT=5432;UID=sys;PWD=") + kPassword +
           QStringLiteral(";SSLmode=allow;") +
           QStringLiteral("ReadOnly=0;Protocol=7.4;FakeOidIndex=0;ShowOidColumn=0;RowVersioning=0;ShowSystemTables=0;Fetch=100;UnknownSizes=0;MaxVarcharSize=255;MaxLongVarcharSize=8190;") +
           QStringLiteral("Debug=0;CommLog=0;UseDeclareFetch=0;TextAsLongVarchar=1;UnknownsAsLongVarchar=0;BoolsAsChar=1;Parse=0;ExtraSysTablePrefixes=;LFConversion=1;UpdatableCursors=1;") +
           QStringLiteral("TrueIsMinus1=0;BI=0;ByteaAsLongVarBinary=1;UseServerSidePrepare=1;LowerCaseIdentifier=0;D6=-101;OptionalErrors=0;XaOpt=1");
}

QString Params::target() const {
    return QStringLiteral("%1:%2/%3 as %4, sslmode %5").arg(host).arg(port).arg(database, user, sslmode);
}

QString userSettingsFile(const QProcessEnvironment& env, const QString& app) {
    QString base = env.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = env.value(QStringLiteral("HOME"), QDir::homePath()) + QStringLiteral("/.config");
    return base + QLatin1Char('/') + app + QLatin1Char('/') + app + QStringLiteral(".conf");
}

QStringList systemSettingsFiles(const QProcessEnvironment& env, const QString& app) {
    QStringList dirs = env.value(QStringLiteral("XDG_CONFIG_DIRS")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (dirs.isEmpty()) dirs << QStringLiteral("/etc/xdg");
    QStringList files;
    for (const QString& d : dirs)
        if (QDir::isAbsolutePath(d)) files << d + QLatin1Char('/') + app + QLatin1Char('/') + app + QStringLiteral(".conf");
    return files;
}

QString passwordFromFile(const QString& path, const QString& host, int port, const QString& database,
                         const QString& user) {
    QFile f(path);
    if (path.isEmpty() || !f.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QTextStream in(&f);
    const QString want[4] = {host, QString::number(port), database, user};
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.trimmed().isEmpty() || line.trimmed().startsWith(QLatin1Char('#'))) continue;
        const QStringList fields = passLine(line);
        if (fields.size() != 5) continue;
        bool match = true;
        for (int i = 0; i < 4 && match; ++i)
            match = fields[i] == QLatin1String("*") || fields[i] == want[i];
        if (match) return fields[4].isNull() ? QStringLiteral("") : fields[4];
    }
    return {};
}

bool accountsMode(const QString& userFile, const QStringList& systemFiles) {
    for (const QString& f : QStringList{userFile} + systemFiles) {
        if (f.isEmpty() || !QFile::exists(f)) continue;
        QSettings s(f, QSettings::IniFormat);
        const QString mode = s.value(QStringLiteral("signin/mode")).toString().trimmed().toLower();
        if (mode.isEmpty()) continue;
        return mode == QLatin1String("accounts");
    }
    return false;
}

Params resolve(const CommandLine& cmd, const QProcessEnvironment& env, const QString& userFile,
               const QStringList& systemFiles) {
    QList<Layer> layers;
    Layer cl;
    cl.origin = QStringLiteral("command line");
    if (!cmd.server.isEmpty()) {
        cl.server = cmd.server;
        // An empty first argument with a server is still the command line's database.
        cl.database = cmd.database.isNull() ? QStringLiteral("") : cmd.database;
    }
    layers << cl << envLayer(env) << fileLayer(userFile, QStringLiteral("user file ") + userFile);
    for (const QString& f : systemFiles) layers << fileLayer(f, QStringLiteral("system file ") + f);

    Params p;
    // The command line gives a value even when empty (an empty database name goes
    // through as typed); elsewhere an empty value counts as not given.
    auto pick = [&](QString Layer::*field, const QString& name, const QString& builtIn) {
        for (int i = 0; i < layers.size(); ++i) {
            const QString& v = layers[i].*field;
            if (v.isNull() || (v.isEmpty() && i > 0)) continue;
            p.origins << name + QLatin1Char('=') + layers[i].origin;
            return v;
        }
        p.origins << name + QStringLiteral("=built-in");
        return builtIn;
    };
    p.host = pick(&Layer::server, QStringLiteral("server"), kDefaultServer);
    p.database = pick(&Layer::database, QStringLiteral("database"), kDefaultDatabase);
    p.port = kPort;
    for (const Layer& l : layers) {
        bool ok = false;
        const int port = l.port.toInt(&ok);
        if (ok && port > 0 && port < 65536) {
            p.port = port;
            break;
        }
    }
    p.accounts = accountsMode(userFile, systemFiles);
    p.atSignIn = p.accounts;
    p.user = pick(&Layer::user, QStringLiteral("user"), p.accounts ? QString() : kUser);
    p.sslmode = pick(&Layer::sslmode, QStringLiteral("sslmode"), kSslMode);
    p.sslrootcert = pick(&Layer::sslrootcert, QStringLiteral("sslrootcert"), QString());

    // A personal login never falls back to the shared user's password.
    p.password = p.accounts ? QString() : kPassword;
    for (const Layer& l : layers) {
        if (!l.password.isEmpty()) {
            p.password = l.password;
            p.origins << QStringLiteral("password=") + l.origin;
            break;
        }
        const QString fromFile = passwordFromFile(l.passfile, p.host, p.port, p.database, p.user);
        if (!fromFile.isNull()) {
            p.password = fromFile;
            p.origins << QStringLiteral("password=passfile of ") + l.origin;
            break;
        }
    }
    p.options = QStringLiteral("sslmode=") + p.sslmode + QStringLiteral(";connect_timeout=10");
    if (!p.sslrootcert.isEmpty()) p.options += QStringLiteral(";sslrootcert=") + quoted(p.sslrootcert);
    return p;
}

Params params(const QString& arg1, const QString& arg2, const QProcessEnvironment& env) {
    return resolve(CommandLine{arg1, arg2}, env, QString(), {});
}

namespace {
void dropConnection(const QString& name) {
    if (!QSqlDatabase::contains(name)) return;
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
}  // namespace

bool open(const Params& p, QString* error, const QString& name) {
    const QString connectionName = name.isEmpty() ? kConnectionName : name;
    const bool shared = connectionName == kConnectionName;
    dropConnection(connectionName);
    if (shared) g_pending = false;
    if (shared && p.atSignIn) {
        g_current = p;
        g_pending = true;
        qCInfo(lcConnection).noquote() << "personal accounts: the sign-in connects to" << p.target();
        return true;
    }
    bool ok = false;
    QString why;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
        db.setHostName(p.host);
        db.setPort(p.port);
        db.setDatabaseName(p.database);
        db.setUserName(p.user);
        db.setPassword(p.password);
        db.setConnectOptions(p.options);
        ok = db.open();
        if (ok) {
            // Statements write dates as DD.MM.YYYY text.
            QSqlQuery q(db);
            ok = q.exec(QStringLiteral("set DateStyle to 'ISO, DMY'"));
            if (!ok) why = q.lastError().text();
            if (ok) ok = applySessionFields(db, connectionName, &why);
        } else {
            why = db.lastError().databaseText().trimmed();
            if (why.isEmpty()) why = db.lastError().text();
        }
        if (!ok) db.close();
    }
    if (ok) {
        if (shared) g_current = p;
        // Which source gave each value (command line, PG*, which settings file): what
        // support asks first when a workstation lands on the wrong database.
        qCInfo(lcConnection).noquote() << "connected to" << p.target() << "| from:" << p.origins.join(QStringLiteral(", "));
    } else {
        QSqlDatabase::removeDatabase(connectionName);
        qCWarning(lcConnection).noquote() << "cannot connect to" << p.target() << ":" << why;
        if (error) *error = why;
    }
    return ok;
}

void setSessionFields(const QList<QPair<QString, QString>>& fields, const QString& name) {
    const QString connectionName = name.isEmpty() ? kConnectionName : name;
    g_sessionFields.insert(connectionName, fields);
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    QString why;
    if (db.isOpen() && !applySessionFields(db, connectionName, &why))
        throw DbError(why, QString(), QStringLiteral("select set_config(...)"));
}

const Params& current() { return g_current; }

bool pending() { return g_pending; }

// A deliberate close: nothing reconnects afterwards.
void closeShared(const QString& name) {
    const QString connectionName = name.isEmpty() ? kConnectionName : name;
    dropConnection(connectionName);
    g_sessionFields.remove(connectionName);
    if (connectionName == kConnectionName) {
        g_current = Params();
        g_pending = false;
    }
}

}  // namespace connection

}  // namespace mirn
