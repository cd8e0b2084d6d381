// A personal account's password kept in the desktop's keyring. keyring_session.sh runs
// this test on a session bus of its own with a keyring daemon, and with a HOME of its
// own; the database with db/roles.sql is on a PostgreSQL server of the test's own
// (roles belong to the whole server). The sign-in window keeps, recalls and forgets
// the password; mirn-batch takes it after PGPASSWORD and the password file; nothing
// but the keyring ever holds it.
#include "core/signin.h"
#include "domain/connection.h"
#include "domain/session.h"
#include "gui/forms.h"
#include "journal/tform1.h"
#include "keyring/keyring.h"
#include "support/testdb.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace mirn;

namespace {
const QString kDb = QStringLiteral("t_keyring");
const QString kLogin = QStringLiteral("p_keep");
const QString kPassword = QStringLiteral("Keep-pass-7");

QString g_dir;      // the cluster of this test
QString g_config;   // XDG_CONFIG_HOME of the client
QString g_bus;      // the session bus keyring_session.sh started

QString pgScript() {
    const QString s = qEnvironmentVariable("MIRN_PG_SCRIPT");
    return s.isEmpty() ? QStringLiteral(MIRN_SOURCE_DIR "/scripts/pg.sh") : s;
}

int run(const QString& program, const QStringList& args, QString* out = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted()) return -1;
    p.closeWriteChannel();
    p.waitForFinished(120000);
    const QString text = QString::fromUtf8(p.readAll());
    if (out) *out = text;
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) qWarning().noquote() << program << args << text;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

int superSql(const QString& db, const QStringList& args) {
    return run(QStringLiteral("psql"), QStringList{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                                   QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), g_dir,
                                                   QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-d"), db} +
                                           args);
}

