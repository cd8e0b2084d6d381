// The workers list and the worker editor: search, keys, picking, add, change, delete.
#include "core/datamodule.h"
#include "gui/forms.h"
#include "core/signin.h"
#include "journal/tform1.h"
#include "journal/tform11.h"
#include "refbooks/crosslinks.h"
#include "refbooks/tform2.h"
#include "refbooks/tform5.h"
#include "support/testdb.h"

#include <QtTest>

using namespace mirn;

namespace {
void loadFixture() {
    testdb::exec(QStringLiteral(
        "insert into cmn_department.department(id, s_caption) values (1, 'Цех метизов'), (2, 'Участок покраски')"));
    testdb::exec(QStringLiteral("insert into hrms_staffpos.staffpos(id, s_caption) values (1, 'Штамповщик'), (2, 'Маляр')"));
    testdb::exec(QStringLiteral("insert into adm_role.roles(id, s_caption) values (1, 'Мастер'), (2, 'Рабочий')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.person(id, fio, s_staffpos_hl) values "
        "(201, 'Иванов И.И.', 'Цех метизов'), (202, 'Иваненко А.А.', ''), (203, 'Петров П.П.  ', ''), "
        "(204, 'Сидоров С.С.', ''), (205, 'О''Нил О.О.', '')"));
}
// List order (by fio): Иваненко, Иванов, О'Нил, Петров, Сидоров.

QStringList names(const Query& q) {
    QStringList out;
    for (int r = 0; r < q.recordCount(); ++r) out << q.value(r, QStringLiteral("fio")).toString().trimmed();
    return out;
}

QStringList stored() {
    QStringList out;
    for (const QVariantList& r : testdb::rows(QStringLiteral("select fio, s_staffpos_hl from accounts_dep.person order by id")))
        out << r[0].toString() + QLatin1Char('|') + r[1].toString();
    return out;
}

// Opens the list from the menu and runs `body` while it shows.
void openFromMenu(const std::function<void(TForm5&)>& body, const ModalScript::Handler& editor = {}) {
    ModalScript modal([&](QDialog* d) {
        if (auto* f5 = qobject_cast<TForm5*>(d)) {
            body(*f5);
            return int(QDialog::Rejected);
        }
        return editor ? editor(d) : int(QDialog::Rejected);
    });
    forms::form<TForm1>().N1->trigger();
}
}  // namespace

class TestWorkers : public QObject {
    Q_OBJECT
private slots:
    void init() {
        testdb::startApp(QStringLiteral("t_workers"));
        loadFixture();
        signIn();
    }
    void cleanupTestCase() { testdb::stopApp(); }

