#include "domain/connection.h"

#include "domain/db.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace connection {

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

Params params(const QString& arg1, const QString& arg2, const QProcessEnvironment& env) {
    Params p;
    const bool builtIn = arg2.isEmpty();
    p.database = builtIn ? kDefaultDatabase : arg1;
    p.host = builtIn ? env.value(QStringLiteral("PGHOST"), kDefaultServer) : arg2;
    bool ok = false;
    const int port = env.value(QStringLiteral("PGPORT")).toInt(&ok);
    p.port = ok && port > 0 ? port : kPort;
    p.user = env.value(QStringLiteral("PGUSER"), kUser);
    p.password = env.value(QStringLiteral("PGPASSWORD"), kPassword);
    p.options = QStringLiteral("sslmode=allow;connect_timeout=10");
    return p;
}

bool open(const Params& p, QString* error, const QString& name) {
    const QString connectionName = name.isEmpty() ? kConnectionName : name;
    closeShared(connectionName);
    bool ok = false;
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
            if (!ok && error) *error = q.lastError().text();
        } else if (error) {
            *error = db.lastError().text();
        }
        if (!ok) db.close();
    }
    if (!ok) QSqlDatabase::removeDatabase(connectionName);
    return ok;
}

void closeShared(const QString& name) {
    const QString connectionName = name.isEmpty() ? kConnectionName : name;
    if (!QSqlDatabase::contains(connectionName)) return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

}  // namespace connection
