// Where the client connects (settings files, PG* variables, command line), TLS, and
// what happens when the server goes away and comes back. A cluster of its own, so
// that it can be stopped, restarted and switched to TLS without touching the others.
#include "gui/forms.h"
#include "core/startup.h"
#include "core/signin.h"
#include "gui/ui.h"
#include "domain/connection.h"
#include "domain/db.h"
#include "domain/session.h"
#include "journal/tform1.h"
#include "support/testdb.h"

#include <QtTest>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <unistd.h>

using namespace mirn;

namespace {
const QString kDb = QStringLiteral("t_conn");

void writeFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    f.write(text);
}

// "key=value;key=value" -> an INI file with a [connection] group (nothing for "").
QByteArray ini(const QString& pairs) {
    QByteArray out = "[connection]\n";
    for (const QString& kv : pairs.split(QLatin1Char(';'), Qt::SkipEmptyParts)) out += kv.toUtf8() + "\n";
    return out;
}

const char* const kPgVars[] = {"PGHOST", "PGPORT", "PGDATABASE", "PGUSER", "PGPASSWORD", "PGPASSFILE",
                               "PGSSLMODE", "PGSSLROOTCERT", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"};

// Replaces the process environment's PG* and XDG config variables for one test.
class EnvScope {
public:
    explicit EnvScope(const QMap<QString, QString>& set) {
        for (const char* v : kPgVars) {
            saved_[v] = qgetenv(v);
            had_[v] = qEnvironmentVariableIsSet(v);
            qunsetenv(v);
        }
        for (auto it = set.begin(); it != set.end(); ++it) qputenv(it.key().toUtf8().constData(), it.value().toUtf8());
    }
    ~EnvScope() {
        for (const char* v : kPgVars) {
            if (had_[v]) qputenv(v, saved_[v]);
            else qunsetenv(v);
        }
    }

private:
    QMap<QByteArray, QByteArray> saved_;
    QMap<QByteArray, bool> had_;
};
}  // namespace

class TestConnection : public QObject {
    Q_OBJECT
    QString pgScript_;
    QString dir_;
    int port_ = 0;
    bool halted_ = false;  // a failed check must not leave the next tests without a server
    QTemporaryDir tmp_;

    void pg(const QStringList& args) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("bash"), QStringList{pgScript_} + args);
        QVERIFY(p.waitForFinished(120000));
        QVERIFY2(p.exitCode() == 0, p.readAll().constData());
    }
    void sh(const QString& cmd) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("bash"), {QStringLiteral("-c"), cmd});
        QVERIFY(p.waitForFinished(60000));
        QVERIFY2(p.exitCode() == 0, p.readAll().constData());
    }
    // The command line as the client gets it: this cluster, a database.
    connection::Params here(const QString& db = kDb, const QString& extra = QString()) {
        writeFile(tmp_.filePath(QStringLiteral("here.conf")),
                  ini(QStringLiteral("port=%1;").arg(port_) + extra));
        return connection::resolve({db, QStringLiteral("127.0.0.1")}, QProcessEnvironment(),
                                   tmp_.filePath(QStringLiteral("here.conf")), {});
    }
    // A statement on a second connection (to end the client's backend, to look).
    QVariant outside(const QString& sql) {
        QVariant v;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("outside"));
            db.setHostName(QStringLiteral("127.0.0.1"));
            db.setPort(port_);
            db.setDatabaseName(kDb);
            db.setUserName(QStringLiteral("sys"));
            db.setPassword(QStringLiteral("wubalem"));
            if (db.open()) {
                QSqlQuery q(db);
                if (q.exec(sql) && q.next()) v = q.value(0);
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("outside"));
        return v;
    }
    int backendPid() { return testdb::scalarInt(QStringLiteral("select pg_backend_pid()")); }