    void menuOpensReferenceMode() {
        TForm1& f1 = forms::form<TForm1>();
        f1.DateT->setDate(QDate(2024, 3, 5));
        bool layout = false;
        QStringList seen;
        openFromMenu([&](TForm5& f5) {
            layout = f5.Tag == 0 && f5.Button2->text() == QStringLiteral("Изменить") && !f5.Button2->isDefault() &&
                     f5.Button1->isDefault() && !f5.Button1->isHidden() && !f5.Button3->isHidden() &&
                     f5.windowTitle() == QStringLiteral("Список рабочих");
            seen = names(dm().Workers);
            typeText(f5.Edit1, QStringLiteral("Ив"));
        });
        QVERIFY(layout);
        QCOMPARE(seen, (QStringList{"Иваненко А.А.", "Иванов И.И.", "О'Нил О.О.", "Петров П.П.", "Сидоров С.С."}));
        QVERIFY(!dm().Workers.active());
        QCOMPARE(f1.DateT->date(), QDate::currentDate());  // the journal was activated again
        // The menu keeps the search of the last opening.
        openFromMenu([&](TForm5& f5) {
            seen = names(dm().Workers);
            seen << f5.Edit1->text();
        });
        QCOMPARE(seen, (QStringList{"Иваненко А.А.", "Иванов И.И.", "Ив"}));
        QCOMPARE(forms::form<TForm5>().DBGrid1->queryModel()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Должность"));
    }

    void searchNarrowsAndKeysMoveTheList() {
        QStringList afterTyping, afterErasing;
        QList<int> positions;
        QString textAfterKeys;
        int caretAfterKeys = -1;
        openFromMenu([&](TForm5& f5) {
            typeText(f5.Edit1, QStringLiteral("Ив"));
            afterTyping = names(dm().Workers);
            QTest::keyClick(f5.Edit1, Qt::Key_Backspace);
            QTest::keyClick(f5.Edit1, Qt::Key_Backspace);
            afterErasing = names(dm().Workers);
            QTest::keyClick(f5.Edit1, Qt::Key_Down);
            positions << dm().Workers.recNo();
            QTest::keyClick(f5.Edit1, Qt::Key_Down);
            positions << dm().Workers.recNo();
            QTest::keyClick(f5.Edit1, Qt::Key_Up);
            positions << dm().Workers.recNo();
            QTest::keyClick(f5.Edit1, Qt::Key_Up);
            QTest::keyClick(f5.Edit1, Qt::Key_Up);  // already on the first row
            positions << dm().Workers.recNo();
            // Caret keys and Delete do nothing in the search field.
            typeText(f5.Edit1, QStringLiteral("Пе"));
            f5.Edit1->setCursorPosition(1);
            for (Qt::Key k : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Delete, Qt::Key_Home, Qt::Key_End})
                QTest::keyClick(f5.Edit1, k);
            textAfterKeys = f5.Edit1->text();
            caretAfterKeys = f5.Edit1->cursorPosition();
            f5.Edit1->clear();
        });
        QCOMPARE(afterTyping, (QStringList{"Иваненко А.А.", "Иванов И.И."}));
        QCOMPARE(afterErasing.size(), 5);
        QCOMPARE(positions, (QList<int>{2, 3, 2, 1}));
        QCOMPARE(textAfterKeys, QStringLiteral("Пе"));
        QCOMPARE(caretAfterKeys, 1);
    }

