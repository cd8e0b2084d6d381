// The closed months and change history extension (db/extension.sql) on the stand-in
// schema: writes into a closed month refused for every guarded table and action, from
// psql and from a client connection; the history of the four logged tables with the
// rows before and after; the client fields; a second run; the removal; closing a
// month while a save into it is under way; the client's own entry save refused;
// closing and reopening in the history with the reason; the step from version 1.
#include "domain/connection.h"
#include "domain/entry_store.h"
#include "domain/period.h"
#include "domain/schemaversion.h"
#include "support/database.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <optional>

using namespace mirn;

namespace {
const QString kDb = QStringLiteral("t_extension");
const QString kDropDb = QStringLiteral("t_extension_drop");
const QString kInstall = QStringLiteral(MIRN_SOURCE_DIR "/db/extension.sql");
const QString kRemove = QStringLiteral(MIRN_SOURCE_DIR "/db/extension_drop.sql");
// Version 1 as it was released, and the step from it to version 2.
const QString kVersion1 = QStringLiteral(MIRN_SOURCE_DIR "/tests/domain/extension_v1.sql");
const QString kUpgrade = QStringLiteral(MIRN_SOURCE_DIR "/db/upgrade/extension-1-2.sql");
// A version 1 database predates the payroll exports too: their step comes after.
const QString kPayrollStep = QStringLiteral(MIRN_SOURCE_DIR "/db/upgrade/payroll_export-0-1.sql");
const QString kUpgradeDb = QStringLiteral("t_extension_upgrade");
const QString kFreshDb = QStringLiteral("t_extension_fresh");
const QString kClosedCode = QStringLiteral("ML001");

struct PsqlRun {
    int exit = -1;
    QString out;
    QString err;
};

// psql as an administrator runs it: a session of its own that stops at the first
// error, errors printed with their SQLSTATE ("ERROR:  ML001: ...").
PsqlRun psql(const QString& db, const QStringList& args, const QString& input = {}) {
    QProcess p;
    p.setProgram(QStringLiteral("psql"));
    p.setArguments(QStringList{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-At"), QStringLiteral("-v"),
                               QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-v"), QStringLiteral("VERBOSITY=verbose"),
                               QStringLiteral("-d"), db} +
                   args);
    p.start();
    if (!p.waitForStarted()) return {-1, {}, QStringLiteral("psql did not start")};
    p.write(input.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()).trimmed(), QString::fromUtf8(p.readAllStandardError())};
}

PsqlRun psqlFile(const QString& db, const QString& file) { return psql(db, {QStringLiteral("-f"), file}); }

struct Failure {
    QString code;     // SQLSTATE
    QString message;  // the primary message alone
};

Failure psqlFailure(const QString& err) {
    static const QRegularExpression re(QStringLiteral("ERROR:\\s+([0-9A-Z]{5}): ([^\\n]*)"));
    const auto m = re.match(err);
    return m.hasMatch() ? Failure{m.captured(1), m.captured(2).trimmed()} : Failure{{}, err};
}

// The driver gives "ERROR:  message\nDETAIL: ...": keep the message.
Failure clientFailure(const QSqlError& e) {
    QString text = e.databaseText();
    text = text.section(QLatin1Char('\n'), 0, 0);
    static const QRegularExpression severity(QStringLiteral("^[A-Z]+:\\s+"));
    return {e.nativeErrorCode(), text.remove(severity).trimmed()};
}

// Runs sql on a client connection; the failure, if it failed.
std::optional<Failure> clientExec(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (q.exec(sql)) return std::nullopt;
    return clientFailure(q.lastError());
}

QSqlDatabase shared() { return QSqlDatabase::database(kConnectionName); }

// Another workstation: a connection of its own to the test database.
class OtherClient {
public:
    explicit OtherClient(const QString& name) : name_(name) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        const auto p = connection::params(kDb, testdb::host());
        db.setHostName(p.host);
        db.setPort(p.port);
        db.setDatabaseName(p.database);
        db.setUserName(p.user);
        db.setPassword(p.password);
        if (!db.open()) qWarning("second connection: %s", qPrintable(db.lastError().text()));
    }
    ~OtherClient() {
        { QSqlDatabase::database(name_, false).close(); }
        QSqlDatabase::removeDatabase(name_);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }

private:
    QString name_;
};

QString shown(const QVariant& v) { return v.isNull() ? QStringLiteral("NULL") : v.toString(); }

QString tableRows(const QString& table) {
    return testdb::scalar(QStringLiteral("select coalesce(string_agg(t::text, ';' order by id), '') from accounts_dep.") +
                          table + QStringLiteral(" t"))
        .toString();
}

qlonglong lastLogId() {
    return testdb::scalar(QStringLiteral("select coalesce(max(id), 0) from accounts_dep.change_log")).toLongLong();
}

