// The priced operations list and the norms window.
#include "core/datamodule.h"
#include "gui/dbgrid.h"
#include "gui/forms.h"
#include "core/signin.h"
#include "journal/tform1.h"
#include "journal/tform11.h"
#include "refbooks/tform22.h"
#include "refbooks/tform4.h"
#include "support/testdb.h"

#include <QtTest>

using namespace mirn;

namespace {
// Listed by mark, type and kind: 1 КР-100 Резка, 2 ПР-1000 Гибка, 3 ПР-1000 Резка, 4 ХМ-40 Гибка,
// 5 ХМ-40 Резка (no norm: listed with an empty price).
void loadFixture() {
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa) values "
        "(1, 'КР-100', '', 6, 1), (2, 'ХМ-40', '', 6, 1), (3, 'ПР-1000', '', 6, 1)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Гибка')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values "
        "(1, 1, 0, 1, 0), (2, 2, 1, 3, 0), (3, 1, 1, 3, 0), (4, 2, 0, 2, 0), (5, 1, 0, 2, 0)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.norm(id, o_id, norma, prize, price) values "
        "(101, 1, 100, 0, 12.5), (102, 2, 20, 5, 8), (103, 2, 10, 0, 10), (104, 3, 10, 0, 7), (105, 4, 10, 0, 9)"));
}

QStringList marks(const Query& q) {
    QStringList out;
    for (int r = 0; r < q.recordCount(); ++r)
        out << q.value(r, QStringLiteral("marka")).toString() + QLatin1Char(' ') + q.value(r, QStringLiteral("vid")).toString();
    return out;
}

// The norms as stored: "norma price prize" of one operation, by norma.
QStringList storedNorms(int oid) {
    QStringList out;
    for (const QVariantList& r : testdb::rows(QStringLiteral(
             "select coalesce(norma::text, '-'), coalesce(price::text, '-'), coalesce(prize::text, '-') "
             "from accounts_dep.norm where o_id=%1 order by norma nulls last").arg(oid)))
        out << r[0].toString() + QLatin1Char(' ') + r[1].toString() + QLatin1Char(' ') + r[2].toString();
    return out;
}

// What the norms grid shows, row by row.
QStringList gridRows(const TForm22& f) {
    QStringList out;
    for (int r = 0; r < f.model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < 3; ++c) cells << f.model->data(f.model->index(r, c), Qt::DisplayRole).toString();
        out << cells.join(QLatin1Char(' '));
    }
    return out;
}

// Opens the list from the menu and runs `body` while it shows; other windows go to `other`.
void openFromMenu(const std::function<void(TForm4&)>& body, const ModalScript::Handler& other = {}) {
    ModalScript modal([&](QDialog* d) {
        if (auto* f4 = qobject_cast<TForm4*>(d)) {
            body(*f4);
            return int(QDialog::Rejected);
        }
        return other ? other(d) : int(QDialog::Rejected);
    });
    forms::form<TForm1>().N4->trigger();
}
}  // namespace

class TestNormsPrices : public QObject {
    Q_OBJECT
private slots:
    void init() {
        testdb::startApp(QStringLiteral("t_norms"));
        loadFixture();
        signIn();
    }
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void cleanupTestCase() { testdb::stopApp(); }

    void menuOpensReferenceMode() {
        bool layout = false;
        QStringList listed, titles;
        QStringList firstRow;
        openFromMenu([&](TForm4& f4) {
            layout = f4.Tag == 0 && f4.Button2->text() == QStringLiteral("Изменить") && !f4.Button2->isDefault() &&
                     f4.Button1->isDefault() && !f4.Button1->isHidden() && !f4.Button3->isHidden() &&
                     !f4.Edit1->isHidden() && f4.windowTitle() == QStringLiteral("Операции");
            listed = marks(dm().Oper);
            QueryModel* m = f4.DBGrid1->queryModel();
            for (int c = 0; c < m->columnCount(); ++c)
                if (!f4.DBGrid1->isColumnHidden(c)) titles << m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            for (int c = 0; c < 5; ++c) firstRow << m->data(m->index(1, c), Qt::DisplayRole).toString();
        });
        QVERIFY(layout);
        QCOMPARE(listed, (QStringList{"КР-100 Резка", "ПР-1000 Гибка", "ПР-1000 Резка", "ХМ-40 Гибка", "ХМ-40 Резка"}));
        QCOMPARE(titles, (QStringList{"Марка", "Опреция", "Цена (min)", "Вид", "Нормы (шт.)"}));
        QCOMPARE(firstRow, (QStringList{"ПР-1000", "Гибка", "8.00", "Заготовки", "2"}));
        QVERIFY(!dm().Oper.active());
    }

