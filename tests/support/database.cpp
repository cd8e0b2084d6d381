#include "support/database.h"

#include "domain/connection.h"

#include <QHash>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>

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

QStringList column(QSqlDatabase& c, const QString& sql) {
    QSqlQuery q = run(c, sql);
    QStringList out;
    while (q.next()) out << q.value(0).toString();
    return out;
}

const QString kUserSchemas = QStringLiteral(
    "n.nspname not in ('pg_catalog', 'information_schema') and n.nspname not like 'pg\\_toast%' "
    "and n.nspname not like 'pg\\_temp%'");

// The catalogs any change of a database's structure writes to: relations, columns,
// defaults, constraints, indexes, rules and views, triggers, policies, functions, types,
// schemas, sequences, dependencies, comments, default grants, large objects, this
// database's own row and settings. Every statement that creates, alters or grants
// writes a row there under its own transaction id; one that drops removes rows.
const QStringList kCatalogs = {
    QStringLiteral("pg_class"),       QStringLiteral("pg_attribute"),  QStringLiteral("pg_attrdef"),
    QStringLiteral("pg_constraint"),  QStringLiteral("pg_index"),      QStringLiteral("pg_rewrite"),
    QStringLiteral("pg_trigger"),     QStringLiteral("pg_policy"),     QStringLiteral("pg_proc"),
    QStringLiteral("pg_type"),        QStringLiteral("pg_namespace"),  QStringLiteral("pg_sequence"),
    QStringLiteral("pg_depend"),      QStringLiteral("pg_description"), QStringLiteral("pg_default_acl"),
    QStringLiteral("pg_extension"),   QStringLiteral("pg_event_trigger"), QStringLiteral("pg_inherits"),
    QStringLiteral("pg_largeobject_metadata"), QStringLiteral("pg_operator"), QStringLiteral("pg_cast"),
    QStringLiteral("pg_foreign_table"), QStringLiteral("pg_publication"), QStringLiteral("pg_statistic_ext")};

// How many rows each catalog holds, and how many were written after transaction `since`
// (32-bit ids: a test run stays far from their wrap-around). The same counts with
// nothing written since mean the same structure.
QString shapeQuery(const QString& since) {
    auto part = [&](const QString& label, const QString& from) {
        return QStringLiteral("select concat_ws(':', '%1', count(*), count(*) filter (where xmin::text::bigint > %2)) "
                              "as x from %3")
            .arg(label, since, from);
    };
    QStringList parts;
    for (const QString& t : kCatalogs) parts << part(t, QStringLiteral("pg_catalog.") + t);
    parts << part(QStringLiteral("pg_database"), QStringLiteral("pg_database where datname = current_database()"));
    parts << part(QStringLiteral("pg_db_role_setting"),
                  QStringLiteral("pg_db_role_setting where setdatabase = "
                                 "(select oid from pg_database where datname = current_database())"));
    return QStringLiteral("select string_agg(x, ' ' order by x) from (") + parts.join(QStringLiteral(" union all ")) +
           QStringLiteral(") s");
}

QString quoted(QString text) { return u'\'' + text.replace(u'\'', QStringLiteral("''")) + u'\''; }

// What a schema-template database held when it was copied: its tables, the statements
// that put its sequences back and the template's rows, the catalogs' counts, and the
// last transaction that wrote its structure (the copy, or the latest reset).
struct Snapshot {
    QStringList tables;
    QString emptyCheck;    // names the tables holding rows
    QString sequences;     // one statement rewinding them all
    QHash<QString, QString> restores;  // per table the template filled
    QString shape;         // the catalogs' counts, nothing written since
    QString since;         // transaction id
};

QHash<QString, Snapshot>& snapshots() {
    static QHash<QString, Snapshot> s;
    return s;
}

QString currentXid(QSqlDatabase& c) {
    return column(c, QStringLiteral("select (txid_current() % 4294967296)::text")).value(0);
}

