// The products list and the product editor against a small fixture: the editor's
// rules, the case-insensitive duplicate check, marks with quotes, the delete with its
// questions (one transaction, in an order the foreign keys accept, timesheet recounted)
// and the list as the priced operation editor's product picker.
#include "core/datamodule.h"
#include "gui/forms.h"
#include "journal/tform1.h"
#include "domain/products.h"
#include "refbooks/tform10.h"
#include "refbooks/tform3.h"
#include "refbooks/tform7.h"
#include "support/testdb.h"

#include <QtTest>

using namespace mirn;

namespace {
const QString kAllFields = QStringLiteral("Все поля должны быть заполнены!");
const QString kDuplicate = QStringLiteral("Такая марка изделия уже заведена!");
const QString kQOpers = QStringLiteral("По изделию есть расценки они будут удалены!!!");
const QString kQEntries = QStringLiteral(
    "По изделию есть операции в текущем, предыдущем месяцах и ранее, они будут удалены. Удалить изделие? ");
const QString kQProduct = QStringLiteral("Удалить изделие? ");

// Products 1 КР-100 and 2 ХМ-40; groups 500 Кронштейны, 501 Хомуты (level 2) and a
// level-1 root; operation types 1 Резка, 2 Покраска; product 2 has operation 20.
void loadFixture() {
    testdb::exec(QStringLiteral(
        "insert into cmn_classifier.item(id, id_level, s_caption) values "
        "(500, 2, 'Кронштейны'), (501, 2, 'Хомуты'), (499, 1, 'Корень')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) values "
        "(1, 'КР-100', '', 6, 1.5, 500), (2, 'ХМ-40', '', 6, 0.2, 501)"));
    testdb::exec(QStringLiteral("select setval('cmn_gds_and_srv.gds_and_srv_id_seq', 100)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Покраска')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (20, 1, 0, 2, 0)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) values (20, 10, 0, 3)"));
    testdb::exec(QStringLiteral("alter table accounts_dep.oper alter column id restart with 100"));
}

int count(const QString& sql) { return testdb::scalarInt(sql); }

// Answers the modal windows: a list window once with onList (while that runs, the
// windows it opens go to onChild), every other window with onChild.
template <class List>
struct ListScript {
    ListScript()
        : modal([this](QDialog* d) {
              if (auto* l = qobject_cast<List*>(d); l && onList) {
                  auto f = std::exchange(onList, {});
                  ran = true;
                  f(*l);
                  return int(QDialog::Rejected);
              }
              return onChild ? onChild(d) : int(QDialog::Rejected);
          }) {}
    std::function<void(List&)> onList;
    ModalScript::Handler onChild;
    bool ran = false;
    ModalScript modal;
};

// Opens the products list from the journal's menu and runs f on it while it is shown.
void withProductsList(const std::function<void(TForm3&)>& f, ListScript<TForm3>& s) {
    s.ran = false;
    s.onList = f;
    forms::form<TForm1>().N3Click();
    QVERIFY(s.ran);
}

// Types text into a widget one key at a time (ASCII only).
void typeInto(QWidget* w, const QString& text) {
    for (QChar c : text) QTest::keyClick(w, c.toLatin1());
}
}  // namespace

class TestProducts : public QObject {
    Q_OBJECT
private slots:
    void init() {
        testdb::startApp(QStringLiteral("t_products"));
        loadFixture();
    }
    void cleanupTestCase() { testdb::stopApp(); }

    // The list from the menu: Izdel opened for the window, closed after it; reference mode.
    void menuOpensTheListInReferenceMode() {
        ListScript<TForm3> modal;
        QStringList marks;
        withProductsList(
            [&](TForm3& f3) {
                QVERIFY(dm().Izdel.active());
                QCOMPARE(f3.Tag, 0);
                QCOMPARE(f3.Button2->text(), QStringLiteral("Изменить"));
                QVERIFY(f3.Button1->isVisibleTo(&f3));
                QVERIFY(f3.Button3->isVisibleTo(&f3));
                QVERIFY(f3.Button1->isDefault());
                QVERIFY(!f3.Button2->isDefault());
                for (int r = 0; r < f3.DBGrid1->queryModel()->rowCount(); ++r)
                    marks << f3.DBGrid1->queryModel()->index(r, 0).data().toString();
                QCOMPARE(f3.DBGrid1->queryModel()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
                         QStringLiteral("Коробки"));
                QCOMPARE(f3.DBGrid1->queryModel()->index(0, 1).data().toString(), QStringLiteral("1.5"));
            },
            modal);
        QCOMPARE(marks, (QStringList{QStringLiteral("КР-100"), QStringLiteral("ХМ-40")}));
        QVERIFY(!dm().Izdel.active());
        QCOMPARE(modal.modal.shown.first()->windowTitle(), QStringLiteral("Изделия"));
    }

