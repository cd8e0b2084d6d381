// The operation types list and editor against a small fixture: add and rename with the
// case-insensitive duplicate check, names with quotes, the delete the database refuses,
// and the list as the priced operation editor's operation type picker.
#include "core/datamodule.h"
#include "gui/forms.h"
#include "journal/tform1.h"
#include "domain/optypes.h"
#include "refbooks/tform10.h"
#include "refbooks/tform8.h"
#include "refbooks/tform9.h"
#include "support/testdb.h"

#include <QtTest>

using namespace mirn;

namespace {
const QString kAllFields = QStringLiteral("Все поля должны быть заполнены!");
const QString kDuplicate = QStringLiteral("Такая операция уже заведена!");

// Types 1 Резка, 2 Покраска, 3 Гибка; Покраска is used by the priced operation 10.
void loadFixture() {
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Покраска'), (3, 'Гибка')"));
    testdb::exec(QStringLiteral("alter table accounts_dep.vid_oper alter column id restart with 100"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) "
        "values (1, 'КР-100', '', 6, 1, null)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (10, 2, 0, 1, 0)"));
}

QStringList names() {
    QStringList out;
    for (const auto& r : testdb::rows(QStringLiteral("select vid from accounts_dep.vid_oper order by id"))) out << r[0].toString();
    return out;
}

QStringList listed(const Query& q) {
    QStringList out;
    for (int r = 0; r < q.recordCount(); ++r) out << q.value(r, QStringLiteral("vid")).toString();
    return out;
}

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

// Opens the list from the journal's menu and runs f on it while it is shown.
void withTypesList(ListScript<TForm8>& s, const std::function<void(TForm8&)>& f) {
    s.ran = false;
    s.onList = f;
    forms::form<TForm1>().N6Click();
    QVERIFY(s.ran);
}

// Answers the editor: types the name and saves; returns whether it closed.
ModalScript::Handler editorSaving(const QString& name, QString* title = nullptr) {
    return [name, title](QDialog* d) {
        auto* ed = qobject_cast<TForm9*>(d);
        if (!ed) return int(QDialog::Rejected);
        if (title) *title = ed->windowTitle();
        ed->setResult(0);
        ed->Edit1->setText(name);
        ed->Button1Click();
        return ed->result();
    };
}
}  // namespace

class TestOptypes : public QObject {
    Q_OBJECT
private slots:
    void init() {
        testdb::startApp(QStringLiteral("t_optypes"));
        loadFixture();
    }
    void cleanupTestCase() { testdb::stopApp(); }

    void menuOpensAnUnfilteredListInReferenceMode() {
        dm().Vid_oper.setLikeFilter(QStringLiteral("vid"), QStringLiteral("Г"));
        ListScript<TForm8> modal;
        QStringList shown;
        withTypesList(modal, [&](TForm8& f8) {
            shown = listed(dm().Vid_oper);
            QCOMPARE(f8.Tag, 0);
            QCOMPARE(f8.Button2->text(), QStringLiteral("Изменить"));
            QVERIFY(f8.Button1->isVisibleTo(&f8) && f8.Button3->isVisibleTo(&f8));
            QVERIFY(f8.Button1->isDefault() && !f8.Button2->isDefault());
            QVERIFY(!f8.Edit1->isVisibleTo(&f8));
            QCOMPARE(f8.DBGrid1->queryModel()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                     QStringLiteral("Операции"));
        });
        QCOMPARE(modal.modal.shown.first()->windowTitle(), QStringLiteral("Виды операций (8)"));
        QCOMPARE(shown, (QStringList{QStringLiteral("Гибка"), QStringLiteral("Покраска"), QStringLiteral("Резка")}));
        QVERIFY(!dm().Vid_oper.active());
    }

