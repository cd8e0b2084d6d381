// The worker's earnings statement: its pages, its totals against the production
// reports and the database, the window's button and chooser, and its PDF.
#include "gui/busy.h"
#include "gui/forms.h"
#include "domain/session.h"
#include "papers/earnings.h"
#include "papers/layouts.h"
#include "reports/tform18.h"
#include "support/testdb.h"
#include "support/report_lines.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProgressBar>
#include <QProgressDialog>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QFontMetricsF>
#include <QImage>
#include <QtTest>

#include <cmath>

using namespace mirn;

namespace {

// March 2024. Антонов (101): entries in all four shifts, two on the 1st (shift 1 and
// overtime), a Saturday at a day-off price, rejects, primer and a RAL colour, and a price
// of four decimals whose amounts round down one by one but not in total (2.3331 twice);
// auxiliary work in shifts 1 and 2; entries the day before and the day after.
// Борисов (102): one entry. Воронов (103): auxiliary work only.
void loadFixture() {
    testdb::exec(QStringLiteral(
        "insert into cmn_contractor.person(id, s_caption, s_code) values "
        "(1, 'Антонов А.А.', '101'), (2, 'Борисов Б.Б.', '102'), (3, 'Воронов В.В.', '103')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.person(id, fio, s_staffpos_hl) values "
        "(101, 'Антонов Антон Андреевич', ''), (102, 'Борисов Борис Борисович', ''), (103, 'Воронов Виктор Васильевич', '')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_classifier.item(id, id_level, s_caption) values (500, 2, 'Кронштейны'), (501, 2, 'Хомуты')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) values "
        "(1, 'КР-100', '', 6, 0.5, 500), (3, 'ХМ-40', '', 6, 0.1, 501)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.vid_oper(id, vid) values (1, 'Гибка'), (2, 'Покраска'), (3, 'Резка'), "
        "(7777, 'Уборка'), (7778, 'Среднесдельная')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values "
        "(1, 1, 0, 1, 0), (2, 2, 0, 1, 0), (3, 3, 1, 3, 0)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok, prize) values "
        "(101, 1, 1, 2.5,    10, 2, '2024-03-01', 1, 0,    8, 'ok', 0), "
        "(101, 1, 1, 3.75,    4, 0, '2024-03-01', 4, 0,    2, 'ok', 0), "
        "(101, 2, 1, 3,       6, 1, '2024-03-02', 1, 1013, 6, 'ok', 0), "
        "(101, 2, 1, 1.5,     4, 0, '2024-03-05', 2, 1,    4, 'no', 0), "
        "(101, 3, 3, 0.3333,  7, 0, '2024-03-07', 3, 0,    8, 'ok', 0), "
        "(101, 3, 3, 0.3333,  8, 1, '2024-03-08', 3, 0,    8, 'ok', 0), "
        "(101, 1, 1, 2.5,   100, 0, '2024-02-29', 1, 0,    8, 'ok', 0), "
        "(101, 1, 1, 2.5,   100, 0, '2024-04-01', 1, 0,    8, 'ok', 0), "
        "(102, 3, 3, 0.75,   20, 4, '2024-03-15', 1, 0,    8, 'ok', 0)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price) values "
        "(500, 7777, 101, '2024-03-04', 3, 2024, 1, 3, 150.25), "
        "(500, 7778, 101, '2024-03-05', 3, 2024, 2, 2, 200.10), "
        "(501, 7777, 101, '2024-04-01', 4, 2024, 1, 9, 100), "
        "(501, 7777, 103, '2024-03-20', 3, 2024, 3, 4, 100)"));
}

const QDate kFrom(2024, 3, 1), kTo(2024, 4, 1);

// Texts of the items of one named element, page after page.
QStringList texts(const rpt::PreparedReport& r, const QString& element) {
    QStringList out;
    for (const rpt::PreparedPage& p : r.pages)
        for (const rpt::PreparedItem& it : p.items)
            if (it.element == element) out << it.text;
    return out;
}

QString footer(int n, int m) {
    return QStringLiteral("pageFooter: Дата печати: %1|стр. %2 из %3")
        .arg(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")))
        .arg(n)
        .arg(m);
}

// The worker's subtotal line of a report by workers, run from the window.
QString workerSubtotal(QPushButton* button, const QString& fio) {
    // The window lets the pages go once its preview closes: read them while it shows.
    QStringList l;
    ModalScript modal([&](QDialog* d) {
        l = lines(shownPages(d));
        return int(QDialog::Rejected);
    });
    button->click();
    const qsizetype at = l.indexOf(QStringLiteral("fio: ") + fio);
    if (at < 0) return QStringLiteral("<no %1>").arg(fio);
    for (qsizetype i = at + 1; i < l.size(); ++i)
        if (l[i].startsWith(QLatin1String("fioFooter: "))) return l[i].mid(11);
    return QStringLiteral("<no subtotal>");
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return QStringLiteral("<%1 failed>").arg(program);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Presses "Отмена" of a progress window with the mouse as soon as `when` holds: looked at
// as its bar moves and every few milliseconds while the work lets the windows in.
void cancelWhen(ui::Progress& p, std::function<bool(QProgressDialog*)> when) {
    QProgressDialog* d = p.dialog();
    auto press = [d, when] {
        if (!d->wasCanceled() && when(d)) QTest::mouseClick(d->findChild<QPushButton*>(), Qt::LeftButton);
    };
    QObject::connect(d->findChild<QProgressBar*>(), &QProgressBar::valueChanged, d, press);
    auto* timer = new QTimer(d);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, d, press);
    timer->start();
}

// Statements of this database at work on the server, this test's own connection and
// `besides` left out; or only those waiting for a lock.
int running(int besides, bool waitingForALock = false) {
    return testdb::scalarInt(QStringLiteral("select count(*) from pg_stat_activity where datname = current_database() "
                                            "and pid <> pg_backend_pid() and pid <> %1 and state = 'active'%2")
                                 .arg(besides)
                                 .arg(waitingForALock ? QStringLiteral(" and wait_event_type = 'Lock'") : QString()));
}

// A second client holding the shift entries locked in an open transaction, so that a read
// of them waits on the server until it lets go (or until the server drops it after 10 s,
// so that a read that is never cancelled still ends).
class EntriesLocked {
public:
    EntriesLocked() {
        QSqlDatabase db = QSqlDatabase::cloneDatabase(kConnectionName, kName);
        ok_ = db.open();
        QSqlQuery q(db);
        ok_ = ok_ && q.exec(QStringLiteral("set idle_in_transaction_session_timeout = '10s'")) &&
              q.exec(QStringLiteral("begin")) && q.exec(QStringLiteral("lock table accounts_dep.smena in access exclusive mode")) &&
              q.exec(QStringLiteral("select pg_backend_pid()")) && q.next();
        if (ok_) pid_ = q.value(0).toInt();
        else qWarning() << "cannot lock the entries:" << q.lastError().text() << db.lastError().text();
    }
    ~EntriesLocked() { release(); }
    bool ok() const { return ok_; }
    int pid() const { return pid_; }
    void release() {
        if (!QSqlDatabase::contains(kName)) return;
        {
            QSqlDatabase db = QSqlDatabase::database(kName, false);
            QSqlQuery(db).exec(QStringLiteral("rollback"));
            db.close();
        }
        QSqlDatabase::removeDatabase(kName);
    }

private:
    static inline const QString kName = QStringLiteral("entries_locked");
    bool ok_ = false;
    int pid_ = 0;
};

}  // namespace

class TestEarnings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale::c());
        testdb::startApp(QStringLiteral("t_earnings"));
        loadFixture();
        session().role = Role::Administrator;
    }
    void cleanupTestCase() { testdb::stopApp(); }

    // One worker's month, line by line: entries by date and shift with day subtotals,
    // then auxiliary work, the period's totals and the hours by shift.
    void oneWorkersPage() {
        const rpt::PreparedReport r = papers::earningsStatement(kFrom, kTo, 101);
        QCOMPARE(r.pages.size(), size_t(1));
        QCOMPARE(r.paper, QPageSize::A4);
        const QStringList expected{
            "worker: Расчётный листок",
            "worker: Антонов А.А. (таб. № 101)|за период с 01.03.2024 по 01.04.2024",
            "section: Выработка",
            "columns: Дата|См.|Изделие|Операция|Вид продукции|Цвет|Кол-во|Брак|Часы|Цена|Сумма",
            "detail: 01.03.2024|1|КР-100|Гибка|Готовая продукция| |10|2|8|2.50|20.00",
            "detail: 01.03.2024|4|КР-100|Гибка|Готовая продукция| |4|0|2|3.75|15.00",
            "day: Итого за 01.03.2024:|14|2|10|35.00",
            "detail: 02.03.2024|1|КР-100|Покраска|Готовая продукция| (RAL: 1013)|6|1|6|3.00|15.00",
            "day: Итого за 02.03.2024:|6|1|6|15.00",
            "detail: 05.03.2024|2|КР-100|Покраска|Готовая продукция| (грунт)|4|0|4|1.50|6.00",
            "day: Итого за 05.03.2024:|4|0|4|6.00",
            "detail: 07.03.2024|3|ХМ-40|Резка|Заготовки| |7|0|8|0.3333|2.33",
            "day: Итого за 07.03.2024:|7|0|8|2.33",
            "detail: 08.03.2024|3|ХМ-40|Резка|Заготовки| |8|1|8|0.3333|2.33",
            "day: Итого за 08.03.2024:|8|1|8|2.33",
            "section: Хоз. работы",
            "columns: Дата|См.|Номенклатура|Вид работ|||||Часы|Ставка|Сумма",
            "detail: 04.03.2024|1|Кронштейны|Уборка|||||3|150.25|450.75",
            "day: Итого за 04.03.2024:|||3|450.75",
            "detail: 05.03.2024|2|Кронштейны|Среднесдельная|||||2|200.10|400.20",
            "day: Итого за 05.03.2024:|||2|400.20",
            // 2.3331 twice makes 4.67 in the total, though each prints as 2.33.
            "totals: Итого за период, сдельно:|39|4|36|60.67",
            "auxTotals: Хоз. работы:|5|850.95",
            "grandTotal: Всего начислено:|41|911.62",
            "shiftHours: Часы по сменам:|1 смена:|17|2 смена:|6|3 смена:|16|Переработка:|2",
            footer(1, 1),
        };
        QCOMPARE(lines(r), expected);
    }

    // Every worker with entries or auxiliary work in the period, by name, a page each.
    void allWorkersOnePageEach() {
        const rpt::PreparedReport r = papers::earningsStatement(kFrom, kTo, 0);
        QCOMPARE(r.pages.size(), size_t(3));
        const QStringList names{"Антонов А.А. (таб. № 101)", "Борисов Б.Б. (таб. № 102)", "Воронов В.В. (таб. № 103)"};
        const QStringList totals{"911.62", "12.00", "400.00"};
        for (int p = 0; p < 3; ++p) {
            const QStringList l = lines(r, p, p);
            QCOMPARE(l.at(0), QStringLiteral("worker: Расчётный листок"));
            QVERIFY2(l.at(1).startsWith(QStringLiteral("worker: ") + names[p]), qPrintable(l.at(1)));
            QVERIFY2(l.contains(QStringLiteral("grandTotal: Всего начислено:|") +
                                (p == 0 ? QStringLiteral("41|") : p == 1 ? QStringLiteral("8|") : QStringLiteral("4|")) +
                                totals[p]),
                     qPrintable(l.join(QLatin1Char('\n'))));
            QCOMPARE(l.last(), footer(p + 1, 3));
        }
        // Воронов has no entries: no piece-work section at all, only auxiliary work.
        const QStringList v = lines(r, 2, 2);
        QVERIFY(!v.contains(QStringLiteral("section: Выработка")));
        QVERIFY(v.contains(QStringLiteral("section: Хоз. работы")));
        QVERIFY(v.contains(QStringLiteral("shiftHours: Часы по сменам:|1 смена:|0|2 смена:|0|3 смена:|4|Переработка:|0")));
    }

    // The statement's totals are the production reports' for the same worker and period,
    // and what the database adds up itself.
    void totalsAgreeWithReports_data() {
        QTest::addColumn<int>("worker");
        QTest::addColumn<QString>("fio");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::newRow("Антонов, the month") << 101 << "Антонов А.А." << kFrom << kTo;
        QTest::newRow("Антонов, 2nd to 8th") << 101 << "Антонов А.А." << QDate(2024, 3, 2) << QDate(2024, 3, 8);
        QTest::newRow("Антонов, with the day before") << 101 << "Антонов А.А." << QDate(2024, 2, 29) << kTo;
        QTest::newRow("Борисов, the month") << 102 << "Борисов Б.Б." << kFrom << kTo;
    }
    void totalsAgreeWithReports() {
        QFETCH(int, worker);
        QFETCH(QString, fio);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        const rpt::PreparedReport r = papers::earningsStatement(from, to, worker);
        const QString piece = texts(r, QStringLiteral("pieceTotal")).value(0);
        const QString aux = texts(r, QStringLiteral("auxTotal")).value(0);
        const QString grand = texts(r, QStringLiteral("grandTotal")).value(0);
        const QStringList totals = lines(r).filter(QRegularExpression(QStringLiteral("^totals: ")));
        QCOMPARE(totals.size(), 1);
        const QStringList t = totals[0].split(QLatin1Char('|'));  // label, quantity, rejects, hours, amount

        TForm18& f = forms::form<TForm18>();
        f.DTPicker1->setDate(from);
        f.DTPicker2->setDate(to);
        f.RadioGroup1->setItemIndex(0);
        // By workers: the worker's amount; detailed by workers: rejects, gross quantity, amount.
        QCOMPARE(piece, workerSubtotal(f.Button4, fio));
        QCOMPARE(QStringList({t[2], t[1], piece}).join(QLatin1Char('|')),
                 workerSubtotal(f.Button1, fio));

        const QString period = QStringLiteral(" between '%1' and '%2'::date - 1")
                                   .arg(from.toString(Qt::ISODate), to.toString(Qt::ISODate));
        const QList<QVariantList> own = testdb::rows(
            QStringLiteral("select round(sum((kol_vo-brak)*cena)::numeric, 2)::text, sum(kol_vo)::text, sum(brak)::text, "
                           "sum(time)::text from accounts_dep.smena where w_id=%1 and data")
                .arg(worker) + period);
        QCOMPARE(piece, own[0][0].toString());
        QCOMPARE(t[1], own[0][1].toString());
        QCOMPARE(t[2], own[0][2].toString());
        QCOMPARE(t[3], own[0][3].toString());
        const QString ownAux = testdb::scalar(QStringLiteral("select coalesce(round(sum(cnt*price), 2), 0)::numeric(15,2)::text "
                                                             "from accounts_dep.fatigue where id_p=%1 and d_date")
                                                  .arg(worker) + period)
                                   .toString();
        QCOMPARE(aux, ownAux);
        const QString ownGrand = testdb::scalar(
            QStringLiteral("select round((select coalesce(sum((kol_vo-brak)*cena)::numeric, 0) from accounts_dep.smena "
                           "where w_id=%1 and data%2) + (select coalesce(sum(cnt*price), 0) from accounts_dep.fatigue "
                           "where id_p=%1 and d_date%2), 2)::text")
                .arg(worker)
                .arg(period)).toString();
        QCOMPARE(grand, ownGrand);
    }

    // From the summary reports window: the chooser lists "Все" and the department's workers;
    // the statement of the chosen one goes to the preview and the query is closed after.
    void fromTheWindow_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("firstWorker");
        QTest::newRow("all") << 0 << 3 << "worker: Антонов А.А. (таб. № 101)";
        QTest::newRow("Борисов") << 2 << 1 << "worker: Борисов Б.Б. (таб. № 102)";
    }
    void fromTheWindow() {
        QFETCH(int, choice);
        QFETCH(int, pages);
        QFETCH(QString, firstWorker);
        TForm18& f = forms::form<TForm18>();
        f.FillWorkers();
        QStringList items;
        for (int i = 0; i < f.CBWorker->count(); ++i) items << f.CBWorker->itemText(i);
        QCOMPARE(items, (QStringList{"Все", "Антонов Антон Андреевич", "Борисов Борис Борисович",
                                     "Воронов Виктор Васильевич"}));
        f.DTPicker1->setDate(kFrom);
        f.DTPicker2->setDate(kTo);
        f.CBWorker->setCurrentIndex(choice);
        QStringList titles;
        rpt::PreparedReport shown;
        ModalScript modal([&](QDialog* d) {
            shown = shownPages(d);
            titles << d->windowTitle();
            return int(QDialog::Rejected);
        });
        f.Button7->click();
        QCOMPARE(titles, QStringList{QStringLiteral("Расчётный листок за период с 01.03.2024 по 01.04.2024")});
        QCOMPARE(int(shown.pages.size()), pages);
        QVERIFY2(lines(shown, 0, 0).at(1).startsWith(firstWorker), qPrintable(lines(shown, 0, 0).at(1)));
        QVERIFY(!forms::form<papers::EarningsLayout>().Earnings.active());
    }

    // Every worker's statement takes a while: its progress has "Отмена", pressed with the
    // mouse while the server reads (the entries held locked by another client, so the read
    // waits there) or while the pages are counted. Cancelled, no preview and no message
    // come, the server's statement is gone at once, and the window works as before.
    void statementForAllCanBeCancelled_data() {
        QTest::addColumn<QString>("when");
        QTest::newRow("while the server reads") << "reading";
        QTest::newRow("while the pages are counted") << "counting";
        QTest::newRow("let run") << "";
    }
    void statementForAllCanBeCancelled() {
        QFETCH(QString, when);
        TForm18& f = forms::form<TForm18>();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.DTPicker1->setDate(kFrom);
        f.DTPicker2->setDate(kTo);
        f.CBWorker->setCurrentIndex(0);
        QCOMPARE(f.CBWorker->currentText(), QStringLiteral("Все"));

        std::unique_ptr<EntriesLocked> lock;
        if (when == QLatin1String("reading")) {
            lock = std::make_unique<EntriesLocked>();
            QVERIFY(lock->ok());
        }
        const int locker = lock ? lock->pid() : 0;
        MessageLog log;
        QList<int> previewPages;
        ModalScript modal([&](QDialog* d) {
            previewPages << int(shownPages(d).pages.size());
            return int(QDialog::Rejected);
        });
        QStringList labels;
        bool othersOff = false;
        ui::testing::setProgressDelay(0);
        ui::testing::setProgressHook([&](ui::Progress& p) {
            othersOff = !f.Button7->isEnabled() && !f.Button4->isEnabled() && !f.Button5->isEnabled();
            QObject::connect(p.dialog()->findChild<QProgressBar*>(), &QProgressBar::valueChanged, p.dialog(),
                             [&labels, d = p.dialog()] {
                                 if (labels.isEmpty() || labels.last() != d->labelText()) labels << d->labelText();
                             });
            if (when == QLatin1String("reading"))
                cancelWhen(p, [locker](QProgressDialog*) { return running(locker, true) > 0; });
            else if (when == QLatin1String("counting"))
                cancelWhen(p, [](QProgressDialog* d) { return d->value() >= 1; });
        });
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(f.Button7, Qt::LeftButton);
        const qint64 ms = clock.elapsed();
        ui::testing::setProgressHook({});
        ui::testing::setProgressDelay(-1);

        QVERIFY(othersOff);
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.texts().join('|')));
        QVERIFY(!forms::form<papers::EarningsLayout>().Earnings.active());
        QVERIFY(f.Button7->isEnabled());
        if (when.isEmpty()) {
            QCOMPARE(previewPages, QList<int>{3});
            QCOMPARE(labels.last(), QStringLiteral("Расчётный листок: разбивка на страницы"));
        } else {
            QCOMPARE(previewPages, QList<int>());
            // The statement was stopped on the server, not waited out: the entries are
            // still locked, and nothing of this database is at work there.
            QVERIFY2(ms < 3000, qPrintable(QString::number(ms)));
            QCOMPARE(running(locker), 0);
            if (lock) QCOMPARE(running(0, true), 0);
            // The second connection is closed.
            QTRY_COMPARE(testdb::scalarInt(QStringLiteral("select count(*) from pg_stat_activity where datname = "
                                                          "current_database() and pid <> pg_backend_pid() and pid <> %1")
                                               .arg(locker)),
                         0);
            lock.reset();
            // The same click again, left alone, shows every worker.
            QTest::mouseClick(f.Button7, Qt::LeftButton);
            QCOMPARE(previewPages, QList<int>{3});
            QVERIFY2(log.messages.isEmpty(), qPrintable(log.texts().join('|')));
        }
        f.hide();
    }

    // A read that fails on the server is reported as before, though it ran on a connection
    // of its own: the server's words under the sentence of what failed, and no preview.
    void failedStatementIsReported() {
        TForm18& f = forms::form<TForm18>();
        f.DTPicker1->setDate(kFrom);
        f.DTPicker2->setDate(kTo);
        f.CBWorker->setCurrentIndex(0);
        testdb::exec(QStringLiteral("alter table accounts_dep.fatigue rename to fatigue_away"));
        MessageLog log;
        ModalScript modal;
        QTest::mouseClick(f.Button7, Qt::LeftButton);
        testdb::exec(QStringLiteral("alter table accounts_dep.fatigue_away rename to fatigue"));
        QCOMPARE(modal.shown.size(), 0);
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.lastText().startsWith(QStringLiteral("Не удалось прочитать данные")), qPrintable(log.lastText()));
        QVERIFY2(log.lastFailure().contains(QStringLiteral("fatigue")), qPrintable(log.lastDetails()));
        QVERIFY(!forms::form<papers::EarningsLayout>().Earnings.active());
        QVERIFY(f.Button7->isEnabled());
    }

    // Printed to PDF and read back: title, name, money with two decimals and the page footer.
    // Money reads as on the rest of a Russian desktop, in digit groups; the C locale writes
    // none. The period takes in 1 April: 100 pieces at 2.50 and 9 hours of auxiliary work.
    void moneyInDigitGroups_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("element");
        QTest::addColumn<QString>("expected");
        const QLocale ru(QLocale::Russian, QLocale::Russia);
        const QString nbsp(QChar(0x00A0));
        QTest::newRow("ru, piece-work") << ru << "pieceTotal" << "310,67";
        QTest::newRow("ru, auxiliary work") << ru << "auxTotal" << "1" + nbsp + "750,95";
        QTest::newRow("ru, all") << ru << "grandTotal" << "2" + nbsp + "061,62";
        QTest::newRow("C, all") << QLocale::c() << "grandTotal" << "2061.62";
    }
    void moneyInDigitGroups() {
        QFETCH(QLocale, locale);
        QFETCH(QString, element);
        QFETCH(QString, expected);
        QLocale::setDefault(locale);
        const rpt::PreparedReport r = papers::earningsStatement(kFrom, QDate(2024, 4, 2), 101);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(texts(r, element), QStringList{expected});
    }

    // A worker the journal finds by the register's row number rather than by its code
    // is named as the journal names them, under the same personnel number as a worker booked
    // by it (the worker number, as the chooser knows them): one page with both entries.
    void workerKnownByRegisterRow_data() {
        QTest::addColumn<int>("worker");
        QTest::newRow("the chosen worker") << 103;
        QTest::newRow("all workers") << 0;
    }
    void workerKnownByRegisterRow() {
        QFETCH(int, worker);
        if (testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where data = '2024-05-06'")) == 0)
            testdb::exec(QStringLiteral(
                "insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok, prize) "
                "values (3, 1, 1, 2.5, 10, 0, '2024-05-06', 1, 0, 8, 'ok', 0), "
                "(103, 1, 1, 2.5, 4, 0, '2024-05-07', 1, 0, 2, 'ok', 0)"));
        const rpt::PreparedReport r = papers::earningsStatement(QDate(2024, 5, 1), QDate(2024, 6, 1), worker);
        QCOMPARE(r.pages.size(), size_t(1));
        const QStringList l = lines(r);
        QCOMPARE(l.value(1), QStringLiteral("worker: Воронов В.В. (таб. № 103)|за период с 01.05.2024 по 01.06.2024"));
        QVERIFY2(l.contains(QStringLiteral("totals: Итого за период, сдельно:|14|0|10|35.00")), qPrintable(l.join(u'\n')));
    }

    // A day's subtotal never opens a page whose rows stand on the page before: whatever the
    // number of days and of rows a day, every day line has a row of its day above it.
    void daySubtotalStaysWithItsRows() {
        papers::EarningsLayout layout;
        const QStringList fields{"w_id", "tab_no", "fio", "section", "data", "smena", "marka", "vid",
                                 "naimen", "color", "kolvo", "brk", "hours", "cena", "summa"};
        QStringList faults;
        int pages = 0;
        // Days of one to three rows in turn, the turn started at each place.
        for (int start = 0; start < 3; ++start)
            for (int days = 10; days <= 60; ++days) {
                rpt::VectorDataSource rows(fields);
                for (int d = 0; d < days; ++d)
                    for (int k = 1; k <= 1 + (d + start) % 3; ++k)
                        rows.addRow({101, 101, "Антонов А.А.", 1, QDate(2024, 1, 1).addDays(d), k, "КР-100", "Гибка", 0, 0,
                                     10, 0, 8, 2.5, 25});
                const rpt::PreparedReport r = rpt::prepare(layout.QuickRep1, rows);
                pages = std::max(pages, int(r.pages.size()));
                for (int p = 0; p < int(r.pages.size()); ++p) {
                    const QStringList l = lines(r, p, p);
                    bool row = false;
                    for (const QString& line : l) {
                        if (line.startsWith(QLatin1String("detail: "))) row = true;
                        if (line.startsWith(QLatin1String("day: ")) && !row)
                            faults << QStringLiteral("%1 days from %2: page %3").arg(days).arg(start).arg(p + 1);
                    }
                }
            }
        QVERIFY(pages >= 3);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    }

    // Nothing printed runs out of its box, on paper (300 dpi) or on the screen (the
    // preview's 120 dpi): the longest kind, colour and figures, and names as long as the
    // demo's "Покраска порошковая" and a long mark, which take a second line.
    void everyTextFitsItsBox_data() {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QString>("wrapped");
        QTest::newRow("March, paper") << kFrom << 300 << QString();
        QTest::newRow("June, paper") << QDate(2024, 6, 1) << 300 << "Покраска порошковая";
        QTest::newRow("June, screen") << QDate(2024, 6, 1) << 120 << "Покраска порошковая";
    }
    void everyTextFitsItsBox() {
        QFETCH(QDate, from);
        QFETCH(int, dpi);
        QFETCH(QString, wrapped);
        if (testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.vid_oper where id = 6")) == 0) {
            testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (6, 'Покраска порошковая')"));
            testdb::exec(QStringLiteral(
                "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) "
                "values (6, 'Кронштейн усиленный КУ-250', '', 6, 0.5, 500)"));
            testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (6, 6, 0, 6, 0)"));
            testdb::exec(QStringLiteral(
                "insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok, prize) "
                "values (101, 6, 6, 1.2345, 1200, 10, '2024-06-03', 1, 9005, 8, 'ok', 0)"));
        }
        const rpt::PreparedReport r = papers::earningsStatement(from, from.addMonths(1), 0);
        QImage sheet(10, 10, QImage::Format_RGB32);
        sheet.setDotsPerMeterX(int(dpi / 0.0254 + 0.5));
        sheet.setDotsPerMeterY(int(dpi / 0.0254 + 0.5));
        QFont font(r.fontFamily);
        font.setStyleHint(QFont::SansSerif);  // as the painter chooses it
        QStringList over, lines;
        for (const rpt::PreparedPage& page : r.pages)
            for (const rpt::PreparedItem& it : page.items) {
                if (it.text.isEmpty()) continue;
                font.setPointSizeF(it.fontSize);
                font.setBold(it.bold);
                const QFontMetricsF fm(font, &sheet);
                const QStringList parts = it.text.split(QLatin1Char('\n'));
                lines << parts;
                for (const QString& line : parts) {
                    const double mm = fm.horizontalAdvance(line) / dpi * 25.4;
                    if (mm > it.rect.width() - 1.2)  // the painter keeps 0.6 mm from each side
                        over << QStringLiteral("%1 (%2 mm in %3 mm)").arg(line).arg(mm, 0, 'f', 1).arg(it.rect.width());
                }
                // The lines one under another inside the box.
                const double tall = double(parts.size()) * fm.height() / dpi * 25.4;
                if (parts.size() > 1 && tall > it.rect.height() + 0.2)
                    over << QStringLiteral("%1 (%2 mm high in %3 mm)").arg(it.text).arg(tall, 0, 'f', 1).arg(it.rect.height());
            }
        QVERIFY2(over.isEmpty(), qPrintable(over.join(QStringLiteral("; "))));
        // The long operation is printed whole.
        if (!wrapped.isEmpty()) QVERIFY2(lines.join(u' ').contains(wrapped), qPrintable(lines.join(u'|')));
    }

    void pdf() {
        QTemporaryDir tmp;
        const QString keep = qEnvironmentVariable("MIRN_REPORT_PDF_DIR");
        const QString path = (keep.isEmpty() ? tmp.path() : keep) + QStringLiteral("/earnings.pdf");
        QVERIFY(papers::writeEarningsPdf(kFrom, kTo, 101, path));
        const QString text = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
        for (const QString& t : {QStringLiteral("Расчётный листок"), QStringLiteral("Антонов А.А."),
                                 QStringLiteral("Среднесдельная"), QStringLiteral("450.75"), QStringLiteral("911.62"),
                                 QStringLiteral("стр. 1 из 1"),
                                 QStringLiteral("Дата печати: ") + QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))})
            QVERIFY2(text.contains(t), qPrintable(t + QStringLiteral(" missing in:\n") + text));
    }
};

QTEST_MAIN(TestEarnings)
#include "test_earnings.moc"