Snapshot takeSnapshot(QSqlDatabase& c) {
    Snapshot s;
    s.tables = column(c, QStringLiteral("select c.oid::regclass::text from pg_class c join pg_namespace n on "
                                        "n.oid = c.relnamespace where c.relkind in ('r', 'p') and ") +
                             kUserSchemas + QStringLiteral(" order by 1"));
    QStringList checks;
    for (const QString& t : s.tables)
        checks << QStringLiteral("select %1 where exists (select from %2)").arg(quoted(t), t);
    s.emptyCheck = checks.join(QStringLiteral(" union all "));
    const QStringList seqs =
        column(c, QStringLiteral("select format('setval(%L, %s, %s)', s.seqrelid::regclass::text, "
                                 "coalesce(q.last_value, s.seqstart), (q.last_value is not null)::text) "
                                 "from pg_sequence s join pg_sequences q on "
                                 "format('%I.%I', q.schemaname, q.sequencename)::regclass = s.seqrelid"));
    if (!seqs.isEmpty()) s.sequences = QStringLiteral("select ") + seqs.join(QStringLiteral(", "));
    for (const QString& t : s.tables) {
        // The server writes the rows as one JSON text to insert them again from.
        const QStringList r = column(
            c, QStringLiteral("select format('insert into %1 overriding system value select * from "
                              "json_populate_recordset(null::%1, %L)', json_agg(x)) from %1 x having count(*) > 0")
                   .arg(t));
        if (!r.isEmpty()) s.restores.insert(t, r.value(0));
    }
    run(c, QStringLiteral("begin"));
    s.since = currentXid(c);
    run(c, QStringLiteral("commit"));
    s.shape = column(c, shapeQuery(s.since)).value(0);
    return s;
}

// Puts a database copied from the schema template back to the template's content;
// false when it cannot (its structure changed, or anything failed on the way).
bool reset(const QString& name) {
    const auto it = snapshots().find(name);
    if (it == snapshots().end()) return false;
    Snapshot& s = *it;
    bool done = false;
    try {
        onConnection(name, [&](QSqlDatabase& c) {
            // As a drop "with (force)" would: the other sessions end, and are gone before
            // the rows go (their locks with them).
            const QString others = QStringLiteral("select pid from pg_stat_activity where datname = current_database() "
                                                  "and pid <> pg_backend_pid()");
            if (!column(c, others).isEmpty()) {
                run(c, QStringLiteral("select pg_terminate_backend(pid) from (") + others + QStringLiteral(") o"));
                for (int i = 0; i < 2500 && !column(c, others).isEmpty(); ++i) QThread::msleep(2);
            }
            if (!column(c, QStringLiteral("select gid from pg_prepared_xacts where database = current_database()")).isEmpty())
                return;
            if (column(c, shapeQuery(s.since)).value(0) != s.shape) return;
            run(c, QStringLiteral("begin"));
            // Emptying a table costs a new file per table, index and toast table: only the
            // ones holding rows or to be filled again go.
            QStringList full = s.emptyCheck.isEmpty() ? QStringList() : column(c, s.emptyCheck);
            for (auto r = s.restores.cbegin(); r != s.restores.cend(); ++r)
                if (!full.contains(r.key())) full << r.key();
            if (!full.isEmpty()) run(c, QStringLiteral("truncate ") + full.join(QStringLiteral(", ")) + QStringLiteral(" cascade"));
            if (!s.sequences.isEmpty()) run(c, s.sequences);
            // Rows of tables that refer to others go in once those are back.
            QStringList left = s.restores.values();
            while (!left.isEmpty()) {
                QStringList failed;
                for (const QString& r : left) {
                    run(c, QStringLiteral("savepoint restore"));
                    QSqlQuery q(c);
                    if (q.exec(r)) run(c, QStringLiteral("release savepoint restore"));
                    else {
                        run(c, QStringLiteral("rollback to savepoint restore"));
                        failed << r;
                    }
                }
                if (failed.size() == left.size()) throw DbError(QStringLiteral("the template's rows do not go back"));
                left = failed;
            }
            // The truncate wrote the tables' catalog rows: they count as the template's.
            const QString xid = currentXid(c);
            run(c, QStringLiteral("commit"));
            s.since = xid;
            done = true;
        });
    } catch (const DbError&) {
        done = false;
    }
    return done;
}

void maintenance(const QStringList& statements) {
    onConnection(QStringLiteral("postgres"), [&](QSqlDatabase& c) {
        for (const QString& s : statements) run(c, s);
    });
}
}  // namespace

QString dbName(const QString& base) { return base + qEnvironmentVariable("MIRN_TEST_DB_SUFFIX"); }

QString host() { return env("PGHOST", QStringLiteral("127.0.0.1")); }

void copyDatabase(const QString& name, bool demo) {
    const QString tmpl = demo ? env("MIRN_DEMO_TEMPLATE", QStringLiteral("mirn_demo_tmpl"))
                              : env("MIRN_TEMPLATE", QStringLiteral("mirn_tmpl"));
    connection::closeShared();
    snapshots().remove(name);
    maintenance({QStringLiteral("drop database if exists \"%1\" with (force)").arg(name),
                 QStringLiteral("create database \"%1\" template \"%2\"").arg(name, tmpl)});
    if (!demo) onConnection(name, [&](QSqlDatabase& c) { snapshots().insert(name, takeSnapshot(c)); });
}

void createDatabase(const QString& name, bool demo) {
    connection::closeShared();
    if (!demo && reset(name)) return;
    copyDatabase(name, demo);
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
