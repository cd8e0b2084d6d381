// The client on a database with db/roles.sql, on a PostgreSQL server of its own
// (roles belong to the whole server): the code sign-in's user sys closes and reopens
// a month through the database's functions, which take the login from the server and
// need a reason to reopen.
#include "core/buildguard.h"
#include "core/signin.h"
#include "core/userswindow.h"
#include "domain/connection.h"
#include "domain/period.h"
#include "domain/session.h"
#include "domain/entry_store.h"
#include "domain/history.h"
#include "gui/forms.h"
#include "gui/historywindow.h"
#include "papers/change_report.h"
#include "journal/tform1.h"
#include "support/testdb.h"
#include "timesheet/tform19.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace mirn;

namespace {
const QString kDb = QStringLiteral("t_accounts");
const QString kAdmin = QStringLiteral("9471");

QString pgScript() {
    const QString s = qEnvironmentVariable("MIRN_PG_SCRIPT");
    return s.isEmpty() ? QStringLiteral(MIRN_SOURCE_DIR "/scripts/pg.sh") : s;
}

QString g_dir;  // the cluster of this test

int run(const QString& program, const QStringList& args, QString* out = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted()) return -1;
    p.closeWriteChannel();
    p.waitForFinished(300000);
    const QString text = QString::fromUtf8(p.readAll());
    if (out) *out = text;
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) qWarning().noquote() << program << args << text;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// psql as the superuser over the cluster's socket (roles.sql needs one), or as sys.
int psql(bool superuser, const QStringList& args) {
    QStringList a{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                  QStringLiteral("-d"), kDb};
    if (superuser) a << QStringLiteral("-h") << g_dir << QStringLiteral("-U") << QStringLiteral("postgres");
    return run(QStringLiteral("psql"), a + args);
}

// The demo database with the extension and roles.sql, the application started on it.
void startWithRoles() {
    // roles.sql hands the database to its owner role: sys can no longer drop it.
    testdb::stopApp();
    if (run(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-h"), g_dir,
                                     QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-d"),
                                     QStringLiteral("postgres"), QStringLiteral("-c"),
                                     QStringLiteral("drop database if exists %1 with (force)").arg(kDb)}) != 0)
        throw DbError(QStringLiteral("could not drop the database"));
    run(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-h"), g_dir,
                                 QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-d"),
                                 QStringLiteral("postgres"), QStringLiteral("-c"),
                                 QStringLiteral("drop role if exists p_viewer, p_foremen, p_goods, p_admin")});
    testdb::startApp(kDb, true);
    if (psql(false, {QStringLiteral("-f"), QStringLiteral(MIRN_SOURCE_DIR "/db/extension.sql")}) != 0)
        throw DbError(QStringLiteral("extension.sql failed"));
    if (psql(true, {QStringLiteral("-f"), QStringLiteral(MIRN_SOURCE_DIR "/db/roles.sql")}) != 0)
        throw DbError(QStringLiteral("roles.sql failed"));
}

TForm19& openTimesheet(TForm1& f1) {
    ModalScript modal;
    f1.N11Click();
    return forms::form<TForm19>();
}