    // Quotes and % typed into the search are plain characters.
    void searchIsLiteral_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("percent") << "%" << QStringList{};
        QTest::newRow("underscore") << "_" << QStringList{};
        QTest::newRow("quote") << "О'" << QStringList{"О'Нил О.О."};
        QTest::newRow("quote and percent") << "О'%" << QStringList{};
        QTest::newRow("statement text") << "' or ''='" << QStringList{};
    }
    void searchIsLiteral() {
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        QStringList seen;
        openFromMenu([&](TForm5& f5) {
            typeText(f5.Edit1, typed);
            seen = names(dm().Workers);
            f5.Edit1->clear();
        });
        QCOMPARE(seen, shown);
    }

    void pickingModes() {
        QString caption;
        bool layout = false;
        int rows = -1;
        // A list emptied by the search: "Выбрать" closes it and writes nothing.
        {
            ModalScript modal([&](QDialog* d) {
                auto* f5 = qobject_cast<TForm5*>(d);
                caption = f5->Button2->text();
                layout = f5->Tag == 1 && f5->Button2->isDefault() && f5->Button1->isHidden() && f5->Button3->isHidden() &&
                         !f5->Edit1->isHidden() && f5->Edit1->text().isEmpty() && !dm().Workers.filtered();
                typeText(f5->Edit1, QStringLiteral("Я"));
                rows = dm().Workers.recordCount();
                f5->Button2->click();
                return f5->result();
            });
            forms::form<TForm5>().Edit1->setText(QStringLiteral("Си"));  // left from the menu
            QVERIFY(!pickWorker(1));
            QCOMPARE(modal.shown.size(), 1);
        }
        QCOMPARE(caption, QStringLiteral("Выбрать"));
        QVERIFY(layout);
        QCOMPARE(rows, 0);
        QVERIFY(!dm().Workers.active());
        // A double click in the grid picks, and the name comes trimmed.
        {
            ModalScript modal([](QDialog* d) {
                auto* f5 = qobject_cast<TForm5*>(d);
                dm().Workers.locate(QStringLiteral("id"), 203);
                emit f5->DBGrid1->dblClick();
                return f5->result();
            });
            const auto pick = pickWorker(1);
            QVERIFY(pick);
            QCOMPARE(pick->fio, QStringLiteral("Петров П.П."));
            QCOMPARE(pick->id, 203);
        }
        // For the auxiliary work entry the list is set up the same way under tag 24.
        int tag = -1;
        {
            ModalScript modal([&](QDialog* d) {
                auto* f5 = qobject_cast<TForm5*>(d);
                tag = f5->Tag;
                layout = f5->Button2->text() == QStringLiteral("Выбрать") && f5->Button1->isHidden();
                return int(QDialog::Rejected);
            });
            QVERIFY(!pickWorker(24));  // left without a choice
        }
        QCOMPARE(tag, 24);
        QVERIFY(layout);
        QVERIFY(!dm().Workers.active());
    }

    void addTrimsAndKeepsLookups() {
        QStringList captions;
        int recAfter = -1;
        int departments = -1;
        QString departmentOnSecondUse, nameOnSecondUse;
        int step = 0;
        openFromMenu(
            [&](TForm5& f5) {
                dm().Workers.setRecNo(4);
                f5.Button1->click();
                recAfter = dm().Workers.recNo();
                f5.Button1->click();
            },
            [&](QDialog* d) {
                auto* f2 = qobject_cast<TForm2*>(d);
                captions << f2->windowTitle() << QString::number(f2->Tag);
                if (step++ == 0) {
                    departments = f2->LCB_department->count();
                    f2->Edit1->setText(QStringLiteral("  Новиков Н.Н.  "));
                    f2->LCB_department->setCurrentIndex(1);
                    f2->LCB_staffpos->setCurrentIndex(1);
                } else {
                    departmentOnSecondUse = f2->LCB_department->currentText();
                    nameOnSecondUse = f2->Edit1->text();
                    f2->Edit1->setText(QStringLiteral("Орлов"));
                }
                f2->Button1->click();
                return f2->result();
            });
        QCOMPARE(captions, (QStringList{"Заведение данных нового работника", "1", "Заведение данных нового работника", "1"}));
        QCOMPARE(departments, 2);
        QCOMPARE(recAfter, 1);  // the list was read again and stands on its first row
        QCOMPARE(departmentOnSecondUse, QStringLiteral("Участок покраски"));
        QCOMPARE(nameOnSecondUse, QString());
        const QStringList all = stored();  // new workers take the low identity keys
        QCOMPARE(all.mid(0, 2), (QStringList{"Новиков Н.Н.|Участок покраски", "Орлов|Участок покраски"}));
    }

    void blankNameIsRefused() {
        MessageLog log;
        int result = -1;
        openFromMenu([&](TForm5& f5) { f5.Button1->click(); },
                     [&](QDialog* d) {
                         auto* f2 = qobject_cast<TForm2*>(d);
                         f2->Edit1->setText(QStringLiteral("    "));
                         f2->setResult(0);
                         f2->Button1->click();
                         result = f2->result();
                         return int(QDialog::Rejected);
                     });
        QCOMPARE(log.texts(), QStringList{"ФИО нужно заполнить!"});
        QCOMPARE(log.messages[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(int(log.messages[0].icon), int(ui::Icon::Error));
        QCOMPARE(result, 0);  // the editor stayed open
        QCOMPARE(stored().size(), 5);
    }

    void cancelStoresNothing() {
        openFromMenu([&](TForm5& f5) { f5.Button1->click(); },
                     [&](QDialog* d) {
                         auto* f2 = qobject_cast<TForm2*>(d);
                         f2->Edit1->setText(QStringLiteral("Никто"));
                         f2->Button2->click();
                         return f2->result();
                     });
        QCOMPARE(stored().size(), 5);
    }

    void changeStaysOnTheRow() {
        QStringList seen;
        int recAfter = -1;
        QString nameAfter;
        openFromMenu(
            [&](TForm5& f5) {
                dm().Workers.setRecNo(4);  // Петров
                f5.Button2->click();
                recAfter = dm().Workers.recNo();
                nameAfter = dm().Workers.asString(QStringLiteral("fio"));
            },
            [&](QDialog* d) {
                auto* f2 = qobject_cast<TForm2*>(d);
                seen << f2->windowTitle() << QString::number(f2->Tag) << f2->Edit1->text()
                     << QString::number(f2->id_person);
                f2->Edit1->setText(QStringLiteral(" Петров П.А. "));
                f2->LCB_department->setCurrentIndex(0);
                f2->Button1->click();
                return f2->result();
            });
        QCOMPARE(seen, (QStringList{"Изменение данных работника", "2", "Петров П.П.", "203"}));
        QCOMPARE(recAfter, 4);
        QCOMPARE(nameAfter, QStringLiteral("Петров П.А."));
        QCOMPARE(stored()[2], QStringLiteral("Петров П.А.|Цех метизов"));
    }

    // Opening a worker for a change shows what is stored for the worker (a department's
    // name; a position's name with the position's department; a text no list has), no
    // role and nothing of the previous worker; a save that leaves the department alone
    // keeps the stored value, one that chooses a department stores its name.
    void changeShowsAndKeepsTheStoredPosition() {
        testdb::exec(QStringLiteral("update hrms_staffpos.staffpos set id_department=2 where id=2"));
        testdb::exec(QStringLiteral("update accounts_dep.person set s_staffpos_hl='Маляр' where id=202"));
        testdb::exec(QStringLiteral("update accounts_dep.person set s_staffpos_hl='Старший мастер' where id=204"));
        struct Step {
            int id;
            QString rename;
            int chooseDepartment;  // -1: leave it
        };
        const QList<Step> steps = {{201, QStringLiteral("Иванов И.П."), -1},
                                   {202, QStringLiteral("Иваненко А.Б."), -1},
                                   {204, QStringLiteral("Сидоров С.А."), -1},
                                   {203, QStringLiteral("Петров П.А."), -1},
                                   {201, QStringLiteral("Иванов И.П."), 1}};
        QStringList shown;
        int step = 0;
        openFromMenu(
            [&](TForm5& f5) {
                for (const Step& s : steps) {
                    QVERIFY(dm().Workers.locate(QStringLiteral("id"), s.id));
                    QTest::mouseClick(f5.Button2, Qt::LeftButton);
                }
            },
            [&](QDialog* d) {
                auto* f2 = qobject_cast<TForm2*>(d);
                const Step& s = steps[step++];
                shown << f2->LCB_department->currentText() + QLatin1Char('/') + f2->LCB_staffpos->currentText() +
                             QLatin1Char('/') + f2->LCB_roles->currentText();
                // What the previous worker had must not stick: pick a role, as a user might.
                f2->LCB_roles->setCurrentIndex(1);
                f2->Edit1->setText(s.rename);
                if (s.chooseDepartment >= 0) f2->LCB_department->setCurrentIndex(s.chooseDepartment);
                QTest::mouseClick(f2->Button1, Qt::LeftButton);
                return f2->result();
            });
        QCOMPARE(step, 5);
        QCOMPARE(shown, (QStringList{"Цех метизов//", "Участок покраски/Маляр/", "Старший мастер//", "//",
                                     "Цех метизов//"}));
        QCOMPARE(stored(), (QStringList{"Иванов И.П.|Участок покраски", "Иваненко А.Б.|Маляр", "Петров П.А.|",
                                        "Сидоров С.А.|Старший мастер", "О'Нил О.О.|"}));
    }

    // A name with a quote is stored as typed and breaks nothing.
    void namesWithQuotesAreStoredIntact() {
        const QString dartagnan = QStringLiteral("Д'Артаньян Ш.");
        const QString sneaky = QStringLiteral("O'Brien'); delete from accounts_dep.person; --");
        int step = 0;
        openFromMenu(
            [&](TForm5& f5) {
                f5.Button1->click();
                QVERIFY(dm().Workers.locate(QStringLiteral("fio"), dartagnan));
                f5.Button2->click();
            },
            [&](QDialog* d) {
                auto* f2 = qobject_cast<TForm2*>(d);
                f2->Edit1->setText(step++ == 0 ? dartagnan : sneaky);
                f2->Button1->click();
                return f2->result();
            });
        QCOMPARE(stored().size(), 6);
        QCOMPARE(stored().first(), sneaky + QLatin1Char('|'));
        QCOMPARE(testdb::scalarInt("select count(*) from accounts_dep.person where fio like 'O''Brien%'"), 1);
    }

    void deleteAsksFirst() {
        MessageLog log;
        log.answers << QMessageBox::No;
        QList<int> positions;
        QStringList afterNo, afterYes, afterLast;
        openFromMenu([&](TForm5& f5) {
            dm().Workers.setRecNo(2);
            f5.Button3->click();
            afterNo = names(dm().Workers);
            positions << dm().Workers.recNo();
            f5.Button3->click();
            afterYes = names(dm().Workers);
            positions << dm().Workers.recNo();
            dm().Workers.last();
            f5.Button3->click();
            afterLast = names(dm().Workers);
            positions << dm().Workers.recNo();
        });
        QCOMPARE(log.texts(), (QStringList{"Удалить работника?", "Удалить работника?", "Удалить работника?"}));
        QCOMPARE(log.messages[0].caption, QStringLiteral("Удаление"));
        QCOMPARE(int(log.messages[0].icon), int(ui::Icon::Question));
        QCOMPARE(afterNo.size(), 5);
        QCOMPARE(afterYes, (QStringList{"Иваненко А.А.", "О'Нил О.О.", "Петров П.П.", "Сидоров С.С."}));
        QCOMPARE(afterLast, (QStringList{"Иваненко А.А.", "О'Нил О.О.", "Петров П.П."}));
        QCOMPARE(positions, (QList<int>{2, 2, 3}));  // past the end: the new last row
        QCOMPARE(stored().size(), 3);
    }

    // The real question box: "Нет" is its default button, so Enter deletes nothing;
    // "Да" still deletes.
    void deleteQuestionDefaultsToNo() {
        QStringList seen;
        auto answer = [&](bool yes) {
            QTimer::singleShot(0, [&seen, yes] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box) {
                    seen << QStringLiteral("no box");
                    return;
                }
                const bool noIsDefault = box->standardButton(box->defaultButton()) == QMessageBox::No;
                seen << box->text() + QLatin1Char('|') + box->windowTitle() + QLatin1Char('|') +
                            (noIsDefault ? QStringLiteral("default No") : QStringLiteral("default Yes"));
                if (yes) QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
                else QTest::keyClick(box, Qt::Key_Return);
            });
        };
        QStringList afterEnter, afterYes;
        openFromMenu([&](TForm5& f5) {
            dm().Workers.setRecNo(2);  // Иванов
            answer(false);
            QTest::mouseClick(f5.Button3, Qt::LeftButton);
            afterEnter = names(dm().Workers);
            answer(true);
            QTest::mouseClick(f5.Button3, Qt::LeftButton);
            afterYes = names(dm().Workers);
        });
        QCOMPARE(seen, (QStringList{"Удалить работника?|Удаление|default No", "Удалить работника?|Удаление|default No"}));
        QCOMPARE(afterEnter.size(), 5);
        QCOMPARE(afterYes, (QStringList{"Иваненко А.А.", "О'Нил О.О.", "Петров П.П.", "Сидоров С.С."}));
    }

    void deleteRefusedByTheDatabaseKeepsTheList() {
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.fatigue(id_p, d_date, i_smena, cnt, price) values (201, '2024-03-05', 1, 2, 100)"));
        MessageLog log;
        int rec = -1;
        openFromMenu([&](TForm5& f5) {
            dm().Workers.locate(QStringLiteral("id"), 201);
            f5.Button3->click();
            rec = dm().Workers.recNo();
        });
        QCOMPARE(log.messages.size(), 2);
        QVERIFY2(log.lastFailure().contains("fatigue"), qPrintable(log.lastText() + " | " + log.lastDetails()));
        QCOMPARE(rec, 2);
        QCOMPARE(stored().size(), 5);
    }

    void wheelStepsTheFocusedLookup() {
        TForm2& f2 = forms::form<TForm2>();
        f2.reopenLookups();
        f2.LCB_department->setCurrentIndex(0);
        f2.LCB_roles->setCurrentIndex(0);
        f2.show();
        f2.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f2));
        f2.LCB_department->setFocus();
        QVERIFY(f2.LCB_department->hasFocus());
        QWheelEvent down(QPointF(5, 5), f2.LCB_department->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(f2.LCB_roles, &down);  // over another lookup: the focused one moves
        QCOMPARE(f2.LCB_department->currentIndex(), 1);
        QCOMPARE(f2.LCB_roles->currentIndex(), 0);
        f2.FormMouseWheelUp();
        QCOMPARE(f2.LCB_department->currentIndex(), 0);
        f2.hide();
    }
};

QTEST_MAIN(TestWorkers)
#include "test_workers.moc"
