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

// Everything a test could change in a database besides its rows and the positions of
// its sequences: relations and their columns, defaults, constraints, indexes, views,
// triggers, functions, schemas, grants, extensions and the database's own settings.
QString shapeQuery() {
    return QStringLiteral(
               "select md5(coalesce(string_agg(x, E'\\n' order by x), '')) from ("
               " select 'rel ' || n.nspname || '.' || c.relname || ' ' || c.relkind::text || ' ' || coalesce(c.relacl::text, '')"
               "   || ' ' || c.relowner::regrole::text || ' ' || coalesce(c.reloptions::text, '') || ' ' || c.relpersistence::text as x"
               "   from pg_class c join pg_namespace n on n.oid = c.relnamespace where U"
               " union all select 'col ' || c.oid::regclass::text || '.' || a.attname || ' ' || format_type(a.atttypid, a.atttypmod)"
               "   || ' ' || a.attnotnull || ' ' || a.attidentity::text || ' ' || a.attgenerated::text || ' ' || coalesce(a.attacl::text, '')"
               "   from pg_attribute a join pg_class c on c.oid = a.attrelid join pg_namespace n on n.oid = c.relnamespace"
               "   where U and a.attnum > 0 and not a.attisdropped"
               " union all select 'def ' || d.adrelid::regclass::text || ' ' || d.adnum || ' ' || pg_get_expr(d.adbin, d.adrelid)"
               "   from pg_attrdef d join pg_class c on c.oid = d.adrelid join pg_namespace n on n.oid = c.relnamespace where U"
               " union all select 'con ' || k.conrelid::regclass::text || ' ' || k.conname || ' ' || pg_get_constraintdef(k.oid)"
               "   || ' ' || k.condeferrable || k.condeferred || k.convalidated"
               "   from pg_constraint k join pg_namespace n on n.oid = k.connamespace where U"
               " union all select 'idx ' || pg_get_indexdef(i.indexrelid)"
               "   from pg_index i join pg_class c on c.oid = i.indexrelid join pg_namespace n on n.oid = c.relnamespace where U"
               " union all select 'view ' || c.oid::regclass::text || ' ' || pg_get_viewdef(c.oid)"
               "   from pg_class c join pg_namespace n on n.oid = c.relnamespace where U and c.relkind in ('v', 'm')"
               " union all select 'seq ' || s.seqrelid::regclass::text || ' ' || s.seqtypid || ' ' || s.seqstart || ' '"
               "   || s.seqincrement || ' ' || s.seqmax || ' ' || s.seqmin || ' ' || s.seqcache || ' ' || s.seqcycle"
               "   from pg_sequence s join pg_class c on c.oid = s.seqrelid join pg_namespace n on n.oid = c.relnamespace where U"
               " union all select 'trg ' || t.tgrelid::regclass::text || ' ' || pg_get_triggerdef(t.oid) || ' ' || t.tgenabled::text"
               "   from pg_trigger t join pg_class c on c.oid = t.tgrelid join pg_namespace n on n.oid = c.relnamespace"
               "   where U and not t.tgisinternal"
               " union all select 'rule ' || r.ev_class::regclass::text || ' ' || r.rulename || ' ' || md5(pg_get_ruledef(r.oid))"
               "   from pg_rewrite r join pg_class c on c.oid = r.ev_class join pg_namespace n on n.oid = c.relnamespace where U"
               " union all select 'pol ' || p.polrelid::regclass::text || ' ' || p.polname || ' ' || md5(coalesce(pg_get_expr(p.polqual, p.polrelid), ''))"
               "   from pg_policy p join pg_class c on c.oid = p.polrelid join pg_namespace n on n.oid = c.relnamespace where U"
               " union all select 'fn ' || p.oid::regprocedure::text || ' ' || md5(coalesce(p.prosrc, '')) || ' '"
               "   || coalesce(p.proacl::text, '') || ' ' || p.prosecdef || ' ' || coalesce(p.proconfig::text, '')"
               "   from pg_proc p join pg_namespace n on n.oid = p.pronamespace where U"
               " union all select 'type ' || t.oid::regtype::text from pg_type t join pg_namespace n on n.oid = t.typnamespace"
               "   where U and t.typrelid = 0 and t.typelem = 0"
               " union all select 'ns ' || n.nspname || ' ' || coalesce(n.nspacl::text, '') || ' ' || n.nspowner::regrole::text"
               "   from pg_namespace n where U"
               " union all select 'ext ' || e.extname || ' ' || e.extversion from pg_extension e"
               " union all select 'evt ' || e.evtname from pg_event_trigger e"
               " union all select 'set ' || s.setrole || ' ' || s.setconfig::text from pg_db_role_setting s"
               "   where s.setdatabase = (select oid from pg_database where datname = current_database())"
               " union all select 'db ' || coalesce(d.datacl::text, '') || ' ' || d.datconnlimit || ' ' || d.datallowconn"
               "   || ' ' || d.datdba::regrole::text from pg_database d where d.datname = current_database()"
               " union all select 'lo ' || count(*) from pg_largeobject_metadata"
               ") s")
        .replace(QStringLiteral(" U"), QStringLiteral(" ") + kUserSchemas);
}

