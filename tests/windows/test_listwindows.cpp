// The reference-book list windows side by side, driven by real key and mouse events:
// Enter in the grid and a double click on a row in reference mode (the editors open,
// a change on the row clicked) and in picking mode (the row is handed back), the search
// field's filter (from the beginning, or anywhere in the priced operations' mark) and
// Up and Down in the search field.
#include "core/datamodule.h"
#include "gui/forms.h"
#include "journal/tform1.h"
#include "refbooks/crosslinks.h"
#include "refbooks/tform10.h"
#include "refbooks/tform2.h"
#include "refbooks/tform26.h"
#include "refbooks/tform3.h"
#include "refbooks/tform4.h"
#include "refbooks/tform5.h"
#include "refbooks/tform7.h"
#include "refbooks/tform8.h"
#include "refbooks/tform9.h"
#include "support/testdb.h"

#include <QtTest>

using namespace mirn;

namespace {
// Workers by name: Иваненко (2), Иванов (1), Петров (3), Сидоров (4).
// Products by mark: КР-100 (1), КР-200 (2), ХМ-40 (3); groups Кронштейны (500),
// Хомуты (501), Хвостовики (502); types by name: Покраска (2), Резка (1), Рихтовка (3).
// Priced operations by mark: КР-100 Резка (10), КР-200 Рихтовка (12), ХМ-40 Покраска (11).
void loadFixture() {
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.person(id, fio, s_staffpos_hl) values "
        "(1, 'Иванов И.И.', ''), (2, 'Иваненко А.А.', ''), (3, 'Петров П.П.', ''), (4, 'Сидоров С.С.', '')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_classifier.item(id, id_level, s_caption) values "
        "(500, 2, 'Кронштейны'), (501, 2, 'Хомуты'), (502, 2, 'Хвостовики')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) values "
        "(1, 'КР-100', '', 6, 1.5, 500), (2, 'КР-200', '', 6, 2, 500), (3, 'ХМ-40', '', 6, 0.2, 501)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Покраска'), (3, 'Рихтовка')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values "
        "(10, 1, 0, 1, 0), (11, 2, 0, 3, 0), (12, 3, 1, 2, 0)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.norm(o_id, norma, prize, price) values (10, 10, 0, 3), (11, 10, 0, 4), (12, 10, 0, 5)"));
}

ListWindow& window(const QString& name) {
    if (name == QLatin1String("workers")) return forms::form<TForm5>();
    if (name == QLatin1String("products")) return forms::form<TForm3>();
    if (name == QLatin1String("types")) return forms::form<TForm8>();
    if (name == QLatin1String("prices")) return forms::form<TForm4>();
    return forms::form<TForm26>();
}

// The field the search of the window looks in.
QString searched(const QString& name) {
    if (name == QLatin1String("workers")) return QStringLiteral("fio");
    if (name == QLatin1String("types")) return QStringLiteral("vid");
    if (name == QLatin1String("nomenclature")) return QStringLiteral("s_caption");
    return QStringLiteral("marka");
}

// Opens the window in picking mode as its dialog does; what it handed back.
QString pick(const QString& name) {
    const QString none = QStringLiteral("none");
    auto two = [](int id, const QString& text) { return QString::number(id) + QLatin1Char('|') + text; };
    if (name == QLatin1String("workers")) {
        const auto p = pickWorker(1);
        return p ? two(p->id, p->fio) : none;
    }
    if (name == QLatin1String("products")) {
        const auto p = forms::form<TForm3>().pick();
        return p ? two(p->id, p->marka) : none;
    }
    if (name == QLatin1String("types")) {
        const auto p = forms::form<TForm8>().pick();
        return p ? two(p->id, p->vid) : none;
    }
    if (name == QLatin1String("prices")) {
        const auto p = forms::form<TForm4>().pick(1, TForm4::StartAt::FirstRow);
        return p ? two(p->o_id, p->marka.trimmed() + QLatin1Char('|') + p->vid.trimmed()) : none;
    }
    const auto p = forms::form<TForm26>().pick();
    return p ? two(p->id, p->caption) : none;
}