// The settings file of the user: accounts mode or none at all.
QString g_config;
void setMode(bool accounts) {
    QDir(g_config).removeRecursively();
    QDir().mkpath(g_config + QStringLiteral("/mirn"));
    if (accounts) {
        QFile f(g_config + QStringLiteral("/mirn/mirn.conf"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[signin]\nmode=accounts\n");
    }
    qputenv("XDG_CONFIG_HOME", g_config.toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", (g_config + QStringLiteral("/none")).toLocal8Bit());
}

// The application started again on the same database, as the client starts.
void restartApp() {
    testdb::stopApp();
    app::testing::resetTerminated();
    session().role = Role::None;
    if (!forms::form<TForm1>().FormCreate(kDb, testdb::host())) throw DbError(QStringLiteral("no start"));
}

// What the journal has switched off: its controls and its menu's entries.
QStringList switchedOff(TForm1& f1) {
    QStringList off;
    const auto widgets = f1.findChildren<QWidget*>();
    for (int i = 0; i < widgets.size(); ++i)
        if (!widgets[i]->isEnabled() || widgets[i]->isHidden())
            off << QStringLiteral("%1 %2 %3").arg(i).arg(QString::fromLatin1(widgets[i]->metaObject()->className()),
                                                       widgets[i]->objectName());
    for (QAction* a : f1.findChildren<QAction*>())
        if (!a->isEnabled() || !a->isVisible()) off << QStringLiteral("action ") + a->text();
    return off;
}

// Types the login and the password and clicks «Вход», as a person does.
void signInAs(const QString& login, const QString& password) {
    TForm23& f23 = forms::form<TForm23>();
    QVERIFY(f23.LoginEdit);
    f23.LoginEdit->clear();
    f23.Edit1->clear();
    QTest::keyClicks(f23.LoginEdit, login);
    QTest::keyClicks(f23.Edit1, password);
    QTest::mouseClick(f23.Button1, Qt::LeftButton);
}

int lockRows() { return testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.period_lock")); }
}  // namespace

class TestAccounts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        g_dir = QDir::tempPath() + QStringLiteral("/mirn-accounts-%1").arg(QCoreApplication::applicationPid());
        QCOMPARE(run(QStringLiteral("bash"), {pgScript(), QStringLiteral("start"), g_dir}), 0);
        QCOMPARE(run(QStringLiteral("bash"),
                     {pgScript(), QStringLiteral("createdb"), g_dir, QStringLiteral("t_accounts_tmpl"), QStringLiteral("demo")}),
                 0);
        QFile env(g_dir + QStringLiteral("/env"));
        QVERIFY(env.open(QIODevice::ReadOnly));
        const QString line = QString::fromUtf8(env.readAll());
        const auto m = QRegularExpression(QStringLiteral("PGPORT=(\\d+)")).match(line);
        QVERIFY(m.hasMatch());
        qputenv("PGHOST", "127.0.0.1");
        qputenv("PGPORT", m.captured(1).toLatin1());
        qputenv("PGUSER", "sys");
        qputenv("PGPASSWORD", "wubalem");
        qputenv("MIRN_DEMO_TEMPLATE", "t_accounts_tmpl");
        g_config = g_dir + QStringLiteral("-config");
        setMode(false);
    }
    void cleanupTestCase() {
        testdb::stopApp();
        run(QStringLiteral("bash"), {pgScript(), QStringLiteral("stop"), g_dir});
        QDir(g_config).removeRecursively();
    }

    // The code sign-in's sys may no longer write period_lock itself: the store goes
    // through the functions, and the lock names the login.
    void codesCloseAndReopen() {
        startWithRoles();
        signIn(kAdmin);
        QVERIFY(period::installed());
        QVERIFY(period::rolesInstalled());
        period::PeriodStore store;
        QVERIFY(store.close(10, 2026, Role::Administrator).saved());
        QCOMPARE(lockRows(), 1);
        QCOMPARE(testdb::scalar(QStringLiteral("select closed_by from accounts_dep.period_lock")).toString(),
                 QStringLiteral("sys"));
        QVERIFY(store.isClosed(10, 2026));
        // Closing again changes nothing.
        QVERIFY(store.close(10, 2026, Role::Administrator, QStringLiteral("ещё раз")).saved());
        QCOMPARE(lockRows(), 1);

        const Result noReason = store.reopen(10, 2026, Role::Administrator, QStringLiteral("  "));
        QVERIFY(!noReason.saved());
        QCOMPARE(noReason.message, QStringLiteral("Укажите причину, по которой месяц открывается."));
        QCOMPARE(lockRows(), 1);
        QVERIFY(store.reopen(10, 2026, Role::Administrator, QStringLiteral("исправление нормы")).saved());
        QCOMPARE(lockRows(), 0);
        QCOMPARE(testdb::scalar(QStringLiteral("select new_row->>'reason' || '|' || db_user from accounts_dep.change_log "
                                               "where table_name = 'period_lock' and action = 'reopen'"))
                     .toString(),
                 QStringLiteral("исправление нормы|sys"));
        // Reopening an open month changes nothing.
        QVERIFY(store.reopen(10, 2026, Role::Administrator, QStringLiteral("ещё раз")).saved());
        QVERIFY(!store.close(10, 2026, Role::Foremen).saved());
        QCOMPARE(lockRows(), 0);
    }

    void timesheetReopen_data() {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("reopened");
        QTest::newRow("with a reason") << QStringLiteral("пересчёт") << true << QString() << true;
        QTest::newRow("empty reason") << QStringLiteral(" ") << true
                                      << QStringLiteral("Укажите причину, по которой месяц открывается.") << false;
        QTest::newRow("cancelled") << QStringLiteral("пересчёт") << false << QString() << false;
    }
    // The timesheet's "Открыть месяц" asks for the reason in a dialog of its own.
    void timesheetReopen() {
        QFETCH(QString, reason);
        QFETCH(bool, accept);
        QFETCH(QString, message);
        QFETCH(bool, reopened);
        startWithRoles();
        TForm1& f1 = signIn(kAdmin);
        TForm19& f19 = openTimesheet(f1);
        MessageLog log;
        {
            // The demo's month has problems: the close asks for its reason.
            ModalScript closing([](QDialog* d) {
                auto* edit = d->findChild<QLineEdit*>(QStringLiteral("ReasonEdit"));
                if (!edit) return int(QDialog::Rejected);
                typeText(edit, QStringLiteral("сверено"));
                return int(QDialog::Accepted);
            });
            f19.CloseMonthButton->click();
            QCOMPARE(closing.shown.size(), 1);
        }
        QCOMPARE(lockRows(), 1);
        QCOMPARE(testdb::scalar(QStringLiteral("select reason from accounts_dep.period_lock")).toString(), QStringLiteral("сверено"));
        QVERIFY(!f19.ReopenMonthButton->isHidden());
        log.clear();

        ModalScript modal([&](QDialog* d) {
            auto* edit = d->findChild<QLineEdit*>(QStringLiteral("ReasonEdit"));
            if (!edit) return int(QDialog::Rejected);
            typeText(edit, reason);
            return int(accept ? QDialog::Accepted : QDialog::Rejected);
        });
        QTest::mouseClick(f19.ReopenMonthButton, Qt::LeftButton);
        QCOMPARE(modal.shown.size(), 1);
        QCOMPARE(log.texts(), message.isEmpty() ? QStringList{} : QStringList{message});
        QCOMPARE(lockRows(), reopened ? 0 : 1);
        QCOMPARE(f19.MonthBanner->isHidden(), reopened);
        QCOMPARE(f19.CloseMonthButton->isHidden(), !reopened);
    }

    void mode_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("system");
        QTest::addColumn<bool>("accounts");
        QTest::newRow("nothing") << "" << "" << false;
        QTest::newRow("user file") << "[signin]\nmode=accounts\n" << "" << true;
        QTest::newRow("system file") << "" << "[signin]\nmode=accounts\n" << true;
        QTest::newRow("user's codes win") << "[signin]\nmode=codes\n" << "[signin]\nmode=accounts\n" << false;
        QTest::newRow("other group only") << "[connection]\nuser=ivanova\n" << "[signin]\nmode=accounts\n" << true;
        QTest::newRow("unknown word") << "[signin]\nmode=ldap\n" << "" << false;
    }
    // [signin] mode from the settings files; accounts mode uses nothing compiled in.
    void mode() {
        QFETCH(QString, user);
        QFETCH(QString, system);
        QFETCH(bool, accounts);
        QTemporaryDir dir;
        auto write = [&](const QString& name, const QString& text) {
            QFile f(dir.filePath(name));
            if (!text.isEmpty() && f.open(QIODevice::WriteOnly)) f.write(text.toUtf8());
            return f.fileName();
        };
        const QString u = write(QStringLiteral("user.conf"), user), sy = write(QStringLiteral("system.conf"), system);
        QProcessEnvironment env;
        const connection::Params p = connection::resolve({}, env, u, {sy});
        QCOMPARE(p.accounts, accounts);
        QCOMPARE(p.atSignIn, accounts);
        QCOMPARE(p.password.isEmpty(), accounts);
        QCOMPARE(p.user.isEmpty(), accounts && !user.contains(QStringLiteral("ivanova")));
        if (!accounts) QCOMPARE(p.user, connection::kUser);
    }

    void accountsSignIn_data() {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("role");
        QTest::newRow("viewer") << "p_viewer" << "mirn_viewer" << "pivrat" << int(Role::Viewer);
        QTest::newRow("foremen") << "p_foremen" << "mirn_foremen" << QString(kForemenCode) << int(Role::Foremen);
        QTest::newRow("finished goods") << "p_goods" << "mirn_goods" << "tuvem" << int(Role::FinishedGoods);
        QTest::newRow("administrator") << "p_admin" << "mirn_admin" << "9471" << int(Role::Administrator);
    }
    // A login of each group: the journal switches off exactly what the group's code
    // switches off; a wrong password first is refused and the window stays.
    void accountsSignIn() {
        QFETCH(QString, login);
        QFETCH(QString, group);
        QFETCH(QString, code);
        QFETCH(int, role);
        setMode(false);
        startWithRoles();
        QVERIFY(forms::form<TForm23>().LoginEdit == nullptr);
        const QStringList byCode = switchedOff(signIn(code));
        QCOMPARE(int(session().role), role);
        QCOMPARE(psql(true, {QStringLiteral("-c"), QStringLiteral("select accounts_dep.person_create('%1', 'Иванов Иван', "
                                                                 "'%2', 'pass-%1')")
                                                      .arg(login, group)}),
                 0);

        QCOMPARE(psql(true, {QStringLiteral("-c"), QStringLiteral("update accounts_dep.ver set d = 20000101, t = 0")}), 0);
        setMode(true);
        restartApp();
        QVERIFY(connection::pending());
        TForm23& f23 = forms::form<TForm23>();
        QVERIFY(f23.LoginEdit);
        QCOMPARE(f23.Edit1->echoMode(), QLineEdit::Password);
        {
            MessageLog log;
            signInAs(login, QStringLiteral("wrong"));
            QCOMPARE(log.texts(), QStringList{QStringLiteral("Введены неверные данные.")});
            QVERIFY(connection::pending());
            QCOMPARE(int(session().role), int(Role::None));
            QVERIFY(!f23.isHidden());
        }
        ModalScript modal;
        signInAs(login, QStringLiteral("pass-") + login);
        QVERIFY(!connection::pending());
        QCOMPARE(int(session().role), role);
        QCOMPARE(testdb::scalar(QStringLiteral("select session_user")).toString(), login);
        QCOMPARE(switchedOff(forms::form<TForm1>()), byCode);
        // The build guard ran right after the connection: this build is recorded again.
        QCOMPARE(testdb::scalarInt(QStringLiteral("select d from accounts_dep.ver")), buildguard::buildDate());
        setMode(false);
    }

    void history_data() {
        QTest::addColumn<bool>("accounts");
        QTest::addColumn<QString>("who");
        QTest::addColumn<QString>("reportWho");
        QTest::newRow("code") << false << "sys" << "Администратор";
        QTest::newRow("personal account") << true << "Петрова Анна Сергеевна" << "Петрова Анна Сергеевна, Администратор";
    }
    // The history names the person of a personal account, with the role; the code
    // sign-in's changes stay the shared user's.
    void history() {
        QFETCH(bool, accounts);
        QFETCH(QString, who);
        QFETCH(QString, reportWho);
        setMode(false);
        startWithRoles();
        QCOMPARE(psql(true, {QStringLiteral("-c"), QStringLiteral("select accounts_dep.person_create('p_admin', "
                                                                 "'Петрова Анна Сергеевна', 'mirn_admin', 'pass-admin')")}),
                 0);
        if (accounts) {
            setMode(true);
            restartApp();
            ModalScript modal;
            signInAs(QStringLiteral("p_admin"), QStringLiteral("pass-admin"));
        } else {
            signIn(kAdmin);
        }
        QCOMPARE(int(session().role), int(Role::Administrator));
        const int id = testdb::scalarInt(QStringLiteral("select min(id) from accounts_dep.smena where data = current_date"));
        entry::EntryStore().setConfirmation(id, QStringLiteral("ok"));
        const QList<history::Change> h = history::rowHistory(QStringLiteral("smena"), id);
        QVERIFY(!h.isEmpty());
        QCOMPARE(h.first().person.isEmpty(), !accounts);
        HistoryWindow w(QStringLiteral("История"), h);
        QCOMPARE(w.Grid->item(0, 1)->text(), who);
        QCOMPARE(w.Grid->item(0, 2)->text(), QStringLiteral("Администратор"));

        const rpt::PreparedReport rep = papers::changeReport(QDate::currentDate(), QDate::currentDate().addDays(1));
        QStringList texts;
        for (const auto& page : rep.pages)
            // A long "who" wraps inside its column: read it as one line.
            for (const rpt::PreparedItem& it : page.items) texts << QString(it.text).replace(QLatin1Char('\n'), QLatin1Char(' '));
        QVERIFY2(texts.contains(reportWho), qPrintable(texts.join(QLatin1Char('|'))));
        setMode(false);
    }

    // mirn-batch in accounts mode: the login and the password from PGUSER and
    // PGPASSWORD; rebuild is the administrator's, import the roles that add entries;
    // the reports are everyone's.
    void batchRoles() {
        setMode(false);
        startWithRoles();
        const QStringList groups{QStringLiteral("viewer"), QStringLiteral("foremen"), QStringLiteral("goods"),
                                 QStringLiteral("admin")};
        for (const QString& g : groups)
            QCOMPARE(psql(true, {QStringLiteral("-c"), QStringLiteral("select accounts_dep.person_create('p_%1', 'Лицо %1', "
                                                                     "'mirn_%1', 'pass-%1')")
                                                          .arg(g)}),
                     0);
        setMode(true);
        struct Case {
            QString group;
            QStringList args;
            bool refused;
        };
        const QStringList rebuild{QStringLiteral("rebuild"), QStringLiteral("--month"), QStringLiteral("11"),
                                  QStringLiteral("--year"), QStringLiteral("2026")};
        const QStringList import{QStringLiteral("import"), QStringLiteral("entries"),
                                 QStringLiteral(MIRN_SOURCE_DIR "/batch/example.csv")};
        QTemporaryDir out;
        const QStringList check{QStringLiteral("report"), QStringLiteral("workers"), QStringLiteral("--from"),
                                QStringLiteral("01.11.2026"), QStringLiteral("--to"), QStringLiteral("01.12.2026"),
                                QStringLiteral("--pdf"), out.filePath(QStringLiteral("w.pdf"))};
        const Case cases[] = {
            {QStringLiteral("viewer"), rebuild, true},   {QStringLiteral("foremen"), rebuild, true},
            {QStringLiteral("goods"), rebuild, true},    {QStringLiteral("admin"), rebuild, false},
            {QStringLiteral("viewer"), import, true},    {QStringLiteral("goods"), import, true},
            {QStringLiteral("foremen"), import, false},  {QStringLiteral("admin"), import, false},
            {QStringLiteral("viewer"), check, false},    {QStringLiteral("goods"), check, false},
        };
        for (const Case& c : cases) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("PGUSER"), QStringLiteral("p_") + c.group);
            env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("pass-") + c.group);
            env.insert(QStringLiteral("PGDATABASE"), kDb);
            p.setProcessEnvironment(env);
            p.start(QStringLiteral(MIRN_BINARY_DIR "/mirn-batch"), c.args);
            QVERIFY(p.waitForFinished(120000));
            const QString err = QString::fromUtf8(p.readAllStandardError());
            const QString what = c.group + QLatin1Char(' ') + c.args.front() + QStringLiteral(": ") + err;
            QVERIFY2(err.contains(QStringLiteral("недоступно для роли")) == c.refused, qPrintable(what));
            if (c.refused) QVERIFY2(p.exitCode() == 1, qPrintable(what));
            else QVERIFY2(p.exitCode() != 3, qPrintable(what));
        }
        setMode(false);
    }

    // «Пользователи»: the administrator of a personal account adds a person, who then
    // signs in with the new role; switched off, the person cannot sign in.
    void usersWindow() {
        setMode(false);
        startWithRoles();
        QCOMPARE(psql(true, {QStringLiteral("-c"), QStringLiteral("select accounts_dep.person_create('p_admin', "
                                                                 "'Петрова Анна Сергеевна', 'mirn_admin', 'pass-admin')")}),
                 0);
        signIn(kAdmin);
        QVERIFY(!users::available());  // the code's sys manages nobody

        setMode(true);
        restartApp();
        {
            ModalScript modal;
            signInAs(QStringLiteral("p_admin"), QStringLiteral("pass-admin"));
        }
        QVERIFY(users::available());
        {
            UsersWindow w;
            QCOMPARE(w.Grid->rowCount(), 1);
            QCOMPARE(w.Grid->item(0, 0)->text(), QStringLiteral("Петрова Анна Сергеевна"));
            QCOMPARE(w.Grid->item(0, 2)->text(), QStringLiteral("Администратор"));
            QCOMPARE(w.Grid->item(0, 3)->text(), QStringLiteral("действует"));
            auto fill = [](QDialog* d) {
                auto* p = qobject_cast<PersonDialog*>(d);
                if (!p) return int(QDialog::Rejected);
                typeText(p->FullNameEdit, QStringLiteral("Новиков Николай Петрович"));
                QTest::keyClicks(p->LoginEdit, QStringLiteral("p_new"));
                p->GroupBox->setCurrentIndex(1);
                QTest::keyClicks(p->PasswordEdit, QStringLiteral("new-pass"));
                QTest::keyClicks(p->RepeatEdit, QStringLiteral("new-pass"));
                QTest::mouseClick(p->OkButton, Qt::LeftButton);
                return p->result();
            };
            MessageLog log;
            {
                ModalScript modal(fill);
                QTest::mouseClick(w.AddButton, Qt::LeftButton);
            }
            QCOMPARE(log.texts(),
                     QStringList{QStringLiteral("Добавить пользователя Новиков Николай Петрович (p_new) с ролью «Бригадир»?")});
            QCOMPARE(w.Grid->rowCount(), 2);
            QCOMPARE(w.Grid->item(w.Grid->currentRow(), 1)->text(), QStringLiteral("p_new"));
            QCOMPARE(w.Grid->item(w.Grid->currentRow(), 2)->text(), QStringLiteral("Бригадир"));
            // The same login again: the server's own sentence, nothing added.
            log.clear();
            {
                ModalScript modal(fill);
                QTest::mouseClick(w.AddButton, Qt::LeftButton);
            }
            QCOMPARE(log.messages.size(), 2);
            QVERIFY2(!log.lastText().startsWith(QStringLiteral("ERROR")) && !log.lastText().contains(QStringLiteral("QPSQL")),
                     qPrintable(log.lastText()));
            QCOMPARE(w.Grid->rowCount(), 2);
            w.show();
            QVERIFY(w.grab().save(QStringLiteral("/work/wt/users-window.png")));
        }
        restartApp();
        {
            ModalScript modal;
            signInAs(QStringLiteral("p_new"), QStringLiteral("new-pass"));
        }
        QCOMPARE(int(session().role), int(Role::Foremen));
        QVERIFY(!users::available());

        restartApp();
        {
            ModalScript modal;
            signInAs(QStringLiteral("p_admin"), QStringLiteral("pass-admin"));
        }
        {
            UsersWindow w;
            for (int r = 0; r < w.Grid->rowCount(); ++r)
                if (w.Grid->item(r, 1)->text() == QLatin1String("p_new")) w.Grid->selectRow(r);
            QCOMPARE(w.DisableButton->text(), QStringLiteral("Отключить"));
            MessageLog log;
            QTest::mouseClick(w.DisableButton, Qt::LeftButton);
            QCOMPARE(log.texts(), QStringList{QStringLiteral("Отключить пользователя Новиков Николай Петрович (p_new)? "
                                                             "Он не сможет войти в программу.")});
            QCOMPARE(w.Grid->item(w.Grid->currentRow(), 3)->text(), QStringLiteral("отключен"));
            QCOMPARE(w.DisableButton->text(), QStringLiteral("Включить"));
        }
        restartApp();
        MessageLog log;
        signInAs(QStringLiteral("p_new"), QStringLiteral("new-pass"));
        QCOMPARE(log.texts(), QStringList{QStringLiteral("Введены неверные данные.")});
        QCOMPARE(int(session().role), int(Role::None));
        setMode(false);
    }
};

QTEST_MAIN(TestAccounts)
#include "test_accounts.moc"