    void searchAnywhereInTheMark() {
        QStringList seen;
        QList<int> ids;
        openFromMenu([&](TForm4& f4) {
            typeText(f4.Edit1, QStringLiteral("100"));
            seen << QString::number(dm().Oper.recordCount());
            QTest::keyClick(f4.Edit1, Qt::Key_Down);
            QTest::keyClick(f4.Edit1, Qt::Key_Down);
            ids << dm().Oper.asInt(QStringLiteral("id"));
            QTest::keyClick(f4.Edit1, Qt::Key_Up);
            ids << dm().Oper.asInt(QStringLiteral("id"));
            f4.Edit1->clear();
            seen << QString::number(dm().Oper.recordCount());
            ids << dm().Oper.asInt(QStringLiteral("id"));  // switching the search off stays on the row
            typeText(f4.Edit1, QStringLiteral("%"));
            seen << QString::number(dm().Oper.recordCount());
            f4.Edit1->setText(QStringLiteral("  "));
            seen << QString::number(dm().Oper.recordCount());
            f4.Edit1->setText(QStringLiteral("'"));
            seen << QString::number(dm().Oper.recordCount());
            f4.Edit1->setText(QStringLiteral("00"));
        });
        QCOMPARE(seen, (QStringList{"3", "5", "0", "5", "0"}));
        QCOMPARE(ids, (QList<int>{3, 2, 2}));
        // The search stays between openings from the menu.
        openFromMenu([&](TForm4& f4) { seen = QStringList{f4.Edit1->text()} + marks(dm().Oper); });
        QCOMPARE(seen, (QStringList{"00", "КР-100 Резка", "ПР-1000 Гибка", "ПР-1000 Резка"}));
    }

    void deleteAsksAndTheDatabaseDecides() {
        MessageLog log;
        log.answers << QMessageBox::No;
        QStringList after;
        openFromMenu([&](TForm4& f4) {
            dm().Oper.setRecNo(3);
            f4.Button3->click();  // No
            after << QString::number(dm().Oper.recordCount()) << QString::number(dm().Oper.recNo());
            f4.Button3->click();  // Yes, but its norms still refer to it
            after << QString::number(dm().Oper.recordCount()) << QString::number(dm().Oper.recNo());
        });
        QCOMPARE(log.texts().mid(0, 2), (QStringList{"Удалить операцию?", "Удалить операцию?"}));
        QCOMPARE(log.messages[0].caption, QStringLiteral("Удаление"));
        QCOMPARE(log.messages.size(), 3);
        QVERIFY2(log.lastFailure().contains("norm"), qPrintable(log.lastText() + " | " + log.lastDetails()));
        QCOMPARE(after, (QStringList{"5", "3", "5", "3"}));
        QCOMPARE(testdb::scalarInt("select count(*) from accounts_dep.oper"), 5);
    }

    void doubleClickOpensNormsOrPicks() {
        QStringList normsShown;
        int normsOpened = 0;
        openFromMenu(
            [&](TForm4& f4) {
                dm().Oper.setRecNo(2);  // ПР-1000 Гибка, two norms
                emit f4.DBGrid1->dblClick();  // without "Цены": the editor's change, not built here
                f4.CheckBox1->setChecked(true);
                emit f4.DBGrid1->dblClick();
            },
            [&](QDialog* d) {
                auto* f22 = qobject_cast<TForm22*>(d);
                if (!f22) return int(QDialog::Rejected);
                ++normsOpened;
                normsShown = gridRows(*f22);
                normsShown << QString::number(f22->norm.oidFilter()) << f22->windowTitle();
                return int(QDialog::Rejected);
            });
        QCOMPARE(normsOpened, 1);
        QCOMPARE(normsShown, (QStringList{"10 10.00 0", "20 8.00 5", "2", "Норматив"}));
        // In picking mode a double click picks, whatever the check box.
        TForm4& f4 = forms::form<TForm4>();
        QVERIFY(f4.CheckBox1->isChecked());
        TForm1& f1 = forms::form<TForm1>();
        f1.DateT->setDate(QDate(2024, 3, 5));
        f1.DateTChange();
        f1.CurrentShift = 1;
        TForm11& f11 = forms::form<TForm11>();
        f11.Tag = 1;
        f11.Edit6->setText(QStringLiteral("1"));
        ModalScript modal([](QDialog* d) {
            auto* list = qobject_cast<TForm4*>(d);
            if (!list) return int(QDialog::Rejected);
            dm().Oper.locate(QStringLiteral("id"), 3);
            emit list->DBGrid1->dblClick();
            return list->result();
        });
        f11.Button4->click();
        QCOMPARE(modal.shown.size(), 1);
        QCOMPARE(f11.o_id, 3);
        QCOMPARE(f11.i_id, 3);
        QCOMPARE(f11.Edit2->text(), QStringLiteral("ПР-1000; Резка; Заготовки"));
        QCOMPARE(f11.cena, 7.0);
    }