// Opens the window from the journal's menu.
void openReference(const QString& name) {
    TForm1& f1 = forms::form<TForm1>();
    if (name == QLatin1String("workers")) f1.N1->trigger();
    else if (name == QLatin1String("products")) f1.N3->trigger();
    else if (name == QLatin1String("types")) f1.N6->trigger();
    else f1.N4->trigger();
}

// An editor as it opened: its caption and the text of its first field.
QString editorShown(QDialog* d) {
    QLineEdit* first = nullptr;
    if (auto* e = qobject_cast<TForm2*>(d)) first = e->Edit1;
    else if (auto* e7 = qobject_cast<TForm7*>(d)) first = e7->Edit1;
    else if (auto* e9 = qobject_cast<TForm9*>(d)) first = e9->Edit1;
    else if (auto* e10 = qobject_cast<TForm10*>(d)) first = e10->Edit1;
    return d->windowTitle() + QLatin1Char('|') + (first ? first->text() : QStringLiteral("?"));
}

// Shows the list window for real, so that the grid has rows on the screen to click.
void showForReal(QDialog* d) {
    d->setResult(QDialog::Rejected);
    d->show();
    d->activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(d));
}

// The gesture on the grid: Enter on the current row, or a double click on row `row`.
void gesture(DBGrid* grid, const QString& how, int row) {
    if (how == QLatin1String("enter")) {
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Return);
        return;
    }
    const QRect cell = grid->visualRect(grid->model()->index(row, 0));
    QVERIFY(cell.isValid());
    // A real double click comes after a press and release on the row; QTest's double
    // click on a widget is the double-click event alone.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
}

// Types text into a field, one key event per character (keyClicks cannot send Cyrillic).
void typeKeys(QWidget* w, const QString& text) {
    for (QChar c : text) QTest::sendKeyEvent(QTest::Click, w, Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
}

QStringList shownRows(const ListWindow& f, const QString& field) {
    QStringList out;
    for (int r = 0; r < f.list().recordCount(); ++r) out << f.list().value(r, field).toString().trimmed();
    return out;
}
}  // namespace

class TestListWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        testdb::startApp(QStringLiteral("t_listwindows"));
        loadFixture();
        signIn();
    }
    void cleanupTestCase() { testdb::stopApp(); }

    // Enter presses the default button, a double click changes or picks the row under
    // the mouse; what opened (the editor, its caption and first field) or what came back.
    void enterAndDoubleClick_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<bool>("picking");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("outcome");
        struct Case {
            const char *list, *addTitle, *changeTitle, *firstPick, *secondPick, *secondField;
        };
        const Case cases[] = {
            {"workers", "Заведение данных нового работника", "Изменение данных работника", "2|Иваненко А.А.",
             "1|Иванов И.И.", "Иванов И.И."},
            {"products", "Заведение нового изделия", "Изменение данных изделия", "1|КР-100", "2|КР-200", "КР-200"},
            {"types", "Заведение нового вида операций", "Изменение данных вида операции", "2|Покраска", "1|Резка",
             "Резка"},
            {"prices", "Заведение новой цены за операцию", "Изменение данных о цене за операцию",
             "10|КР-100|Резка", "12|КР-200|Рихтовка", "КР-200"},
        };
        for (const Case& c : cases) {
            const QString list = QString::fromUtf8(c.list);
            QTest::addRow("%s reference Enter adds", c.list)
                << list << false << "enter" << QString::fromUtf8(c.addTitle) + QLatin1Char('|');
            QTest::addRow("%s reference double click changes the row", c.list)
                << list << false << "double click"
                << QString::fromUtf8(c.changeTitle) + QLatin1Char('|') + QString::fromUtf8(c.secondField);
            QTest::addRow("%s picking Enter picks the current row", c.list)
                << list << true << "enter" << QString::fromUtf8(c.firstPick);
            QTest::addRow("%s picking double click picks the row", c.list)
                << list << true << "double click" << QString::fromUtf8(c.secondPick);
        }
        // The nomenclature picker has no reference mode and no default button.
        QTest::newRow("nomenclature Enter picks the current row") << "nomenclature" << true << "enter"
                                                                  << "500|Кронштейны";
        QTest::newRow("nomenclature double click picks the row") << "nomenclature" << true << "double click"
                                                                 << "501|Хомуты";
    }
    void enterAndDoubleClick() {
        QFETCH(QString, list);
        QFETCH(bool, picking);
        QFETCH(QString, how);
        QFETCH(QString, outcome);
        ListWindow& f = window(list);
        f.Edit1->clear();
        QStringList editors;
        bool listClosed = false;
        ModalScript modal([&](QDialog* d) {
            if (d != &f) {
                editors << editorShown(d);
                return int(QDialog::Rejected);
            }
            showForReal(d);
            gesture(f.DBGrid1, how, 1);
            listClosed = !d->isVisible();
            d->hide();
            return d->result();
        });
        QString picked;
        if (picking) picked = pick(list);
        else openReference(list);
        QCOMPARE(modal.shown.first(), &f);
        if (picking) {
            QCOMPARE(picked, outcome);
            QVERIFY(editors.isEmpty());
            QVERIFY(listClosed);
        } else {
            QCOMPARE(editors, QStringList{outcome});
            QVERIFY(!listClosed);  // a change or an add leaves the list open
        }
    }

    // Typing filters the rows already read (from the beginning of the field, the priced
    // operations anywhere in the mark); Up and Down in the field move the list, not the
    // caret; erasing the text shows every row again.
    void searchAndArrows_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QList<int>>("positions");  // after Down, Down, Up, Up
        QTest::newRow("workers by the beginning")
            << "workers" << "Ив" << QStringList{"Иваненко А.А.", "Иванов И.И."} << QList<int>{2, 2, 1, 1};
        QTest::newRow("workers: not inside the name") << "workers" << "ванов" << QStringList{} << QList<int>{0, 0, 0, 0};
        QTest::newRow("workers in any letter case") << "workers" << "пЕТ" << QStringList{"Петров П.П."}
                                                    << QList<int>{1, 1, 1, 1};
        QTest::newRow("products by the beginning")
            << "products" << "КР" << QStringList{"КР-100", "КР-200"} << QList<int>{2, 2, 1, 1};
        QTest::newRow("products: not inside the mark") << "products" << "Р-" << QStringList{} << QList<int>{0, 0, 0, 0};
        QTest::newRow("types by the beginning")
            << "types" << "Р" << QStringList{"Резка", "Рихтовка"} << QList<int>{2, 2, 1, 1};
        QTest::newRow("prices anywhere in the mark")
            << "prices" << "Р-" << QStringList{"КР-100", "КР-200"} << QList<int>{2, 2, 1, 1};
        QTest::newRow("prices: blanks only show every row")
            << "prices" << "  " << QStringList{"КР-100", "КР-200", "ХМ-40"} << QList<int>{2, 3, 2, 1};
        QTest::newRow("nomenclature by the beginning")
            << "nomenclature" << "Х" << QStringList{"Хомуты", "Хвостовики"} << QList<int>{2, 2, 1, 1};
    }
    void searchAndArrows() {
        QFETCH(QString, list);
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        QFETCH(QList<int>, positions);
        ListWindow& f = window(list);
        f.Edit1->clear();
        QStringList seen, all;
        QList<int> moves;
        QString textAfterArrows;
        ModalScript modal([&](QDialog* d) {
            showForReal(d);
            typeKeys(f.Edit1, typed);
            seen = shownRows(f, searched(list));
            for (Qt::Key k : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Up}) {
                QTest::keyClick(f.Edit1, k);
                moves << (f.list().isEmpty() ? 0 : f.list().recNo());
            }
            textAfterArrows = f.Edit1->text();
            for (int i = 0; i < typed.size(); ++i) QTest::keyClick(f.Edit1, Qt::Key_Backspace);
            all = shownRows(f, searched(list));
            d->hide();
            return int(QDialog::Rejected);
        });
        QCOMPARE(pick(list), QStringLiteral("none"));
        QCOMPARE(seen, shown);
        QCOMPARE(moves, positions);
        QCOMPARE(textAfterArrows, typed);
        QCOMPARE(all.size(), list == QLatin1String("workers") ? 4 : 3);
    }
};

QTEST_MAIN(TestListWindows)
#include "test_listwindows.moc"
