// The auxiliary work register and entry dialog against a small fixture: the journal's
// button, the shift filter on the rows read, the date re-read, add/change/delete, the
// rate of kind 7777/7778 from its norms with price × hours computed by the database,
// the worker and nomenclature pickers, and a fractional rate under a comma locale.
#include "domain/auxwork.h"
#include "auxwork/tform24.h"
#include "auxwork/tform25.h"
#include "core/datamodule.h"
#include "gui/dbgrid.h"
#include "gui/forms.h"
#include "journal/tform1.h"
#include "refbooks/crosslinks.h"
#include "refbooks/tform26.h"
#include "refbooks/tform5.h"
#include "support/testdb.h"

#include <QtTest>

using namespace mirn;

namespace {
const QDate kDay(2024, 3, 5);
const QString kAllFields = QStringLiteral("Все поля должны быть заполнены!");

// Groups 2 Кронштейны, 3 "Хомуты  " (stored with blanks), 4 Профили; workers 1..3;
// kinds 7777 (rate 150) and 7778 (rate 180) set up as priced operations with a norm;
// on 5 March: shift 1 Петров (7778, 2 h) and Иванов (7777, 3 h), shift 2 Сидоров;
// on 6 March: shift 1 Иванов.
void loadFixture() {
    testdb::exec(QStringLiteral(
        "insert into cmn_classifier.item(id, id_level, s_caption) values "
        "(2, 2, 'Кронштейны'), (3, 2, 'Хомуты  '), (4, 2, 'Профили'), (9, 1, 'Корень')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.person(id, fio, s_staffpos_hl) values "
        "(1, 'Иванов И.И.', ''), (2, 'Петров П.П.', ''), (3, 'Сидоров С.С.', '')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) values "
        "(7777, 'Хоз. работы', '', 6, 0, null), (7778, 'Уборка', '', 6, 0, null)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.vid_oper(id, vid) values (7777, 'Хоз. работы'), (7778, 'Уборка территории')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (7777, 7777, 0, 7777, 0), (7778, 7778, 0, 7778, 0)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.norm(o_id, norma, prize, price) values (7777, 8, 0, 150), (7778, 8, 0, 180)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.fatigue(id, id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price) values "
        "(1, 2, 7778, 2, '2024-03-05', 3, 2024, 1, 2, 180), (2, 3, 7777, 1, '2024-03-05', 3, 2024, 1, 3, 150), "
        "(3, 4, 7777, 3, '2024-03-05', 3, 2024, 2, 4, 150), (4, 2, 7777, 1, '2024-03-06', 3, 2024, 1, 1, 150)"));
    testdb::exec(QStringLiteral("alter table accounts_dep.fatigue alter column id restart with 100"));
}

QStringList column(const Query& q, const QString& field) {
    QStringList out;
    for (int r = 0; r < q.recordCount(); ++r) out << q.value(r, field).toString().trimmed();
    return out;
}

// The register opened on a date, as the journal opens it.
TForm25& openRegister(const QDate& date = kDay) {
    TForm25& f25 = forms::form<TForm25>();
    f25.DTPcker1->blockSignals(true);
    f25.DTPcker1->setDate(date);
    f25.DTPcker1->blockSignals(false);
    f25.FormActivate();
    return f25;
}

QString fatigueEntry(int id) {
    return testdb::scalar(QStringLiteral(
                              "select concat_ws('/', id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price) "
                              "from accounts_dep.fatigue where id=%1")
                              .arg(id))
        .toString();
}
}  // namespace