    // An operation without norms (as "Добавить" leaves it) is listed with an empty price;
    // picking it for an entry is refused with a message and changes nothing; "Цены"
    // gives it its first norm, after which it is listed with that price and picked.
    void operationWithoutNormsGetsItsFirstNormFromTheList() {
        MessageLog log;
        TForm1& f1 = forms::form<TForm1>();
        f1.DateT->setDate(QDate(2024, 3, 5));
        f1.CurrentShift = 1;
        TForm11& f11 = forms::form<TForm11>();
        f11.Tag = 1;
        f11.o_id = 0;
        f11.Edit2->clear();
        f11.Edit6->setText(QStringLiteral("1"));
        auto pick = [&](int id) {
            ModalScript modal([id](QDialog* d) {
                auto* list = qobject_cast<TForm4*>(d);
                if (!list) return int(QDialog::Rejected);
                dm().Oper.locate(QStringLiteral("id"), id);
                QTest::mouseClick(list->Button2, Qt::LeftButton);  // "Выбрать"
                return list->result();
            });
            QTest::mouseClick(f11.Button4, Qt::LeftButton);
        };
        pick(1);
        QCOMPARE(f11.o_id, 1);
        QCOMPARE(f11.cena, 12.5);
        pick(5);
        QCOMPARE(log.texts(), QStringList{QStringLiteral(
                                  "У операции \"ХМ-40; Резка; Готовая продукция\" ещё нет цены: задайте её в списке "
                                  "операций кнопкой \"Цены\"!")});
        QCOMPARE(f11.o_id, 1);  // the entry keeps its operation and price
        QCOMPARE(f11.cena, 12.5);
        QCOMPARE(f11.Edit2->text(), QStringLiteral("КР-100; Резка; Готовая продукция"));
        QCOMPARE(f11.Edit8->text(), QStringLiteral("12.5"));

        QStringList row5, after;
        openFromMenu(
            [&](TForm4& f4) {
                QVERIFY(dm().Oper.locate(QStringLiteral("id"), 5));
                QueryModel* m = f4.DBGrid1->queryModel();
                const int r = dm().Oper.recNo() - 1;
                for (int c = 0; c < 5; ++c) row5 << m->data(m->index(r, c), Qt::DisplayRole).toString();
                f4.CheckBox1->setChecked(true);
                emit f4.DBGrid1->dblClick();
                after << dm().Oper.asString(QStringLiteral("marka")) + QLatin1Char(' ') +
                             dm().Oper.asString(QStringLiteral("vid"))
                      << QString::number(toDouble(dm().Oper.field(QStringLiteral("cena"))))
                      << dm().Oper.asString(QStringLiteral("norma"));
            },
            [&](QDialog* d) {
                auto* f22 = qobject_cast<TForm22*>(d);
                if (!f22) return int(QDialog::Rejected);
                // The grid of an operation without norms stands on a new row: type the price.
                f22->DBGrid1->setCurrentIndex(f22->model->index(0, 1));
                f22->model->setData(f22->model->index(0, 1), QStringLiteral("3"), Qt::EditRole);
                QTest::mouseClick(f22->Button1, Qt::LeftButton);  // "Сохранить"
                return f22->result();
            });
        QCOMPARE(row5, (QStringList{"ХМ-40", "Резка", "", "Готовая продукция", "0"}));
        QCOMPARE(storedNorms(5), QStringList{"- 3 -"});
        QCOMPARE(after, (QStringList{"ХМ-40 Резка", "3", "1"}));

        log.clear();
        dm().Oper.open();
        pick(5);
        QVERIFY(log.messages.isEmpty());
        QCOMPARE(f11.o_id, 5);
        QCOMPARE(f11.cena, 3.0);
        QCOMPARE(f11.Edit2->text(), QStringLiteral("ХМ-40; Резка; Готовая продукция"));
    }

