// The journal window and the sign-in roles against a small fixture.
#include "core/datamodule.h"
#include "gui/forms.h"
#include "domain/session.h"
#include "core/signin.h"
#include "journal/tform1.h"
#include "support/testdb.h"

#include <QCalendarWidget>
#include <QTableView>
#include <QtTest>

using namespace mirn;

namespace {
const QDate kDay(2024, 3, 5);  // a Tuesday

void loadFixture() {
    testdb::exec(QStringLiteral(
        "insert into cmn_contractor.person(id, s_caption, s_code) values "
        "(10, 'Иванов И.И.', '101'), (11, 'Петров П.П.', '102'), (12, 'Сидоров С.С.', '103')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_classifier.item(id, id_level, s_caption) values (500, 2, 'Кронштейны')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) values "
        "(1, 'КР-100', '', 6, 1.5, 500), (2, 'ХМ-40', '', 6, 0.2, 500)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Покраска')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (1, 1, 0, 1, 0), (2, 2, 1, 2, 0)"));
    // id 1: matched by s_code; 2: matched by person id; 3: nobody; 4: no mark; 5: shift 3; 6: other day
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.smena(id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod, "
        "prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values "
        "(1, 101, 1, 1, 12.5, 10, 2, '2024-03-05', 1, 0, 8, 'ok', '2024-03-05', 0,0,0,0,0,0), "
        "(2, 11, 2, 2, 2.35, 7, 0, '2024-03-05', 1, 1013, 4, 'no', '2024-03-05', 0,0,0,0,0,0), "
        "(3, 999, 1, 1, 1, 1, 0, '2024-03-05', 1, 0, 1, 'no', '2024-03-05', 0,0,0,0,0,0), "
        "(4, 103, 1, 1, 1, 1, 0, '2024-03-05', 1, 0, 1, null, '2024-03-05', 0,0,0,0,0,0), "
        "(5, 103, 2, 2, 3, 3, 0, '2024-03-05', 3, 0, 6, 'да', '2024-03-05', 0,0,0,0,0,0), "
        "(6, 101, 1, 1, 12.5, 1, 0, '2024-03-06', 1, 0, 2, 'no', '2024-03-06', 0,0,0,0,0,0)"));
}

// Counts the re-reads of the journal: each one opens the shift queries once.
class ReadCounter {
public:
    explicit ReadCounter(Query& q) {
        c_ = QObject::connect(&q, &Query::reset, [this, &q] {
            if (q.active()) ++reads;
        });
    }
    ~ReadCounter() { QObject::disconnect(c_); }
    int reads = 0;

private:
    QMetaObject::Connection c_;
};

// Opens the date picker's calendar with a click on its arrow; returns the calendar's
// day table, which takes the keys while the calendar is open.
QWidget* openCalendar(QDateEdit* picker) {
    QTest::mouseClick(picker, Qt::LeftButton, {}, QPoint(picker->width() - 6, picker->height() / 2));
    QCalendarWidget* cal = picker->calendarWidget();
    if (!QTest::qWaitFor([cal] { return cal->isVisible(); })) return nullptr;
    return cal->findChild<QTableView*>();
}

QStringList column(const Query& q, const QString& field) {
    QStringList out;
    for (int r = 0; r < q.recordCount(); ++r) out << q.value(r, field).toString();
    return out;
}
}  // namespace

class TestJournal : public QObject {
    Q_OBJECT
private slots:
    void init() {
        testdb::startApp(QStringLiteral("t_journal"));
        loadFixture();
    }
    void cleanupTestCase() { testdb::stopApp(); }