// Everything the catalog says about the non-system schemas: relations and their
// access rights, columns, constraints, indexes, triggers (with their enabled state),
// functions, domains and view texts. Sequence positions and rows are left out.
const QString kCatalog = QString::fromUtf8(R"sql(
with s as (select oid from pg_namespace where nspname not like 'pg\_%' and nspname <> 'information_schema')
select string_agg(line, E'\n' order by line) from (
  select format('relation %s %s %s', c.oid::regclass, c.relkind, c.relacl) as line
    from pg_class c where c.relnamespace in (select oid from s)
  union all
  select format('column %s.%s %s notnull=%s default=%s identity=%s generated=%s', c.oid::regclass, a.attname,
                format_type(a.atttypid, a.atttypmod), a.attnotnull, pg_get_expr(d.adbin, d.adrelid),
                a.attidentity, a.attgenerated)
    from pg_class c join pg_attribute a on a.attrelid = c.oid and a.attnum > 0 and not a.attisdropped
    left join pg_attrdef d on d.adrelid = c.oid and d.adnum = a.attnum
   where c.relnamespace in (select oid from s) and c.relkind in ('r', 'v', 'm', 'p', 'f')
  union all
  select format('constraint %s %s %s', coalesce(conrelid::regclass::text, contypid::regtype::text), conname,
                pg_get_constraintdef(oid))
    from pg_constraint where connamespace in (select oid from s)
  union all
  select format('index %s', pg_get_indexdef(i.indexrelid))
    from pg_index i join pg_class c on c.oid = i.indrelid where c.relnamespace in (select oid from s)
  union all
  select format('trigger %s %s %s %s', t.tgrelid::regclass, t.tgname, t.tgenabled, pg_get_triggerdef(t.oid))
    from pg_trigger t join pg_class c on c.oid = t.tgrelid where c.relnamespace in (select oid from s)
  union all
  select format('function %s %s %s', p.oid::regprocedure, md5(pg_get_functiondef(p.oid)), p.proacl)
    from pg_proc p where p.pronamespace in (select oid from s) and p.prokind in ('f', 'p')
  union all
  select format('domain %s %s', t.oid::regtype, format_type(t.typbasetype, t.typtypmod))
    from pg_type t where t.typnamespace in (select oid from s) and t.typtype = 'd'
  union all
  select format('view %s %s', c.oid::regclass, md5(pg_get_viewdef(c.oid)))
    from pg_class c where c.relnamespace in (select oid from s) and c.relkind in ('v', 'm')
) lines;
)sql");

QString catalog(const QString& db) {
    const PsqlRun r = psql(db, {}, kCatalog);
    if (r.exit != 0) qWarning("catalog snapshot: %s", qPrintable(r.err));
    return r.out;
}

// One worker, product, operation type, priced operation and norm; entries,
// timesheet rows and auxiliary work on 5 November 2026 (id 901) and 3 December
// 2026 (id 902). November 2026 and February 2025 are closed.
void loadFixture() {
    testdb::exec(QStringLiteral(
        "insert into cmn_contractor.person(id, s_caption, s_code) values (1, 'Иванов И.И.', '10001')"));
    testdb::exec(QStringLiteral("insert into accounts_dep.person(id, fio, s_staffpos_hl) values (10001, 'Иванов И.И.', '')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa) values (1, 'КР-100', '', 6, 1)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Гибка')"));
    testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (901, 1, 0, 1, 0)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.norm(id, o_id, norma, prize, price) values (901, 901, 100, 0, 2.5)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.smena(id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok) values "
        "(901, 10001, 1, 901, 2.5, 10, 0, '2026-11-05', 1, 0, 8, 'no'), "
        "(902, 10001, 1, 901, 2.5, 10, 0, '2026-12-03', 1, 0, 8, 'no')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.h_tabel(id, w_id, month, year, smena, d5, d3) values "
        "(901, 10001, 11, 2026, 1, 8, null), (902, 10001, 12, 2026, 1, null, 8)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.fatigue(id, id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price) values "
        "(901, 1, 7777, 10001, '2026-11-05', 11, 2026, 1, 2, 100), "
        "(902, 1, 7777, 10001, '2026-12-03', 12, 2026, 1, 2, 100)"));
}

const QString kNov = QStringLiteral("Месяц закрыт: ноябрь 2026");
const QString kFeb = QStringLiteral("Месяц закрыт: февраль 2025");
}  // namespace