    // After a pick with a search, the list opened from the menu shows a search text
    // and a list that agree.
    void searchTextAndListAgreeAfterAPick() {
        TForm11& f11 = forms::form<TForm11>();
        f11.Tag = 1;
        f11.Edit6->setText(QStringLiteral("1"));
        ModalScript modal([](QDialog* d) {
            auto* list = qobject_cast<TForm4*>(d);
            if (!list) return int(QDialog::Rejected);
            typeText(list->Edit1, QStringLiteral("ПР"));
            QTest::mouseClick(list->Button2, Qt::LeftButton);
            return list->result();
        });
        QTest::mouseClick(f11.Button4, Qt::LeftButton);
        QCOMPARE(f11.o_id, 2);
        QString text;
        QStringList listed;
        openFromMenu([&](TForm4& f4) {
            text = f4.Edit1->text();
            listed = marks(dm().Oper);
        });
        const QStringList all{"КР-100 Резка", "ПР-1000 Гибка", "ПР-1000 Резка", "ХМ-40 Гибка", "ХМ-40 Резка"};
        QStringList agreeing;
        for (const QString& m : all)
            if (m.contains(text, Qt::CaseInsensitive)) agreeing << m;
        QCOMPARE(listed, agreeing);
        // A search typed in the menu's list stays with its list at the next opening.
        openFromMenu([&](TForm4& f4) { typeText(f4.Edit1, QStringLiteral("ХМ")); });
        openFromMenu([&](TForm4& f4) {
            text = f4.Edit1->text();
            listed = marks(dm().Oper);
        });
        QCOMPARE(text, QStringLiteral("ХМ"));
        QCOMPARE(listed, (QStringList{"ХМ-40 Гибка", "ХМ-40 Резка"}));
    }