    void shiftQueriesListMatchedEntriesOnly() {
        TForm1& f1 = signIn(QStringLiteral("9471"));
        f1.DateT->setDate(kDay);
        f1.DateTChange();
        // Worker found by s_code (101) and by person id (11); nobody (999) and a null mark are not listed.
        QCOMPARE(column(dm().Smena1, QStringLiteral("fio")),
                 (QStringList{QStringLiteral("Иванов И.И."), QStringLiteral("Петров П.П.")}));
        QCOMPARE(column(dm().Smena1, QStringLiteral("id")), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
        // The amount is computed by the database: (10 - 2) * 12.5.
        QCOMPARE(toDouble(dm().Smena1.value(0, QStringLiteral("summa"))), 100.0);
        QCOMPARE(dm().Smena1.value(0, QStringLiteral("nmn")).toString(), QStringLiteral("Готовая продукция"));
        QCOMPARE(dm().Smena1.value(1, QStringLiteral("nmn")).toString(), QStringLiteral("Заготовки"));
        QCOMPARE(column(dm().Smena3, QStringLiteral("fio")), QStringList{QStringLiteral("Сидоров С.С.")});
        QVERIFY(dm().Smena2.isEmpty());
        QVERIFY(dm().Smena4.isEmpty());
        // Every shift query reads the same columns.
        for (Query* q : {&dm().Smena1, &dm().Smena2, &dm().Smena3, &dm().Smena4})
            for (const char* f : {"id", "data", "smena", "i_id", "o_id", "w_id", "cena", "fio", "marka", "vid", "nmn",
                                  "naimen", "brak", "kol_vo", "summa", "prize", "color", "time", "ok", "vvod",
                                  "id_doc", "id_doc_item", "f_gds_qty_use", "id_gds_use", "id_cons_use"})
                QVERIFY2(q->fieldIndex(QString::fromLatin1(f)) >= 0, f);
    }

    void gridShowsColumnsAndColoursTheMark() {
        TForm1& f1 = signIn(QStringLiteral("9471"));
        f1.DateT->setDate(kDay);
        f1.DateTChange();
        QueryModel* m = f1.DBGrid2->queryModel();
        QStringList titles;
        for (int c = 0; c < m->columnCount(); ++c) titles << m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(titles, (QStringList{"Фамилия И.О.", "Марка изделия", "Операция", "Вид", "Цвет", "Часы", "Кол-во",
                                      "Брак", "Итого (р.)", "Премия (%)", "OK", "Заведен"}));
        QVERIFY(f1.DBGrid2->isColumnHidden(9));
        QCOMPARE(m->rowCount(), 2);
        const QModelIndex ok0 = m->index(0, 10), ok1 = m->index(1, 10);
        QCOMPARE(m->data(ok0, Qt::ForegroundRole).value<QColor>(), QColor(0, 128, 0));
        QCOMPARE(m->data(ok1, Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
        QVERIFY(m->data(ok0, Qt::FontRole).value<QFont>().bold());
        QVERIFY(!m->data(m->index(0, 0), Qt::ForegroundRole).isValid());
        QCOMPARE(m->data(m->index(0, 8), Qt::DisplayRole).toString(), QStringLiteral("100.00"));
        QCOMPARE(m->data(m->index(0, 11), Qt::DisplayRole).toString(), QStringLiteral("05.03.2024"));
    }

    void confirmationToggleCycle() {
        TForm1& f1 = signIn(QStringLiteral("63527140"));
        testdb::exec(QStringLiteral("update accounts_dep.smena set ok='да' where id=2"));
        f1.DateT->setDate(kDay);
        f1.DateTChange();
        dm().Smena1.setRecNo(2);
        QCOMPARE(dm().Smena1.asInt(QStringLiteral("id")), 2);
        const auto mark = [] { return testdb::scalar(QStringLiteral("select ok from accounts_dep.smena where id=2")).toString(); };
        f1.DBGrid2DblClick();
        QCOMPARE(mark(), QStringLiteral("no"));
        QCOMPARE(dm().Smena1.recNo(), 2);  // back on the same row after the re-read
        QCOMPARE(dm().Smena1.asString(QStringLiteral("ok")), QStringLiteral("no"));
        f1.DBGrid2DblClick();
        QCOMPARE(mark(), QStringLiteral("ok"));
        f1.DBGrid2DblClick();
        QCOMPARE(mark(), QStringLiteral("no"));
        QCOMPARE(f1.CurrentShiftQuery, &dm().Smena1);
        // The other entry was never touched.
        QCOMPARE(testdb::scalar(QStringLiteral("select ok from accounts_dep.smena where id=1")).toString(), QStringLiteral("ok"));
    }

    void doubleClickOnEmptyShiftOrByForemenChangesNothing() {
        TForm1& f1 = signIn(QStringLiteral("brolkin"));
        f1.DateT->setDate(kDay);
        f1.DateTChange();
        f1.DBGrid2DblClick();
        QCOMPARE(testdb::scalar(QStringLiteral("select ok from accounts_dep.smena where id=1")).toString(), QStringLiteral("ok"));

        testdb::startApp(QStringLiteral("t_journal"));
        loadFixture();
        TForm1& admin = signIn(QStringLiteral("9471"));
        admin.DateT->setDate(kDay);
        admin.DateTChange();
        admin.RadioButton2->setChecked(true);
        QCOMPARE(admin.CurrentShift, 2);
        admin.DBGrid2DblClick();  // shift 2 is empty
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where ok='ok'")), 1);
    }

    void shiftChoiceSurvivesDateChange() {
        TForm1& f1 = signIn(QStringLiteral("9471"));
        QCOMPARE(f1.CurrentShift, 1);
        QCOMPARE(f1.DBGrid2->query(), &dm().Smena1);
        f1.RadioButton3->setChecked(true);
        QCOMPARE(f1.CurrentShift, 3);
        QCOMPARE(f1.DBGrid2->query(), &dm().Smena3);
        QVERIFY(f1.RadioButton3->font().bold());
        QVERIFY(!f1.RadioButton1->font().bold());
        QCOMPARE(f1.RadioButton3->palette().color(QPalette::Window), QColor(0, 128, 0));
        f1.DateT->setDate(kDay);
        f1.DateTChange();
        QCOMPARE(f1.DBGrid2->query(), &dm().Smena3);
        QCOMPARE(f1.DBGrid2->queryModel()->rowCount(), 1);
        // All four were re-read for the new date.
        QCOMPARE(dm().Smena1.recordCount(), 2);
        QCOMPARE(dm().Smena1.param(QStringLiteral("data")).toDate(), kDay);
        QCOMPARE(dm().Smena4.param(QStringLiteral("data")).toDate(), kDay);
    }

    void dayOffFollowsThePickedDate() {
        TForm1& f1 = signIn(QStringLiteral("9471"));
        f1.DateT->setDate(QDate(2024, 3, 9));  // Saturday
        f1.DateTChange();
        QVERIFY(f1.CBox1->isChecked());
        QVERIFY(f1.CBox1->font().bold());
        QCOMPARE(f1.CBox1->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        f1.DateT->setDate(QDate(2024, 3, 10));  // Sunday
        f1.DateTChange();
        QVERIFY(f1.CBox1->isChecked());
        f1.DateT->setDate(kDay);
        f1.DateTChange();
        QVERIFY(!f1.CBox1->isChecked());
        QVERIFY(!f1.CBox1->font().bold());
    }

    void activationReturnsToToday() {
        TForm1& f1 = signIn(QStringLiteral("9471"));
        f1.DateT->setDate(kDay);
        f1.DateTChange();
        f1.RadioButton3->setChecked(true);
        ModalScript modal;
        QDialog child;
        f1.showChild(&child);
        QCOMPARE(modal.shown.size(), 1);
        QCOMPARE(f1.DateT->date(), QDate::currentDate());
        QCOMPARE(dm().Smena1.param(QStringLiteral("data")).toDate(), QDate::currentDate());
        QCOMPARE(f1.DBGrid2->query(), &dm().Smena3);
    }

    // Arrow keys and Enter in the calendar: every day the keys move to re-reads the journal
    // and the day-off box once; Enter on the day already shown reads nothing more.
    void dateFromTheCalendarByKeys() {
        TForm1& f1 = signIn(QStringLiteral("9471"));
        f1.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f1));
        f1.DateT->setDate(kDay);  // Tuesday
        QVERIFY(!f1.CBox1->isChecked());
        ReadCounter count(dm().Smena4);
        QWidget* days = openCalendar(f1.DateT);
        QVERIFY(days);
        for (int i = 1; i <= 4; ++i) {
            QTest::keyClick(days, Qt::Key_Right);
            QCOMPARE(f1.DateT->date(), kDay.addDays(i));
            QCOMPARE(count.reads, i);
            QCOMPARE(dm().Smena1.param(QStringLiteral("data")).toDate(), kDay.addDays(i));
            QCOMPARE(dm().Smena4.param(QStringLiteral("data")).toDate(), kDay.addDays(i));
        }
        QTest::keyClick(days, Qt::Key_Return);
        QTRY_VERIFY(!f1.DateT->calendarWidget()->isVisible());
        QCOMPARE(count.reads, 4);
        QCOMPARE(f1.DateT->date(), QDate(2024, 3, 9));  // Saturday
        QVERIFY(f1.CBox1->isChecked());
        QVERIFY(dm().Smena1.isEmpty());

        // Back to Wednesday the 6th: its one entry is shown, and it is a working day.
        days = openCalendar(f1.DateT);
        QVERIFY(days);
        for (int i = 0; i < 3; ++i) QTest::keyClick(days, Qt::Key_Left);
        QTest::keyClick(days, Qt::Key_Enter);
        QTRY_VERIFY(!f1.DateT->calendarWidget()->isVisible());
        QCOMPARE(count.reads, 7);
        QCOMPARE(f1.DateT->date(), QDate(2024, 3, 6));
        QVERIFY(!f1.CBox1->isChecked());
        QCOMPARE(column(dm().Smena1, QStringLiteral("id")), QStringList{QStringLiteral("6")});
        QCOMPARE(f1.DBGrid2->query()->recordCount(), 1);
        f1.hide();
    }

    // A date typed into the picker counts once it is complete (Enter); Up and Down on a
    // section step the date, each step re-reading once and leaving the focus for the next.
    void dateTypedOrSteppedByKeys() {
        TForm1& f1 = signIn(QStringLiteral("9471"));
        f1.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f1));
        f1.DateT->setDate(kDay);
        ReadCounter count(dm().Smena1);
        f1.DateT->setFocus();
        f1.DateT->setCurrentSection(QDateTimeEdit::DaySection);
        f1.DateT->setSelectedSection(QDateTimeEdit::DaySection);
        QTest::keyClicks(f1.DateT, QStringLiteral("06"));
        QTest::keyClick(f1.DateT, Qt::Key_Return);
        QCOMPARE(f1.DateT->date(), QDate(2024, 3, 6));
        QCOMPARE(count.reads, 1);
        QCOMPARE(dm().Smena1.param(QStringLiteral("data")).toDate(), QDate(2024, 3, 6));
        QCOMPARE(dm().Smena1.recordCount(), 1);
        QVERIFY(!f1.CBox1->isChecked());

        f1.DateT->setFocus();
        f1.DateT->setCurrentSection(QDateTimeEdit::DaySection);
        for (int i = 1; i <= 3; ++i) {
            QTest::keyClick(f1.DateT, Qt::Key_Up);
            QCOMPARE(f1.DateT->date(), QDate(2024, 3, 6 + i));
            QCOMPARE(count.reads, 1 + i);
            QCOMPARE(dm().Smena1.param(QStringLiteral("data")).toDate(), QDate(2024, 3, 6 + i));
        }
        QVERIFY(f1.CBox1->isChecked());  // Saturday the 9th
        QTest::keyClick(f1.DateT, Qt::Key_Down);
        QCOMPARE(count.reads, 5);
        QVERIFY(!f1.CBox1->isChecked());  // Friday the 8th
        // Enter on a date already read reads nothing more.
        QTest::keyClick(f1.DateT, Qt::Key_Return);
        QCOMPARE(count.reads, 5);
        f1.hide();
    }