// What a schema-template database looked like when it was copied: its structure, its
// tables, the statements that put its sequences back, and the rows the template held.
struct Snapshot {
    QString shape;
    QStringList tables;
    QStringList sequences;
    QStringList restores;  // one statement per table the template filled
};

QHash<QString, Snapshot>& snapshots() {
    static QHash<QString, Snapshot> s;
    return s;
}

Snapshot takeSnapshot(QSqlDatabase& c) {
    Snapshot s;
    s.shape = column(c, shapeQuery()).value(0);
    s.tables = column(c, QStringLiteral("select c.oid::regclass::text from pg_class c join pg_namespace n on "
                                        "n.oid = c.relnamespace where c.relkind in ('r', 'p') and ") +
                             kUserSchemas + QStringLiteral(" order by 1"));
    s.sequences = column(c, QStringLiteral("select format('select setval(%L, %s, %s)', s.seqrelid::regclass::text, "
                                           "coalesce(q.last_value, s.seqstart), q.last_value is not null) "
                                           "from pg_sequence s join pg_sequences q on "
                                           "format('%I.%I', q.schemaname, q.sequencename)::regclass = s.seqrelid"));
    for (const QString& t : s.tables) {
        // The server writes the rows as one JSON text to insert them again from.
        const QStringList r = column(
            c, QStringLiteral("select format('insert into %1 overriding system value select * from "
                              "json_populate_recordset(null::%1, %L)', json_agg(x)) from %1 x having count(*) > 0")
                   .arg(t));
        s.restores << r;
    }
    return s;
}

// Puts a database copied from the schema template back to the template's content;
// false when it cannot (its structure changed, or anything failed on the way).
bool reset(const QString& name) {
    const auto it = snapshots().constFind(name);
    if (it == snapshots().constEnd()) return false;
    const Snapshot& s = *it;
    bool done = false;
    try {
        onConnection(name, [&](QSqlDatabase& c) {
            // As a drop "with (force)" would: the other sessions end, and are gone before
            // the rows go (their locks with them).
            run(c, QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity "
                                  "where datname = current_database() and pid <> pg_backend_pid()"));
            for (int i = 0; i < 500 && !column(c, QStringLiteral("select pid from pg_stat_activity where datname = "
                                                                 "current_database() and pid <> pg_backend_pid()"))
                                             .isEmpty();
                 ++i)
                QThread::msleep(10);
            if (!column(c, QStringLiteral("select gid from pg_prepared_xacts where database = current_database()")).isEmpty())
                return;
            if (column(c, shapeQuery()).value(0) != s.shape) return;
            run(c, QStringLiteral("begin"));
            if (!s.tables.isEmpty()) run(c, QStringLiteral("truncate ") + s.tables.join(QStringLiteral(", ")) + QStringLiteral(" cascade"));
            for (const QString& seq : s.sequences) run(c, seq);
            // Rows of tables that refer to others go in once those are back.
            QStringList left = s.restores;
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
            run(c, QStringLiteral("commit"));
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