    // A norm price typed as "nan" in the norms window is refused with the field and its
    // range named, and nothing is stored (item 5 of issue 10, through the real grid).
    void nanPriceIsRefusedInTheNormsWindow() {
        MessageLog log;
        TForm22& f = forms::form<TForm22>();
        dm().Oper.open();
        QVERIFY(dm().Oper.locate(QStringLiteral("id"), 1));
        f.norm.close();
        f.norm.setOidFilter(1);
        f.norm.open();
        f.DBGrid1->setCurrentIndex(f.model->index(0, 1));
        f.model->setData(f.model->index(0, 1), QStringLiteral("nan"), Qt::EditRole);
        f.DBGrid1->setCurrentIndex(f.model->index(0, 0));  // leaving the column stores the row
        QCOMPARE(storedNorms(1), QStringList{"100 12.5 0"});
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.lastText().contains(QStringLiteral("Цена")), qPrintable(log.lastText()));
        QVERIFY2(log.lastText().contains(QStringLiteral("1000000")) || log.lastText().contains(QStringLiteral("1 000 000")),
                 qPrintable(log.lastText()));
    }

    void normPriceFormat_data() {
        QTest::addColumn<double>("price");
        QTest::addColumn<QString>("shown");
        QTest::newRow("whole") << 7.0 << "7.00";
        QTest::newRow("one decimal") << 12.5 << "12.50";
        QTest::newRow("three decimals") << 0.125 << "0.125";
        QTest::newRow("rounded to three") << 10.1236 << "10.124";
        QTest::newRow("small") << 0.0 << "0.00";
    }
    void normPriceFormat() {
        QFETCH(double, price);
        QFETCH(QString, shown);
        QCOMPARE(normPriceText(price), shown);
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(normPriceText(price), QString(shown).replace('.', ','));
    }

    // Add a norm, change a price, delete down to the last norm, close with Esc:
    // the list then shows the new lowest price and count on the same row.
    void editNormsInTheGrid() {
        MessageLog log;
        QStringList steps;
        QString operRowAfter;
        int operRecAfter = -1;
        int closedWith = -1;
        openFromMenu(
            [&](TForm4& f4) {
                f4.CheckBox1->setChecked(true);
                dm().Oper.setRecNo(2);
                emit f4.DBGrid1->dblClick();
                operRecAfter = dm().Oper.recNo();
                operRowAfter = QStringLiteral("%1 %2 %3")
                                   .arg(dm().Oper.asInt(QStringLiteral("id")))
                                   .arg(dm().Oper.asString(QStringLiteral("cena")))
                                   .arg(dm().Oper.asInt(QStringLiteral("norma")));
            },
            [&](QDialog* d) {
                auto* f = qobject_cast<TForm22*>(d);
                NormModel* m = f->model;
                NormGrid* g = f->DBGrid1;
                auto at = [m](int r, int c) { return m->index(r, c); };
                // Change the price of the first norm; it is stored on leaving the column.
                g->setCurrentIndex(at(0, 1));
                m->setData(at(0, 1), QStringLiteral("6.5"), Qt::EditRole);
                steps << QString::number(storedNorms(2).size()) + QLatin1Char(':') + storedNorms(2).join(',');
                g->setCurrentIndex(at(0, 2));
                steps << storedNorms(2).join(',');
                // Down on the last row starts a new norm; each cell is stored when left.
                g->setCurrentIndex(at(1, 0));
                QTest::keyClick(g, Qt::Key_Down);
                steps << QString::number(m->rowCount()) + QLatin1Char(' ') + QString::number(f->norm.recNo()) +
                             (f->newRow ? " new" : " old");
                m->setData(g->currentIndex(), QStringLiteral("30"), Qt::EditRole);
                g->setCurrentIndex(m->index(g->currentIndex().row(), 1));
                steps << storedNorms(2).join(',');
                m->setData(g->currentIndex(), QStringLiteral("5,25"), Qt::EditRole);
                // A typed text that is no number: reported, the row stays being edited.
                m->setData(m->index(g->currentIndex().row(), 2), QStringLiteral("abc"), Qt::EditRole);
                steps << log.texts().join('|') + (f->norm.modified() ? " pending" : " stored");
                g->setCurrentIndex(m->index(g->currentIndex().row(), 2));
                steps << storedNorms(2).join(',');
                steps << gridRows(*f).join(',');
                // Delete down to the last norm: the last one stays.
                g->setCurrentIndex(at(0, 0));
                for (int i = 0; i < 4; ++i) f->Button2->click();
                steps << storedNorms(2).join(',');
                // A pending change, then Esc: stored and closed.
                g->setCurrentIndex(at(0, 1));
                m->setData(at(0, 1), QStringLiteral("4"), Qt::EditRole);
                f->setResult(0);
                QTest::keyClick(f, Qt::Key_Escape);
                steps << storedNorms(2).join(',');
                closedWith = f->result();
                return f->result();
            });
        QCOMPARE(steps, (QStringList{
                            "2:10 10 0,20 8 5",                       // not yet stored
                            "10 6.5 0,20 8 5",                        // stored on leaving the column
                            "3 -1 new",                               // on the new row
                            "10 6.5 0,20 8 5,30 - -",                 // a new norm with its o_id
                            "\"abc\" не является числом pending",
                            "10 6.5 0,20 8 5,30 5.25 -",
                            "10 6.50 0,20 8.00 5,30 5.25 ",
                            "30 5.25 -",                              // the current row went first
                            "30 4 -",
                        }));
        QCOMPARE(closedWith, int(QDialog::Accepted));
        QCOMPARE(operRecAfter, 2);
        QCOMPARE(operRowAfter, QStringLiteral("2 4 1"));
        QCOMPARE(testdb::scalarInt("select count(*) from accounts_dep.norm where o_id is null"), 0);
    }

    // Typing into the grid with the keyboard, as a user does.
    void keyboardEditing() {
        openFromMenu(
            [&](TForm4& f4) {
                f4.CheckBox1->setChecked(true);
                dm().Oper.setRecNo(1);
                emit f4.DBGrid1->dblClick();
            },
            [&](QDialog* d) {
                auto* f = qobject_cast<TForm22*>(d);
                f->show();
                f->activateWindow();
                if (!QTest::qWaitForWindowActive(f)) return int(QDialog::Rejected);
                f->DBGrid1->setFocus();
                f->DBGrid1->setCurrentIndex(f->model->index(0, 1));
                QTest::keyClick(f->DBGrid1, Qt::Key_1);  // opens the cell's editor with the key
                QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("1.5"));
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                f->hide();
                return int(QDialog::Accepted);
            });
        QCOMPARE(storedNorms(1), QStringList{"100 11.5 0"});
    }

    void emptyOperationGetsItsFirstNorm() {
        // An operation whose norms were all removed elsewhere: the grid stands on a new row.
        TForm22& f = forms::form<TForm22>();
        dm().Oper.open();
        dm().Oper.locate(QStringLiteral("id"), 4);
        testdb::exec("delete from accounts_dep.norm where o_id=4");
        f.norm.close();
        f.norm.setOidFilter(4);
        f.norm.open();
        QCOMPARE(f.model->rowCount(), 1);
        QVERIFY(f.norm.recNo() < 0);
        f.DBGrid1->setCurrentIndex(f.model->index(0, 1));
        QVERIFY(f.newRow);
        f.model->setData(f.model->index(0, 1), QStringLiteral("3"), Qt::EditRole);
        f.DBGrid1->setCurrentIndex(f.model->index(0, 0));
        QCOMPARE(storedNorms(4), QStringList{"- 3 -"});
        QCOMPARE(f.norm.recordCount(), 1);
        QVERIFY(!f.newRow);
    }
};

QTEST_MAIN(TestNormsPrices)
#include "test_norms_prices.moc"