class TestExtension : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        testdb::createDatabase(kDropDb);
        testdb::createDatabase(kUpgradeDb);
        testdb::createDatabase(kFreshDb);
        testdb::openFresh(kDb);
        loadFixture();
        const PsqlRun r = psqlFile(kDb, kInstall);
        QVERIFY2(r.exit == 0, qPrintable(r.err));
        testdb::exec(QStringLiteral("insert into accounts_dep.period_lock(year, month, closed_by) values "
                                    "(2026, 11, 'Администратор'), (2025, 2, 'Администратор')"));
    }
    void cleanupTestCase() { connection::closeShared(); }

    // The sign-in's check of the scripts' versions: an older or newer component is named
    // with what to do; the same version, an unknown component or no version table at
    // all (installed before versions) says nothing.
    void schemaVersionChecked_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("expected");  // the message's first words, or empty
        QTest::newRow("no version table") << "drop table if exists accounts_dep.schema_version" << "";
        QTest::newRow("same version") << "update accounts_dep.schema_version set version = 2 where component = 'extension'"
                                      << "";
        QTest::newRow("version 1") << "update accounts_dep.schema_version set version = 1 where component = 'extension'"
                                   << "Компонент базы данных «extension» версии 1, программа ждёт версию 2";
        QTest::newRow("older extension") << "update accounts_dep.schema_version set version = 0 where component = 'extension'"
                                         << "Компонент базы данных «extension» версии 0, программа ждёт версию 2";
        QTest::newRow("newer extension") << "update accounts_dep.schema_version set version = 7 where component = 'extension'"
                                         << "Компонент базы данных «extension» версии 7 новее программы (версия 2)";
        QTest::newRow("unknown component") << "insert into accounts_dep.schema_version(component, version) values ('other', 3)"
                                           << "";
    }
    void schemaVersionChecked() {
        QFETCH(QString, setup);
        QFETCH(QString, expected);
        testdb::exec(QStringLiteral("create table if not exists accounts_dep.schema_version (component text primary key, "
                                    "version integer not null, applied_at timestamptz not null default now())"));
        testdb::exec(QStringLiteral("delete from accounts_dep.schema_version"));
        testdb::exec(QStringLiteral("insert into accounts_dep.schema_version(component, version) values ('extension', 2)"));
        testdb::exec(setup);
        const QString text = schemaversion::message(schemaversion::check());
        if (expected.isEmpty())
            QCOMPARE(text, QString());
        else
            QVERIFY2(text.startsWith(expected), qPrintable(text));
        // Back to what the script itself leaves, its grant included.
        testdb::exec(QStringLiteral("create table if not exists accounts_dep.schema_version (component text primary key, "
                                    "version integer not null, applied_at timestamptz not null default now())"));
        testdb::exec(QStringLiteral("grant select on accounts_dep.schema_version to public"));
        testdb::exec(QStringLiteral("delete from accounts_dep.schema_version"));
        testdb::exec(QStringLiteral("insert into accounts_dep.schema_version(component, version) values ('extension', 2)"));
    }

    void closedMonthWrites_data() {
        QTest::addColumn<bool>("fromPsql");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("refusal");  // empty: the write goes through

        struct Case {
            const char* tag;
            const char* table;
            QString sql;
            QString refusal;
        };
        // An entry on a date, auxiliary work with a date, month and year.
        const auto entryOn = [](const char* date) {
            return QStringLiteral(
                       "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok) "
                       "values (10001, 1, 901, 2.5, 5, 0, %1, 2, 0, 4, 'no')")
                .arg(QLatin1String(date));
        };
        const auto auxOn = [](const char* dateMonthYear) {
            return QStringLiteral(
                       "insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price) "
                       "values (1, 7777, 10001, %1, 2, 3, 100)")
                .arg(QLatin1String(dateMonthYear));
        };
        const auto sql = [](const char* text) { return QString::fromUtf8(text); };
        const Case cases[] = {
            // Entries: by their date.
            {"smena insert", "smena", entryOn("'2026-11-20'"), kNov},
            {"smena insert, other closed month", "smena", entryOn("'2025-02-28'"), kFeb},
            {"smena insert, last day before", "smena", entryOn("'2026-10-31'"), {}},
            {"smena insert, first day after", "smena", entryOn("'2026-12-01'"), {}},
            {"smena insert, same month of another year", "smena", entryOn("'2025-11-10'"), {}},
            {"smena insert, no date", "smena", entryOn("null"), {}},
            {"smena update inside", "smena", sql("update accounts_dep.smena set kol_vo = kol_vo + 1 where id = 901"), kNov},
            {"smena confirm", "smena", sql("update accounts_dep.smena set ok = 'ok' where id = 901"), kNov},
            {"smena update out of", "smena", sql("update accounts_dep.smena set data = '2026-12-01' where id = 901"), kNov},
            {"smena update into", "smena", sql("update accounts_dep.smena set data = '2026-11-30' where id = 902"), kNov},
            {"smena update open month", "smena", sql("update accounts_dep.smena set kol_vo = kol_vo + 1 where id = 902"), {}},
            {"smena delete", "smena", sql("delete from accounts_dep.smena where id = 901"), kNov},
            {"smena truncate", "smena", sql("truncate accounts_dep.smena"), kNov},
            // Timesheet: by month and year.
            {"h_tabel insert", "h_tabel",
             sql("insert into accounts_dep.h_tabel(w_id, month, year, smena, d9) values (10001, 11, 2026, 2, 4)"), kNov},
            {"h_tabel insert, other closed month", "h_tabel",
             sql("insert into accounts_dep.h_tabel(w_id, month, year, smena, d9) values (10001, 2, 2025, 2, 4)"), kFeb},
            {"h_tabel insert, open month", "h_tabel",
             sql("insert into accounts_dep.h_tabel(w_id, month, year, smena, d9) values (10001, 12, 2026, 2, 4)"), {}},
            {"h_tabel insert, no month", "h_tabel",
             sql("insert into accounts_dep.h_tabel(w_id, month, year, smena, d9) values (10001, null, 2026, 2, 4)"), {}},
            {"h_tabel update inside", "h_tabel", sql("update accounts_dep.h_tabel set d6 = coalesce(d6, 0) + 1 where id = 901"), kNov},
            {"h_tabel update out of", "h_tabel", sql("update accounts_dep.h_tabel set month = 12 where id = 901"), kNov},
            {"h_tabel update into", "h_tabel", sql("update accounts_dep.h_tabel set month = 11 where id = 902"), kNov},
            {"h_tabel update open month", "h_tabel", sql("update accounts_dep.h_tabel set d4 = coalesce(d4, 0) + 1 where id = 902"), {}},
            {"h_tabel delete", "h_tabel", sql("delete from accounts_dep.h_tabel where id = 901"), kNov},
            {"h_tabel month rebuild", "h_tabel", sql("delete from accounts_dep.h_tabel where month = 11 and year = 2026"), kNov},
            // Auxiliary work: by its date, or by i_mnth/i_year.
            {"fatigue insert", "fatigue", auxOn("'2026-11-20', 11, 2026"), kNov},
            {"fatigue insert, date only", "fatigue", auxOn("'2026-11-20', null, null"), kNov},
            {"fatigue insert, month and year only", "fatigue", auxOn("null, 2, 2025"), kFeb},
            {"fatigue insert, open month", "fatigue", auxOn("'2026-12-20', 12, 2026"), {}},
            {"fatigue insert, nothing", "fatigue", auxOn("null, null, null"), {}},
            {"fatigue insert, month of another year", "fatigue", auxOn("null, 11, 2025"), {}},
            {"fatigue update inside", "fatigue", sql("update accounts_dep.fatigue set cnt = cnt + 1 where id = 901"), kNov},
            {"fatigue update out of", "fatigue",
             sql("update accounts_dep.fatigue set d_date = '2026-12-02', i_mnth = 12 where id = 901"), kNov},
            {"fatigue update into", "fatigue",
             sql("update accounts_dep.fatigue set d_date = '2026-11-02', i_mnth = 11 where id = 902"), kNov},
            {"fatigue update into by month only", "fatigue", sql("update accounts_dep.fatigue set i_mnth = 11 where id = 902"), kNov},
            {"fatigue update open month", "fatigue", sql("update accounts_dep.fatigue set cnt = cnt + 1 where id = 902"), {}},
            {"fatigue delete", "fatigue", sql("delete from accounts_dep.fatigue where id = 901"), kNov},
            {"fatigue truncate", "fatigue", sql("truncate accounts_dep.fatigue"), kNov},
        };
        for (const bool fromPsql : {true, false}) {
            for (const Case& c : cases) {
                QTest::newRow(qPrintable(QString::fromLatin1(fromPsql ? "psql: " : "client: ") + QLatin1String(c.tag)))
                    << fromPsql << QString::fromLatin1(c.table) << c.sql << c.refusal;
            }
        }
    }

    // A write touching a closed month is refused with the month named, and leaves the
    // table and the history as they were; the writes beside it go through.
    void closedMonthWrites() {
        QFETCH(bool, fromPsql);
        QFETCH(QString, table);
        QFETCH(QString, sql);
        QFETCH(QString, refusal);

        const QString before = tableRows(table);
        const qlonglong lastLog = lastLogId();
        std::optional<Failure> failure;
        if (fromPsql) {
            const PsqlRun r = psql(kDb, {}, sql + QStringLiteral(";\n"));
            if (r.exit != 0) failure = psqlFailure(r.err);
        } else {
            failure = clientExec(shared(), sql);
        }

        if (refusal.isEmpty()) {
            QVERIFY2(!failure, failure ? qPrintable(failure->message) : "");
            QVERIFY(tableRows(table) != before);
            return;
        }
        QVERIFY(failure);
        QCOMPARE(failure->code, kClosedCode);
        QVERIFY(failure->message.startsWith(QStringLiteral("Месяц закрыт")));
        QCOMPARE(failure->message, refusal);
        QCOMPARE(tableRows(table), before);
        QCOMPARE(lastLogId(), lastLog);
    }

    // Reopening a month lets the refused write through.
    void reopenedMonthTakesWrites() {
        const QString sql = QStringLiteral("update accounts_dep.smena set kol_vo = kol_vo + 1 where id = 901");
        QVERIFY(clientExec(shared(), sql));
        testdb::exec(QStringLiteral("delete from accounts_dep.period_lock where year = 2026 and month = 11"));
        const std::optional<Failure> failure = clientExec(shared(), sql);
        testdb::exec(QStringLiteral("insert into accounts_dep.period_lock(year, month) values (2026, 11)"));
        QVERIFY2(!failure, failure ? qPrintable(failure->message) : "");
    }

    void changesAreLogged_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("setup");   // makes the row the change works on, returns its id
        QTest::addColumn<QString>("change");  // %1: that id; an insert returns its own id
        QTest::addColumn<QString>("action");

        const QString newEntry = QStringLiteral(
            "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok) "
            "values (10001, 1, 901, 2.5, 6, 1, '2026-12-07', 3, 0, 5, 'no') returning id");
        const QString newAux = QStringLiteral(
            "insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price) "
            "values (1, 7778, 10001, '2026-12-07', 12, 2026, 3, 4, 180) returning id");
        const QString newOper = QStringLiteral(
            "insert into accounts_dep.oper(vid, naimen, i_id, cena_new) values (1, 1, 1, 0) returning id");
        const QString newNorm = QStringLiteral(
            "insert into accounts_dep.norm(o_id, norma, prize, price) values (901, 120, 5, 3.75) returning id");

        QTest::newRow("smena insert") << "smena" << QString() << newEntry << "insert";
        QTest::newRow("smena update") << "smena" << newEntry
                                      << "update accounts_dep.smena set kol_vo = 9, brak = 0, time = 6 where id = %1"
                                      << "update";
        QTest::newRow("smena confirm") << "smena" << newEntry << "update accounts_dep.smena set ok = 'ok' where id = %1"
                                       << "update";
        QTest::newRow("smena delete") << "smena" << newEntry << "delete from accounts_dep.smena where id = %1"
                                      << "delete";
        QTest::newRow("fatigue insert") << "fatigue" << QString() << newAux << "insert";
        QTest::newRow("fatigue update") << "fatigue" << newAux
                                        << "update accounts_dep.fatigue set cnt = 7, price = 150 where id = %1" << "update";
        QTest::newRow("fatigue delete") << "fatigue" << newAux << "delete from accounts_dep.fatigue where id = %1"
                                        << "delete";
        QTest::newRow("oper insert") << "oper" << QString() << newOper << "insert";
        QTest::newRow("oper update") << "oper" << newOper << "update accounts_dep.oper set cena_new = 12.5 where id = %1"
                                     << "update";
        QTest::newRow("oper delete") << "oper" << newOper << "delete from accounts_dep.oper where id = %1" << "delete";
        QTest::newRow("norm insert") << "norm" << QString() << newNorm << "insert";
        QTest::newRow("norm update") << "norm" << newNorm << "update accounts_dep.norm set price = 4.1 where id = %1"
                                     << "update";
        QTest::newRow("norm delete") << "norm" << newNorm << "delete from accounts_dep.norm where id = %1" << "delete";
    }

    // One history row per change, with the row as it was before and after it.
    void changesAreLogged() {
        QFETCH(QString, table);
        QFETCH(QString, setup);
        QFETCH(QString, change);
        QFETCH(QString, action);

        const QString rowSql = QStringLiteral("select to_jsonb(t)::text from accounts_dep.%1 t where id = %2");
        int id = setup.isEmpty() ? 0 : testdb::scalarInt(setup);
        const QString before = shown(id ? testdb::scalar(rowSql.arg(table).arg(id)) : QVariant());
        const qlonglong lastLog = lastLogId();
        if (action == QLatin1String("insert"))
            id = testdb::scalarInt(change);
        else
            testdb::exec(change.arg(id));
        const QString after = shown(testdb::scalar(rowSql.arg(table).arg(id)));
        if (action == QLatin1String("update")) QVERIFY(before != after);

        const auto log = testdb::rows(
            QStringLiteral("select table_name, row_id, action, old_row::text, new_row::text from accounts_dep.change_log "
                           "where id > %1 order by id")
                .arg(lastLog));
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0][0].toString(), table);
        QCOMPARE(log[0][1].toLongLong(), qlonglong(id));
        QCOMPARE(log[0][2].toString(), action);
        QCOMPARE(shown(log[0][3]), before);
        QCOMPARE(shown(log[0][4]), after);
    }

    void clientFields_data() {
        QTest::addColumn<bool>("fromPsql");
        QTest::addColumn<QStringList>("settings");  // run first in the same session
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("version");

        const QString setAll = QStringLiteral(
            "select set_config('mirn.client_role', 'Администратор', false), "
            "set_config('mirn.client_host', 'ЦЕХ-3', false), set_config('mirn.app_version', '20261210 36000', false)");
        QTest::newRow("psql, nothing set") << true << QStringList() << "NULL" << "NULL" << "NULL";
        QTest::newRow("psql, settings set")
            << true
            << QStringList{QStringLiteral("set mirn.client_role = 'Бригадир'"), QStringLiteral("set mirn.client_host = 'ЦЕХ-2'"),
                           QStringLiteral("set mirn.app_version = '20261201 100'")}
            << "Бригадир" << "ЦЕХ-2" << "20261201 100";
        QTest::newRow("client, set_config") << false << QStringList{setAll} << "Администратор" << "ЦЕХ-3"
                                            << "20261210 36000";
        QTest::newRow("client, role only") << false
                                           << QStringList{QStringLiteral("select set_config('mirn.client_role', 'Бригадир', false)")}
                                           << "Бригадир" << "NULL" << "NULL";
        QTest::newRow("client, set then cleared")
            << false
            << QStringList{setAll, QStringLiteral("select set_config('mirn.client_role', '', false), "
                                                  "set_config('mirn.client_host', '', false), set_config('mirn.app_version', '', false)")}
            << "NULL" << "NULL" << "NULL";
    }

    // The writer's session settings go into the history; the session user always.
    void clientFields() {
        QFETCH(bool, fromPsql);
        QFETCH(QStringList, settings);
        QFETCH(QString, role);
        QFETCH(QString, host);
        QFETCH(QString, version);

        const QString write = QStringLiteral("update accounts_dep.norm set price = price + 1 where id = 901");
        const qlonglong lastLog = lastLogId();
        if (fromPsql) {
            const PsqlRun r = psql(kDb, {}, (settings + QStringList{write}).join(QStringLiteral(";\n")) + QStringLiteral(";\n"));
            QVERIFY2(r.exit == 0, qPrintable(r.err));
        } else {
            OtherClient client(QStringLiteral("workstation"));
            for (const QString& s : settings + QStringList{write}) {
                const auto failure = clientExec(client.db(), s);
                QVERIFY2(!failure, failure ? qPrintable(failure->message) : "");
            }
        }
        const auto log = testdb::rows(
            QStringLiteral("select db_user, client_role, client_host, app_version from accounts_dep.change_log where id > %1")
                .arg(lastLog));
        QCOMPARE(log.size(), 1);
        QCOMPARE(shown(log[0][0]), qEnvironmentVariable("PGUSER", QStringLiteral("sys")));
        QCOMPARE(shown(log[0][1]), role);
        QCOMPARE(shown(log[0][2]), host);
        QCOMPARE(shown(log[0][3]), version);
    }

    // Closing a month waits for a save into it that is under way; a save after the
    // closing is refused. Without that wait the save would land in the closed month.
    void closingWaitsForSaveUnderWay() {
        OtherClient saving(QStringLiteral("saving"));
        QVERIFY(saving.db().transaction());
        QVERIFY(!clientExec(saving.db(), QStringLiteral(
                                             "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, "
                                             "smena, color, time, ok) values (10001, 1, 901, 2.5, 1, 0, '2027-01-15', 1, 0, 1, 'no')")));

        const QString close = QStringLiteral("insert into accounts_dep.period_lock(year, month) values (2027, 1);\n");
        const PsqlRun waiting = psql(kDb, {}, QStringLiteral("set lock_timeout = '300ms';\n") + close);
        QVERIFY(waiting.exit != 0);
        QCOMPARE(psqlFailure(waiting.err).code, QStringLiteral("55P03"));  // lock_not_available

        QVERIFY(saving.db().commit());
        const PsqlRun closed = psql(kDb, {}, close);
        QVERIFY2(closed.exit == 0, qPrintable(closed.err));
        const auto failure = clientExec(saving.db(), QStringLiteral("update accounts_dep.smena set kol_vo = 2 where data = '2027-01-15'"));
        QVERIFY(failure);
        QCOMPARE(failure->message, QStringLiteral("Месяц закрыт: январь 2027"));
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where data = '2027-01-15'")), 1);
    }

    void entrySaveRefused_data() {
        QTest::addColumn<QString>("what");
        QTest::newRow("new entry") << "insert";
        QTest::newRow("entry moved into the month") << "move in";
        QTest::newRow("entry changed inside the month") << "change";
        QTest::newRow("entry deleted") << "delete";
    }

    // The client's own save path: the refusal reaches it as an error with the
    // month named, and neither the entry nor its day posting is stored.
    void entrySaveRefused() {
        QFETCH(QString, what);
        entry::EntryStore store;

        entry::Record r;
        r.w_id = 10001;
        r.i_id = 1;
        r.o_id = 901;
        r.cena = 2.5;
        r.kol_vo = 7;
        r.time = 3;
        r.date = QDate(2026, 11, 20);
        r.shift = 3;
        const QString before = tableRows(QStringLiteral("smena")) + tableRows(QStringLiteral("h_tabel"));
        const qlonglong lastLog = lastLogId();
        QString error;
        try {
            if (what == QLatin1String("insert")) {
                store.insert(r);
            } else if (what == QLatin1String("move in")) {
                store.update(902, r, *store.read(902));
            } else if (what == QLatin1String("change")) {
                r.date = QDate(2026, 11, 5);
                r.shift = 1;
                store.update(901, r, *store.read(901));
            } else {
                store.remove(901, *store.read(901));
            }
        } catch (const DbError& e) {
            error = QString::fromUtf8(e.what());
        }
        QVERIFY2(error.contains(kNov), qPrintable(error));
        QCOMPARE(tableRows(QStringLiteral("smena")) + tableRows(QStringLiteral("h_tabel")), before);
        QCOMPARE(lastLogId(), lastLog);
    }

    void closeAndReopenLogged_data() {
        QTest::addColumn<QString>("reason");
        QTest::newRow("with a reason") << QStringLiteral("табель сверен вручную");
        QTest::newRow("no reason") << QString();
    }
    // Without db/roles.sql the client writes period_lock itself: the close keeps its
    // reason there, and both the close and the reopen are in the history with the
    // client's fields.
    void closeAndReopenLogged() {
        QFETCH(QString, reason);
        QVERIFY(period::detect());
        QVERIFY(!period::rolesInstalled());
        QVERIFY(period::keepsCloseReason());
        period::setClientFields(QStringLiteral("Администратор"), QStringLiteral("ЦЕХ-3"), QStringLiteral("1"));
        const qlonglong last = lastLogId();
        period::PeriodStore store;
        QVERIFY(store.close(3, 2030, Role::Administrator, reason).saved());
        QCOMPARE(testdb::scalar(QStringLiteral("select coalesce(reason, 'NULL') from accounts_dep.period_lock "
                                               "where year = 2030 and month = 3")).toString(),
                 reason.isEmpty() ? QStringLiteral("NULL") : reason);
        QVERIFY(store.reopen(3, 2030, Role::Administrator).saved());
        const auto rows = testdb::rows(QStringLiteral(
            "select action, row_id, coalesce(new_row->>'reason', old_row->>'reason', 'NULL'), client_role, client_host "
            "from accounts_dep.change_log where id > %1 order by id").arg(last));
        QCOMPARE(rows.size(), 2);
        const QString why = reason.isEmpty() ? QStringLiteral("NULL") : reason;
        const QStringList close{QStringLiteral("close"), QStringLiteral("203003"), why, QStringLiteral("Администратор"),
                                QStringLiteral("ЦЕХ-3")};
        const QStringList reopen{QStringLiteral("reopen"), QStringLiteral("203003"), why, QStringLiteral("Администратор"),
                                 QStringLiteral("ЦЕХ-3")};
        for (int i = 0; i < 2; ++i) {
            QStringList got;
            for (const QVariant& v : rows.at(i)) got << v.toString();
            QCOMPARE(got, i == 0 ? close : reopen);
        }
        QCOMPARE(testdb::scalar(QStringLiteral("select table_name from accounts_dep.change_log where id > %1 group by 1")
                                    .arg(last)).toString(),
                 QStringLiteral("period_lock"));
        period::setClientFields({}, {}, {});
    }

    // A database at version 1 with closed months and history: the full script refuses
    // it and changes nothing; the step brings it to the catalog of a fresh version 2,
    // keeps every row, and then records a close with its reason. A second step is
    // refused; the full script then changes nothing.
    void upgradeFromVersion1() {
        QCOMPARE(psqlFile(kFreshDb, kInstall).exit, 0);
        const QString fresh = catalog(kFreshDb);
        PsqlRun r = psqlFile(kUpgradeDb, kVersion1);
        QVERIFY2(r.exit == 0, qPrintable(r.err));
        r = psql(kUpgradeDb, {}, QStringLiteral(
            "insert into accounts_dep.period_lock(year, month, closed_by) values (2026, 11, 'Администратор'), (2025, 2, 'sys');\n"
            "insert into accounts_dep.smena(w_id, data, smena, ok) values (1, '2026-12-01', 1, 'no');\n"
            "update accounts_dep.smena set ok = 'ok';\n"));
        QVERIFY2(r.exit == 0, qPrintable(r.err));
        const QString rowsSql = QStringLiteral(
            "select (select string_agg(format('%s.%s %s %s', year, month, closed_by, closed_at), ';' order by year, month) "
            "from accounts_dep.period_lock) || '|' || (select string_agg(c::text, ';' order by id) from accounts_dep.change_log c)");
        const QString rows = psql(kUpgradeDb, {}, rowsSql).out;
        QVERIFY2(rows.contains(QStringLiteral("2026.11 Администратор")), qPrintable(rows));
        QVERIFY(rows.contains(QLatin1String("update")));
        const QString version1 = catalog(kUpgradeDb);
        QVERIFY(version1 != fresh);

        r = psqlFile(kUpgradeDb, kInstall);
        QCOMPARE(r.exit, 3);
        QVERIFY2(r.err.contains(QLatin1String("has extension version 1, this script is version 2")), qPrintable(r.err));
        QCOMPARE(catalog(kUpgradeDb), version1);

        r = psqlFile(kUpgradeDb, kUpgrade);
        QVERIFY2(r.exit == 0, qPrintable(r.err));
        r = psqlFile(kUpgradeDb, kPayrollStep);
        QVERIFY2(r.exit == 0, qPrintable(r.err));
        QCOMPARE(catalog(kUpgradeDb), fresh);
        QCOMPARE(psql(kUpgradeDb, {}, rowsSql).out, rows);
        QCOMPARE(psql(kUpgradeDb, {}, QStringLiteral("select version from accounts_dep.schema_version where component = 'extension'")).out,
                 QStringLiteral("2"));

        r = psqlFile(kUpgradeDb, kUpgrade);
        QCOMPARE(r.exit, 3);
        QVERIFY2(r.err.contains(QLatin1String("has extension version 2")), qPrintable(r.err));
        QCOMPARE(psqlFile(kUpgradeDb, kInstall).exit, 0);
        QCOMPARE(catalog(kUpgradeDb), fresh);

        r = psql(kUpgradeDb, {}, QStringLiteral(
            "insert into accounts_dep.period_lock(year, month, closed_by, reason) values (2026, 12, 'Администратор', 'сверено');\n"
            "select action || ' ' || row_id || ' ' || (new_row->>'reason') from accounts_dep.change_log order by id desc limit 1;\n"));
        QVERIFY2(r.exit == 0, qPrintable(r.err));
        QCOMPARE(r.out, QStringLiteral("close 202612 сверено"));
    }

    // A second run keeps the closed months and the history and changes no definition.
    void secondRunChangesNothing() {
        const QString data = QStringLiteral(
            "select (select string_agg(p::text, ';' order by year, month) from accounts_dep.period_lock p) || '|' || "
            "(select count(*) || '/' || max(id) from accounts_dep.change_log)");
        const QString definitions = catalog(kDb);
        const QString rows = testdb::scalar(data).toString();
        QVERIFY(definitions.contains(QLatin1String("trigger accounts_dep.smena period_lock_guard")));
        QVERIFY(!rows.isEmpty());

        const PsqlRun r = psqlFile(kDb, kInstall);
        QVERIFY2(r.exit == 0, qPrintable(r.err));
        QCOMPARE(catalog(kDb), definitions);
        QCOMPARE(testdb::scalar(data).toString(), rows);
    }

    // Removal leaves every table, column, constraint, index, trigger and function as
    // they were before the extension came, also after it has been used; a second
    // removal is harmless.
    void removalRestoresTheTables() {
        const QString pristine = catalog(kDropDb);
        QVERIFY(pristine.contains(QLatin1String("column accounts_dep.smena.data date")));

        QCOMPARE(psqlFile(kDropDb, kInstall).exit, 0);
        QVERIFY(catalog(kDropDb) != pristine);
        const PsqlRun used = psql(kDropDb, {}, QStringLiteral(
            "insert into accounts_dep.period_lock(year, month) values (2026, 11);\n"
            "insert into accounts_dep.vid_oper(id, vid) values (1, 'Гибка');\n"
            "insert into accounts_dep.smena(w_id, data, smena, ok) values (1, '2026-12-01', 1, 'no');\n"));
        QVERIFY2(used.exit == 0, qPrintable(used.err));

        for (int run = 1; run <= 2; ++run) {
            const PsqlRun r = psqlFile(kDropDb, kRemove);
            QVERIFY2(r.exit == 0, qPrintable(r.err));
            QCOMPARE(catalog(kDropDb), pristine);
        }
        // The former closed month takes writes again.
        QCOMPARE(psql(kDropDb, {}, QStringLiteral("insert into accounts_dep.smena(w_id, data, smena, ok) values (1, '2026-11-02', 1, 'no');\n")).exit, 0);
    }
};

QTEST_MAIN(TestExtension)
#include "test_extension.moc"
