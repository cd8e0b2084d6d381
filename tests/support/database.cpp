#include "support/database.h"

#include "domain/connection.h"

#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace mirn {

namespace testdb {
namespace {
QString env(const char* name, const QString& def = {}) {
    return QProcessEnvironment::systemEnvironment().value(QString::fromLatin1(name), def);
}

// Runs body on a short-lived connection of the fixture's own to database `db`.
template <class Body>
void onConnection(const QString& db, Body body) {
    const QString name = QStringLiteral("testdb_fixture");
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        const auto p = connection::params(db, host());
        c.setHostName(p.host);
        c.setPort(p.port);
        c.setDatabaseName(db);
        c.setUserName(p.user);
        c.setPassword(p.password);
        const bool open = c.open();
        try {
            if (!open)
                throw DbError(QStringLiteral("test server not reachable (run the tests through scripts/test.sh): ") +
                              c.lastError().text());
            body(c);
        } catch (...) {
            c.close();
            c = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw;
        }
        c.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QSqlQuery run(QSqlDatabase& c, const QString& sql) {
    QSqlQuery q(c);
    if (!q.exec(sql)) throw DbError(q.lastError().text() + QStringLiteral("\n") + sql);
    return q;
}

void maintenance(const QStringList& statements) {
    onConnection(QStringLiteral("postgres"), [&](QSqlDatabase& c) {
        for (const QString& s : statements) run(c, s);
    });
}
}  // namespace

QString host() { return env("PGHOST", QStringLiteral("127.0.0.1")); }

void createDatabase(const QString& name, bool demo) {
    const QString tmpl = demo ? env("MIRN_DEMO_TEMPLATE", QStringLiteral("mirn_demo_tmpl"))
                              : env("MIRN_TEMPLATE", QStringLiteral("mirn_tmpl"));
    connection::closeShared();
    maintenance({QStringLiteral("drop database if exists \"%1\" with (force)").arg(name),
                 QStringLiteral("create database \"%1\" template \"%2\"").arg(name, tmpl)});
}

void openFresh(const QString& name, bool demo) {
    createDatabase(name, demo);
    QString err;
    if (!connection::open(connection::params(name, host()), &err)) throw DbError(err);
}

void exec(const QString& sql) {
    Command c;
    c.SQL = QStringList{sql};
    c.exec();
}

QVariant scalar(const QString& sql) {
    Query q;
    q.SQL = QStringList{sql};
    q.open();
    return q.isEmpty() ? QVariant() : q.value(0, 0);
}

int scalarInt(const QString& sql) { return toInt(scalar(sql)); }

int advisoryLocks(bool waitingOnly) {
    return scalarInt(QStringLiteral("select count(*) from pg_locks where locktype='advisory' and database=(select oid "
                                    "from pg_database where datname=current_database())") +
                     (waitingOnly ? QStringLiteral(" and not granted") : QString()));
}

QList<QVariantList> rows(const QString& sql) {
    Query q;
    q.SQL = QStringList{sql};
    q.open();
    QList<QVariantList> out;
    for (int r = 0; r < q.recordCount(); ++r) {
        QVariantList row;
        for (int c = 0; c < q.fieldNames().size(); ++c) row << q.value(r, c);
        out << row;
    }
    return out;
}

}  // namespace testdb

}  // namespace mirn