private slots:
    void initTestCase() {
        pgScript_ = qEnvironmentVariable("MIRN_PG_SCRIPT");
        QVERIFY2(!pgScript_.isEmpty(), "run through scripts/test.sh (MIRN_PG_SCRIPT)");
        QVERIFY(tmp_.isValid());
        dir_ = QStringLiteral("/tmp/mirn-conn-%1").arg(QCoreApplication::applicationPid());
        pg({QStringLiteral("start"), dir_});
        pg({QStringLiteral("createdb"), dir_, kDb, QStringLiteral("schema")});
        QFile env(dir_ + QStringLiteral("/env"));
        QVERIFY(env.open(QIODevice::ReadOnly));
        const QRegularExpression re(QStringLiteral("PGPORT=(\\d+)"));
        port_ = re.match(QString::fromUtf8(env.readAll())).captured(1).toInt();
        QVERIFY(port_ > 0);
    }
    void cleanupTestCase() {
        testdb::stopApp();
        if (!dir_.isEmpty()) pg({QStringLiteral("stop"), dir_});
    }
    void cleanup() {
        testdb::stopApp();
        if (halted_) pg({QStringLiteral("restart"), dir_});
        halted_ = false;
    }

    // Each value from the first source that gives it: command line, PG* variables,
    // user file, system file, built-in.
    void precedence_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("cli");     // server for "server", database for "database"
        QTest::addColumn<QString>("envVal");  // the matching PG* variable
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("origin");
        QTest::newRow("server built-in") << "server" << "" << "" << "" << "" << "localhost" << "built-in";
        QTest::newRow("server system file") << "server" << "" << "" << "" << "sys-a" << "sys-a" << "system file";
        QTest::newRow("server user over system") << "server" << "" << "" << "usr-a" << "sys-a" << "usr-a" << "user file";
        QTest::newRow("server PGHOST over user") << "server" << "" << "env-a" << "usr-a" << "sys-a" << "env-a" << "PG*";
        QTest::newRow("server command line over all") << "server" << "cli-a" << "env-a" << "usr-a" << "sys-a" << "cli-a" << "command line";
        QTest::newRow("empty user value leaves system") << "server" << "" << "" << "" << "sys-a" << "sys-a" << "system file";
        QTest::newRow("database built-in") << "database" << "" << "" << "" << "" << "mirn_erp" << "built-in";
        QTest::newRow("database system") << "database" << "" << "" << "" << "db_s" << "db_s" << "system file";
        QTest::newRow("database PGDATABASE over user") << "database" << "" << "db_e" << "db_u" << "db_s" << "db_e" << "PG*";
        QTest::newRow("database command line (with server)") << "database" << "db_c" << "db_e" << "db_u" << "" << "db_c" << "command line";
        QTest::newRow("port built-in") << "port" << "" << "" << "" << "" << "5432" << "";
        QTest::newRow("port system") << "port" << "" << "" << "" << "6001" << "6001" << "";
        QTest::newRow("port user over system") << "port" << "" << "" << "6002" << "6001" << "6002" << "";
        QTest::newRow("port PGPORT over user") << "port" << "" << "6003" << "6002" << "6001" << "6003" << "";
        QTest::newRow("port not a number is skipped") << "port" << "" << "" << "abc" << "6001" << "6001" << "";
        QTest::newRow("user system") << "user" << "" << "" << "" << "clerk" << "clerk" << "system file";
        QTest::newRow("user PGUSER over user file") << "user" << "" << "boss" << "clerk2" << "clerk" << "boss" << "PG*";
        QTest::newRow("password built-in") << "password" << "" << "" << "" << "" << "wubalem" << "";
        QTest::newRow("password system") << "password" << "" << "" << "" << "s3" << "s3" << "";
        QTest::newRow("password with a comma") << "password" << "" << "" << "a,b" << "s3" << "a,b" << "";
        QTest::newRow("password PGPASSWORD first") << "password" << "" << "pw" << "a" << "s3" << "pw" << "";
        QTest::newRow("sslmode built-in allow") << "sslmode" << "" << "" << "" << "" << "allow" << "built-in";
        QTest::newRow("sslmode system") << "sslmode" << "" << "" << "" << "require" << "require" << "system file";
        QTest::newRow("sslmode PGSSLMODE over files") << "sslmode" << "" << "disable" << "verify-full" << "require" << "disable" << "PG*";
    }
    void precedence() {
        QFETCH(QString, key);
        QFETCH(QString, cli);
        QFETCH(QString, envVal);
        QFETCH(QString, user);
        QFETCH(QString, system);
        QFETCH(QString, expected);
        QFETCH(QString, origin);
        static const QMap<QString, QString> vars{
            {"server", "PGHOST"}, {"database", "PGDATABASE"}, {"port", "PGPORT"},
            {"user", "PGUSER"},   {"password", "PGPASSWORD"}, {"sslmode", "PGSSLMODE"}};
        QProcessEnvironment env;
        if (!envVal.isEmpty()) env.insert(vars[key], envVal);
        const QString userFile = tmp_.filePath(QStringLiteral("user.conf"));
        const QString sysFile = tmp_.filePath(QStringLiteral("xdg/mirn/mirn.conf"));
        writeFile(userFile, ini(user.isEmpty() ? QString() : key + QLatin1Char('=') + user));
        writeFile(sysFile, ini(system.isEmpty() ? QString() : key + QLatin1Char('=') + system));
        connection::CommandLine cmd;
        if (key == QLatin1String("server")) cmd.server = cli;
        if (key == QLatin1String("database") && !cli.isEmpty()) cmd = {cli, QStringLiteral("cli-host")};
        const auto p = connection::resolve(cmd, env, userFile, {QStringLiteral("/nonexistent/mirn.conf"), sysFile});
        const QMap<QString, QString> got{{"server", p.host},     {"database", p.database},
                                         {"port", QString::number(p.port)},
                                         {"user", p.user},       {"password", p.password},
                                         {"sslmode", p.sslmode}};
        QCOMPARE(got[key], expected);
        if (!origin.isEmpty()) {
            const QString o = p.origins.filter(key + QLatin1Char('=')).value(0);
            QVERIFY2(o.startsWith(key + QLatin1Char('=') + origin), qPrintable(o));
        }
        QVERIFY(p.options.contains(QStringLiteral("sslmode=") + p.sslmode));
    }

    // No file and no variable: exactly the built-in connection; the XDG paths.
    void noFileNoVariableIsBuiltIn() {
        QProcessEnvironment env;
        env.insert(QStringLiteral("HOME"), tmp_.filePath(QStringLiteral("home")));
        const auto files = connection::systemSettingsFiles(env);
        QCOMPARE(files, QStringList{QStringLiteral("/etc/xdg/mirn/mirn.conf")});
        QCOMPARE(connection::userSettingsFile(env), tmp_.filePath(QStringLiteral("home/.config/mirn/mirn.conf")));
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), QStringLiteral("/a:/b"));
        QCOMPARE(connection::systemSettingsFiles(env),
                 (QStringList{QStringLiteral("/a/mirn/mirn.conf"), QStringLiteral("/b/mirn/mirn.conf")}));
        const auto p = connection::resolve({}, QProcessEnvironment(), connection::userSettingsFile(env), {});
        const auto old = connection::params(QString(), QString(), QProcessEnvironment());
        QCOMPARE(p.host, old.host);
        QCOMPARE(p.database, QStringLiteral("mirn_erp"));
        QCOMPARE(p.port, 5432);
        QCOMPARE(p.user, QStringLiteral("sys"));
        QCOMPARE(p.password, QStringLiteral("wubalem"));
        QCOMPARE(p.options, QStringLiteral("sslmode=allow;connect_timeout=10"));
    }

    void passwordFile_data() {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("expected");  // "<none>": no line matches
        QTest::newRow("exact line") << "db1:5432:mirn_erp:sys:secret" << "secret";
        QTest::newRow("wildcards") << "*:*:*:sys:any" << "any";
        QTest::newRow("first match wins") << "# comment\nother:1:x:y:no\n*:*:*:*:first\n*:*:*:*:second" << "first";
        QTest::newRow("escaped colon in password") << "db1:5432:*:sys:a\\:b\\\\c" << "a:b\\c";
        QTest::newRow("no match") << "db2:5432:*:sys:x\ndb1:5433:*:sys:y" << "<none>";
    }
    void passwordFile() {
        QFETCH(QString, lines);
        QFETCH(QString, expected);
        const QString f = tmp_.filePath(QStringLiteral("pgpass"));
        writeFile(f, lines.toUtf8());
        const QString got =
            connection::passwordFromFile(f, QStringLiteral("db1"), 5432, QStringLiteral("mirn_erp"), QStringLiteral("sys"));
        QCOMPARE(got.isNull() ? QStringLiteral("<none>") : got, expected);
    }

    // The client started with no arguments finds the server through the files alone.
    void startsFromSettingsFiles() {
        const QString home = tmp_.filePath(QStringLiteral("cfg"));
        const QString xdg = tmp_.filePath(QStringLiteral("sysxdg"));
        const QString pass = tmp_.filePath(QStringLiteral("cfg/pgpass"));
        writeFile(pass, QStringLiteral("127.0.0.1:%1:%2:sys:wubalem\n").arg(port_).arg(kDb).toUtf8());
        writeFile(xdg + QStringLiteral("/mirn/mirn.conf"),
                  ini(QStringLiteral("server=127.0.0.1;port=%1;database=mirn_erp;password=wrong").arg(port_)));
        writeFile(home + QStringLiteral("/mirn/mirn.conf"), ini(QStringLiteral("database=%1;passfile=%2").arg(kDb, pass)));
        EnvScope env({{"XDG_CONFIG_HOME", home}, {"XDG_CONFIG_DIRS", xdg}});
        app::testing::resetTerminated();
        MessageLog log;
        QVERIFY(forms::form<TForm1>().FormCreate(QString(), QString()));
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.texts().join('|')));
        QCOMPARE(testdb::scalar(QStringLiteral("select current_database()")).toString(), kDb);
        QCOMPARE(connection::current().port, port_);
    }

    // A start-up failure keeps its message and caption and says where and why.
    void startUpFailureHasDetails_data() {
        QTest::addColumn<QString>("conf");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing database") << "database=no_such_db" << "no_such_db";
        QTest::newRow("wrong password") << QStringLiteral("database=%1;password=wrong").arg(kDb) << "password";
    }
    void startUpFailureHasDetails() {
        QFETCH(QString, conf);
        QFETCH(QString, reason);
        const QString home = tmp_.filePath(QStringLiteral("fail"));
        writeFile(home + QStringLiteral("/mirn/mirn.conf"), ini(QStringLiteral("server=127.0.0.1;port=%1;").arg(port_) + conf));
        EnvScope env({{"XDG_CONFIG_HOME", home}, {"XDG_CONFIG_DIRS", tmp_.filePath(QStringLiteral("none"))}});
        app::testing::resetTerminated();
        MessageLog log;
        QVERIFY(!forms::form<TForm1>().FormCreate(QString(), QString()));
        QCOMPARE(log.messages.size(), 1);
        const ui::Message& m = log.messages[0];
        QCOMPARE(m.text, QStringLiteral("Подключение к БД отсутсвует!!!"));
        QCOMPARE(m.caption, QStringLiteral("Ошибка!"));
        QVERIFY2(m.details.contains(QStringLiteral("127.0.0.1")), qPrintable(m.details));
        QVERIFY2(m.details.contains(QString::number(port_)), qPrintable(m.details));
        QVERIFY2(m.details.contains(reason), qPrintable(m.details));
        QVERIFY(!m.details.contains(QStringLiteral("wubalem")));
        QVERIFY(app::terminated());
    }

    // The server stops: each action says so once (the timer says nothing); the
    // server comes back: the next action works without a restart of the client.
    void serverGoneAndBack() {
        QVERIFY(connection::open(here()));
        QCOMPARE(testdb::scalarInt(QStringLiteral("select 1")), 1);
        pg({QStringLiteral("halt"), dir_});
        halted_ = true;
        MessageLog log;
        ui::guard([] { testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.person")); })();
        QCOMPARE(log.messages.size(), 1);
        const ui::Message first = log.messages[0];
        QVERIFY2(first.text.contains(QStringLiteral("127.0.0.1")) && first.text.contains(QString::number(port_)),
                 qPrintable(first.text));
        QVERIFY(first.text.startsWith(QStringLiteral("Нет связи с сервером")));
        QVERIFY(!first.details.isEmpty());
        // The 30-second build guard while the server is away: no box at all.
        ui::quietGuard([] { testdb::exec(QStringLiteral("select 1")); })();
        ui::quietGuard([] { testdb::exec(QStringLiteral("select 1")); })();
        QCOMPARE(log.messages.size(), 1);
        // A write while away: refused with the same clear message.
        ui::guard([] { Transaction t; testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'a')")); t.commit(); })();
        QCOMPARE(log.messages.size(), 2);
        QCOMPARE(log.messages[1].text, first.text);

        pg({QStringLiteral("restart"), dir_});
        halted_ = false;
        ui::guard([] {
            Transaction t;
            testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (2, 'after')"));
            t.commit();
        })();
        QVERIFY2(log.messages.size() == 2, qPrintable(log.texts().join('|')));
        QCOMPARE(outside(QStringLiteral("select string_agg(vid, ',') from accounts_dep.vid_oper")).toString(),
                 QStringLiteral("after"));
    }

    // The journal's build guard ticks on while the server is away: not one box;
    // once the server is back its ticks work again.
    void buildGuardQuietWhileServerAway() {
        const QString home = tmp_.filePath(QStringLiteral("guard"));
        writeFile(home + QStringLiteral("/mirn/mirn.conf"),
                  ini(QStringLiteral("server=127.0.0.1;port=%1;database=%2").arg(port_).arg(kDb)));
        {
            EnvScope env({{"XDG_CONFIG_HOME", home}, {"XDG_CONFIG_DIRS", tmp_.filePath(QStringLiteral("none"))}});
            app::testing::resetTerminated();
            QVERIFY(forms::form<TForm1>().FormCreate(QString(), QString()));
        }
        TForm1& f1 = forms::form<TForm1>();
        MessageLog log;
        pg({QStringLiteral("halt"), dir_});
        halted_ = true;
        f1.Timer1->setInterval(20);
        QTest::qWait(300);
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.texts().join('|')));
        pg({QStringLiteral("restart"), dir_});
        halted_ = false;
        testdb::exec(QStringLiteral("update accounts_dep.ver set d = 0"));
        QTRY_COMPARE(testdb::scalarInt(QStringLiteral("select d from accounts_dep.ver")), f1.BuildDate);
        f1.Timer1->stop();
        QVERIFY(log.messages.isEmpty());
    }

    // Restarted while the client was idle: the next read simply works, no box.
    void restartWhileIdle() {
        QVERIFY(connection::open(here()));
        const int before = backendPid();
        pg({QStringLiteral("restart"), dir_});
        MessageLog log;
        int n = -1;
        ui::guard([&] { n = testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.person")); })();
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.texts().join('|')));
        QCOMPARE(n, 0);
        QVERIFY(backendPid() != before);
    }

    // The connection is cut between two statements of one change: nothing of it
    // is stored, the user is told, and the next action works.
    void cutBetweenStatements() {
        QVERIFY(connection::open(here()));
        testdb::exec(QStringLiteral("delete from accounts_dep.vid_oper"));
        const int pid = backendPid();
        MessageLog log;
        ui::guard([&] {
            Transaction t;
            testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (10, 'half')"));
            QVERIFY(outside(QStringLiteral("select pg_terminate_backend(%1)").arg(pid)).toBool());
            testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (11, 'other half')"));
            t.commit();
        })();
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(!log.messages[0].text.isEmpty() && log.messages[0].text.contains(QStringLiteral("127.0.0.1")),
                 qPrintable(log.messages[0].text));
        QCOMPARE(outside(QStringLiteral("select count(*) from accounts_dep.vid_oper")).toInt(), 0);
        // Retrying the action: no empty box, the change is stored whole.
        ui::guard([&] {
            Transaction t;
            testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (10, 'whole')"));
            testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (11, 'whole')"));
            t.commit();
        })();
        QCOMPARE(log.messages.size(), 1);
        QCOMPARE(outside(QStringLiteral("select count(*) from accounts_dep.vid_oper")).toInt(), 2);
    }

    // A refused write reads as a Russian sentence of what was not stored; the
    // server's own words are the details.
    void databaseErrorsInRussian_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("detail");
        QTest::newRow("text too long") << QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (20, repeat('x', 5000))")
                                       << "Не удалось сохранить вид операции: текст длиннее, чем допускает поле."
                                       << "value too long";
        QTest::newRow("numeric overflow") << QStringLiteral("insert into accounts_dep.smena(kol_vo) values (99999999999)")
                                          << "Не удалось сохранить запись журнала смен: число вне допустимого диапазона."
                                          << "out of range";
        QTest::newRow("duplicate key") << QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (10, 'dup')")
                                       << "Не удалось сохранить вид операции: такая запись уже есть."
                                       << "duplicate key";
        QTest::newRow("delete of a row in use") << QStringLiteral("delete from accounts_dep.vid_oper where id = 10")
                                                << "Не удалось удалить вид операции: запись связана с другими данными."
                                                << "foreign key";
        QTest::newRow("a read") << QStringLiteral("select * from accounts_dep.no_such_table")
                                << "Не удалось прочитать данные из базы: сервер базы данных отказал."
                                << "no_such_table";
    }
    void databaseErrorsInRussian() {
        QFETCH(QString, sql);
        QFETCH(QString, text);
        QFETCH(QString, detail);
        QVERIFY(connection::open(here()));
        testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (10, 'v') on conflict do nothing"));
        testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid) values (10, 10) on conflict do nothing"));
        MessageLog log;
        ui::guard([&] { testdb::exec(sql); })();
        QCOMPARE(log.messages.size(), 1);
        QCOMPARE(log.messages[0].text, text);
        QCOMPARE(log.messages[0].caption, QStringLiteral("Ошибка"));
        QVERIFY2(log.messages[0].details.contains(detail), qPrintable(log.messages[0].details));
    }

    // The support log: where the client connected (never the password), the role,
    // every stored change and error with the server's words, slow statements; it
    // rotates at a fixed size and keeps three files.
    void supportLog() {
        const QString dir = tmp_.filePath(QStringLiteral("state/mirn"));
        const QString path = dir + QStringLiteral("/mirn.log");
        QProcessEnvironment env;
        env.insert(QStringLiteral("XDG_STATE_HOME"), tmp_.filePath(QStringLiteral("state")));
        QCOMPARE(startup::logFilePath(env), path);
        startup::installLog(path);
        const QString home = tmp_.filePath(QStringLiteral("logcfg"));
        writeFile(home + QStringLiteral("/mirn/mirn.conf"),
                  ini(QStringLiteral("server=127.0.0.1;port=%1;database=%2;password=wubalem").arg(port_).arg(kDb)));
        {
            EnvScope scope({{"XDG_CONFIG_HOME", home}, {"XDG_CONFIG_DIRS", tmp_.filePath(QStringLiteral("none"))}});
            app::testing::resetTerminated();
            QVERIFY(forms::form<TForm1>().FormCreate(QString(), QString()));
        }
        MessageLog log;
        signIn();
        testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (77, 'logged')"));
        ui::guard([] { testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (77, 'twice')")); })();
        testdb::exec(QStringLiteral("select pg_sleep(0.6)"));
        startup::flushLog();
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        const QStringList want{
            QStringLiteral("connected to 127.0.0.1:%1/%2 as sys").arg(port_).arg(kDb),
            QStringLiteral("signed in as administrator"),
            QStringLiteral("stored: insert into accounts_dep.vid_oper(id, vid) values (77, 'logged')"),
            QStringLiteral("statement failed: 23505"),
            QStringLiteral("Key (id)=(77) already exists"),
            QStringLiteral("error box: Ошибка | Не удалось сохранить вид операции"),
            QStringLiteral("slow statement"),
        };
        for (const QString& w : want) QVERIFY2(text.contains(w), qPrintable(w + QStringLiteral(" not in:\n") + text));
        QVERIFY(!text.contains(QStringLiteral("wubalem")));
        // Rotation: a few megabytes of messages leave three files of about 1 MB.
        const QString line(400, QLatin1Char('x'));
        for (int i = 0; i < 10000; ++i) qInfo().noquote() << line;
        startup::flushLog();
        const QStringList files = QDir(dir).entryList({QStringLiteral("mirn*.log")}, QDir::Files, QDir::Name);
        QCOMPARE(files, (QStringList{QStringLiteral("mirn.1.log"), QStringLiteral("mirn.2.log"), QStringLiteral("mirn.log")}));
        for (const QString& name : files) QVERIFY(QFileInfo(dir + QLatin1Char('/') + name).size() <= 1024 * 1024 + 1024);
        qInstallMessageHandler(nullptr);
    }

    // TLS: a self-signed certificate made here; "require" and "verify-full" with the
    // root certificate connect over TLS, a wrong root certificate is refused.
    void tls_data() {
        QTest::addColumn<QString>("sslmode");
        QTest::addColumn<QString>("root");  // good, wrong or none
        QTest::addColumn<bool>("connects");
        QTest::newRow("require") << "require" << "none" << true;
        QTest::newRow("verify-full, right root") << "verify-full" << "good" << true;
        QTest::newRow("verify-ca, right root") << "verify-ca" << "good" << true;
        QTest::newRow("verify-full, wrong root") << "verify-full" << "wrong" << false;
    }
    void tls() {
        QFETCH(QString, sslmode);
        QFETCH(QString, root);
        QFETCH(bool, connects);
        const QString data = dir_ + QStringLiteral("/data");
        if (!QFile::exists(tmp_.filePath(QStringLiteral("server.crt")))) {
            const QString t = tmp_.path();
            sh(QStringLiteral("cd '%1' && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
                              "-addext subjectAltName=IP:127.0.0.1,DNS:localhost -keyout server.key -out server.crt 2>&1 && "
                              "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
                              "-addext subjectAltName=IP:127.0.0.1 -keyout other.key -out other.crt 2>&1 && "
                              "cp server.crt server.key '%2'/ && chmod 600 '%2'/server.key && "
                              "printf \"ssl = on\\nssl_cert_file = 'server.crt'\\nssl_key_file = 'server.key'\\n\" >> '%2'/postgresql.conf")
                   .arg(t, data));
            if (getuid() == 0) sh(QStringLiteral("chown postgres: '%1'/server.crt '%1'/server.key").arg(data));
            pg({QStringLiteral("restart"), dir_});
        }
        QString extra = QStringLiteral("sslmode=") + sslmode;
        if (root != QLatin1String("none"))
            extra += QStringLiteral(";sslrootcert=") +
                     tmp_.filePath(root == QLatin1String("good") ? QStringLiteral("server.crt") : QStringLiteral("other.crt"));
        QString why;
        const bool ok = connection::open(here(kDb, extra), &why);
        QCOMPARE(ok, connects);
        if (ok) {
            QCOMPARE(testdb::scalar(QStringLiteral("select ssl from pg_stat_ssl where pid = pg_backend_pid()")).toBool(), true);
        } else {
            QVERIFY2(why.contains(QStringLiteral("certificate")), qPrintable(why));
        }
    }
};

QTEST_MAIN(TestConnection)
#include "test_connection.moc"