    // Coming back from another window returns to today without a second read.
    void activationReadsOnce() {
        TForm1& f1 = signIn(QStringLiteral("9471"));
        f1.DateT->setDate(kDay);
        ReadCounter count(dm().Smena1);
        f1.FormActivate();
        QCOMPARE(count.reads, 1);
        QCOMPARE(f1.DateT->date(), QDate::currentDate());
    }

    void refreshSeesOtherClientsChanges() {
        TForm1& f1 = signIn(QStringLiteral("9471"));
        f1.DateT->setDate(kDay);
        f1.DateTChange();
        testdb::exec(QStringLiteral("update accounts_dep.smena set w_id=102 where id=3"));
        QCOMPARE(dm().Smena1.recordCount(), 2);
        f1.Button8Click();
        QCOMPARE(dm().Smena1.recordCount(), 3);
    }

    void escapeClosesJournalAndEndsTheApplication() {
        TForm1& f1 = forms::form<TForm1>();
        TForm23& f23 = forms::form<TForm23>();
        int result = -1;
        ModalScript modal([&](QDialog* d) {
            d->show();
            QTest::keyClick(d, Qt::Key_Escape);
            result = d->result();
            return result;
        });
        f23.Edit1->setText(QStringLiteral("9471"));
        f23.Button1Click();
        QCOMPARE(modal.shown, QList<QDialog*>{&f1});
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(!f1.isVisible());
        QVERIFY(!f23.isVisible());
    }

