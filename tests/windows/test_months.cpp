// Closed months and change history in the client, on the demo database with and
// without db/extension.sql: the controls only with the extension; closing and
// reopening from the timesheet by the administrator alone; a closed month's banner
// and switched-off controls in the journal, the entry dialog, the timesheet and the
// auxiliary work register; the database's refusal when the month was closed from
// elsewhere meanwhile; a row's history window; the change report's pages; the month's
// check as a list that leads to the journal and the register; closing a month with
// problems only with a reason.
#include "auxwork/tform25.h"
#include "core/datamodule.h"
#include "gui/forms.h"
#include "gui/historywindow.h"
#include "domain/auxwork.h"
#include "domain/entry_store.h"
#include "domain/history.h"
#include "domain/month_check.h"
#include "domain/period.h"
#include "journal/journal_keys.h"
#include "journal/tform1.h"
#include "journal/tform11.h"
#include "papers/change_report.h"
#include "gui/preview.h"
#include "reports/tform18.h"
#include "support/testdb.h"
#include "timesheet/monthcheck_window.h"
#include "timesheet/tform19.h"

#include <QDialogButtonBox>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QImage>
#include <QProcess>
#include <QSysInfo>
#include <QtTest>

using namespace mirn;

namespace {
const QString kDb = QStringLiteral("t_months");
const QString kAdmin = QStringLiteral("9471");

// psql as an administrator (or another workstation) runs it, outside the client.
int psql(const QStringList& args, const QString& input = {}) {
    QProcess p;
    p.start(QStringLiteral("psql"),
            QStringList{QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                        QStringLiteral("-d"), kDb} +
                args);
    if (!p.waitForStarted()) return -1;
    p.write(input.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(120000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QDate today() { return QDate::currentDate(); }

QString closeSql(const QDate& d) {
    return QStringLiteral("insert into accounts_dep.period_lock(year, month, closed_by) values (%1, %2, 'Бухгалтерия');\n")
        .arg(d.year())
        .arg(d.month());
}

// The demo database (entries and auxiliary work today), the extension installed or
// not, signed in with the code.
TForm1& start(bool extension, const QString& code = kAdmin) {
    testdb::startApp(kDb, true);
    if (extension) {
        const int rc = psql({QStringLiteral("-f"), QStringLiteral(MIRN_SOURCE_DIR "/db/extension.sql")});
        if (rc != 0) throw DbError(QStringLiteral("extension.sql failed"));
    }
    return signIn(code);
}

// The timesheet opened from the journal on today's month; returns it still set up.
TForm19& openTimesheet(TForm1& f1) {
    ModalScript modal;
    f1.N11Click();
    return forms::form<TForm19>();
}

TForm25& openRegister(TForm1& f1) {
    ModalScript modal;
    f1.Button5Click();
    TForm25& f25 = forms::form<TForm25>();
    f25.FormActivate();  // closed again by the opener; read the date once more
    return f25;
}

entry::Record newRecord() {
    const auto r = testdb::rows(QStringLiteral(
        "select w_id, i_id, o_id from accounts_dep.smena where data = current_date order by id limit 1"));
    entry::Record rec;
    rec.w_id = toInt(r.at(0).at(0));
    rec.i_id = toInt(r.at(0).at(1));
    rec.o_id = toInt(r.at(0).at(2));
    rec.cena = 2.5;
    rec.kol_vo = 5;
    rec.time = 2;
    rec.date = QDate(2020, 1, 15);
    rec.shift = 2;
    return rec;
}

// The current month without entries, timesheet rows or auxiliary work: nothing for the
// check to find.
void emptyCurrentMonth() {
    testdb::exec(QStringLiteral("delete from accounts_dep.smena where data >= date_trunc('month', current_date)"));
    testdb::exec(QStringLiteral("delete from accounts_dep.fatigue where d_date >= date_trunc('month', current_date)"));
    testdb::exec(QStringLiteral("delete from accounts_dep.h_tabel where year = extract(year from current_date) "
                                "and month = extract(month from current_date)"));
}

// A real double click on a line of the check list: QTest's double click on a widget is
// the double-click event alone, a real one comes after a press and release.
void doubleClick(MonthCheckWindow* w, QTreeWidgetItem* item) {
    w->Tree->scrollToItem(item);
    const QPoint at = w->Tree->visualItemRect(item).center();
    QTest::mouseClick(w->Tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(w->Tree->viewport(), Qt::LeftButton, {}, at);
}

// The check list's line whose entry column reads `entry` ("запись 15").
QTreeWidgetItem* lineOf(MonthCheckWindow* w, const QString& entry) {
    for (int g = 0; g < w->Tree->topLevelItemCount(); ++g)
        for (int i = 0; i < w->Tree->topLevelItem(g)->childCount(); ++i)
            if (w->Tree->topLevelItem(g)->child(i)->text(MonthCheckWindow::Entry) == entry) return w->Tree->topLevelItem(g)->child(i);
    return nullptr;
}

// The printed lines of a prepared report's page, one per band row (items of one row
// share their top).
QStringList pageLines(const rpt::PreparedReport& r, size_t page) {
    QMap<int, QStringList> rows;
    for (const rpt::PreparedItem& it : r.pages[page].items)
        if (!it.isBand && !it.text.isEmpty()) rows[int(it.rect.top() * 10)] << it.text;
    QStringList out;
    for (const QStringList& l : rows) out << l.join(QLatin1Char('|'));
    return out;
}
}  // namespace

class TestMonths : public QObject {
    Q_OBJECT

private slots:
    void cleanupTestCase() { testdb::stopApp(); }

    void detection_data() {
        QTest::addColumn<bool>("extension");
        QTest::newRow("without the extension") << false;
        QTest::newRow("with the extension") << true;
    }
    // Without the extension nothing new shows; with it the history, the change report
    // and the administrator's closing do.
    void detection() {
        QFETCH(bool, extension);
        TForm1& f1 = start(extension);
        QCOMPARE(period::installed(), extension);
        QCOMPARE(f1.Button9->isHidden(), !extension);
        QVERIFY(f1.MonthBanner->isHidden());
        QVERIFY(f1.Button1->isEnabled());
        TForm19& f19 = openTimesheet(f1);
        QCOMPARE(f19.CloseMonthButton->isHidden(), !extension);
        QVERIFY(f19.ReopenMonthButton->isHidden());
        QVERIFY(f19.Button1->isEnabled());
        QCOMPARE(openRegister(f1).Button9->isHidden(), !extension);
        {
            ModalScript modal;
            f1.N10Click();
        }
        QCOMPARE(forms::form<TForm18>().ChangesButton->isHidden(), !extension);
        // Nothing names the client where there is no history to record it.
        QCOMPARE(testdb::scalar(QStringLiteral("select coalesce(current_setting('mirn.client_role', true), '')")).toString(),
                 extension ? QStringLiteral("Администратор") : QString());
    }

    void closeReopen_data() {
        QTest::addColumn<QList<QMessageBox::StandardButton>>("answers");
        QTest::addColumn<bool>("closed");
        QTest::newRow("yes") << QList<QMessageBox::StandardButton>{QMessageBox::Yes} << true;
        QTest::newRow("no") << QList<QMessageBox::StandardButton>{QMessageBox::No} << false;
    }
    // The administrator closes the month after the question naming it, and reopens it.
    void closeReopen() {
        QFETCH(QList<QMessageBox::StandardButton>, answers);
        QFETCH(bool, closed);
        TForm1& f1 = start(true);
        // A clean month: the check finds nothing, and the plain question is asked.
        emptyCurrentMonth();
        TForm19& f19 = openTimesheet(f1);
        const QString month = period::monthCaption(today().month(), today().year());
        MessageLog log;
        log.answers = answers;
        ModalScript noReasonAsked;
        f19.CloseMonthButton->click();
        QCOMPARE(noReasonAsked.shown.size(), 0);
        QCOMPARE(log.texts(), QStringList{QStringLiteral("Закрыть месяц %1?").arg(month)});
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.period_lock")), closed ? 1 : 0);
        QCOMPARE(f19.MonthBanner->isHidden(), !closed);
        QCOMPARE(f19.Button1->isEnabled(), !closed);
        QCOMPARE(f19.ReopenMonthButton->isHidden(), !closed);
        QCOMPARE(f19.CloseMonthButton->isHidden(), closed);
        if (!closed) return;
        QCOMPARE(testdb::scalar(QStringLiteral("select closed_by from accounts_dep.period_lock")).toString(),
                 QStringLiteral("Администратор"));

        log.clear();
        log.answers = {QMessageBox::Yes};
        f19.ReopenMonthButton->click();
        QCOMPARE(log.texts(), QStringList{QStringLiteral("Открыть месяц %1?").arg(month)});
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.period_lock")), 0);
        QVERIFY(f19.MonthBanner->isHidden());
        QVERIFY(f19.Button1->isEnabled());
    }

    void closeWithProblems_data() {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("confirm");  // "Закрыть месяц" pressed, else "Отмена"
        QTest::addColumn<bool>("closed");
        QTest::newRow("reason typed") << QStringLiteral("табель сверен с мастером") << true << true;
        QTest::newRow("no reason") << QString() << true << false;
        QTest::newRow("blank reason") << QStringLiteral("   ") << true << false;
        QTest::newRow("cancelled") << QStringLiteral("табель сверен с мастером") << false << false;
    }
    // The demo's current month has problems: "Закрыть месяц" lists them instead of the
    // plain question and closes only with a typed reason, which period_lock and the
    // history keep. The button stays off without a reason; cancelling leaves the month open.
    void closeWithProblems() {
        QFETCH(QString, reason);
        QFETCH(bool, confirm);
        QFETCH(bool, closed);
        TForm1& f1 = start(true);
        TForm19& f19 = openTimesheet(f1);
        f19.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f19));
        const qlonglong lastLog = testdb::scalar(QStringLiteral("select coalesce(max(id), 0) from accounts_dep.change_log")).toLongLong();
        QString list;
        bool offWhileEmpty = false, acceptedWhileEmpty = true;
        MessageLog log;
        {
            ModalScript modal([&](QDialog* d) {
                if (d->objectName() != QLatin1String("CloseReasonDialog")) return int(QDialog::Rejected);
                d->show();
                auto* edit = d->findChild<QLineEdit*>(QStringLiteral("ReasonEdit"));
                auto* buttons = d->findChild<QDialogButtonBox*>();
                QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
                list = d->findChild<QPlainTextEdit*>(QStringLiteral("ProblemList"))->toPlainText();
                offWhileEmpty = !ok->isEnabled();
                QTest::mouseClick(ok, Qt::LeftButton);
                acceptedWhileEmpty = d->result() == QDialog::Accepted;
                edit->setFocus();
                typeText(edit, reason);
                QTest::mouseClick(confirm ? ok : buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
                d->hide();
                return d->result();
            });
            QTest::mouseClick(f19.CloseMonthButton, Qt::LeftButton);
            QCOMPARE(modal.shown.size(), 1);
        }
        f19.hide();
        QVERIFY(offWhileEmpty);
        QVERIFY(!acceptedWhileEmpty);
        // The list names the problem the demo is known for, among the others.
        QVERIFY2(list.contains(QStringLiteral("Рабочие, которых не видят табель и отчеты: 1")), qPrintable(list));
        QVERIFY2(list.contains(QStringLiteral("Богданов К.Е. (20)")), qPrintable(list));
        QVERIFY(log.texts().isEmpty());  // neither the plain question nor an error
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.period_lock")), closed ? 1 : 0);
        QCOMPARE(f19.MonthBanner->isHidden(), !closed);
        const QString logged = testdb::scalar(QStringLiteral(
            "select coalesce(string_agg(action || ' ' || row_id || ' ' || coalesce(new_row->>'reason', ''), ';' order by id), '') "
            "from accounts_dep.change_log where id > %1").arg(lastLog)).toString();
        if (!closed) {
            QCOMPARE(logged, QString());
            return;
        }
        QCOMPARE(testdb::scalar(QStringLiteral("select closed_by || '|' || reason from accounts_dep.period_lock")).toString(),
                 QStringLiteral("Администратор|") + reason);
        QCOMPARE(logged, QStringLiteral("close %1 %2").arg(today().year() * 100 + today().month()).arg(reason));
    }

    // The check list on the demo's current month: a group per kind with the count of its
    // lines; Богданов К.Е., booked by row id, under the workers the timesheet cannot see.
    // A double click on an entry's line shows the journal on the entry's date and shift
    // with the entry selected (the timesheet closes, the journal stays there); on an
    // auxiliary work line the register opens on its row over the list.
    void checkListLeadsToEntries() {
        TForm1& f1 = start(false);
        // An unconfirmed entry of shift 2 on another day than today, as the journal shows it.
        const auto pick = testdb::rows(QStringLiteral(
            "select s.id, s.data, s.w_id from accounts_dep.smena s join accounts_dep.izdel i on i.id = s.i_id "
            "join accounts_dep.oper o on o.id = s.o_id join accounts_dep.vid_oper v on v.id = o.vid "
            "where s.data >= date_trunc('month', current_date) and s.data < current_date and s.smena = 2 "
            "and s.ok = 'no' and exists (select 1 from cmn_contractor.person p where p.s_code::t_id = s.w_id) "
            "order by s.data, s.id limit 1"));
        QCOMPARE(pick.size(), 1);
        const int entry = toInt(pick.at(0).at(0));
        const QDate date = pick.at(0).at(1).toDate();
        // An auxiliary work row of shift 2 without a rate.
        const int aux = testdb::scalarInt(QStringLiteral(
            "select min(id) from accounts_dep.fatigue where d_date >= date_trunc('month', current_date)"));
        testdb::exec(QStringLiteral("update accounts_dep.fatigue set price = 0, i_smena = 2 where id = %1").arg(aux));
        const QDate auxDate = testdb::scalar(QStringLiteral("select d_date from accounts_dep.fatigue where id = %1").arg(aux)).toDate();
        const int unconfirmed = testdb::scalarInt(QStringLiteral(
            "select count(*) from accounts_dep.smena where data >= date_trunc('month', current_date) and ok not in ('ok', 'да')"));
        const auto problems = monthcheck::check(today().month(), today().year());

        QStringList groups;
        int lines = 0;
        QStringList bogdanov;
        int registerRow = -1, registerShift = 0, registerGridRow = -1;
        QDate registerDate;
        bool listStayed = false;
        bool timesheetShown = false, timesheetClosed = false;
        ModalScript modal([&](QDialog* d) {
            if (auto* f19 = qobject_cast<TForm19*>(d)) {
                f19->show();
                timesheetShown = QTest::qWaitForWindowExposed(f19) && !f19->CheckMonthButton->isHidden();
                QTest::mouseClick(f19->CheckMonthButton, Qt::LeftButton);
                timesheetClosed = f19->isHidden() && f19->result() == QDialog::Rejected;
                f19->hide();
                return f19->result();
            }
            if (auto* w = qobject_cast<MonthCheckWindow*>(d)) {
                w->show();
                if (!QTest::qWaitForWindowExposed(w)) return int(QDialog::Rejected);
                for (int g = 0; g < w->Tree->topLevelItemCount(); ++g) {
                    QTreeWidgetItem* group = w->Tree->topLevelItem(g);
                    groups << QStringLiteral("%1=%2").arg(group->text(0)).arg(group->childCount());
                    lines += group->childCount();
                    for (int i = 0; i < group->childCount(); ++i)
                        if (group->child(i)->text(MonthCheckWindow::Worker).startsWith(QStringLiteral("Богданов")))
                            bogdanov << group->text(0).section(u':', 0, 0) + QStringLiteral(" / ") +
                                            group->child(i)->text(MonthCheckWindow::Worker);
                }
                // The register over the list, and back.
                if (QTreeWidgetItem* line = lineOf(w, QStringLiteral("хоз. работа %1").arg(aux))) doubleClick(w, line);
                listStayed = w->isVisible() && !w->sentToJournal();
                if (QTreeWidgetItem* line = lineOf(w, QStringLiteral("запись %1").arg(entry))) doubleClick(w, line);
                w->hide();
                return w->result();
            }
            if (auto* f25 = qobject_cast<TForm25*>(d)) {
                registerRow = f25->fatigue.asInt(QStringLiteral("id"));
                registerShift = f25->i_smena;
                registerDate = f25->DTPcker1->date();
                registerGridRow = f25->DBGrid1->currentIndex().row() == f25->fatigue.recNo() - 1 ? registerRow : -1;
                return int(QDialog::Rejected);
            }
            return int(QDialog::Rejected);
        });
        f1.N11Click();  // the timesheet, as the menu opens it: its closing returns to the journal

        QVERIFY(timesheetShown);
        QVERIFY(timesheetClosed);
        // Every group titled with its count; all the check's problems listed.
        QVERIFY(!groups.isEmpty());
        for (const QString& g : groups) {
            const QString title = g.section(u'=', 0, 0);
            QVERIFY2(title.endsWith(QStringLiteral(": ") + g.section(u'=', 1)), qPrintable(g));
        }
        QCOMPARE(lines, int(problems.size()));
        QVERIFY2(groups.contains(QStringLiteral("Записи не подтверждены: %1=%1").arg(unconfirmed)), qPrintable(groups.join(u'\n')));
        QVERIFY2(groups.contains(QStringLiteral("Хоз. работы без расценки: 1=1")), qPrintable(groups.join(u'\n')));
        QVERIFY2(bogdanov.contains(QStringLiteral("Рабочие, которых не видят табель и отчеты / Богданов К.Е. (20)")),
                 qPrintable(bogdanov.join(u'\n')));

        QCOMPARE(registerRow, aux);
        QCOMPARE(registerGridRow, aux);
        QCOMPARE(registerShift, 2);
        QCOMPARE(registerDate, auxDate);
        QVERIFY(listStayed);

        // The journal stands on the entry, after the timesheet closed.
        QCOMPARE(f1.DateT->date(), date);
        QCOMPARE(f1.CurrentShift, 2);
        QVERIFY(f1.RadioButton2->isChecked());
        QCOMPARE(f1.DBGrid2->query(), &dm().shiftQuery(2));
        QCOMPARE(dm().shiftQuery(2).asInt(QStringLiteral("id")), entry);
        QCOMPARE(f1.DBGrid2->currentIndex().row(), dm().shiftQuery(2).recNo() - 1);
        QCOMPARE(dm().Smena1.param(QStringLiteral("data")).toDate(), date);
    }

    void othersCannot_data() {
        QTest::addColumn<int>("role");
        QTest::newRow("viewer") << int(Role::Viewer);
        QTest::newRow("foremen") << int(Role::Foremen);
        QTest::newRow("finished goods") << int(Role::FinishedGoods);
    }
    // Only the administrator closes or reopens a month, whatever window asks.
    void othersCannot() {
        QFETCH(int, role);
        if (!period::installed()) start(true);
        period::PeriodStore store;
        QVERIFY(!store.close(11, 2026, Role(role)).saved());
        testdb::exec(QStringLiteral("insert into accounts_dep.period_lock(year, month) values (2026, 10) on conflict do nothing"));
        QVERIFY(!store.reopen(10, 2026, Role(role)).saved());
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.period_lock where year = 2026")), 1);
        QVERIFY(store.isClosed(10, 2026));
        QVERIFY(!store.isClosed(11, 2026));
    }

    // A month closed from elsewhere: the journal, the entry dialog and the register
    // mark it and switch their changes off; an open month's date switches them on.
    void closedMonthDisables() {
        TForm1& f1 = start(true);
        QCOMPARE(psql({}, closeSql(today())), 0);
        f1.Button8Click();  // re-reads; the date stays
        f1.openShifts(f1.DateT->date());
        QVERIFY(!f1.MonthBanner->isHidden());
        QCOMPARE(f1.MonthBanner->text(), QStringLiteral("Месяц закрыт"));
        for (QPushButton* b : {f1.Button1, f1.Button2, f1.Button3}) QVERIFY2(!b->isEnabled(), qPrintable(b->text()));
        QVERIFY(f1.Button9->isEnabled());

        // A double click would confirm the entry: it changes nothing.
        const QString okBefore = testdb::scalar(QStringLiteral("select string_agg(ok, ',' order by id) from accounts_dep.smena where data = current_date")).toString();
        f1.DBGrid2DblClick();
        QCOMPARE(testdb::scalar(QStringLiteral("select string_agg(ok, ',' order by id) from accounts_dep.smena where data = current_date")).toString(), okBefore);

        // The entry dialog's save follows its date.
        TForm11& f11 = forms::form<TForm11>();
        f11.DTimeP->setDate(today());
        f11.FormActivate();
        QVERIFY(!f11.Button1->isEnabled());
        QVERIFY(!f11.MonthBanner->isHidden());
        f11.DTimeP->setDate(today().addMonths(-1));
        QVERIFY(f11.Button1->isEnabled());
        QVERIFY(f11.MonthBanner->isHidden());

        TForm25& f25 = openRegister(f1);
        QVERIFY(!f25.MonthBanner->isHidden());
        for (QPushButton* b : {f25.Button5, f25.Button6, f25.Button7}) QVERIFY2(!b->isEnabled(), qPrintable(b->text()));

        // Another month's date: everything on again.
        f1.DateT->setDate(today().addMonths(-1));
        f1.DateTChange();
        QVERIFY(f1.MonthBanner->isHidden());
        for (QPushButton* b : {f1.Button1, f1.Button2, f1.Button3}) QVERIFY(b->isEnabled());
        f25.DTPcker1->setDate(today().addMonths(-1));
        QVERIFY(f25.MonthBanner->isHidden());
        for (QPushButton* b : {f25.Button5, f25.Button6, f25.Button7}) QVERIFY(b->isEnabled());
    }

    // "Обновить" (F5) reads again whether the month is closed: closed and reopened from
    // another workstation, the banner, the buttons and Space in the grid follow; Space and
    // its menu entry confirm nothing while the month is closed.
    void refreshReadsTheMonthState() {
        TForm1& f1 = start(true);
        f1.show();
        f1.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f1));
        QVERIFY(!dm().Smena1.isEmpty());
        const auto state = [&f1] {
            QStringList s;
            s << (f1.MonthBanner->isHidden() ? "open" : "closed");
            for (QPushButton* b : {f1.Button1, f1.Button2, f1.Button3}) s << (b->isEnabled() ? "on" : "off");
            s << (f1.Keys->Confirm->isEnabled() ? "space on" : "space off");
            return s.join(QLatin1Char(' '));
        };
        const auto okNow = [] {
            return testdb::scalar(QStringLiteral("select string_agg(ok, ',' order by id) from accounts_dep.smena "
                                                 "where data = current_date")).toString();
        };
        QCOMPARE(state(), QStringLiteral("open on on on space on"));
        QCOMPARE(psql({}, closeSql(today())), 0);
        f1.DBGrid2->setFocus();
        QTest::keyClick(f1.DBGrid2, Qt::Key_F5);
        QCOMPARE(state(), QStringLiteral("closed off off off space off"));
        const QString before = okNow();
        MessageLog log;
        QTest::keyClick(f1.DBGrid2, Qt::Key_Space);
        QCOMPARE(okNow(), before);
        QVERIFY(log.messages.isEmpty());
        testdb::exec(QStringLiteral("delete from accounts_dep.period_lock"));
        QTest::keyClick(f1.DBGrid2, Qt::Key_F5);
        QCOMPARE(state(), QStringLiteral("open on on on space on"));
        QTest::keyClick(f1.DBGrid2, Qt::Key_Space);
        QVERIFY(okNow() != before);
        f1.hide();
    }

    // A role's restrictions outlive the closed month: reopening switches on only what
    // the closing switched off.
    void roleRestrictionsStay() {
        TForm1& f1 = start(true, kForemenCode);
        QVERIFY(!f1.Button2->isEnabled());
        QCOMPARE(psql({}, closeSql(today())), 0);
        f1.openShifts(today());
        QVERIFY(!f1.Button1->isEnabled());
        testdb::exec(QStringLiteral("delete from accounts_dep.period_lock"));
        f1.openShifts(today());
        QVERIFY(f1.Button1->isEnabled());
        QVERIFY(!f1.Button2->isEnabled());
        QVERIFY(!f1.Button3->isEnabled());
    }

    void refusedMidway_data() {
        QTest::addColumn<QString>("what");
        QTest::newRow("journal delete") << QStringLiteral("delete");
        QTest::newRow("journal confirm") << QStringLiteral("confirm");
        QTest::newRow("register delete") << QStringLiteral("aux delete");
        QTest::newRow("rebuild") << QStringLiteral("rebuild");
    }
    // The window still shows the month open; another workstation closes it before the
    // change reaches the database: the trigger's sentence is shown, nothing is stored.
    void refusedMidway() {
        QFETCH(QString, what);
        TForm1& f1 = start(true);
        const QString month = period::monthCaption(today().month(), today().year());
        const QString state = QStringLiteral(
            "select (select count(*) || ':' || string_agg(ok, ',' order by id) from accounts_dep.smena where data >= date_trunc('month', current_date))"
            " || '/' || (select count(*) from accounts_dep.fatigue) || '/' || (select count(*) from accounts_dep.change_log where table_name <> 'period_lock')"
            " || '/' || (select coalesce(sum(coalesce(d1,0)+coalesce(d2,0)+coalesce(d10,0)), 0) from accounts_dep.h_tabel where year = extract(year from current_date) and month = extract(month from current_date))");
        // The rebuild's month rows differ from the postings? Make them so: a stale row.
        testdb::exec(QStringLiteral("update accounts_dep.h_tabel set d1 = coalesce(d1, 0) + 1 where year = extract(year from current_date) and month = extract(month from current_date)"));
        const QString before = testdb::scalar(state).toString();
        MessageLog log;
        if (what == QLatin1String("delete")) {
            log.answers = {QMessageBox::Yes};
            QCOMPARE(psql({}, closeSql(today())), 0);
            f1.Button3->click();
        } else if (what == QLatin1String("confirm")) {
            QCOMPARE(psql({}, closeSql(today())), 0);
            f1.DBGrid2->dblClick();
        } else if (what == QLatin1String("aux delete")) {
            TForm25& f25 = openRegister(f1);
            QVERIFY(!f25.fatigue.isEmpty());
            QCOMPARE(psql({}, closeSql(today())), 0);
            f25.Button7->click();
        } else {
            TForm19& f19 = openTimesheet(f1);
            QVERIFY(f19.Button1->isEnabled());
            QCOMPARE(psql({}, closeSql(today())), 0);
            f19.Button1->click();
        }
        QCOMPARE(log.lastText(), QStringLiteral("Месяц закрыт: %1").arg(month));
        QCOMPARE(testdb::scalar(state).toString(), before);
    }

    // A journal entry added, changed, confirmed and deleted, and an auxiliary work row
    // added and changed: their history windows, newest first.
    void historyWindow() {
        TForm1& f1 = start(true);
        entry::EntryStore store;
        const entry::Record r = newRecord();
        QCOMPARE(store.insert(r).status, Status::Saved);
        const int id = testdb::scalarInt(QStringLiteral("select max(id) from accounts_dep.smena"));
        entry::Record changed = r;
        changed.kol_vo = 7;
        changed.time = 3;
        QCOMPARE(store.update(id, changed, r).status, Status::Saved);
        store.setConfirmation(id, QStringLiteral("ok"));
        // From psql: no client fields.
        QCOMPARE(psql({}, QStringLiteral("update accounts_dep.smena set brak = 1 where id = %1;\n").arg(id)), 0);
        // Deleted as it stands after that change (a stale view of it would be refused).
        QCOMPARE(store.remove(id, *store.read(id)).status, Status::Saved);

        const QList<history::Change> h = history::rowHistory(QStringLiteral("smena"), id);
        QStringList actions;
        for (const auto& c : h) actions << c.action;
        QCOMPARE(actions, (QStringList{QStringLiteral("Удаление"), QStringLiteral("Изменение"), QStringLiteral("Подтверждение"),
                                       QStringLiteral("Изменение"), QStringLiteral("Добавление")}));
        for (int i : {0, 2, 3, 4}) {
            QCOMPARE(h[i].role, QStringLiteral("Администратор"));
            QCOMPARE(h[i].host, QSysInfo::machineHostName());
            QCOMPARE(h[i].version, period::appVersion());
        }
        QVERIFY(h[1].role.isEmpty());
        QVERIFY(h[1].host.isEmpty());

        // The window: one row a change, newest first, the changed fields old -> new.
        HistoryWindow w(QStringLiteral("История"), h);
        QCOMPARE(w.Grid->rowCount(), 5);
        const auto cell = [&w](int row, int col) { return w.Grid->item(row, col)->text(); };
        QCOMPARE(cell(3, 4), QStringLiteral("Изменение"));
        QCOMPARE(cell(3, 5), QStringLiteral("Кол-во: 5 → 7\nЧасы: 2 → 3"));
        QCOMPARE(cell(2, 5), QStringLiteral("OK: no → ok"));
        QCOMPARE(cell(1, 5), QStringLiteral("Брак: 0 → 1"));
        QCOMPARE(cell(1, 2), QString());
        QCOMPARE(cell(0, 2), QStringLiteral("Администратор"));
        QCOMPARE(cell(0, 3), QSysInfo::machineHostName());
        // A new row with its values, no arrows.
        QVERIFY(cell(4, 5).contains(QStringLiteral("Дата: 15.01.2020")));
        QVERIFY(!cell(4, 5).contains(QStringLiteral("→")));
        QVERIFY(cell(0, 5).contains(QStringLiteral("Кол-во: 7")));
        QVERIFY(QDateTime::fromString(cell(0, 0), QStringLiteral("dd.MM.yyyy HH:mm:ss")).isValid());

        // From the journal: the selected entry's history.
        f1.openShifts(today());
        Query& q = dm().shiftQuery(1);
        QVERIFY(!q.isEmpty());
        const int shown = q.asInt(QStringLiteral("id"));
        testdb::exec(QStringLiteral("update accounts_dep.smena set kol_vo = kol_vo + 1 where id = %1").arg(shown));
        HistoryWindow* seen = nullptr;
        int rows = -1;
        QString fields;
        {
            ModalScript modal([&](QDialog* d) {
                seen = qobject_cast<HistoryWindow*>(d);
                if (seen) {
                    rows = seen->Grid->rowCount();
                    fields = seen->Grid->item(0, 5)->text();
                }
                return int(QDialog::Rejected);
            });
            f1.Button9->click();
        }
        QVERIFY(seen);
        QCOMPARE(rows, 1);
        QVERIFY(fields.startsWith(QStringLiteral("Кол-во: ")));

        // An auxiliary work row from the register.
        TForm25& f25 = openRegister(f1);
        QVERIFY(!f25.fatigue.isEmpty());
        const int aux = f25.fatigue.asInt(QStringLiteral("id"));
        testdb::exec(QStringLiteral("update accounts_dep.fatigue set cnt = 6 where id = %1 and cnt <> 6").arg(aux));
        testdb::exec(QStringLiteral("update accounts_dep.fatigue set cnt = 7 where id = %1").arg(aux));
        {
            ModalScript modal([&](QDialog* d) {
                if (auto* hw = qobject_cast<HistoryWindow*>(d)) {
                    rows = hw->Grid->rowCount();
                    fields = hw->Grid->item(0, 5)->text();
                }
                return int(QDialog::Rejected);
            });
            f25.Button9->click();
        }
        QCOMPARE(fields, QStringLiteral("Кол-во: 6 → 7"));
        QVERIFY(rows >= 1);
    }

    // The change report: a day heading, one line a change of entries and prices,
    // auxiliary work left out, changes outside the period left out; the writer's role
    // (the shared connection here), or its database user for a write from outside.
    void changeReport() {
        start(true);
        entry::EntryStore store;
        const entry::Record r = newRecord();
        QCOMPARE(store.insert(r).status, Status::Saved);
        const int id = testdb::scalarInt(QStringLiteral("select max(id) from accounts_dep.smena"));
        entry::Record changed = r;
        changed.kol_vo = 9;
        QCOMPARE(store.update(id, changed, r).status, Status::Saved);
        testdb::exec(QStringLiteral("update accounts_dep.norm set price = price + 1 where id = (select min(id) from accounts_dep.norm)"));
        testdb::exec(QStringLiteral("update accounts_dep.fatigue set cnt = cnt + 1 where id = (select min(id) from accounts_dep.fatigue)"));
        // A change of the day before the period.
        testdb::exec(QStringLiteral(
            "update accounts_dep.change_log set at = at - interval '1 day' where id = (select min(id) from accounts_dep.change_log)"));

        TForm18& f18 = forms::form<TForm18>();
        f18.DTPicker1->setDate(today());
        f18.DTPicker2->setDate(today().addDays(1));
        rpt::PreparedReport rep;
        {
            ModalScript modal([&](QDialog* d) {
                if (auto* preview = qobject_cast<rpt::PagedPreview*>(d)) rep = preview->report();
                return int(QDialog::Rejected);
            });
            f18.ChangesButton->click();
        }
        QCOMPARE(rep.pages.size(), size_t(1));
        const QStringList lines = pageLines(rep, 0);
        const QString day = today().toString(QStringLiteral("dd.MM.yyyy"));
        // The period as every report writes it, the end excluded.
        QCOMPARE(lines.value(0), QStringLiteral("Журнал изменений за период с %1 по %2")
                                     .arg(day, today().addDays(1).toString(QStringLiteral("dd.MM.yyyy"))));
        QCOMPARE(lines.value(1), QStringLiteral("Время|Что|Строка|Действие|Кто|Рабочее место|Изменения"));
        QCOMPARE(lines.value(2), day);
        // The insert moved to the day before; the update of the entry, then the norm.
        QCOMPARE(lines.size(), 3 + 2 + 1);
        const QString host = QSysInfo::machineHostName();
        QVERIFY2(lines[3].endsWith(QStringLiteral("|Запись журнала|%1|Изменение|Администратор|%2|Кол-во: 5 → 9").arg(id).arg(host)),
                 qPrintable(lines[3]));
        QVERIFY2(lines[4].contains(QStringLiteral("|Норма|")) && lines[4].contains(QStringLiteral("|Изменение|Администратор|")) &&
                     lines[4].contains(QStringLiteral("Цена: ")),
                 qPrintable(lines[4]));
        // The footer of every report.
        QCOMPARE(lines[5], QStringLiteral("Дата печати: %1|стр. 1 из 1").arg(day));

        // Both days: the insert under the day before, its values without empty ones.
        const rpt::PreparedReport both = papers::changeReport(today().addDays(-1), today().addDays(1));
        const QStringList all = pageLines(both, 0);
        QCOMPARE(all.value(2), today().addDays(-1).toString(QStringLiteral("dd.MM.yyyy")));
        const QString added = QString(all.value(3)).replace(u'\n', u' ');
        QVERIFY2(added.contains(QStringLiteral("|Добавление|")) && added.contains(QStringLiteral("Кол-во: 5;")),
                 qPrintable(added));
        QCOMPARE(all.value(4), day);
    }

    // An added, changed and deleted entry, a norm's price and an auxiliary work rate read
    // as the windows show them: keys by their names (a worker booked by row number or by
    // worker number, the product mark, the operation with its kind), numbers by the
    // desktop's locale from the stored text, without a binary float's noise.
    void historyReadsAsTheWindows_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("pieces");
        QTest::addColumn<QString>("norm");
        QTest::addColumn<QString>("rate");
        const QLocale ru(QLocale::Russian, QLocale::Russia);
        QTest::newRow("Russian desktop") << ru << "1,28" << "1" + ru.groupSeparator() + "234" << "2,40 → 2,41"
                                         << "150,00 → 160,50";
        QTest::newRow("C locale") << QLocale::c() << "1.28" << "1234" << "2.40 → 2.41" << "150.00 → 160.50";
    }
    void historyReadsAsTheWindows() {
        QFETCH(QLocale, locale);
        QFETCH(QString, price);
        QFETCH(QString, pieces);
        QFETCH(QString, norm);
        QFETCH(QString, rate);
        start(true);
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, prize) "
            "values (20, 8, 64, 1.28, 1234, 0, '2020-01-15', 2, 0, 2, 'no', 0)"));
        const int id = testdb::scalarInt(QStringLiteral("select max(id) from accounts_dep.smena"));
        testdb::exec(QStringLiteral("update accounts_dep.smena set w_id = 10012 where id = %1").arg(id));
        testdb::exec(QStringLiteral("delete from accounts_dep.smena where id = %1").arg(id));
        testdb::exec(QStringLiteral("update accounts_dep.norm set price = 2.4 where id = 1"));
        testdb::exec(QStringLiteral("update accounts_dep.norm set price = 2.4099999999999997 where id = 1"));
        testdb::exec(QStringLiteral("update accounts_dep.fatigue set price = 150.00 where id = 1"));
        testdb::exec(QStringLiteral("update accounts_dep.fatigue set price = 160.50 where id = 1"));

        QLocale::setDefault(locale);
        const QList<history::Change> entry = history::rowHistory(QStringLiteral("smena"), id);
        const QList<history::Change> normHistory = history::rowHistory(QStringLiteral("norm"), 1);
        const QList<history::Change> aux = history::rowHistory(QStringLiteral("fatigue"), 1);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(entry.size(), 3);
        const QString operation = QStringLiteral("Операция: Покраска порошковая (Готовая продукция)");
        const QStringList added = history::fieldLines(entry[2]);
        for (const QString& f : {QStringLiteral("Рабочий: Богданов К.Е."), QStringLiteral("Изделие: ХМ-60"), operation,
                                 QStringLiteral("Цена: ") + price, QStringLiteral("Кол-во: ") + pieces,
                                 QStringLiteral("Дата: 15.01.2020")})
            QVERIFY2(added.contains(f), qPrintable(f + QStringLiteral(" not in ") + added.join(u'|')));
        QCOMPARE(history::fieldLines(entry[1]), QStringList{QStringLiteral("Рабочий: Богданов К.Е. → Лебедев Н.В.")});
        const QStringList deleted = history::fieldLines(entry[0]);
        for (const QString& f : {QStringLiteral("Рабочий: Лебедев Н.В."), operation, QStringLiteral("Цена: ") + price})
            QVERIFY2(deleted.contains(f), qPrintable(f + QStringLiteral(" not in ") + deleted.join(u'|')));
        QVERIFY(normHistory.size() >= 1);
        QCOMPARE(history::fieldLines(normHistory[0]), QStringList{QStringLiteral("Цена: ") + norm});
        QVERIFY(aux.size() >= 1);
        QCOMPARE(history::fieldLines(aux[0]), QStringList{QStringLiteral("Цена: ") + rate});

        // The window shows the same lines.
        HistoryWindow w(QStringLiteral("История"), entry);
        QCOMPARE(w.Grid->item(1, 5)->text(), QStringLiteral("Рабочий: Богданов К.Е. → Лебедев Н.В."));
        QCOMPARE(w.Grid->item(2, 5)->text(), added.join(u'\n'));
    }

    // An entry written before the history was kept: its window says there is no change
    // rather than showing an empty table. Opened from the journal with a click.
    void entryWithoutHistorySaysSo() {
        TForm1& f1 = start(true);
        f1.openShifts(today());
        Query& q = dm().shiftQuery(1);
        QVERIFY(!q.isEmpty());
        QCOMPARE(history::rowHistory(QStringLiteral("smena"), q.asInt(QStringLiteral("id"))).size(), 0);
        f1.show();
        f1.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f1));
        bool gridShown = true, noteShown = false;
        QString note;
        {
            ModalScript modal([&](QDialog* d) {
                if (auto* hw = qobject_cast<HistoryWindow*>(d)) {
                    hw->setVisible(true);
                    gridShown = hw->Grid->isVisible();
                    noteShown = hw->EmptyNote->isVisible();
                    note = hw->EmptyNote->text();
                    hw->setVisible(false);
                }
                return int(QDialog::Rejected);
            });
            QTest::mouseClick(f1.Button9, Qt::LeftButton);
            QCOMPARE(modal.shown.size(), 1);
        }
        f1.hide();
        QVERIFY(!gridShown);
        QVERIFY(noteShown);
        QVERIFY2(note.startsWith(QStringLiteral("Изменений этой записи")), qPrintable(note));
    }

    // A new entry lists all its values: the line goes on over as many lines as it takes
    // inside its column, never past the page edge, and the next change starts below it.
    void changeReportWrapsLongTexts() {
        start(true);
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, prize) "
            "values (20, 8, 64, 1.28, 1234, 3, '2020-01-15', 2, 9005, 2, 'no', 15)"));
        testdb::exec(QStringLiteral("update accounts_dep.smena set brak = 4 where id = (select max(id) from accounts_dep.smena)"));
        const std::vector<history::Change> changes = history::periodChanges(today(), today().addDays(1));
        QCOMPARE(changes.size(), size_t(2));
        const rpt::PreparedReport r = papers::changeReport(today(), today().addDays(1));
        QCOMPARE(r.pages.size(), size_t(1));
        std::vector<const rpt::PreparedItem*> fields;
        for (const rpt::PreparedItem& it : r.pages[0].items)
            if (it.element == QLatin1String("fields")) fields.push_back(&it);
        QCOMPARE(fields.size(), size_t(2));
        const rpt::PreparedItem& added = *fields[0];
        const QStringList parts = added.text.split(u'\n');
        QVERIFY2(parts.size() >= 2, qPrintable(added.text));
        QCOMPARE(parts.join(u' '), history::fieldsText(changes[0]));
        QVERIFY(added.rect.right() <= r.paperSize.width() - 10 + 0.01);
        QImage sheet(10, 10, QImage::Format_RGB32);
        sheet.setDotsPerMeterX(int(300 / 0.0254 + 0.5));
        sheet.setDotsPerMeterY(int(300 / 0.0254 + 0.5));
        QFont font(r.fontFamily);
        font.setStyleHint(QFont::SansSerif);
        font.setPointSizeF(added.fontSize);
        const QFontMetricsF fm(font, &sheet);
        for (const QString& line : parts)
            QVERIFY2(fm.horizontalAdvance(line) / 300 * 25.4 <= added.rect.width() - 1.2, qPrintable(line));
        QVERIFY(double(parts.size()) * fm.height() / 300 * 25.4 <= added.rect.height() + 0.2);
        QVERIFY(fields[1]->rect.top() >= added.rect.bottom() - 0.01);
        QCOMPARE(QString(fields[1]->text), QStringLiteral("Брак: 3 → 4"));
    }
};

QTEST_MAIN(TestMonths)
#include "test_months.moc"