// [signin] mode=accounts, and optionally the login the window starts with.
void setConfig(const QString& user = {}) {
    QDir(g_config).removeRecursively();
    QDir().mkpath(g_config + QStringLiteral("/mirn"));
    QFile f(g_config + QStringLiteral("/mirn/mirn.conf"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[signin]\nmode=accounts\n");
    if (!user.isEmpty()) f.write("[connection]\nuser=" + user.toUtf8() + "\n");
}

QString settingsText() {
    QFile f(g_config + QStringLiteral("/mirn/mirn.conf"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The client started again on the test's database, waiting for the sign-in.
TForm23& restartApp() {
    testdb::stopApp();
    app::testing::resetTerminated();
    session().role = Role::None;
    if (!forms::form<TForm1>().FormCreate(kDb, testdb::host())) throw DbError(QStringLiteral("no start"));
    TForm23& f23 = forms::form<TForm23>();
    f23.activateWindow();
    if (!QTest::qWaitForWindowActive(&f23)) throw DbError(QStringLiteral("the sign-in window is not active"));
    return f23;
}

// A click into the login, the login typed, Tab to the password: as a person does.
void typeLogin(TForm23& f23, const QString& login) {
    QTest::mouseClick(f23.LoginEdit, Qt::LeftButton);
    QTest::keyClick(f23.LoginEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(f23.LoginEdit, Qt::Key_Delete);
    QTest::keyClicks(f23.LoginEdit, login);
    QTest::keyClick(f23.LoginEdit, Qt::Key_Tab);
}

void typePassword(TForm23& f23, const QString& password) {
    QTest::keyClick(f23.Edit1, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(f23.Edit1, Qt::Key_Delete);
    QTest::keyClicks(f23.Edit1, password);
}

// The space bar on «Запомнить пароль» until it shows `on`.
void setRemember(TForm23& f23, bool on) {
    if (f23.RememberBox->isChecked() != on) QTest::keyClick(f23.RememberBox, Qt::Key_Space);
}

// What the keyring holds for the program, read with the desktop's own tool: the key
// (login@server:port/database) → the password.
QMap<QString, QString> keyringItems() {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), g_bus);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("secret-tool"), {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("server"),
                                            QStringLiteral("mirn")});
    p.waitForFinished(30000);
    QMap<QString, QString> items;
    QString secret;
    for (const QString& line : QString::fromUtf8(p.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("secret = "))) secret = line.mid(9);
        if (line.startsWith(QLatin1String("attribute.user = "))) items.insert(line.mid(17), secret);
    }
    return items;
}

QString keyOf(const QString& login) {
    return QStringLiteral("%1@%2:%3/%4").arg(login, testdb::host(), qEnvironmentVariable("PGPORT"), kDb);
}

// Every file under HOME and the client's settings folder whose bytes hold `text`.
QStringList filesHolding(const QString& text) {
    QStringList found;
    for (const QString& root : {QDir::homePath(), g_config}) {
        QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            if (f.open(QIODevice::ReadOnly) && f.readAll().contains(text.toUtf8())) found << f.fileName();
        }
    }
    return found;
}

keyring::Account account() {
    return keyring::Account{testdb::host(), qEnvironmentVariableIntValue("PGPORT"), kDb, kLogin};
}
}  // namespace

class TestKeyring : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        g_bus = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        QVERIFY2(!g_bus.isEmpty(), "run through keyring_session.sh");
        g_dir = QDir::tempPath() + QStringLiteral("/mirn-keyring-%1").arg(QCoreApplication::applicationPid());
        QCOMPARE(run(QStringLiteral("bash"), {pgScript(), QStringLiteral("start"), g_dir}), 0);
        QCOMPARE(run(QStringLiteral("bash"), {pgScript(), QStringLiteral("createdb"), g_dir, kDb}), 0);
        QFile env(g_dir + QStringLiteral("/env"));
        QVERIFY(env.open(QIODevice::ReadOnly));
        const auto m = QRegularExpression(QStringLiteral("PGPORT=(\\d+)")).match(QString::fromUtf8(env.readAll()));
        QVERIFY(m.hasMatch());
        qputenv("PGHOST", "127.0.0.1");
        qputenv("PGPORT", m.captured(1).toLatin1());
        qputenv("PGUSER", "sys");
        qputenv("PGPASSWORD", "wubalem");
        g_config = QDir::homePath() + QStringLiteral("/config");
        qputenv("XDG_CONFIG_HOME", g_config.toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", (g_config + QStringLiteral("/none")).toLocal8Bit());

        QCOMPARE(run(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                              QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), kDb,
                                              QStringLiteral("-f"), QStringLiteral(MIRN_SOURCE_DIR "/db/extension.sql")}),
                 0);
        QCOMPARE(superSql(kDb, {QStringLiteral("-f"), QStringLiteral(MIRN_SOURCE_DIR "/db/roles.sql")}), 0);
        QCOMPARE(superSql(kDb, {QStringLiteral("-c"), QStringLiteral("select accounts_dep.person_create('%1', "
                                                                     "'Хранова Ольга', 'mirn_viewer', '%2')")
                                                          .arg(kLogin, kPassword)}),
                 0);
        // The client from here on: its sign-in by personal account, no shared password.
        qunsetenv("PGUSER");
        qunsetenv("PGPASSWORD");
    }
    void cleanupTestCase() {
        testdb::stopApp();
        run(QStringLiteral("bash"), {pgScript(), QStringLiteral("stop"), g_dir});
    }

    // First, while this process has never reached a keyring: with no session bus there
    // is none. Asked to remember, the window says so and signs in; nothing is written.
    void noKeyring() {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/mirn-no-bus");
        setConfig();
        TForm23& f23 = restartApp();
        QVERIFY(!f23.RememberBox->isChecked());
        MessageLog log;
        typeLogin(f23, kLogin);
        QVERIFY(f23.Edit1->text().isEmpty());
        QVERIFY(log.messages.isEmpty());  // looking for a kept password bothers nobody
        typePassword(f23, kPassword);
        setRemember(f23, true);
        {
            ModalScript modal;
            QTest::mouseClick(f23.Button1, Qt::LeftButton);
        }
        QCOMPARE(log.texts(), QStringList{keyring::kUnavailableText});
        QCOMPARE(int(log.messages.first().icon), int(ui::Icon::Warning));
        QCOMPARE(int(session().role), int(Role::Viewer));
        QCOMPARE(keyring::write(account(), kPassword).status, keyring::Status::Unavailable);
        qputenv("DBUS_SESSION_BUS_ADDRESS", g_bus.toLocal8Bit());
        testdb::stopApp();
        QCOMPARE(filesHolding(kPassword), QStringList());
        QVERIFY(!keyringItems().contains(keyOf(kLogin)));
    }

    void remember_data() {
        QTest::addColumn<bool>("loginInSettings");
        QTest::newRow("login typed") << false;
        QTest::newRow("login in the settings") << true;
    }
    // Ticked, a successful sign-in keeps the password in the keyring and nowhere else;
    // the next window fills it in (masked) once the login is there, and signs in with it.
    void remember() {
        QFETCH(bool, loginInSettings);
        QVERIFY(keyring::remove(account()).ok());
        setConfig();
        {
            TForm23& f23 = restartApp();
            typeLogin(f23, kLogin);
            QVERIFY(f23.Edit1->text().isEmpty());
            QVERIFY(!f23.RememberBox->isChecked());
            typePassword(f23, kPassword);
            setRemember(f23, true);
            MessageLog log;
            ModalScript modal;
            QTest::mouseClick(f23.Button1, Qt::LeftButton);
            QCOMPARE(log.texts(), QStringList());
            QCOMPARE(int(session().role), int(Role::Viewer));
        }
        QCOMPARE(keyringItems().value(keyOf(kLogin)), kPassword);
        testdb::stopApp();
        QVERIFY(!settingsText().isEmpty());
        QVERIFY(!settingsText().contains(kPassword));
        QCOMPARE(filesHolding(kPassword), QStringList());

        if (loginInSettings) {
            setConfig(kLogin);
        } else {
            // A password typed before the login stays the person's own.
            TForm23& first = restartApp();
            typePassword(first, QStringLiteral("typed-first"));
            typeLogin(first, kLogin);
            QCOMPARE(first.Edit1->text(), QStringLiteral("typed-first"));
            QVERIFY(!first.RememberBox->isChecked());
        }
        TForm23& f23 = restartApp();
        if (!loginInSettings) {
            QVERIFY(f23.Edit1->text().isEmpty());
            typeLogin(f23, kLogin);
        }
        QCOMPARE(f23.Edit1->text(), kPassword);
        QCOMPARE(f23.Edit1->echoMode(), QLineEdit::Password);
        QVERIFY(f23.RememberBox->isChecked());
        // Another login does not keep this one's password; back again, it is there.
        typeLogin(f23, QStringLiteral("p_other"));
        QVERIFY(f23.Edit1->text().isEmpty());
        QVERIFY(!f23.RememberBox->isChecked());
        typeLogin(f23, kLogin);
        QCOMPARE(f23.Edit1->text(), kPassword);
        MessageLog log;
        ModalScript modal;
        QTest::keyClick(f23.Edit1, Qt::Key_Return);
        QCOMPARE(log.texts(), QStringList());
        QCOMPARE(int(session().role), int(Role::Viewer));
        QCOMPARE(testdb::scalar(QStringLiteral("select session_user")).toString(), kLogin);
        QCOMPARE(keyringItems().value(keyOf(kLogin)), kPassword);
        QCOMPARE(filesHolding(kPassword), QStringList());
    }

    // Unticked, a successful sign-in takes the kept password out of the keyring; a wrong
    // password changes nothing there.
    void forget() {
        QVERIFY(keyring::write(account(), kPassword).ok());
        setConfig(kLogin);
        {
            TForm23& f23 = restartApp();
            QVERIFY(f23.RememberBox->isChecked());
            typePassword(f23, QStringLiteral("wrong"));
            setRemember(f23, false);
            MessageLog log;
            QTest::mouseClick(f23.Button1, Qt::LeftButton);
            QCOMPARE(log.texts(), QStringList{QStringLiteral("Введены неверные данные.")});
            QCOMPARE(keyringItems().value(keyOf(kLogin)), kPassword);

            typePassword(f23, kPassword);
            ModalScript modal;
            QTest::mouseClick(f23.Button1, Qt::LeftButton);
            QCOMPARE(int(session().role), int(Role::Viewer));
        }
        QVERIFY(!keyringItems().contains(keyOf(kLogin)));
        TForm23& f23 = restartApp();
        QVERIFY(f23.Edit1->text().isEmpty());
        QVERIFY(!f23.RememberBox->isChecked());
    }

    void batch_data() {
        QTest::addColumn<QString>("pgpassword");  // empty: not set
        QTest::addColumn<QString>("pgpass");      // ~/.pgpass's password, empty: no file
        QTest::addColumn<QString>("pgpassfile");  // PGPASSFILE's password, empty: not set
        QTest::addColumn<QString>("kept");        // the keyring's, empty: none
        QTest::addColumn<QString>("source");      // of the password, as the log names it
        QTest::addColumn<bool>("connects");
        const QString right = kPassword;
        const QString wrong = QStringLiteral("wrong-pass");
        QTest::newRow("keyring") << "" << "" << "" << right << "password=keyring" << true;
        QTest::newRow("PGPASSWORD first") << wrong << "" << "" << right << "" << false;
        QTest::newRow("~/.pgpass before the keyring") << "" << right << "" << wrong << "" << true;
        QTest::newRow("PGPASSFILE before the keyring") << "" << "" << right << wrong << "password=passfile" << true;
        QTest::newRow("nowhere") << "" << "" << "" << "" << "" << false;
    }
    // mirn-batch in accounts mode: PGPASSWORD, else the password file (read by libpq
    // itself), else what the client kept in the keyring; never a prompt.
    void batch() {
        QFETCH(QString, pgpassword);
        QFETCH(QString, pgpass);
        QFETCH(QString, pgpassfile);
        QFETCH(QString, kept);
        QFETCH(QString, source);
        QFETCH(bool, connects);
        testdb::stopApp();
        setConfig();
        if (kept.isEmpty()) QVERIFY(keyring::remove(account()).ok());
        else QVERIFY(keyring::write(account(), kept).ok());
        auto writePassFile = [](const QString& path, const QString& password) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("*:*:%1:%2:%3\n").arg(kDb, kLogin, password).toUtf8());
            f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        };
        const QString pgpassPath = QDir::homePath() + QStringLiteral("/.pgpass");
        const QString otherPath = QDir::homePath() + QStringLiteral("/other.pgpass");
        QFile::remove(pgpassPath);
        QFile::remove(otherPath);
        if (!pgpass.isEmpty()) writePassFile(pgpassPath, pgpass);
        if (!pgpassfile.isEmpty()) writePassFile(otherPath, pgpassfile);

        static int runs = 0;
        const QString state = QDir::homePath() + QStringLiteral("/state-%1").arg(++runs);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGUSER"), kLogin);
        env.insert(QStringLiteral("PGDATABASE"), kDb);
        env.insert(QStringLiteral("XDG_STATE_HOME"), state);
        env.remove(QStringLiteral("PGPASSWORD"));
        env.remove(QStringLiteral("PGPASSFILE"));
        if (!pgpassword.isEmpty()) env.insert(QStringLiteral("PGPASSWORD"), pgpassword);
        if (!pgpassfile.isEmpty()) env.insert(QStringLiteral("PGPASSFILE"), otherPath);
        p.setProcessEnvironment(env);
        // Standard input closed: a prompt would get nothing, and the run ends anyway.
        p.setStandardInputFile(QProcess::nullDevice());
        // A report: every role may print one.
        p.start(QStringLiteral(MIRN_BINARY_DIR "/mirn-batch"),
                {QStringLiteral("report"), QStringLiteral("workers"), QStringLiteral("--from"), QStringLiteral("01.11.2026"),
                 QStringLiteral("--to"), QStringLiteral("01.12.2026"), QStringLiteral("--pdf"), state + QStringLiteral("/w.pdf")});
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(p.exitCode() == (connects ? 0 : 3), qPrintable(QString::number(p.exitCode()) + QLatin1Char(' ') + err));
        QFile log(state + QStringLiteral("/mirn/mirn-batch.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString logText = QString::fromUtf8(log.readAll());
        if (connects) {
            const auto m = QRegularExpression(QStringLiteral("connected to .*")).match(logText);
            QVERIFY2(m.hasMatch(), qPrintable(logText));
            if (source.isEmpty()) QVERIFY2(!m.captured(0).contains(QStringLiteral("password=")), qPrintable(m.captured(0)));
            else QVERIFY2(m.captured(0).contains(source), qPrintable(m.captured(0)));
        } else if (pgpassword.isEmpty()) {
            QVERIFY2(err.contains(QStringLiteral("пароль не найден")), qPrintable(err));
        } else {
            // A wrong PGPASSWORD is the server's refusal; the keyring is not asked.
            QVERIFY2(err.contains(QStringLiteral("не принял пользователя или пароль")), qPrintable(err));
        }
        QFile::remove(pgpassPath);
        QFile::remove(otherPath);
    }
};

QTEST_MAIN(TestKeyring)
#include "test_keyring.moc"