    void roleMatrix_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("role");
        // date/shift/day-off/refresh, grid, add, change+delete, menus
        QTest::addColumn<QList<bool>>("usable");
        QTest::newRow("viewer") << "pivrat" << int(Role::Viewer) << QList<bool>{false, false, false, false, false};
        QTest::newRow("foremen") << "brolkin" << int(Role::Foremen) << QList<bool>{true, true, true, false, false};
        QTest::newRow("finished goods") << "tuvem" << int(Role::FinishedGoods) << QList<bool>{true, true, false, false, false};
        QTest::newRow("administrator") << "63527140" << int(Role::Administrator) << QList<bool>{true, true, true, true, true};
        QTest::newRow("administrator 2, blanks around") << "  9471 " << int(Role::Administrator)
                                                        << QList<bool>{true, true, true, true, true};
    }
    void roleMatrix() {
        QFETCH(QString, code);
        QFETCH(int, role);
        QFETCH(QList<bool>, usable);
        MessageLog log;
        ModalScript modal;
        TForm23& f23 = forms::form<TForm23>();
        f23.Edit1->setText(code);
        f23.Button1Click();
        TForm1& f1 = forms::form<TForm1>();
        QCOMPARE(modal.shown, QList<QDialog*>{&f1});
        QVERIFY(log.messages.isEmpty());
        QCOMPARE(int(session().role), role);
        QCOMPARE(f1.SignInCode, code.trimmed());
        QCOMPARE(f1.CurrentShift, 1);
        for (QWidget* w : std::initializer_list<QWidget*>{f1.DateT, f1.RadioButton1, f1.RadioButton2, f1.RadioButton3,
                                                           f1.RadioButton4, f1.CBox1, f1.Button8})
            QCOMPARE(w->isEnabled(), usable[0]);
        QCOMPARE(f1.DBGrid2->isEnabled(), usable[1]);
        QCOMPARE(f1.Button1->isEnabled(), usable[2]);
        QCOMPARE(f1.Button2->isEnabled(), usable[3]);
        QCOMPARE(f1.Button3->isEnabled(), usable[3]);
        QCOMPARE(f1.N2->isEnabled(), usable[4]);
        QCOMPARE(f1.N11->isEnabled(), usable[4]);
        // Open to every role.
        QVERIFY(f1.Button5->isEnabled());
        QVERIFY(f1.N7->isEnabled());
        QVERIFY(f1.N5->isEnabled());
        QVERIFY(f1.Button4->isEnabled());
        for (Query* q : {&dm().Smena1, &dm().Smena2, &dm().Smena3, &dm().Smena4})
            QCOMPARE(q->param(QStringLiteral("ok")).toString(), QStringLiteral("ta"));
        // The journal opened on today.
        QCOMPARE(f1.DateT->date(), QDate::currentDate());
        QVERIFY(dm().Smena1.active());
        QVERIFY(!f23.isVisible());
    }

    void wrongCodeKeepsSignInOpen() {
        MessageLog log;
        ModalScript modal;
        TForm23& f23 = forms::form<TForm23>();
        TForm1& f1 = forms::form<TForm1>();
        f1.CurrentShift = 3;
        for (const QString& wrong : {QStringLiteral("PIVRAT"), QStringLiteral("12345"), QString()}) {
            f23.Edit1->setText(wrong);
            f23.Button1Click();
            QCOMPARE(log.lastText(), QStringLiteral("Введены неверные данные."));
            QCOMPARE(log.messages.last().caption, QStringLiteral("Ошибка"));
            QVERIFY(modal.shown.isEmpty());
            QVERIFY(f23.isVisible());
            QCOMPARE(f23.Edit1->text(), wrong);
            QCOMPARE(f1.CurrentShift, 1);
        }
        f23.Edit1->setText(QStringLiteral("9471"));
        f23.Button1Click();
        QCOMPARE(modal.shown.size(), 1);
        QCOMPARE(log.messages.size(), 3);
    }
};

QTEST_MAIN(TestJournal)
#include "test_journal.moc"