    void addWithGroupAndTypedMass() {
        ListScript<TForm3> modal;
        MessageLog log;
        QStringList groups;
        QString shownMass, title;
        int tag = 0;
        withProductsList(
            [&](TForm3& f3) {
                modal.onChild = ([&](QDialog* d) {
                    auto* ed = qobject_cast<TForm7*>(d);
                    if (!ed) return int(QDialog::Rejected);
                    ed->show();
                    title = ed->windowTitle();
                    tag = ed->Tag;
                    for (int i = 0; i < ed->cb_item->count(); ++i) groups << ed->cb_item->itemText(i);
                    ed->Edit1->setText(QStringLiteral("  НВ-7 "));
                    typeInto(ed->Edit2, QStringLiteral("1,5"));
                    shownMass = ed->Edit2->text();
                    typeInto(ed->Edit2, QStringLiteral("x-"));  // dropped
                    ed->cb_item->setKeyValue(501);
                    ed->Button1Click();
                    const int r = ed->result();
                    ed->hide();
                    return r;
                });
                f3.Button1Click();
                // Still open on the list, re-read, the new product in it.
                QCOMPARE(dm().Izdel.recordCount(), 3);
                QVERIFY(!forms::form<TForm7>().item.active());
            },
            modal);
        QVERIFY(log.messages.isEmpty());
        QCOMPARE(title, QStringLiteral("Заведение нового изделия"));
        QCOMPARE(tag, 1);
        QCOMPARE(groups, (QStringList{QStringLiteral("Кронштейны"), QStringLiteral("Хомуты")}));
        QCOMPARE(shownMass, QStringLiteral("1.5"));
        const auto rows = testdb::rows(QStringLiteral(
            "select g.s_caption, g.massa::text, g.id_class_item::int, g.id_msm_bs::int, g.s_description, i.marka "
            "from cmn_gds_and_srv.gds_and_srv g join accounts_dep.izdel i on i.id = g.id where g.id > 2"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0][0].toString(), QStringLiteral("НВ-7"));  // stored trimmed
        QCOMPARE(rows[0][1].toString(), QStringLiteral("1.500000"));
        QCOMPARE(rows[0][2].toInt(), 501);
        QCOMPARE(rows[0][3].toInt(), 6);
        QCOMPARE(rows[0][4].toString(), QString());
        QCOMPARE(rows[0][5].toString(), QStringLiteral("НВ-7"));
    }