    // Adding: trimmed, refused when blank or when the name exists in any letter case.
    void add_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");  // empty: saved
        QTest::addColumn<QStringList>("after");
        const QStringList base{"Резка", "Покраска", "Гибка"};
        QTest::newRow("new, blanks around") << "  Сварка " << "" << (base + QStringList{"Сварка"});
        QTest::newRow("other letter case") << "рЕЗКА" << kDuplicate << base;
        QTest::newRow("blanks around and other case") << " гибка  " << kDuplicate << base;
        QTest::newRow("empty") << "" << kAllFields << base;
        QTest::newRow("blanks only") << "   " << kAllFields << base;
        QTest::newRow("with quotes") << "Резка 3/4\" O'Neil" << "" << (base + QStringList{"Резка 3/4\" O'Neil"});
    }
    void add() {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QStringList, after);
        MessageLog log;
        ListScript<TForm8> modal;
        QString title;
        int closed = -1;
        withTypesList(modal, [&](TForm8& f8) {
            modal.onChild = ([&](QDialog* d) {
                closed = editorSaving(typed, &title)(d);
                return closed;
            });
            f8.Button1Click();
            QCOMPARE(dm().Vid_oper.recordCount(), after.size());
        });
        QCOMPARE(title, QStringLiteral("Заведение нового вида операций"));
        QCOMPARE(names(), after);
        QCOMPARE(log.texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(closed, message.isEmpty() ? int(QDialog::Accepted) : 0);
    }

    void renameToItsOwnNameInAnotherCase() {
        MessageLog log;
        ListScript<TForm8> modal;
        QString title, shownName;
        withTypesList(modal, [&](TForm8& f8) {
            QVERIFY(dm().Vid_oper.locate(QStringLiteral("vid"), QStringLiteral("Резка")));
            modal.onChild = ([&](QDialog* d) {
                shownName = static_cast<TForm9*>(d)->Edit1->text();
                return editorSaving(QStringLiteral("РЕЗКА "), &title)(d);
            });
            f8.Button2Click();
            // Renaming to another type's name in another case is refused.
            QVERIFY(dm().Vid_oper.locate(QStringLiteral("vid"), QStringLiteral("Гибка")));
            modal.onChild = (editorSaving(QStringLiteral("покраска")));
            f8.DBGrid1->dblClick();
        });
        QCOMPARE(title, QStringLiteral("Изменение данных вида операции"));
        QCOMPARE(shownName, QStringLiteral("Резка"));
        QCOMPARE(names(), (QStringList{"РЕЗКА", "Покраска", "Гибка"}));
        QCOMPARE(log.texts(), QStringList{kDuplicate});
    }

    // Quotes in a name reach the database intact and the duplicate check finds them.
    void namesWithQuotes() {
        optypes::OpTypeStore store;
        QCOMPARE(int(store.save(QStringLiteral("O'Neil"), 0).status), int(Status::Saved));
        const Result dup = store.save(QStringLiteral("o'neil"), 0);
        QCOMPARE(int(dup.status), int(Status::Duplicate));
        QCOMPARE(dup.message, kDuplicate);
        QCOMPARE(int(store.save(QStringLiteral("12\"-Г'"), 3).status), int(Status::Saved));
        QCOMPARE(int(store.save(QStringLiteral("O'NEIL"), 3).status), int(Status::Duplicate));
        QCOMPARE(names(), (QStringList{"Резка", "Покраска", "12\"-Г'", "O'Neil"}));
    }

    void deleteAskedAndRefusedByTheDatabase() {
        MessageLog log;
        ListScript<TForm8> modal;
        withTypesList(modal, [&](TForm8& f8) {
            // No: nothing happens.
            log.answers = {QMessageBox::No};
            dm().Vid_oper.locate(QStringLiteral("vid"), QStringLiteral("Гибка"));
            f8.Button3->click();
            QCOMPARE(dm().Vid_oper.recordCount(), 3);
            // A type used by a priced operation: the database refuses, its message is shown.
            dm().Vid_oper.locate(QStringLiteral("vid"), QStringLiteral("Покраска"));
            f8.Button3->click();
            QCOMPARE(dm().Vid_oper.recordCount(), 3);
            // An unused one goes; the list is re-read and stands on its first row.
            dm().Vid_oper.locate(QStringLiteral("vid"), QStringLiteral("Резка"));
            f8.Button3->click();
            QCOMPARE(dm().Vid_oper.recordCount(), 2);
            QCOMPARE(dm().Vid_oper.recNo(), 1);
        });
        QCOMPARE(names(), (QStringList{"Покраска", "Гибка"}));
        QCOMPARE(log.messages.size(), 4);
        for (int i : {0, 1, 3}) {
            QCOMPARE(log.messages[i].text, QStringLiteral("Удалить вид операции?"));
            QCOMPARE(log.messages[i].caption, QStringLiteral("Удаление"));
        }
        QCOMPARE(log.messages[2].caption, QStringLiteral("Ошибка"));
        QVERIFY(log.messages[2].text.startsWith(QStringLiteral("Не удалось")));
        QVERIFY2(log.messages[2].details.contains(QStringLiteral("oper")) &&
                     log.messages[2].details.contains(QStringLiteral("foreign key")),
                 qPrintable(log.messages[2].text));
    }

    // The list as the priced operation editor's operation type picker.
    void pickForThePricedOperationEditor() {
        TForm10& f10 = forms::form<TForm10>();
        TForm8& f8 = forms::form<TForm8>();
        f8.Edit1->setText(QStringLiteral("Рез"));
        QStringList during;
        bool pickingMode = false;
        ListScript<TForm8> modal;
        modal.onChild = ([&](QDialog* d) {
            if (d != &f8) return int(QDialog::Rejected);
            pickingMode = f8.Tag == 1 && f8.Button2->text() == QStringLiteral("Выбрать") && f8.Button2->isDefault() &&
                          !f8.Button1->isVisibleTo(&f8) && !f8.Button3->isVisibleTo(&f8) &&
                          f8.Edit1->isVisibleTo(&f8) && f8.Edit1->text().isEmpty();
            during = listed(dm().Vid_oper);
            // Search, then arrows move the list; caret keys and Delete do nothing in the field.
            f8.Edit1->setText(QStringLiteral("п"));
            QTest::keyClick(f8.Edit1, Qt::Key_Left);
            QTest::keyClick(f8.Edit1, Qt::Key_Delete);
            QTest::keyClick(f8.Edit1, Qt::Key_Backspace);
            f8.Edit1->setText(QStringLiteral("р"));
            QTest::keyClick(f8.Edit1, Qt::Key_Home);
            QTest::keyClick(f8.Edit1, Qt::Key_Delete);
            QTest::keyClick(f8.Edit1, Qt::Key_Down);  // only one row: stays
            f8.Button2Click();
            return f8.result();
        });
        f10.Button4Click();
        QVERIFY(pickingMode);
        QCOMPARE(during, (QStringList{"Гибка", "Покраска", "Резка"}));
        QCOMPARE(f8.Edit1->text(), QStringLiteral("р"));
        QCOMPARE(f10.Edit2->text(), QStringLiteral("Резка"));
        QCOMPARE(f10.oper_vid, 1);
        QVERIFY(!f8.Button2->isDefault());
        QVERIFY(!f8.Edit1->isVisibleTo(&f8));
        QVERIFY(!dm().Vid_oper.active());

        // Arrows step through a wider list; an emptied list writes an empty name and id 0.
        modal.onChild = ([&](QDialog*) {
            QTest::keyClick(f8.Edit1, Qt::Key_Down);
            QTest::keyClick(f8.Edit1, Qt::Key_Down);
            QTest::keyClick(f8.Edit1, Qt::Key_Up);
            f8.DBGrid1->dblClick();
            return f8.result();
        });
        f10.Button4Click();
        QCOMPARE(f10.Edit2->text(), QStringLiteral("Покраска"));
        QCOMPARE(f10.oper_vid, 2);
        modal.onChild = ([&](QDialog*) {
            f8.Edit1->setText(QStringLiteral("нет"));
            f8.Button2Click();
            return f8.result();
        });
        f10.Button4Click();
        QCOMPARE(f10.Edit2->text(), QString());
        QCOMPARE(f10.oper_vid, 0);

        // From the menu after the filtered pick: every type, reference mode.
        QStringList fromMenu;
        withTypesList(modal, [&](TForm8& list) {
            fromMenu = listed(dm().Vid_oper);
            QCOMPARE(list.Button2->text(), QStringLiteral("Изменить"));
            QVERIFY(list.Button1->isVisibleTo(&list));
        });
        QCOMPARE(fromMenu.size(), 3);
    }

    void renameAndDeleteOnAnEmptyListDoNothing() {
        testdb::exec(QStringLiteral("delete from accounts_dep.oper; delete from accounts_dep.vid_oper"));
        MessageLog log;
        ListScript<TForm8> modal;
        withTypesList(modal, [&](TForm8& f8) {
            modal.onChild = {};
            f8.Button2Click();
            f8.Button3Click();
            QCOMPARE(modal.modal.shown.size(), 1);
        });
        QVERIFY(log.messages.isEmpty());
    }
};

QTEST_MAIN(TestOptypes)
#include "test_optypes.moc"