class TestAuxwork : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QLocale::setDefault(QLocale::c());
        testdb::startApp(QStringLiteral("t_auxwork"));
        loadFixture();
    }
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void cleanupTestCase() { testdb::stopApp(); }

    // "Хоз. работы" in the journal: the register on the journal's date, shift 1.
    void journalOpensTheRegisterOnItsDate() {
        TForm1& f1 = forms::form<TForm1>();
        f1.DateT->setDate(kDay);
        TForm25& f25 = forms::form<TForm25>();
        f25.RadioButton3->setChecked(true);
        QDate shownDate;
        QStringList names, titles, sums;
        bool firstShift = false;
        ModalScript modal([&](QDialog* d) {
            if (d != &f25) return int(QDialog::Rejected);
            shownDate = f25.DTPcker1->date();
            firstShift = f25.RadioButton1->isChecked() && f25.RadioButton1->font().bold() &&
                         !f25.RadioButton3->font().bold() && f25.i_smena == 1;
            names = column(f25.fatigue, QStringLiteral("fio"));
            QueryModel* m = f25.DBGrid1->queryModel();
            for (int c = 0; c < m->columnCount(); ++c) titles << m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            for (int r = 0; r < m->rowCount(); ++r) sums << m->index(r, 5).data().toString();
            return int(QDialog::Rejected);
        });
        f1.Button5->click();
        QCOMPARE(modal.shown, QList<QDialog*>{&f25});
        QCOMPARE(f25.windowTitle(), QStringLiteral("Хоз. работы (25)"));
        QCOMPARE(shownDate, kDay);
        QVERIFY(firstShift);
        QCOMPARE(names, (QStringList{"Иванов И.И.", "Петров П.П."}));
        QCOMPARE(titles, (QStringList{"ФИО", "Номенклатура", "Работа", "Цена", "Кол-во", "Итого"}));
        QCOMPARE(sums, (QStringList{"450.00", "360.00"}));
        // The journal is active again: back on today's date.
        QCOMPARE(f1.DateT->date(), QDate::currentDate());
        QVERIFY(!f25.fatigue.active());
    }

    // A totals line under the register, as under the journal: the shown shift's hours and
    // amount, following a click on another shift.
    void totalsLineFollowsTheShift() {
        TForm25& f25 = openRegister();
        f25.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f25));
        DBGrid* g = f25.DBGrid1;
        QVERIFY(g->totalsShown());
        const auto line = [g] {
            QStringList t;
            for (int c = 0; c < g->queryModel()->columnCount(); ++c) t << g->totalText(c);
            return t;
        };
        QCOMPARE(line(), (QStringList{"Итого", "", "", "", "5", "810.00"}));
        QTest::mouseClick(f25.RadioButton2, Qt::LeftButton);
        QCOMPARE(f25.i_smena, 2);
        QCOMPARE(line(), (QStringList{"Итого", "", "", "", "4", "600.00"}));
        QTest::mouseClick(f25.RadioButton3, Qt::LeftButton);
        QCOMPARE(line(), (QStringList{"Итого", "", "", "", "0", "0.00"}));
        f25.hide();
    }

    // The shift filter works on the rows read; a date change reads again and keeps the shift.
    void shiftFilterAndDateChange() {
        TForm25& f25 = openRegister();
        QCOMPARE(f25.fatigue.recordCount(), 2);
        // Another client books shift 2 now: switching shifts does not see it.
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price) "
            "values (2, 7777, 1, '2024-03-05', 3, 2024, 2, 6, 150)"));
        f25.RadioButton2->setChecked(true);
        QCOMPARE(f25.i_smena, 2);
        QVERIFY(f25.RadioButton2->font().bold() && !f25.RadioButton1->font().bold());
        QCOMPARE(column(f25.fatigue, QStringLiteral("fio")), QStringList{"Сидоров С.С."});
        f25.RadioButton3->setChecked(true);
        QVERIFY(f25.fatigue.isEmpty());
        f25.RadioButton2->setChecked(true);
        QCOMPARE(f25.fatigue.recordCount(), 1);
        // A date change reads again; shift 2 stays selected.
        f25.DTPcker1->setDate(kDay.addDays(1));
        QVERIFY(f25.fatigue.isEmpty());
        QCOMPARE(f25.fatigue.param(QStringLiteral("d_date")).toDate(), kDay.addDays(1));
        f25.RadioButton1->setChecked(true);
        QCOMPARE(column(f25.fatigue, QStringLiteral("fio")), QStringList{"Иванов И.И."});
        f25.RadioButton2->setChecked(true);
        f25.DTPcker1->setDate(kDay);
        QCOMPARE(f25.i_smena, 2);
        QCOMPARE(column(f25.fatigue, QStringLiteral("fio")), (QStringList{"Иванов И.И.", "Сидоров С.С."}));
    }

    void deleteAsksAndKeepsThePosition() {
        TForm25& f25 = openRegister();
        MessageLog log;
        // No: nothing deleted.
        log.answers = {QMessageBox::No};
        f25.fatigue.setRecNo(2);
        f25.Button7->click();
        QCOMPARE(log.texts(), QStringList{"Удалить позицию из списка?"});
        QCOMPARE(log.messages.first().caption, QStringLiteral("Удаление"));
        QCOMPARE(f25.fatigue.recordCount(), 2);
        // Yes on the last row: it goes, the list stands on the new last row.
        f25.Button7->click();
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.fatigue where id=1")), 0);
        QCOMPARE(column(f25.fatigue, QStringLiteral("fio")), QStringList{"Иванов И.И."});
        QCOMPARE(f25.fatigue.recNo(), 1);
        QCOMPARE(f25.i_smena, 1);
        // On an empty shift nothing is asked and nothing happens.
        f25.RadioButton3->setChecked(true);
        log.clear();
        ModalScript modal;
        f25.Button7->click();
        f25.Button6->click();
        QVERIFY(log.messages.isEmpty());
        QVERIFY(modal.shown.isEmpty());
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.fatigue")), 3);
    }

    // A new entry of kind 7777 at rate 150 for 8 hours: 1200 shown, cnt 8 and price 150 stored
    // with the register's date and selected shift.
    void addAnEntry() {
        TForm25& f25 = openRegister();
        f25.RadioButton3->setChecked(true);
        TForm24& ed = forms::form<TForm24>();
        ed.Edit1->setText(QStringLiteral("прежний"));
        MessageLog log;
        QStringList prepared, shown;
        QList<int> cntParams;
        ModalScript modal([&](QDialog* d) {
            if (auto* f26 = qobject_cast<TForm26*>(d)) {
                f26->item.locate(QStringLiteral("id"), 2);
                f26->Button1->click();
                return f26->result();
            }
            prepared << ed.Edit1->text() << ed.Edit2->text() << ed.Edit6->text() << QString::number(ed.id_p)
                     << QString::number(ed.id_nom) << ed.cb_type_work->currentText() << ed.DBEdit1->text()
                     << ed.DBEdit2->text();
            // As the workers list hands its pick back.
            ed.Edit1->setText(QStringLiteral("Петров П.П."));
            ed.id_p = 2;
            ed.Button4->click();
            ed.Edit6->selectAll();
            for (QChar c : QStringLiteral("8")) {
                QTest::keyClick(ed.Edit6, c.toLatin1());
                cntParams << ed.type_work.param(QStringLiteral("cnt")).toInt();
            }
            shown << ed.Edit1->text() << ed.Edit2->text() << ed.DBEdit1->text() << ed.DBEdit2->text();
            ed.Button1->click();
            return ed.result();
        });
        f25.Button5->click();
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.texts().join('|')));
        QCOMPARE(prepared, (QStringList{"", "", "0", "0", "0", "Хоз. работы", "150", "0"}));
        QCOMPARE(cntParams, QList<int>{8});
        QCOMPARE(shown, (QStringList{"Петров П.П.", "Кронштейны", "150", "1200"}));
        QCOMPARE(fatigueEntry(100), QStringLiteral("2/7777/2/2024-03-05/3/2024/3/8/150.00"));
        // The register is re-read and still on shift 3; the dialog's query is closed.
        QCOMPARE(column(f25.fatigue, QStringLiteral("summ")), QStringList{"1200.00"});
        QCOMPARE(f25.i_smena, 3);
        QVERIFY(!ed.type_work.active());
    }

    // Typing hours a digit at a time re-reads the rate query after each digit.
    void hoursReReadTheRateAfterEachDigit() {
        openRegister();
        TForm24& ed = forms::form<TForm24>();
        ed.type_work.open();
        ed.cb_type_work->setKeyValue(7778);
        ed.Edit6->clear();
        QStringList sums;
        for (QChar c : QStringLiteral("12")) {
            QTest::keyClick(ed.Edit6, c.toLatin1());
            sums << ed.DBEdit2->text();
        }
        QCOMPARE(sums, (QStringList{"180", "2160"}));
        QCOMPARE(ed.DBEdit1->text(), QStringLiteral("180"));
        QCOMPARE(ed.cb_type_work->currentText(), QStringLiteral("Уборка территории"));
        // Letters cannot be typed into the hours.
        QTest::keyClick(ed.Edit6, 'x');
        QCOMPARE(ed.Edit6->text(), QStringLiteral("12"));
        ed.type_work.close();
    }

    // Refusals of the save: nothing written, the dialog stays open.
    void saveRefusals_data() {
        QTest::addColumn<int>("worker");
        QTest::addColumn<int>("group");
        QTest::addColumn<QString>("hours");
        QTest::addColumn<QString>("message");
        QTest::newRow("no nomenclature group") << 2 << 0 << "8" << kAllFields;
        QTest::newRow("no worker") << 0 << 3 << "8" << kAllFields;
        QTest::newRow("no hours") << 2 << 3 << "0" << "Нужно завести количество!";
        QTest::newRow("empty hours") << 2 << 3 << "" << "\"\" не является целым числом";
        QTest::newRow("hours past a day") << 2 << 3 << "25"
                                          << "В поле \"Часы\" допустимо целое число от 0 до 24, а не \"25\"!";
    }
    void saveRefusals() {
        QFETCH(int, worker);
        QFETCH(int, group);
        QFETCH(QString, hours);
        QFETCH(QString, message);
        TForm25& f25 = openRegister();
        TForm24& ed = forms::form<TForm24>();
        MessageLog log;
        int result = -1;
        ModalScript modal([&](QDialog*) {
            ed.setResult(0);
            ed.id_p = worker;
            ed.id_nom = group;
            ed.Edit6->setText(hours);
            ed.Button1->click();
            result = ed.result();
            return result;
        });
        f25.Button5->click();
        QCOMPARE(log.texts(), QStringList{message});
        QCOMPARE(log.messages.first().caption, QStringLiteral("Ошибка"));
        QCOMPARE(result, 0);
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.fatigue")), 4);
    }

    // Changing an entry of kind 7778: shown with its kind, stored with the current rate,
    // its date and shift kept; an add afterwards is a new entry.
    void changeThenAdd() {
        testdb::exec(QStringLiteral("update accounts_dep.fatigue set price=100 where id=1"));
        TForm25& f25 = openRegister();
        QVERIFY(f25.fatigue.locate(QStringLiteral("id"), 1));
        f25.RadioButton2->setChecked(true);  // the shift shown does not move the entry
        f25.RadioButton1->setChecked(true);
        QVERIFY(f25.fatigue.locate(QStringLiteral("id"), 1));
        TForm24& ed = forms::form<TForm24>();
        MessageLog log;
        QStringList shown;
        ModalScript modal([&](QDialog*) {
            shown << QString::number(ed.Tag) << ed.Edit1->text() << ed.Edit2->text() << ed.Edit6->text()
                  << ed.cb_type_work->currentText() << ed.DBEdit1->text() << ed.DBEdit2->text()
                  << QString::number(ed.id_p) << QString::number(ed.id_nom);
            ed.Edit6->setText(QStringLiteral("5"));
            ed.Button1Click();
            return ed.result();
        });
        f25.DBGrid1->dblClick();
        QCOMPARE(shown, (QStringList{"1", "Петров П.П.", "Кронштейны", "2", "Уборка территории", "180", "360", "2", "2"}));
        QCOMPARE(fatigueEntry(1), QStringLiteral("2/7778/2/2024-03-05/3/2024/1/5/180.00"));
        QCOMPARE(f25.fatigue.asInt(QStringLiteral("id")), 1);  // the register keeps its row
        // An add now creates a new entry and leaves the changed one as it was.
        modal.setHandler([&](QDialog*) {
            ed.id_p = 3;
            ed.id_nom = 4;
            ed.Edit6->setText(QStringLiteral("1"));
            ed.Button1Click();
            return ed.result();
        });
        f25.Button5->click();
        QVERIFY(log.messages.isEmpty());
        QCOMPARE(fatigueEntry(1), QStringLiteral("2/7778/2/2024-03-05/3/2024/1/5/180.00"));
        QCOMPARE(fatigueEntry(100), QStringLiteral("4/7777/3/2024-03-05/3/2024/1/1/150.00"));
    }

    // A rate with a fractional part under a comma locale: shown with a comma, written with a point.
    void fractionalRateUnderACommaLocale() {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        testdb::exec(QStringLiteral("update accounts_dep.norm set price=150.5 where o_id=7777"));
        TForm25& f25 = openRegister();
        TForm24& ed = forms::form<TForm24>();
        MessageLog log;
        QStringList shown;
        ModalScript modal([&](QDialog*) {
            ed.id_p = 1;
            ed.id_nom = 2;
            ed.Edit6->setText(QStringLiteral("8"));
            shown << ed.DBEdit1->text() << ed.DBEdit2->text();
            ed.Button1->click();
            return ed.result();
        });
        f25.Button5->click();
        // Russian number format: decimal comma; general format has no digit grouping.
        QCOMPARE(shown, (QStringList{QStringLiteral("150,5"), QStringLiteral("1204")}));
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.texts().join('|')));
        QCOMPARE(fatigueEntry(100), QStringLiteral("2/7777/1/2024-03-05/3/2024/1/8/150.50"));
    }

    // The nomenclature picker: search by the beginning, kept between openings; "Выход" keeps the group.
    void nomenclaturePicker() {
        openRegister();
        TForm24& ed = forms::form<TForm24>();
        TForm26& f26 = forms::form<TForm26>();
        ed.id_nom = 4;
        ed.Edit2->setText(QStringLiteral("Профили"));
        QStringList all, narrowed;
        ModalScript modal([&](QDialog*) {
            all = column(f26.item, QStringLiteral("s_caption"));
            f26.Edit1->setText(QStringLiteral("х"));
            narrowed = column(f26.item, QStringLiteral("s_caption"));
            QTest::keyClick(f26.Edit1, Qt::Key_Left);
            QTest::keyClick(f26.Edit1, Qt::Key_Delete);
            f26.Button4->click();
            return f26.result();
        });
        ed.Button4Click();
        QCOMPARE(all, (QStringList{"Кронштейны", "Хомуты", "Профили"}));
        QCOMPARE(narrowed, QStringList{"Хомуты"});
        QCOMPARE(ed.id_nom, 4);  // "Выход" keeps the group
        QCOMPARE(ed.Edit2->text(), QStringLiteral("Профили"));
        QVERIFY(!f26.item.active());

        // Second opening: the search text and its filter are still there, over a fresh read.
        testdb::exec(QStringLiteral("insert into cmn_classifier.item(id, id_level, s_caption) values (5, 2, 'Хвостовики')"));
        QString text;
        modal.setHandler([&](QDialog*) {
            text = f26.Edit1->text();
            narrowed = column(f26.item, QStringLiteral("s_caption"));
            QTest::keyClick(f26.Edit1, Qt::Key_Down);
            f26.DBGrid1->dblClick();
            return f26.result();
        });
        ed.Button4Click();
        QCOMPARE(text, QStringLiteral("х"));
        QCOMPARE(narrowed, (QStringList{"Хомуты", "Хвостовики"}));
        QCOMPARE(ed.id_nom, 5);
        // The caption as stored, blanks included.
        modal.setHandler([&](QDialog*) {
            f26.DBGrid1->dblClick();
            return f26.result();
        });
        ed.Button4Click();
        QCOMPARE(ed.id_nom, 3);
        QCOMPARE(ed.Edit2->text(), QStringLiteral("Хомуты  "));
        // An emptied list picks nothing: id 0, empty caption; erasing the text shows all again.
        modal.setHandler([&](QDialog*) {
            f26.Edit1->setText(QStringLiteral("zz"));
            f26.Button1->click();
            return f26.result();
        });
        ed.Button4Click();
        QCOMPARE(ed.id_nom, 0);
        QCOMPARE(ed.Edit2->text(), QString());
        f26.Edit1->clear();
        f26.item.open();
        QCOMPARE(f26.item.recordCount(), 4);
        f26.item.close();
    }

    // The worker button opens the real workers list for tag 24; its pick fills the dialog.
    void workerPickThroughTheWorkersList() {
        openRegister();
        TForm24& ed = forms::form<TForm24>();
        ed.id_p = 0;
        ed.Edit1->clear();
        int tag = -1;
        ModalScript modal([&](QDialog* d) {
            auto* f5 = qobject_cast<TForm5*>(d);
            if (!f5) return int(QDialog::Rejected);
            tag = f5->Tag;
            dm().Workers.locate(QStringLiteral("fio"), QStringLiteral("Сидоров С.С."));
            f5->Button2Click();
            return f5->result();
        });
        ed.Button3->click();
        QCOMPARE(tag, 24);
        QCOMPARE(ed.Edit1->text(), QStringLiteral("Сидоров С.С."));
        QCOMPARE(ed.id_p, 3);
        QVERIFY(!dm().Workers.active());
    }
};

QTEST_MAIN(TestAuxwork)
#include "test_auxwork.moc"
