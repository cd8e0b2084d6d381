// Start-up, the connection, the build guard, the shared data module and error display.
#include "domain/buildstamp.h"
#include "domain/connection.h"
#include "core/datamodule.h"
#include "gui/forms.h"
#include "domain/session.h"
#include "core/signin.h"
#include "gui/ui.h"
#include "journal/tform1.h"
#include "support/testdb.h"

#include <QProcess>
#include <QtTest>

using namespace mirn;

class TestCore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(!testdb::host().isEmpty()); }
    void cleanupTestCase() { testdb::stopApp(); }

    void connectionString_data() {
        QTest::addColumn<QString>("arg1");
        QTest::addColumn<QString>("arg2");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("server");
        QTest::newRow("no arguments: built-in") << "" << "" << "mirn_erp" << "localhost";
        QTest::newRow("a lone first argument is ignored") << "other" << "" << "mirn_erp" << "localhost";
        QTest::newRow("both arguments") << "prod" << "10.1.1.5" << "prod" << "10.1.1.5";
        QTest::newRow("empty database name goes through") << "" << "db-server" << "" << "db-server";
    }
    void connectionString() {
        QFETCH(QString, arg1);
        QFETCH(QString, arg2);
        QFETCH(QString, database);
        QFETCH(QString, server);
        const QString s = connection::connectionString(arg1, arg2);
        QVERIFY(s.startsWith(QStringLiteral("DRIVER={PostgreSQL UNICODE};DATABASE=") + database +
                             QStringLiteral(";SERVER=") + server +
                             QStringLiteral(";PORT=5432;UID=sys;PWD=wubalem;SSLmode=allow;ReadOnly=0;")));
        QVERIFY(s.endsWith(QStringLiteral("D6=-101;OptionalErrors=0;XaOpt=1")));
        QVERIFY(s.contains(QStringLiteral(";Fetch=100;")));
        QVERIFY(s.contains(QStringLiteral("ExtraSysTablePrefixes=;LFConversion=1;UpdatableCursors=1;TrueIsMinus1=0;")));

        QProcessEnvironment none;
        const auto p = connection::params(arg1, arg2, none);
        QCOMPARE(p.database, database);
        QCOMPARE(p.host, server);
        QCOMPARE(p.port, 5432);
        QCOMPARE(p.user, QStringLiteral("sys"));
        QCOMPARE(p.password, QStringLiteral("wubalem"));
        QVERIFY(p.options.contains(QStringLiteral("sslmode=allow")));
    }

    void environmentOverridesBuiltInValues() {
        QProcessEnvironment env;
        env.insert(QStringLiteral("PGHOST"), QStringLiteral("127.0.0.1"));
        env.insert(QStringLiteral("PGPORT"), QStringLiteral("55440"));
        env.insert(QStringLiteral("PGUSER"), QStringLiteral("tester"));
        env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("secret"));
        auto p = connection::params(QString(), QString(), env);
        QCOMPARE(p.host, QStringLiteral("127.0.0.1"));
        QCOMPARE(p.port, 55440);
        QCOMPARE(p.user, QStringLiteral("tester"));
        QCOMPARE(p.password, QStringLiteral("secret"));
        QCOMPARE(p.database, QStringLiteral("mirn_erp"));
        // A server named on the command line wins over PGHOST.
        p = connection::params(QStringLiteral("db"), QStringLiteral("server-2"), env);
        QCOMPARE(p.host, QStringLiteral("server-2"));
        QCOMPARE(p.port, 55440);
    }

    void connectionFailureEndsTheApplication_data() {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("password");
        QTest::newRow("missing database") << "no_such_database" << testdb::host() << "";
        QTest::newRow("wrong server") << "mirn_tmpl" << "127.0.0.2" << "";
        QTest::newRow("wrong password") << "mirn_tmpl" << testdb::host() << "wrong";
    }
    void connectionFailureEndsTheApplication() {
        QFETCH(QString, database);
        QFETCH(QString, server);
        QFETCH(QString, password);
        testdb::stopApp();
        app::testing::resetTerminated();
        const QByteArray oldPassword = qgetenv("PGPASSWORD");
        if (!password.isEmpty()) qputenv("PGPASSWORD", password.toUtf8());
        MessageLog log;
        const bool ok = forms::form<TForm1>().FormCreate(database, server);
        qputenv("PGPASSWORD", oldPassword);
        QVERIFY(!ok);
        QCOMPARE(log.messages.size(), 1);
        QCOMPARE(log.messages[0].text, QStringLiteral("Подключение к БД отсутсвует!!!"));
        QCOMPARE(log.messages[0].caption, QStringLiteral("Ошибка!"));
        QCOMPARE(log.messages[0].icon, ui::Icon::Error);
        QVERIFY(app::terminated());
        QVERIFY(app::exitCode() != 0);
        QVERIFY(!forms::exists<TForm23>());
        QVERIFY(!QSqlDatabase::database(kConnectionName, false).isOpen());
    }

    void startUpShowsSignInWithStamp() {
        buildstamp::setCompileTexts("Feb 10 2024", "20:34:39");
        MessageLog log;
        testdb::startApp(QStringLiteral("t_core"));
        QVERIFY(forms::exists<TForm23>());
        TForm23& f23 = forms::form<TForm23>();
        QVERIFY(f23.isVisible());
        QVERIFY(!forms::form<TForm1>().isVisible());
        QCOMPARE(f23.windowTitle(), QStringLiteral("Авторизация (build: 20240210.74079)"));
        QVERIFY(forms::form<TForm1>().Timer1->isActive());
        QCOMPARE(forms::form<TForm1>().Timer1->interval(), 30000);
        QVERIFY(!f23.Timer1->isActive());
        QVERIFY(log.messages.isEmpty());
        // The sign-in window's first check recorded this build in the empty version table.
        QCOMPARE(testdb::rows(QStringLiteral("select d, t, coalesce(delim,'<null>') from accounts_dep.ver")),
                 (QList<QVariantList>{{20240210, 74079, QStringLiteral("")}}));
    }

    // The version row against this build (Feb 10 2024 20:34:39).
    void versionRow_data() {
        QTest::addColumn<bool>("emptyTable");
        QTest::addColumn<int>("d");
        QTest::addColumn<int>("t");
        QTest::addColumn<int>("expectD");
        QTest::addColumn<int>("expectT");
        QTest::addColumn<bool>("refused");
        QTest::newRow("empty table") << true << 0 << 0 << 20240210 << 74079 << false;
        QTest::newRow("older date") << false << 20231231 << 86000 << 20240210 << 74079 << false;
        QTest::newRow("same date, earlier time") << false << 20240210 << 74078 << 20240210 << 74079 << false;
        QTest::newRow("same build") << false << 20240210 << 74079 << 20240210 << 74079 << false;
        QTest::newRow("same date, later time") << false << 20240210 << 74080 << 20240210 << 74080 << true;
        QTest::newRow("newer date") << false << 20240301 << 0 << 20240301 << 0 << true;
    }
    void versionRow() {
        QFETCH(bool, emptyTable);
        QFETCH(int, d);
        QFETCH(int, t);
        QFETCH(int, expectD);
        QFETCH(int, expectT);
        QFETCH(bool, refused);
        buildstamp::setCompileTexts("Feb 10 2024", "20:34:39");
        testdb::startApp(QStringLiteral("t_core"));
        testdb::exec(QStringLiteral("delete from accounts_dep.ver"));
        if (!emptyTable)
            testdb::exec(QStringLiteral("insert into accounts_dep.ver(d, t, delim) values(%1, %2, ',')").arg(d).arg(t));
        app::testing::resetTerminated();
        MessageLog log;
        TForm1& f1 = forms::form<TForm1>();
        f1.CheckBuildStamp();
        QCOMPARE(f1.BuildDate, 20240210);
        QCOMPARE(f1.BuildTime, 74079);
        const auto rows = testdb::rows(QStringLiteral("select d, t from accounts_dep.ver"));
        QCOMPARE(rows, (QList<QVariantList>{{expectD, expectT}}));
        QCOMPARE(dm().DecimalDelim, emptyTable ? QString() : QStringLiteral(","));
        QCOMPARE(app::terminated(), refused);
        QCOMPARE(forms::form<TForm23>().Timer1->isActive(), refused);
        if (refused) {
            QCOMPARE(log.messages.size(), 1);
            QCOMPARE(log.messages[0].text,
                     QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин."));
            QCOMPARE(log.messages[0].caption, QStringLiteral("Ошибка"));
            QCOMPARE(forms::form<TForm23>().Timer1->interval(), 5000);
        } else {
            QVERIFY(log.messages.isEmpty());
        }
    }

    // An older build found by the sign-in window's first check, before the application's
    // loop runs: the user closes the message at once, and the application has ended;
    // the sign-in window is never usable.
    void olderBuildAtStartUpLeavesNoUsableSignIn() {
        buildstamp::setCompileTexts("Feb 10 2024", "20:34:39");
        testdb::stopApp();
        testdb::openFresh(QStringLiteral("t_core"));
        testdb::exec(QStringLiteral("insert into accounts_dep.ver(d, t, delim) values(20240301, 0, ',')"));
        connection::closeShared();
        app::testing::resetTerminated();
        session().role = Role::None;
        MessageLog log;  // closes each message as it appears
        QVERIFY(forms::form<TForm1>().FormCreate(QStringLiteral("t_core"), testdb::host()));
        QVERIFY(app::terminated());
        QCOMPARE(app::exitCode(), 3);
        QCOMPARE(log.texts(),
                 QStringList{QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин.")});
        TForm23& f23 = forms::form<TForm23>();
        QVERIFY(!f23.isEnabled());
        // Whatever activates it while the application ends, nothing more is shown or checked.
        QWidget elsewhere;
        elsewhere.show();
        QApplication::setActiveWindow(&elsewhere);
        QApplication::setActiveWindow(&f23);
        QCOMPARE(log.messages.size(), 1);
        testdb::stopApp();
    }

    // The built client against a database a newer build has used: the message appears
    // and nobody closes it; the client ends 5 s later, not at the next tick after that.
    void olderBuildEndsFiveSecondsAfterTheMessage() {
        testdb::stopApp();
        testdb::openFresh(QStringLiteral("t_core_guard"));
        testdb::exec(QStringLiteral("insert into accounts_dep.ver(d, t, delim) values(29991231, 0, ',')"));
        connection::closeShared();
        QProcess client;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        client.setProcessEnvironment(env);
        client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer t;
        t.start();
        client.start(QStringLiteral(MIRN_BINARY_DIR "/mirn"), {QStringLiteral("t_core_guard"), testdb::host()});
        QVERIFY(client.waitForStarted());
        const bool ended = client.waitForFinished(20000);
        const qint64 ms = t.elapsed();
        if (!ended) client.kill();
        QVERIFY(ended);
        QCOMPARE(client.exitStatus(), QProcess::NormalExit);
        QCOMPARE(client.exitCode(), 3);
        QVERIFY2(ms >= 4500 && ms < 8000, qPrintable(QStringLiteral("ended after %1 ms").arg(ms)));
    }

    // The guard runs on every activation of the sign-in window, not only on the first.
    void everyActivationOfTheSignInRunsTheGuard() {
        buildstamp::setCompileTexts("Feb 10 2024", "20:34:39");
        MessageLog log;
        testdb::startApp(QStringLiteral("t_core"));
        TForm23& f23 = forms::form<TForm23>();
        QVERIFY(QTest::qWaitForWindowExposed(&f23));
        QWidget elsewhere;
        elsewhere.show();
        QVERIFY(QTest::qWaitForWindowExposed(&elsewhere));
        QApplication::setActiveWindow(&elsewhere);
        QApplication::setActiveWindow(&f23);
        QApplication::setActiveWindow(&elsewhere);
        QVERIFY(log.messages.isEmpty());
        QVERIFY(!app::terminated());
        // A newer build records itself while this one waits at the sign-in window.
        testdb::exec(QStringLiteral("update accounts_dep.ver set d=20240301, t=0"));
        QApplication::setActiveWindow(&f23);
        QCOMPARE(log.texts(),
                 QStringList{QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин.")});
        QVERIFY(app::terminated());
        QVERIFY(!f23.isEnabled());
        testdb::stopApp();
    }

    // The sign-in code shows one "*" per typed character.
    void signInCodeShowsStars() {
        testdb::startApp(QStringLiteral("t_core"));
        TForm23& f23 = forms::form<TForm23>();
        typeText(f23.Edit1, QStringLiteral("9471"));
        QCOMPARE(f23.Edit1->text(), QStringLiteral("9471"));
        QCOMPARE(f23.Edit1->displayText(), QStringLiteral("****"));
        testdb::stopApp();
    }

    void normalizeDecimal_data() {
        QTest::addColumn<QString>("delim");
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("comma to point") << "." << "12,5" << "12.5";
        QTest::newRow("point stays") << "." << "12.5" << "12.5";
        QTest::newRow("integer unchanged") << "." << "12" << "12";
        QTest::newRow("only the first comma") << "." << "1,2,3" << "1.2,3";
        QTest::newRow("comma before point") << "." << "1.2,3" << "1.2.3";
        QTest::newRow("point to comma") << "," << "12.5" << "12,5";
        QTest::newRow("empty separator removes it") << "" << "1,5" << "15";
        QTest::newRow("empty text") << "." << "" << "";
    }
    void normalizeDecimal() {
        QFETCH(QString, delim);
        QFETCH(QString, in);
        QFETCH(QString, out);
        TDataModule6 m;
        m.DecimalDelim = delim;
        QCOMPARE(m.NormalizeDecimal(in), out);
    }

    void checkExists() {
        testdb::openFresh(QStringLiteral("t_core"));
        TDataModule6 m;
        MessageLog log;
        testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Гибка')"));
        QVERIFY(!m.CheckExists(
            QStringLiteral("select count(id) as cnt from accounts_dep.vid_oper where upper(vid)=upper('сварка')"),
            QStringLiteral("Такая операция уже есть!")));
        QVERIFY(log.messages.isEmpty());
        QVERIFY(!m.Control.active());
        QVERIFY(m.CheckExists(
            QStringLiteral("select count(id) as cnt from accounts_dep.vid_oper where upper(vid)=upper('резка')"),
            QStringLiteral("Такая операция уже есть!")));
        QCOMPARE(log.messages.size(), 1);
        QCOMPARE(log.messages[0].text, QStringLiteral("Такая операция уже есть!"));
        QCOMPARE(log.messages[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(log.messages[0].icon, ui::Icon::Error);
        QVERIFY(!m.Control.active());
        // Several clashing rows still count as one refusal.
        QVERIFY(m.CheckExists(QStringLiteral("select count(id) as cnt from accounts_dep.vid_oper"), QString()));
        QCOMPARE(log.messages.size(), 2);
        QCOMPARE(log.messages[1].text, QString());
    }

    void failingStatementCarriesServerMessage() {
        testdb::openFresh(QStringLiteral("t_core"));
        Command c;
        c.SQL = {QStringLiteral("insert into accounts_dep.no_such_table values (1)")};
        try {
            c.exec();
            QFAIL("no error raised");
        } catch (const DbError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("no_such_table")), e.what());
        }
        // An error escaping a handler is shown and the caller goes on.
        MessageLog log;
        bool after = false;
        ui::guard([&] { c.exec(); })();
        after = true;
        QVERIFY(after);
        QCOMPARE(log.messages.size(), 1);
        QVERIFY(log.messages[0].text.contains(QStringLiteral("no_such_table")));
        QCOMPARE(log.messages[0].icon, ui::Icon::Error);
    }

    // Typed text is bound, never pasted: quotes and wildcards arrive as typed.
    void parametersCarryTextIntact() {
        testdb::openFresh(QStringLiteral("t_core"));
        const QString nasty = QStringLiteral("Д'Артаньян'); drop table accounts_dep.person; --");
        Command ins;
        ins.SQL = {QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (7, :vid)")};
        ins.setParam(QStringLiteral("vid"), nasty);
        ins.exec();
        QCOMPARE(testdb::scalar(QStringLiteral("select vid from accounts_dep.vid_oper where id=7")).toString(), nasty);
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.person")), 0);
    }

    // A new entry's key reaches the support log from the insert itself: one statement to
    // the server, not a second one reading the sequence.
    void newEntryKeyComesWithTheInsert_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("insert");
        QTest::newRow("journal entry") << "accounts_dep.smena"
                                       << "insert into accounts_dep.smena(w_id, cena, kol_vo, brak, data, smena, color, time, ok) "
                                          "values (10001, 2.5, 3, 0, date '2024-03-05', 1, 0, 8, 'no')";
        QTest::newRow("auxiliary work") << "accounts_dep.fatigue"
                                        << "INSERT INTO accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price)"
                                           "VALUES(1, 1, null, '05.03.2024', 3, 2024, 1, 2, 100)";
    }
    void newEntryKeyComesWithTheInsert() {
        QFETCH(QString, table);
        QFETCH(QString, insert);
        testdb::openFresh(QStringLiteral("t_core"));
        static QStringList logged;
        logged.clear();
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
            logged << m;
        });
        const long before = roundTrips();
        Command c;
        c.setText(insert);
        const int rows = c.exec();
        const long trips = roundTrips() - before;
        qInstallMessageHandler(previous);
        QCOMPARE(rows, 1);
        QCOMPARE(trips, 1L);
        const int id = testdb::scalarInt(QStringLiteral("select max(id) from ") + table);
        QVERIFY(id > 0);
        QVERIFY2(logged.contains(QStringLiteral("new entry id %1 in %2").arg(id).arg(table)), qPrintable(logged.join(u'\n')));
        // The text logged is the statement as written.
        QVERIFY(logged.filter(QStringLiteral("stored:")).join(QString()).contains(insert.simplified()));
        QVERIFY(!logged.join(QString()).contains(QStringLiteral("returning")));
    }

    void queryNavigationAndFilter() {
        testdb::openFresh(QStringLiteral("t_core"));
        Query q;
        q.SQL = {QStringLiteral("select * from (values (1, 'Д''Артаньян А.'), (2, '50% скидка'), (3, '500 штук'), "
                                "(4, 'дальний'), (5, 'Ёлкин')) v(id, s) order by id")};
        q.open();
        QCOMPARE(q.recordCount(), 5);
        QCOMPARE(q.recNo(), 1);
        q.last();
        QCOMPARE(q.asInt(QStringLiteral("ID")), 5);
        q.next();
        QVERIFY(q.eof());
        QVERIFY(q.locate(QStringLiteral("id"), 3));
        QCOMPARE(q.recNo(), 3);
        QVERIFY(!q.locate(QStringLiteral("id"), 42));
        QCOMPARE(q.recNo(), 3);

        struct Case { QString text; bool anywhere; QList<int> ids; };
        const QList<Case> cases = {
            {QStringLiteral("д'"), false, {1}},          // a quote is an ordinary letter
            {QStringLiteral("50%"), false, {2}},         // % is literal, not a wildcard
            {QStringLiteral("5"), false, {2, 3}},
            {QStringLiteral("Д"), false, {1, 4}},
            {QStringLiteral("ДАЛ"), false, {4}},         // letter case ignored, Cyrillic too
            {QStringLiteral("ёлк"), false, {5}},
            {QStringLiteral("КИД"), true, {2}},          // anywhere in the text
            {QStringLiteral("_"), false, {}},            // _ is literal too
            {QString(), false, {1, 2, 3, 4, 5}},         // empty text: filter off
        };
        for (const Case& c : cases) {
            q.setLikeFilter(QStringLiteral("s"), c.text, c.anywhere);
            QList<int> ids;
            for (int r = 0; r < q.recordCount(); ++r) ids << q.value(r, QStringLiteral("id")).toInt();
            QCOMPARE(ids, c.ids);
            QCOMPARE(q.recNo(), c.ids.isEmpty() ? 0 : 1);
        }
        // Switching a search off keeps the row the user stood on.
        q.setLikeFilter(QStringLiteral("s"), QStringLiteral("5"));
        q.setRecNo(2);
        QCOMPARE(q.asInt(QStringLiteral("id")), 3);
        q.clearFilter();
        QCOMPARE(q.recordCount(), 5);
        QCOMPARE(q.asInt(QStringLiteral("id")), 3);
        q.close();
        QVERIFY(!q.active());
        QCOMPARE(q.recordCount(), 0);
        QVERIFY(q.field(QStringLiteral("id")).isNull());
    }

    // A search in a sorted list shows the rows that match, in the sorted order: equal
    // values in the server's order, empty values first, digit runs by their value.
    void searchKeepsTheSortOrder_data() {
        QTest::addColumn<QString>("sortBy");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QList<int>>("ids");
        QTest::newRow("no sort") << QString() << false << "кр" << QList<int>{1, 2, 4, 6};
        QTest::newRow("ascending, all") << "s" << false << "" << QList<int>{5, 3, 6, 2, 4, 1};
        QTest::newRow("ascending") << "s" << false << "кр" << QList<int>{6, 2, 4, 1};
        QTest::newRow("ascending, equal marks") << "s" << false << "КР-2" << QList<int>{2, 4};
        QTest::newRow("descending") << "s" << true << "кр" << QList<int>{1, 2, 4, 6};
        QTest::newRow("descending, all") << "s" << true << "" << QList<int>{1, 2, 4, 6, 3, 5};
        QTest::newRow("by a number, search in a text") << "n" << false << "кр" << QList<int>{4, 6, 2, 1};
        QTest::newRow("nothing found") << "s" << false << "ЯЯ" << QList<int>{};
    }
    void searchKeepsTheSortOrder() {
        QFETCH(QString, sortBy);
        QFETCH(bool, descending);
        QFETCH(QString, search);
        QFETCH(QList<int>, ids);
        testdb::openFresh(QStringLiteral("t_core"));
        Query q;
        q.SQL = {QStringLiteral("select * from (values (1, 'КР-100', 9), (2, 'кр-20', 7), (3, 'АБ', 1), "
                                "(4, 'КР-20', 2), (5, null, 5), (6, 'кр-3', 3)) v(id, s, n) order by id")};
        q.open();
        q.setSort(sortBy, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        // Keys typed one after another, as in the search box, and one taken back.
        for (qsizetype i = 1; i <= search.size(); ++i) q.setLikeFilter(QStringLiteral("s"), search.left(i));
        q.setLikeFilter(QStringLiteral("s"), search + QStringLiteral("Щ"));
        q.setLikeFilter(QStringLiteral("s"), search);
        QList<int> shown;
        for (int r = 0; r < q.recordCount(); ++r) shown << q.value(r, QStringLiteral("id")).toInt();
        QCOMPARE(shown, ids);
        // Read again, the rows come back in the same order.
        q.reopen();
        q.setLikeFilter(QStringLiteral("s"), search);
        shown.clear();
        for (int r = 0; r < q.recordCount(); ++r) shown << q.value(r, QStringLiteral("id")).toInt();
        QCOMPARE(shown, ids);
        // Rows read elsewhere (a read in another thread) and handed over keep the order too.
        Query other;
        other.SQL = q.SQL;
        other.open();
        q.takeRows(other);
        q.setLikeFilter(QStringLiteral("s"), search);
        shown.clear();
        for (int r = 0; r < q.recordCount(); ++r) shown << q.value(r, QStringLiteral("id")).toInt();
        QCOMPARE(shown, ids);
    }
};

QTEST_MAIN(TestCore)
#include "test_core.moc"