    // A mass pasted past the key rule: nothing but a number in its range is stored.
    void pastedMassIsRefused_data() {
        QTest::addColumn<QString>("pasted");
        QTest::newRow("not a number") << "NaN";
        QTest::newRow("negative") << "-5";
        QTest::newRow("exponent") << "1e5";
        QTest::newRow("too heavy") << "2000000";
    }
    void pastedMassIsRefused() {
        QFETCH(QString, pasted);
        ListScript<TForm3> modal;
        MessageLog log;
        int result = -1;
        withProductsList(
            [&](TForm3& f3) {
                modal.onChild = ([&](QDialog* d) {
                    auto* ed = qobject_cast<TForm7*>(d);
                    if (!ed) return int(QDialog::Rejected);
                    ed->Edit1->setText(QStringLiteral("НВ-8"));
                    ed->Edit2->setText(pasted);  // as pasted: setText passes no key rule
                    ed->cb_item->setKeyValue(501);
                    ed->Button1Click();
                    result = ed->result();
                    return int(QDialog::Rejected);
                });
                f3.Button1Click();
            },
            modal);
        QCOMPARE(result, 0);  // the editor stays open
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.lastText().contains(QStringLiteral("\"Масса\"")) && log.lastText().contains(QStringLiteral(" до ")),
                 qPrintable(log.lastText()));
        QCOMPARE(count(QStringLiteral("select count(*) from cmn_gds_and_srv.gds_and_srv where s_caption='НВ-8'")), 0);
    }

    void massKeyRule_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("comma becomes point") << "1,5" << "1.5";
        QTest::newRow("point stays") << "2.25" << "2.25";
        QTest::newRow("letters and signs dropped") << "a1b-+2e" << "12";
        QTest::newRow("backspace edits") << "13\b4" << "14";
    }
    void massKeyRule() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        TForm7& ed = forms::form<TForm7>();
        ed.Edit2->clear();
        for (QChar c : typed) {
            if (c == QChar(8))
                QTest::keyClick(ed.Edit2, Qt::Key_Backspace);
            else
                QTest::keyClick(ed.Edit2, c.toLatin1());
        }
        QCOMPARE(ed.Edit2->text(), shown);
    }

    void changeKeepsItsOwnMarkAndItsGroupIsShown() {
        ListScript<TForm3> modal;
        MessageLog log;
        QVariant shownGroup;
        QString shownMark, shownMass, title;
        withProductsList(
            [&](TForm3& f3) {
                QVERIFY(dm().Izdel.locate(QStringLiteral("marka"), QStringLiteral("ХМ-40")));
                QCOMPARE(dm().Izdel.recNo(), 2);
                modal.onChild = ([&](QDialog* d) {
                    auto* ed = qobject_cast<TForm7*>(d);
                    if (!ed) return int(QDialog::Rejected);
                    title = ed->windowTitle();
                    shownMark = ed->Edit1->text();
                    shownMass = ed->Edit2->text();
                    shownGroup = ed->cb_item->currentText();
                    // Same mark in other letter case, new mass and group.
                    ed->Edit1->setText(QStringLiteral("хм-40"));
                    ed->Edit2->setText(QStringLiteral("0,75"));
                    ed->cb_item->setKeyValue(500);
                    ed->Button1Click();
                    return ed->result();
                });
                f3.Button2Click();
                QCOMPARE(modal.modal.shown.size(), 2);
                QCOMPARE(dm().Izdel.recNo(), 2);  // back on the remembered row
            },
            modal);
        QVERIFY2(log.messages.isEmpty(), qPrintable(log.texts().join('|')));
        QCOMPARE(title, QStringLiteral("Изменение данных изделия"));
        QCOMPARE(shownMark, QStringLiteral("ХМ-40"));
        QCOMPARE(shownMass, QStringLiteral("0.2"));
        QCOMPARE(shownGroup.toString(), QStringLiteral("Хомуты"));
        QCOMPARE(testdb::scalar(QStringLiteral("select s_caption || ' ' || massa::text || ' ' || id_class_item::text "
                                               "from cmn_gds_and_srv.gds_and_srv where id=2"))
                     .toString(),
                 QStringLiteral("хм-40 0.750000 500"));
    }

    // Every refusal: a message, nothing written, the editor left open.
    void refusals_data() {
        QTest::addColumn<int>("tag");  // 1 adding, 2 changing ХМ-40
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("mass");
        QTest::addColumn<int>("group");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty mark") << 1 << "" << "1" << 500 << kAllFields;
        QTest::newRow("blank mark") << 1 << "   " << "1" << 500 << kAllFields;
        QTest::newRow("empty mass") << 1 << "НВ-1" << " " << 500 << kAllFields;
        QTest::newRow("no group") << 1 << "НВ-1" << "1" << 0 << kAllFields;
        QTest::newRow("adding кр-100 while КР-100 exists") << 1 << "кр-100" << "1" << 500 << kDuplicate;
        QTest::newRow("adding with blanks around") << 1 << "  Кр-100 " << "1" << 500 << kDuplicate;
        QTest::newRow("changing to another product's mark") << 2 << "кР-100" << "1" << 500 << kDuplicate;
    }
    void refusals() {
        QFETCH(int, tag);
        QFETCH(QString, mark);
        QFETCH(QString, mass);
        QFETCH(int, group);
        QFETCH(QString, message);
        MessageLog log;
        dm().Izdel.open();
        dm().Izdel.locate(QStringLiteral("marka"), QStringLiteral("ХМ-40"));
        TForm7& ed = forms::form<TForm7>();
        ed.setResult(0);
        ed.Tag = tag;
        ed.Edit1->setText(mark);
        ed.Edit2->setText(mass);
        ed.cb_item->setKeyValue(group);
        const QString before = testdb::scalar(QStringLiteral(
            "select string_agg(id || s_caption || massa || id_class_item, ',' order by id) from cmn_gds_and_srv.gds_and_srv")).toString();
        ed.Button1Click();
        QCOMPARE(log.texts(), QStringList{message});
        QCOMPARE(log.messages.first().caption, QStringLiteral("Ошибка"));
        QCOMPARE(int(log.messages.first().icon), int(ui::Icon::Error));
        QCOMPARE(ed.result(), 0);  // the editor stays open
        QCOMPARE(testdb::scalar(QStringLiteral(
                     "select string_agg(id || s_caption || massa || id_class_item, ',' order by id) from cmn_gds_and_srv.gds_and_srv")).toString(),
                 before);
    }

    // Marks with quotes go to the database as typed and the duplicate check finds them.
    void marksWithQuotesAreStoredIntact() {
        products::ProductStore store;
        for (const QString& mark : {QStringLiteral("12\"-Г"), QStringLiteral("O'Neil"), QStringLiteral("a\\'; --")}) {
            QCOMPARE(int(store.save({mark, QStringLiteral("1"), 500}, 0).status), int(Status::Saved));
            QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.izdel where marka=$m$") + mark +
                           QStringLiteral("$m$")),
                     1);
        }
        const Result dup = store.save({QStringLiteral("o'neil"), QStringLiteral("2"), 501}, 0);
        QCOMPARE(int(dup.status), int(Status::Duplicate));
        QCOMPARE(dup.message, kDuplicate);
        // A change to a quoted mark, checked against the others.
        const qlonglong oneil = testdb::scalar(QStringLiteral("select id from accounts_dep.izdel where marka='O''Neil'")).toLongLong();
        QCOMPARE(int(store.save({QStringLiteral("O'NEIL"), QStringLiteral("3"), 501}, oneil).status),
                 int(Status::Saved));
        QCOMPARE(int(store.save({QStringLiteral("12\"-г"), QStringLiteral("3"), 501}, oneil).status),
                 int(Status::Duplicate));
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.izdel where marka='O''NEIL' and massa=3")), 1);
    }

    // The delete: the questions in their order and what each answer leaves. Product 50
    // has operation 51 (two norms) and, as asked per row, recent entries that use it or
    // that use product 2's operation 20.
    void deleteQuestionsAndWhatTheyLeave_data() {
        QTest::addColumn<bool>("opers");
        QTest::addColumn<QString>("entries");  // "", "own" (use operation 51), "other" (use operation 20)
        QTest::addColumn<QList<int>>("answers");  // QMessageBox::Yes / No
        QTest::addColumn<QStringList>("questions");
        QTest::addColumn<QList<int>>("left");  // product, operations, norms, entries
        QTest::addColumn<bool>("refused");    // the database refused: an error shown, nothing deleted
        const int Y = QMessageBox::Yes, N = QMessageBox::No;
        QTest::newRow("operations and entries: yes, yes")
            << true << "own" << QList<int>{Y, Y} << QStringList{kQOpers, kQEntries} << QList<int>{0, 0, 0, 0} << false;
        QTest::newRow("operations and entries: no, no")
            << true << "own" << QList<int>{N, N} << QStringList{kQOpers, kQEntries} << QList<int>{1, 1, 2, 2} << false;
        QTest::newRow("yes, no: operations in use by the entries stay")
            << true << "own" << QList<int>{Y, N} << QStringList{kQOpers, kQEntries} << QList<int>{1, 1, 2, 2} << true;
        QTest::newRow("yes, no: operations not in use go, product stays")
            << true << "other" << QList<int>{Y, N} << QStringList{kQOpers, kQEntries} << QList<int>{1, 0, 0, 2} << false;
        QTest::newRow("no, yes: product still has operations, entries stay too")
            << true << "other" << QList<int>{N, Y} << QStringList{kQOpers, kQEntries} << QList<int>{1, 1, 2, 2} << true;
        QTest::newRow("operations only: yes, yes")
            << true << "" << QList<int>{Y, Y} << QStringList{kQOpers, kQProduct} << QList<int>{0, 0, 0, 0} << false;
        QTest::newRow("operations only: yes, no")
            << true << "" << QList<int>{Y, N} << QStringList{kQOpers, kQProduct} << QList<int>{1, 0, 0, 0} << false;
        QTest::newRow("entries only: yes")
            << false << "other" << QList<int>{Y} << QStringList{kQEntries} << QList<int>{0, 0, 0, 0} << false;
        QTest::newRow("nothing: yes") << false << "" << QList<int>{Y} << QStringList{kQProduct} << QList<int>{0, 0, 0, 0}
                                      << false;
        QTest::newRow("nothing: no") << false << "" << QList<int>{N} << QStringList{kQProduct} << QList<int>{1, 0, 0, 0}
                                     << false;
    }
    void deleteQuestionsAndWhatTheyLeave() {
        QFETCH(bool, opers);
        QFETCH(QString, entries);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, questions);
        QFETCH(QList<int>, left);
        QFETCH(bool, refused);
        testdb::exec(QStringLiteral(
            "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) "
            "values (50, 'УД-1', '', 6, 1, 500)"));
        if (opers) {
            testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (51, 2, 0, 50, 0)"));
            testdb::exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) values (51, 5, 0, 7), (51, 9, 0, 6)"));
        }
        if (!entries.isEmpty()) {
            const QString o = entries == QLatin1String("own") ? QStringLiteral("51") : QStringLiteral("20");
            const QString day = QDate::currentDate().toString(Qt::ISODate);
            testdb::exec(QStringLiteral(
                             "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok) "
                             "values (101, 50, %1, 1, 1, 0, '%2', 1, 0, 4, 'no'), (102, 50, %1, 1, 1, 0, '%2', 2, 0, 5, 'no')")
                             .arg(o, day));
        }
        MessageLog log;
        for (int a : answers) log.answers << QMessageBox::StandardButton(a);
        ListScript<TForm3> modal;
        withProductsList(
            [&](TForm3& f3) {
                QVERIFY(dm().Izdel.locate(QStringLiteral("marka"), QStringLiteral("УД-1")));
                f3.Button3->click();
                // Re-read after a delete that ran: the list stands on its first row.
                if (!refused && left != QList<int>{1, 1, 2, 2}) QCOMPARE(dm().Izdel.recNo(), 1);
            },
            modal);
        QStringList asked;
        for (const auto& m : log.messages)
            if (m.caption == QStringLiteral("Удаление")) {
                asked << m.text;
                QCOMPARE(int(m.buttons), int(ui::Buttons::YesNo));
                QCOMPARE(int(m.icon), int(ui::Icon::Question));
            }
        QCOMPARE(asked, questions);
        const QList<int> now{count(QStringLiteral("select count(*) from accounts_dep.izdel where id=50")),
                             count(QStringLiteral("select count(*) from accounts_dep.oper where i_id=50")),
                             count(QStringLiteral("select count(*) from accounts_dep.norm where o_id=51")),
                             count(QStringLiteral("select count(*) from accounts_dep.smena where i_id=50"))};
        QCOMPARE(now, left);
        QCOMPARE(log.messages.size() - asked.size(), refused ? 1 : 0);
        if (refused) {
            QCOMPARE(log.messages.last().caption, QStringLiteral("Ошибка"));
            QVERIFY2(log.lastFailure().contains(QStringLiteral("foreign key")), qPrintable(log.lastText() + " | " + log.lastDetails()));
        }
        // Product 2 and its operation are never touched.
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.oper where id=20")), 1);
    }

    // Entries counted for the question: dated on or after the first of last month, year 2000.
    void entriesAreCountedSinceLastMonthOf2000() {
        QCOMPARE(products::entriesCountedSince(QDate(2024, 3, 15)), QDate(2000, 2, 1));
        QCOMPARE(products::entriesCountedSince(QDate(2024, 1, 31)), QDate(2000, 12, 1));
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok) "
            "values (101, 2, 20, 1, 1, 0, '1999-06-01', 1, 0, 4, 'no')"));
        products::ProductStore store;
        const products::Usage before = store.usage(2, QDate(2024, 3, 15));
        // The 1999 entry is not counted.
        QCOMPARE(before.entries, 0);
        QCOMPARE(before.opers, 1);
        testdb::exec(QStringLiteral("update accounts_dep.smena set data='2000-02-01'"));
        QCOMPARE(store.usage(2, QDate(2024, 3, 15)).entries, 1);
    }

    // The deleted entries' hours leave the timesheet in the same transaction.
    void deletingEntriesRecountsTheirTimesheetDays() {
        testdb::exec(QStringLiteral(
            "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) "
            "values (50, 'УД-1', '', 6, 1, 500)"));
        // Worker 101: 5 March, shift 1: 8 h on product 50 and 3 h on product 2; 6 March: 2 h on product 50.
        // Worker 102: 5 March, shift 2: 6 h on product 2 only.
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok) values "
            "(101, 50, 20, 1, 1, 0, '2024-03-05', 1, 0, 8, 'no'), (101, 2, 20, 1, 1, 0, '2024-03-05', 1, 0, 3, 'no'), "
            "(101, 50, 20, 1, 1, 0, '2024-03-06', 1, 0, 2, 'no'), (102, 2, 20, 1, 1, 0, '2024-03-05', 2, 0, 6, 'no')"));
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.h_tabel(w_id, month, year, smena, d4, d5, d6) values "
            "(101, 3, 2024, 1, 7, 11, 2), (101, 3, 2024, 2, null, 9, null), (102, 3, 2024, 2, null, 6, null)"));
        MessageLog log;
        log.answers = {QMessageBox::Yes};
        dm().Izdel.open();
        dm().Izdel.locate(QStringLiteral("id"), 50);
        forms::form<TForm3>().Button3Click();
        QCOMPARE(log.texts(), QStringList{kQEntries});
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.izdel where id=50")), 0);
        const auto tab = testdb::rows(QStringLiteral(
            "select w_id, smena, d4, d5, d6 from accounts_dep.h_tabel order by w_id, smena"));
        QCOMPARE(tab.size(), 3);
        // The days of the deleted entries are recounted; the other days, shifts and workers stay.
        QCOMPARE((QVariantList{tab[0][2].toInt(), tab[0][3].toInt(), tab[0][4].toInt()}), (QVariantList{7, 3, 0}));
        QCOMPARE(tab[1][3].toInt(), 9);
        QCOMPARE(tab[2][3].toInt(), 6);
    }

    // A refused delete leaves the timesheet as it was.
    void refusedDeleteLeavesTheTimesheet() {
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok) values "
            "(101, 2, 20, 1, 1, 0, current_date, 1, 0, 8, 'no')"));
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.h_tabel(w_id, month, year, smena, d%1) values (101, %2, %3, 1, 8)")
                         .arg(QDate::currentDate().day())
                         .arg(QDate::currentDate().month())
                         .arg(QDate::currentDate().year()));
        MessageLog log;
        log.answers = {QMessageBox::No, QMessageBox::Yes};  // keep the operations, delete entries and product
        dm().Izdel.open();
        dm().Izdel.locate(QStringLiteral("id"), 2);
        forms::form<TForm3>().Button3->click();
        QCOMPARE(log.messages.size(), 3);
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.smena")), 1);
        QCOMPARE(count(QStringLiteral("select d%1 from accounts_dep.h_tabel").arg(QDate::currentDate().day())), 8);
    }

    void deleteOnAnEmptyListAsksNothing() {
        MessageLog log;
        dm().Izdel.open();
        forms::form<TForm3>().Edit1->setText(QStringLiteral("zz"));
        QVERIFY(dm().Izdel.isEmpty());
        ListScript<TForm3> modal;
        forms::form<TForm3>().Button3Click();
        forms::form<TForm3>().Button2Click();
        QVERIFY(log.messages.isEmpty());
        QVERIFY(modal.modal.shown.isEmpty());
        QCOMPARE(count(QStringLiteral("select count(*) from accounts_dep.izdel")), 2);
    }

    void searchFiltersByTheBeginningAndArrowsMoveTheList() {
        ListScript<TForm3> modal;
        withProductsList(
            [&](TForm3& f3) {
                testdb::exec(QStringLiteral(
                    "insert into cmn_gds_and_srv.gds_and_srv(s_caption, id_msm_bs, massa, id_class_item) "
                    "values ('КР-200', 6, 1, 500)"));
                dm().Izdel.reopen();
                f3.Edit1->setText(QStringLiteral("кр"));
                QCOMPARE(dm().Izdel.recordCount(), 2);
                QCOMPARE(dm().Izdel.recNo(), 1);
                QTest::keyClick(f3.Edit1, Qt::Key_Down);
                QCOMPARE(dm().Izdel.asString(QStringLiteral("marka")), QStringLiteral("КР-200"));
                QTest::keyClick(f3.Edit1, Qt::Key_Up);
                QCOMPARE(dm().Izdel.asString(QStringLiteral("marka")), QStringLiteral("КР-100"));
                // Other keys act in the field as usual.
                f3.Edit1->setText(QStringLiteral("ХМ"));
                QTest::keyClick(f3.Edit1, Qt::Key_Left);
                QTest::keyClick(f3.Edit1, Qt::Key_Delete);
                QCOMPARE(f3.Edit1->text(), QStringLiteral("Х"));
                QCOMPARE(dm().Izdel.recordCount(), 1);
            },
            modal);
        // The filter stays on the next opening from the menu.
        withProductsList([&](TForm3& f3) {
            QCOMPARE(f3.Edit1->text(), QStringLiteral("Х"));
            QCOMPARE(dm().Izdel.recordCount(), 1);
            f3.Edit1->clear();
            QCOMPARE(dm().Izdel.recordCount(), 3);
        }, modal);
    }

    // The list as the priced operation editor's product picker, and back in reference mode.
    void pickForThePricedOperationEditor() {
        TForm10& f10 = forms::form<TForm10>();
        TForm3& f3 = forms::form<TForm3>();
        f3.Edit1->setText(QStringLiteral("something"));
        ListScript<TForm3> modal;
        modal.onChild = ([&](QDialog* d) {
            if (d != &f3) return int(QDialog::Rejected);
            [&] {
                QCOMPARE(f3.Tag, 1);
                QCOMPARE(f3.Button2->text(), QStringLiteral("Выбрать"));
                QVERIFY(f3.Button2->isDefault());
                QVERIFY(!f3.Button1->isVisibleTo(&f3));
                QVERIFY(!f3.Button3->isVisibleTo(&f3));
                QVERIFY(f3.Edit1->isVisibleTo(&f3));
                QCOMPARE(f3.Edit1->text(), QString());
                QCOMPARE(dm().Izdel.recordCount(), 2);
            }();
            dm().Izdel.locate(QStringLiteral("marka"), QStringLiteral("ХМ-40"));
            f3.DBGrid1->dblClick();
            return f3.result();
        });
        f10.Button3Click();
        QCOMPARE(modal.modal.shown.size(), 1);
        QCOMPARE(f10.Edit1->text(), QStringLiteral("ХМ-40"));
        QCOMPARE(f10.i_id, 2);
        QVERIFY(!f3.Button2->isDefault());
        QVERIFY(!f3.Edit1->isVisibleTo(&f3));
        QVERIFY(!dm().Izdel.active());

        // A pick from a list emptied by the search writes an empty mark and id 0.
        modal.onChild = ([&](QDialog* d) {
            f3.Edit1->setText(QStringLiteral("нет такой"));
            static_cast<TForm3*>(d)->Button2Click();
            return d->result();
        });
        f10.Button3Click();
        QCOMPARE(f10.Edit1->text(), QString());
        QCOMPARE(f10.i_id, 0);

        // From the menu again: reference mode with its buttons and the search field.
        withProductsList([&](TForm3& list) {
            QCOMPARE(list.Tag, 0);
            QCOMPARE(list.Button2->text(), QStringLiteral("Изменить"));
            QVERIFY(list.Button1->isVisibleTo(&list));
            QVERIFY(list.Button3->isVisibleTo(&list));
            QVERIFY(list.Edit1->isVisibleTo(&list));
        }, modal);
    }

    // Adding to an empty list: the list then stands on its first row.
    void addingToAnEmptyList() {
        testdb::exec(QStringLiteral("delete from accounts_dep.norm; delete from accounts_dep.oper; "
                                    "delete from cmn_gds_and_srv.gds_and_srv"));
        ListScript<TForm3> modal;
        MessageLog log;
        withProductsList(
            [&](TForm3& f3) {
                QVERIFY(dm().Izdel.isEmpty());
                modal.onChild = ([&](QDialog* d) {
                    auto* ed = qobject_cast<TForm7*>(d);
                    if (!ed) return int(QDialog::Rejected);
                    ed->Edit1->setText(QStringLiteral("Первое"));
                    ed->Edit2->setText(QStringLiteral("3"));
                    ed->cb_item->setKeyValue(500);
                    ed->Button1Click();
                    return ed->result();
                });
                f3.Button1Click();
                QCOMPARE(dm().Izdel.recordCount(), 1);
                QCOMPARE(dm().Izdel.recNo(), 1);
                QCOMPARE(dm().Izdel.asString(QStringLiteral("marka")), QStringLiteral("Первое"));
            },
            modal);
        QVERIFY(log.messages.isEmpty());
    }
};

QTEST_MAIN(TestProducts)
#include "test_products.moc"
