// The grids of every window: sorting by a title click, copying rows, the workbook of the
// grid as shown, Tab and the current row, the totals lines of the journal and the
// timesheet, and how numbers read. Driven with real mouse and key events on shown windows.
#include "auxwork/tform25.h"
#include "core/datamodule.h"
#include "gui/dbgrid.h"
#include "gui/forms.h"
#include "export/excel.h"
#include "journal/tform1.h"
#include "journal/tform11.h"
#include "refbooks/tform3.h"
#include "refbooks/tform4.h"
#include "refbooks/tform5.h"
#include "refbooks/tform8.h"
#include "support/sheet_readback.h"
#include "support/testdb.h"
#include "timesheet/tform19.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QtTest>

#include <functional>

using namespace mirn;

namespace {

const QDate kToday = QDate::currentDate();
const QLocale kRussian(QLocale::Russian, QLocale::Russia);
const QString kNbsp(QChar(0x00A0));

// Today's shift 1, by the journal's own order (name): Антонов 4, Борисов 5, Иванов 1,
// Петров 2, Сидоров 3. Amounts 0.38 (0.375 rounded by the server), 250.00, 1778.40,
// 14.10 and 14975.00; quantities 3, 25, 10, 7, 1200 (numeric text from the server, so a
// text sort would put 10 before 3). Shift 2 has one entry, yesterday one more.
void loadJournal() {
    testdb::exec(QStringLiteral(
        "insert into cmn_contractor.person(id, s_caption, s_code) values "
        "(10, 'Иванов И.И.', '101'), (11, 'Петров П.П.', '102'), (12, 'Сидоров С.С.', '103'), "
        "(13, 'Антонов А.А.', '104'), (14, 'Борисов Б.Б.', '105')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa) values "
        "(1, 'КР-100', '', 6, 1.5), (2, 'ХМ-40', '', 6, 0.2), (3, 'КР-20', '', 6, 1)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Покраска')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (1, 1, 0, 1, 0), (2, 2, 1, 2, 0), "
        "(3, 1, 0, 3, 0)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.norm(o_id, norma, prize, price) values (1, 10, 0, 177.84), (2, 10, 0, 2.35), "
        "(3, 10, 0, 12.5)"));
    const QString today = kToday.toString(Qt::ISODate), yesterday = kToday.addDays(-1).toString(Qt::ISODate);
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.smena(id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod, "
        "prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values "
        "(1, 101, 1, 1, 177.84, 10, 0, '%1', 1, 0, 8, 'ok', '%1', 0,0,0,0,0,0), "
        "(2, 102, 2, 2, 2.35, 7, 1, '%1', 1, 1013, 4, 'no', '%1', 0,0,0,0,0,0), "
        "(3, 103, 3, 3, 12.5, 1200, 2, '%1', 1, 0, 6, 'ok', '%1', 0,0,0,0,0,0), "
        "(4, 104, 2, 2, 0.125, 3, 0, '%1', 1, 1, 2, 'no', '%1', 0,0,0,0,0,0), "
        "(5, 105, 1, 1, 10, 25, 0, '%1', 1, 0, 9, 'ok', '%1', 0,0,0,0,0,0), "
        "(6, 101, 3, 3, 2, 50, 5, '%1', 2, 0, 7, 'ok', '%1', 0,0,0,0,0,0), "
        "(7, 101, 1, 1, 3, 4, 0, '%2', 1, 0, 3, 'ok', '%2', 0,0,0,0,0,0)")
                     .arg(today, yesterday));
    testdb::exec(QStringLiteral("select setval(pg_get_serial_sequence('accounts_dep.smena', 'id'), 100)"));
}

// Each name of shift 1 has one entry.
int entryOf(const QString& fio) {
    static const QHash<QString, int> ids{{"Иванов И.И.", 1}, {"Петров П.П.", 2}, {"Сидоров С.С.", 3},
                                         {"Антонов А.А.", 4}, {"Борисов Б.Б.", 5}};
    return ids.value(fio.trimmed(), -1);
}

int columnOf(const DBGrid* g, const QString& title) {
    const QueryModel* m = g->queryModel();
    for (int c = 0; c < m->columnCount(); ++c)
        if (m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == title) return c;
    qWarning() << "no column" << title;
    return -1;
}

QPoint cellCentre(const DBGrid* g, int row, int column) {
    return g->visualRect(g->queryModel()->index(row, column)).center();
}

void clickTitle(DBGrid* g, const QString& title, int times = 1) {
    QHeaderView* h = g->horizontalHeader();
    const int c = columnOf(g, title);
    const QPoint at(h->sectionViewportPosition(c) + h->sectionSize(c) / 2, h->height() / 2);
    for (int i = 0; i < times; ++i) QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
}

void clickRow(DBGrid* g, int row, Qt::KeyboardModifiers mods = {}) {
    QTest::mouseClick(g->viewport(), Qt::LeftButton, mods, cellCentre(g, row, columnOf(g, "Фамилия И.О.")));
}

// The entries of the journal's grid as shown, top to bottom.
QList<int> shownEntries(const DBGrid* g) {
    QList<int> out;
    const int fio = columnOf(g, "Фамилия И.О.");
    for (int r = 0; r < g->queryModel()->rowCount(); ++r) out << entryOf(g->queryModel()->text(r, fio));
    return out;
}

// The highlighted row's name and quantity as the user reads them.
QStringList highlighted(const DBGrid* g) {
    const QList<int> rows = g->selectedRows();
    if (rows.size() != 1) return {QStringLiteral("%1 rows highlighted").arg(rows.size())};
    return {g->queryModel()->text(rows[0], columnOf(g, "Фамилия И.О.")),
            g->queryModel()->text(rows[0], columnOf(g, "Кол-во"))};
}

TForm1& showJournal() {
    TForm1& f1 = signIn(QStringLiteral("9471"));
    f1.RadioButton1->setChecked(true);
    f1.resize(1140, 600);
    f1.show();
    f1.activateWindow();
    if (!QTest::qWaitForWindowActive(&f1)) qWarning() << "the journal is not shown";
    f1.FormActivate();
    return f1;
}

// Picks an item of the grid's context menu with the mouse, as a right click opens it.
void chooseFromContextMenu(DBGrid* g, const QPoint& at, const QString& item) {
    QTest::mouseClick(g->viewport(), Qt::RightButton, {}, at);
    std::function<void()> pick;
    int tries = 0;
    pick = [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            if (++tries < 200) QTimer::singleShot(10, pick);
            return;
        }
        for (QAction* a : menu->actions())
            if (a->text() == item) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
                return;
            }
        menu->close();
    };
    QTimer::singleShot(0, pick);
    QContextMenuEvent e(QContextMenuEvent::Mouse, at, g->viewport()->mapToGlobal(at));
    QApplication::sendEvent(g->viewport(), &e);
}

// The sums the database makes over exactly the rows a query lists.
QVariantList sqlSums(const Query& q, const QStringList& fields) {
    Query sums;
    QStringList parts;
    for (const QString& f : fields) parts << QStringLiteral("sum(t.%1)").arg(f);
    sums.SQL = QStringList{QStringLiteral("select ") + parts.join(QStringLiteral(", ")) + QStringLiteral(" from (")} +
               q.SQL + QStringList{QStringLiteral(") t")};
    for (const char* p : {"data", "ok", "mnth", "yea", "date1", "date2"}) {
        const QVariant v = q.param(QString::fromLatin1(p));
        if (v.isValid()) sums.setParam(QString::fromLatin1(p), v);
    }
    sums.open();
    QVariantList out;
    for (int i = 0; i < fields.size(); ++i) out << sums.value(0, i);
    return out;
}

// The grid's totals of the columns of these fields, as numbers.
QVariantList gridTotals(const DBGrid* g, const QStringList& fields) {
    QVariantList out;
    const auto& cols = g->queryModel()->columns();
    for (const QString& f : fields) {
        int c = -1;
        for (int i = 0; i < cols.size(); ++i)
            if (cols[i].field == f) c = i;
        const std::optional<double> t = g->total(c);
        out << (t ? QVariant(*t) : QVariant());
    }
    return out;
}

bool sameSums(const QVariantList& grid, const QVariantList& db) {
    if (grid.size() != db.size()) return false;
    for (int i = 0; i < grid.size(); ++i) {
        const double a = grid[i].toDouble(), b = db[i].isNull() ? 0.0 : db[i].toString().toDouble();
        if (std::abs(a - b) > 0.0001) return false;
    }
    return true;
}

QString dump(const QVariantList& l) {
    QStringList s;
    for (const QVariant& v : l) s << v.toString();
    return s.join(QLatin1Char(' '));
}

const QStringList kJournalSums{"time", "kol_vo", "brak", "summa"};

// March 2024 of the timesheet: shift 1 rows of 101 and 102 and of 103, who has no entries
// in the month and so is not listed; a shift 2 row of 101; entries with amounts.
void loadTimesheet() {
    testdb::exec(QStringLiteral(
        "insert into cmn_contractor.person(id, s_caption, s_code) values "
        "(1, 'Антонов А.А.', '101'), (2, 'Борисов Б.Б.', '102'), (3, 'Воронов В.В.', '103')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa) values (1, 'КР-100', '', 6, 1)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Гибка')"));
    testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (1, 1, 0, 1, 0)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok) values "
        "(101, 1, 1, 177.84, 10, 0, '2024-03-04', 1, 0, 8, 'ok'), "
        "(101, 1, 1, 2.5,    4, 1, '2024-03-05', 1, 0, 9, 'ok'), "
        "(102, 1, 1, 0.125,  3, 0, '2024-03-04', 1, 0, 7, 'ok'), "
        "(101, 1, 1, 3,      2, 0, '2024-03-06', 2, 0, 5, 'ok')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.h_tabel(w_id, smena, month, year, d4, d5, d31) values "
        "(101, 1, 3, 2024, 8, 9, null), (102, 1, 3, 2024, 7, null, 11), (103, 1, 3, 2024, 12, 12, 12), "
        "(101, 2, 3, 2024, null, null, 5)"));
}

TForm19& showTimesheet() {
    TForm19& f = forms::form<TForm19>();
    f.ComboBox1->setCurrentIndex(2);
    f.ComboBox2->setCurrentIndex(f.ComboBox2->findText(QStringLiteral("2024")));
    f.ComboBox1Change();
    f.resize(900, 500);
    f.show();
    if (!QTest::qWaitForWindowExposed(&f)) qWarning() << "the timesheet is not shown";
    return f;
}

QStringList timesheetSums(bool withEarnings) {
    QStringList f;
    for (int d = 1; d <= 31; ++d) f << QStringLiteral("d%1").arg(d);
    f << QStringLiteral("summ");
    if (withEarnings) f << QStringLiteral("cena_all");
    return f;
}

}  // namespace

class TestGrids : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void init() {
        QLocale::setDefault(QLocale::c());
        workbook::testing::reset();
        workbook::testing::setOutputDir(dir_.path());
        workbook::testing::setOpener([](const QString&) { return true; });
        testdb::startApp(testdb::dbName(QStringLiteral("t_grids")));
    }
    void cleanup() {
        QLocale::setDefault(QLocale::c());
        workbook::testing::reset();
    }
    void cleanupTestCase() { testdb::stopApp(); }

    // A title click orders the rows by that column: ascending, then descending, then the
    // server's order again; numbers by value, names by the alphabet.
    void titleClickSorts_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QList<int>>("entries");
        QTest::newRow("quantity, ascending") << "Кол-во" << 1 << QList<int>{4, 2, 1, 5, 3};
        QTest::newRow("quantity, descending") << "Кол-во" << 2 << QList<int>{3, 5, 1, 2, 4};
        QTest::newRow("quantity, third click") << "Кол-во" << 3 << QList<int>{4, 5, 1, 2, 3};
        QTest::newRow("amount") << "Итого (р.)" << 1 << QList<int>{4, 2, 5, 1, 3};
        QTest::newRow("hours, descending") << "Часы" << 2 << QList<int>{5, 1, 3, 2, 4};
        QTest::newRow("name, descending") << "Фамилия И.О." << 2 << QList<int>{3, 2, 1, 5, 4};
        // Equal marks keep the server's order; КР-20 comes before КР-100.
        QTest::newRow("mark") << "Марка изделия" << 1 << QList<int>{3, 5, 1, 4, 2};
    }
    void titleClickSorts() {
        QFETCH(QString, title);
        QFETCH(int, clicks);
        QFETCH(QList<int>, entries);
        loadJournal();
        TForm1& f1 = showJournal();
        QCOMPARE(shownEntries(f1.DBGrid2), (QList<int>{4, 5, 1, 2, 3}));
        clickTitle(f1.DBGrid2, title, clicks);
        QCOMPARE(shownEntries(f1.DBGrid2), entries);
        // The order holds through a re-read and for the other shifts the grid shows.
        f1.Button8->click();
        QCOMPARE(shownEntries(f1.DBGrid2), entries);
        QTest::mouseClick(f1.RadioButton2, Qt::LeftButton);
        QTest::mouseClick(f1.RadioButton1, Qt::LeftButton);
        QCOMPARE(shownEntries(f1.DBGrid2), entries);
        const int c = columnOf(f1.DBGrid2, title);
        QCOMPARE(f1.DBGrid2->horizontalHeader()->sortIndicatorSection(), clicks == 3 ? -1 : c);
    }

    // A layout remembered before the titles sorted (no indicator, Qt's section 0 descending)
    // brings no order with it, and a title click sorts as usual.
    void rememberedLayoutFromBeforeSorting() {
        loadJournal();
        TForm1& f1 = showJournal();
        DBGrid* g = f1.DBGrid2;
        QHeaderView old(Qt::Horizontal);
        old.setModel(g->model());
        old.setSortIndicator(0, Qt::DescendingOrder);
        old.setSortIndicatorShown(false);
        QVERIFY(g->horizontalHeader()->restoreState(old.saveState()));
        QCOMPARE(shownEntries(g), (QList<int>{4, 5, 1, 2, 3}));
        clickTitle(g, "Кол-во");
        QCOMPARE(shownEntries(g), (QList<int>{4, 2, 1, 5, 3}));
    }

    // The timesheet sorts the same way, by a worker's month.
    void timesheetSortsByTitle() {
        loadTimesheet();
        TForm19& f = showTimesheet();
        DBGrid* g = f.DBGrid1;
        const int name = columnOf(g, "Фамилия И. О.");
        const auto names = [g, name] {
            QStringList out;
            for (int r = 0; r < g->queryModel()->rowCount(); ++r) out << g->queryModel()->text(r, name);
            return out;
        };
        QCOMPARE(names(), (QStringList{"Антонов А.А.", "Борисов Б.Б."}));
        clickTitle(g, "Итого", 2);
        QCOMPARE(names(), (QStringList{"Борисов Б.Б.", "Антонов А.А."}));
        // The worker highlighted before stays highlighted, now on the second row.
        QCOMPARE(g->currentIndex().row(), 1);
        QCOMPARE(f.DataSource1->asString(QStringLiteral("fio")), QStringLiteral("Антонов А.А."));
        f.hide();
    }

    // Lowest prices come as numeric text of any scale: 0.25 is less than 0.5.
    void priceListSortsPricesAsNumbers() {
        loadJournal();
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (4, 2, 0, 3, 0), (5, 2, 0, 1, 0)"));
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.norm(o_id, norma, prize, price) values (4, 10, 0, 0.5), (5, 10, 0, 0.25)"));
        TForm1& f1 = showJournal();
        QStringList prices;
        ModalScript modal([&](QDialog* d) {
            auto* f4 = qobject_cast<TForm4*>(d);
            if (!f4) return int(QDialog::Rejected);
            f4->show();
            if (!QTest::qWaitForWindowExposed(f4)) prices << "window not shown";
            clickTitle(f4->DBGrid1, "Цена (min)");
            const int c = columnOf(f4->DBGrid1, "Цена (min)");
            for (int r = 0; r < f4->DBGrid1->queryModel()->rowCount(); ++r) prices << f4->DBGrid1->queryModel()->text(r, c);
            f4->hide();
            return int(QDialog::Rejected);
        });
        f1.N4->trigger();
        QCOMPARE(prices, (QStringList{"0.25", "0.50", "2.35", "12.50", "177.84"}));
    }

    // A search in a sorted list, then the search text removed: the list stays on the row
    // the search found, wherever the sort has put it.
    void clearedSearchKeepsTheFoundRowOfASortedList() {
        loadJournal();
        TForm1& f1 = showJournal();
        QStringList found;
        ModalScript modal([&](QDialog* d) {
            auto* f4 = qobject_cast<TForm4*>(d);
            if (!f4) return int(QDialog::Rejected);
            f4->show();
            if (!QTest::qWaitForWindowActive(f4)) found << "window not active";
            DBGrid* g = f4->DBGrid1;
            clickTitle(g, "Цена (min)");
            const auto current = [g] { return g->queryModel()->text(g->currentIndex().row(), columnOf(g, "Марка")); };
            const auto order = [g] {
                QStringList out;
                for (int r = 0; r < g->queryModel()->rowCount(); ++r) out << g->queryModel()->text(r, columnOf(g, "Марка"));
                return out.join(u' ');
            };
            found << order();
            typeText(f4->Edit1, QStringLiteral("КР-1"));
            found << current();
            f4->Edit1->selectAll();
            QTest::keyClick(f4->Edit1, Qt::Key_Backspace);
            found << order() << current() << dm().Oper.asString(QStringLiteral("MARKA"));
            f4->hide();
            return int(QDialog::Rejected);
        });
        f1.N4->trigger();
        QCOMPARE(found, (QStringList{"ХМ-40 КР-20 КР-100", "КР-100", "ХМ-40 КР-20 КР-100", "КР-100", "КР-100"}));
    }

    // The entry highlighted before a sort is still highlighted after it, in view; and
    // "Изменить" and "Удалить" act on the entry highlighted after the sort, never on the
    // one that stood at that place before.
    void highlightedEntryIsTheOneActedOn_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<int>("before");  // row clicked before the sort
        QTest::addColumn<int>("after");   // row clicked after it
        QTest::addColumn<QString>("action");
        QTest::newRow("change after a quantity sort") << "Кол-во" << 2 << 0 << 0 << "change";
        QTest::newRow("change after a name sort") << "Фамилия И.О." << 2 << 4 << 3 << "change";
        QTest::newRow("delete after an amount sort") << "Итого (р.)" << 1 << 1 << 4 << "delete";
        QTest::newRow("delete after a mark sort") << "Марка изделия" << 1 << 4 << 3 << "delete";
    }
    void highlightedEntryIsTheOneActedOn() {
        QFETCH(QString, title);
        QFETCH(int, clicks);
        QFETCH(int, before);
        QFETCH(int, after);
        QFETCH(QString, action);
        loadJournal();
        TForm1& f1 = showJournal();
        DBGrid* g = f1.DBGrid2;
        clickRow(g, before);
        const QStringList kept = highlighted(g);
        clickTitle(g, title, clicks);
        QCOMPARE(highlighted(g), kept);
        QVERIFY(g->viewport()->rect().contains(g->visualRect(g->currentIndex())));
        QCOMPARE(entryOf(dm().Smena1.asString(QStringLiteral("fio"))), entryOf(kept[0]));

        clickRow(g, after);
        const QStringList chosen = highlighted(g);
        const int id = entryOf(chosen[0]);
        const QString quantities = QStringLiteral("select string_agg(id || '=' || kol_vo, ' ' order by id) "
                                                  "from accounts_dep.smena where data='%1' and smena=1")
                                       .arg(kToday.toString(Qt::ISODate));
        const QString untouched = testdb::scalar(quantities).toString();
        if (action == QLatin1String("change")) {
            QStringList opened;
            ModalScript modal([&](QDialog* d) {
                auto* f11 = qobject_cast<TForm11*>(d);
                if (!f11) return int(QDialog::Rejected);
                opened << f11->Edit1->text() << f11->Edit3->text();
                f11->Edit3->setText(QString::number(f11->Edit3->text().toInt() + 1));
                f11->Button1->click();
                return int(QDialog::Accepted);
            });
            QTest::mouseClick(f1.Button2, Qt::LeftButton);
            QCOMPARE(opened, chosen);
            const int now = testdb::scalarInt(QStringLiteral("select kol_vo from accounts_dep.smena where id=%1").arg(id));
            QCOMPARE(now, chosen[1].toInt() + 1);
            // Nothing else changed.
            QString expected = untouched;
            expected.replace(QStringLiteral("%1=%2").arg(id).arg(chosen[1]), QStringLiteral("%1=%2").arg(id).arg(now));
            QCOMPARE(testdb::scalar(quantities).toString(), expected);
        } else {
            MessageLog log;
            QTest::mouseClick(f1.Button3, Qt::LeftButton);
            QCOMPARE(log.texts(), QStringList{QStringLiteral("Удалить позицию из списка?")});
            QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where id=%1").arg(id)), 0);
            QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where data='%1' and smena=1")
                                           .arg(kToday.toString(Qt::ISODate))),
                     4);
        }
    }

    // Ctrl+C: the titles of the shown columns, then the selected rows in their shown order,
    // tab-separated; money with two decimals and the desktop's separator, without groups.
    void copyPutsSelectedRowsWithTitles_data() {
        QTest::addColumn<QString>("sortBy");
        QTest::addColumn<QList<int>>("rows");  // clicked, the later ones with Ctrl
        QTest::addColumn<QStringList>("lines");
        const QString day = kToday.toString(QStringLiteral("dd.MM.yyyy"));
        const QString head = "Фамилия И.О.\tМарка изделия\tОперация\tВид\tЦвет\tЧасы\tКол-во\tБрак\tИтого (р.)\tOK\tЗаведен";
        const QString ivanov = "Иванов И.И.\tКР-100\tРезка\tГотовая продукция\t0\t8\t10\t0\t1778,40\tok\t" + day;
        const QString sidorov = "Сидоров С.С.\tКР-20\tРезка\tГотовая продукция\t0\t6\t1200\t2\t14975,00\tok\t" + day;
        const QString antonov = "Антонов А.А.\tХМ-40\tПокраска\tЗаготовки\t1\t2\t3\t0\t0,38\tno\t" + day;
        QTest::newRow("one row") << "" << QList<int>{2} << QStringList{head, ivanov};
        QTest::newRow("rows in the shown order") << "" << QList<int>{4, 0, 2} << QStringList{head, antonov, ivanov, sidorov};
        QTest::newRow("after a sort") << "Кол-во" << QList<int>{4, 0} << QStringList{head, antonov, sidorov};
    }
    void copyPutsSelectedRowsWithTitles() {
        QFETCH(QString, sortBy);
        QFETCH(QList<int>, rows);
        QFETCH(QStringList, lines);
        QLocale::setDefault(kRussian);
        loadJournal();
        TForm1& f1 = showJournal();
        DBGrid* g = f1.DBGrid2;
        if (!sortBy.isEmpty()) clickTitle(g, sortBy);
        for (int i = 0; i < rows.size(); ++i) clickRow(g, rows[i], i == 0 ? Qt::NoModifier : Qt::ControlModifier);
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(g, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    }

    // "Экспорт в Excel" from the context menu: a workbook whose cells, read back as a
    // spreadsheet program shows them, are the grid as shown: its columns in their shown
    // order (hidden ones left out), its rows in their sorted order, its totals line.
    void contextMenuExportsTheGridAsShown() {
        QLocale::setDefault(kRussian);
        loadJournal();
        TForm1& f1 = showJournal();
        DBGrid* g = f1.DBGrid2;
        clickTitle(g, "Итого (р.)", 2);
        QHeaderView* h = g->horizontalHeader();
        h->moveSection(h->visualIndex(columnOf(g, "Часы")), 0);
        chooseFromContextMenu(g, cellCentre(g, 1, columnOf(g, "Марка изделия")), "Экспорт в Excel");

        const QString path = workbook::lastWrittenPath();
        QVERIFY2(!path.isEmpty(), "no workbook was written");
        QVERIFY2(QFileInfo(path).fileName().startsWith(QStringLiteral("Журнал ") + kToday.toString("dd.MM.yyyy") +
                                                       QStringLiteral(" Смена №1")),
                 qPrintable(path));
        if (sheet_readback::sofficeProgram().isEmpty()) QSKIP("LibreOffice is not installed");
        QString error;
        const QList<QStringList> back = sheet_readback::readRows(path, &error);
        QVERIFY2(!back.isEmpty(), qPrintable(error));

        const QList<int> cols = g->shownColumns();
        QCOMPARE(cols.first(), columnOf(g, "Часы"));
        QVERIFY(!cols.contains(columnOf(g, "Премия (%)")));
        const QueryModel* m = g->queryModel();
        QStringList titles;
        for (int c : cols) titles << m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(back.value(0), titles);
        QCOMPARE(back.size(), m->rowCount() + 2);
        // A number as the grid shows it on a Russian desktop and as the spreadsheet shows
        // it in the C locale: the same digits once the groups are left out.
        const auto sameFigure = [](const QString& grid, const QString& sheet) {
            bool isNumber = false;
            kRussian.toDouble(grid, &isNumber);
            if (!isNumber) return grid == sheet;
            return QString(grid).remove(kNbsp) == QString(sheet).remove(u',').replace(u'.', u',');
        };
        for (int r = 0; r <= m->rowCount(); ++r) {
            const QStringList& line = back[r + 1];
            QCOMPARE(line.size(), cols.size());
            for (int i = 0; i < cols.size(); ++i) {
                const QString shown = r < m->rowCount() ? m->text(r, cols[i]) : g->totalText(cols[i]);
                QVERIFY2(sameFigure(shown, line[i]),
                         qPrintable(QStringLiteral("row %1, column %2: grid «%3», sheet «%4»").arg(r + 1).arg(i + 1).arg(shown, line[i])));
            }
        }
        // Sorted by the amount, descending: Сидоров first; the totals line last.
        QCOMPARE(back[1][cols.indexOf(columnOf(g, "Фамилия И.О."))], QStringLiteral("Сидоров С.С."));
        QCOMPARE(back.last()[cols.indexOf(columnOf(g, "Фамилия И.О."))], QStringLiteral("Итого"));
        QCOMPARE(back.last()[cols.indexOf(columnOf(g, "Итого (р.)"))], QStringLiteral("17,017.88"));
        // Money keeps its two decimals as a number in the sheet.
        const workbook::Cell money = workbook::current()->cell(1, cols.indexOf(columnOf(g, "Итого (р.)")) + 1, 2);
        QCOMPARE(money.type, workbook::CellType::Number);
        QCOMPARE(money.number, 14975.0);
        QCOMPARE(money.numberFormat, QStringLiteral("#,##0.00"));
    }

    // Tab and Shift+Tab leave the grid of every grid window for the window's other controls.
    void tabLeavesTheGrid_data() {
        QTest::addColumn<QString>("window");
        QTest::newRow("journal") << "journal";
        QTest::newRow("timesheet") << "timesheet";
        QTest::newRow("workers") << "workers";
        QTest::newRow("products") << "products";
        QTest::newRow("operation types") << "operation types";
        QTest::newRow("priced operations") << "priced operations";
        QTest::newRow("auxiliary work") << "auxiliary work";
    }
    void tabLeavesTheGrid() {
        QFETCH(QString, window);
        loadJournal();
        // Every grid has rows: an empty grid lets Tab go anyway.
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.person(id, fio, s_staffpos_hl) values (101, 'Иванов Иван Иванович', 'резчик')"));
        testdb::exec(QStringLiteral("insert into cmn_classifier.item(id, id_level, s_caption) values (500, 2, 'Кронштейны')"));
        testdb::exec(QStringLiteral(
            "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa) values "
            "(7777, 'Хоз. работы', '', 6, 0)"));
        testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (7777, 'Уборка')"));
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values (7777, 7777, 0, 7777, 0)"));
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price) "
            "values (500, 7777, 101, '%1', %2, %3, 1, 3, 150)")
                         .arg(kToday.toString(Qt::ISODate))
                         .arg(kToday.month())
                         .arg(kToday.year()));
        testdb::exec(QStringLiteral("insert into accounts_dep.h_tabel(w_id, smena, month, year, d1) values (101, 1, %1, %2, 8)")
                         .arg(kToday.month())
                         .arg(kToday.year()));
        TForm1& f1 = showJournal();
        QStringList left;
        const auto check = [&](QDialog* d) {
            if (d != &f1) {
                d->show();
                if (!QTest::qWaitForWindowActive(d)) left << "window not active";
            }
            DBGrid* g = nullptr;  // the grid on the window's open page
            for (DBGrid* x : d->findChildren<DBGrid*>())
                if (!g && x->isVisible()) g = x;
            if (!g) return int(QDialog::Rejected);
            if (g->queryModel()->rowCount() == 0) left << "no rows";
            for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
                g->setFocus();
                if (!QTest::qWaitFor([g] { return g->hasFocus(); })) left << "no focus";
                QTest::keyClick(g, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
                QWidget* now = QApplication::focusWidget();
                left << (now && now != g && !g->isAncestorOf(now) && d->isAncestorOf(now) ? "left" : "stayed");
            }
            d->hide();
            return int(QDialog::Rejected);
        };
        ModalScript modal(check);
        if (window == QLatin1String("journal")) check(&f1);
        else if (window == QLatin1String("timesheet")) f1.N11->trigger();
        else if (window == QLatin1String("workers")) f1.N1->trigger();
        else if (window == QLatin1String("products")) f1.N3->trigger();
        else if (window == QLatin1String("operation types")) f1.N6->trigger();
        else if (window == QLatin1String("priced operations")) f1.N4->trigger();
        else f1.Button5->click();
        QCOMPARE(left, (QStringList{"left", "left"}));
    }

    // The current row is in view after every key move and every move of the query, and
    // never under the totals line.
    void focusedRowStaysVisible_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("queryRow");  // 0: the keys alone
        QTest::addColumn<bool>("hidden");   // the query moves while the window is hidden
        QTest::newRow("End") << QList<int>{Qt::Key_End} << 0 << false;
        QTest::newRow("Page Down twice") << QList<int>{Qt::Key_PageDown, Qt::Key_PageDown} << 0 << false;
        QTest::newRow("End, then up") << QList<int>{Qt::Key_End, Qt::Key_Up, Qt::Key_Up} << 0 << false;
        QTest::newRow("Down and down") << QList<int>(40, Qt::Key_Down) << 0 << false;
        QTest::newRow("End, then Home") << QList<int>{Qt::Key_End, Qt::Key_Home} << 0 << false;
        QTest::newRow("the query moves to the last entry") << QList<int>{} << 85 << false;
        QTest::newRow("the query moves up again") << QList<int>{Qt::Key_End} << 20 << false;
        QTest::newRow("moved while hidden, then shown") << QList<int>{} << 70 << true;
    }
    void focusedRowStaysVisible() {
        QFETCH(QList<int>, keys);
        QFETCH(int, queryRow);
        QFETCH(bool, hidden);
        loadJournal();
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod, "
            "prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) "
            "select 101, 1, 1, 1, n, 0, '%1', 1, n, 1, 'ok', '%1', 0,0,0,0,0,0 from generate_series(1, 80) n")
                         .arg(kToday.toString(Qt::ISODate)));
        TForm1& f1 = showJournal();
        f1.resize(700, 420);
        DBGrid* g = f1.DBGrid2;
        QTRY_VERIFY(g->viewport()->height() < 300);
        g->setFocus();
        for (int k : keys) QTest::keyClick(g, Qt::Key(k));
        if (hidden) f1.hide();
        if (queryRow > 0) dm().Smena1.setRecNo(queryRow);
        if (hidden) {
            f1.show();
            QVERIFY(QTest::qWaitForWindowExposed(&f1));
        }
        QVERIFY(g->currentIndex().isValid());
        QCOMPARE(g->currentIndex().row(), dm().Smena1.recNo() - 1);
        const QRect row = g->visualRect(g->currentIndex());
        QVERIFY2(g->viewport()->rect().contains(row),
                 qPrintable(QStringLiteral("row %1 at %2..%3, viewport height %4")
                                .arg(g->currentIndex().row())
                                .arg(row.top())
                                .arg(row.bottom())
                                .arg(g->viewport()->height())));
        // The totals line lies below the rows, not over them, inside the grid's frame.
        QVERIFY(g->totalsLine()->isVisible());
        QVERIFY(g->totalsLine()->geometry().top() > g->viewport()->geometry().bottom());
        QVERIFY(g->contentsRect().contains(g->totalsLine()->geometry()));
        if (g->horizontalScrollBar()->isVisible())
            QVERIFY(!g->totalsLine()->geometry().intersects(g->horizontalScrollBar()->geometry()));
    }

    // A list first shown with its query already on a row far down (the operation picker
    // stands on the entry's operation) shows that row.
    void listFirstShownOnALowRowShowsIt() {
        loadJournal();
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) select 100 + n, 1, n % 2, 1, 0 "
            "from generate_series(1, 60) n"));
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.norm(o_id, norma, prize, price) select 100 + n, 10, 0, n from generate_series(1, 60) n"));
        // Сидоров's entry is on КР-20, the last mark.
        TForm1& f1 = showJournal();
        clickRow(f1.DBGrid2, 4);
        QStringList seen;
        ModalScript modal([&](QDialog* d) {
            if (auto* f11 = qobject_cast<TForm11*>(d)) {
                f11->Button4->click();
                return int(QDialog::Rejected);
            }
            auto* f4 = qobject_cast<TForm4*>(d);
            if (!f4) return int(QDialog::Rejected);
            f4->resize(700, 300);
            f4->show();
            if (!QTest::qWaitForWindowExposed(f4)) seen << "not shown";
            DBGrid* g = f4->DBGrid1;
            seen << g->queryModel()->text(g->currentIndex().row(), columnOf(g, "Марка"));
            seen << (g->currentIndex().row() > 40 ? "far down" : "near the top");
            seen << (g->viewport()->rect().contains(g->visualRect(g->currentIndex())) ? "in view" : "out of view");
            f4->hide();
            return int(QDialog::Rejected);
        });
        QTest::mouseClick(f1.Button2, Qt::LeftButton);
        QCOMPARE(seen, (QStringList{"КР-20", "far down", "in view"}));
    }

    // The journal's totals line: hours, quantity, rejects and amount of the shown shift,
    // the database's own sums, after a change of shift and of date and after a re-read.
    void journalTotalsAreTheShiftsSums_data() {
        QTest::addColumn<int>("shift");
        QTest::addColumn<int>("daysBack");
        QTest::newRow("shift 1") << 1 << 0;
        QTest::newRow("shift 2") << 2 << 0;
        QTest::newRow("an empty shift") << 3 << 0;
        QTest::newRow("shift 1 yesterday") << 1 << 1;
    }
    void journalTotalsAreTheShiftsSums() {
        QFETCH(int, shift);
        QFETCH(int, daysBack);
        loadJournal();
        TForm1& f1 = showJournal();
        QRadioButton* radios[] = {f1.RadioButton1, f1.RadioButton2, f1.RadioButton3, f1.RadioButton4};
        QTest::mouseClick(radios[shift - 1], Qt::LeftButton);
        if (daysBack) {
            f1.DateT->setDate(kToday.addDays(-daysBack));
            f1.DateTChange();
        }
        const Query& q = dm().shiftQuery(shift);
        const QVariantList db = sqlSums(q, kJournalSums), grid = gridTotals(f1.DBGrid2, kJournalSums);
        QVERIFY2(sameSums(grid, db), qPrintable(dump(grid) + " / " + dump(db)));
        QCOMPARE(f1.DBGrid2->totalText(columnOf(f1.DBGrid2, "Фамилия И.О.")), QStringLiteral("Итого"));
        if (shift == 1 && !daysBack) QCOMPARE(dump(grid), QStringLiteral("29 1245 3 17017.88"));
        if (shift == 3) QCOMPARE(dump(grid), QStringLiteral("0 0 0 0"));
    }

    // The totals line follows a save and a delete made from the journal.
    void journalTotalsFollowSaveAndDelete() {
        QLocale::setDefault(kRussian);
        loadJournal();
        TForm1& f1 = showJournal();
        DBGrid* g = f1.DBGrid2;
        const int amount = columnOf(g, "Итого (р.)");
        QCOMPARE(g->totalText(amount), "17" + kNbsp + "017,88");

        clickRow(g, 2);  // Иванов, 10 pieces at 177.84
        ModalScript modal([](QDialog* d) {
            auto* f11 = qobject_cast<TForm11*>(d);
            if (!f11) return int(QDialog::Rejected);
            f11->Edit3->setText(QStringLiteral("20"));
            f11->Button1->click();
            return int(QDialog::Accepted);
        });
        QTest::mouseClick(f1.Button2, Qt::LeftButton);
        QVERIFY(sameSums(gridTotals(g, kJournalSums), sqlSums(dm().Smena1, kJournalSums)));
        QCOMPARE(g->totalText(amount), "18" + kNbsp + "796,28");
        QCOMPARE(g->totalText(columnOf(g, "Кол-во")), "1" + kNbsp + "255");

        MessageLog log;
        clickRow(g, 4);  // Сидоров
        QTest::mouseClick(f1.Button3, Qt::LeftButton);
        QVERIFY(sameSums(gridTotals(g, kJournalSums), sqlSums(dm().Smena1, kJournalSums)));
        QCOMPARE(g->totalText(amount), "3" + kNbsp + "821,28");
        QCOMPARE(g->totalText(columnOf(g, "Часы")), QStringLiteral("23"));
    }

    // The timesheet's totals line: every day and the month's totals of the shown workers,
    // the database's sums over the same rows, on each shift's tab; "Обновить" brings the
    // stored changes into it.
    void timesheetTotalsAreTheMonthsSums() {
        loadTimesheet();
        TForm19& f = showTimesheet();
        const std::array<DBGrid*, 3> grids{f.DBGrid1, f.DBGrid2, f.DBGrid3};
        const std::array<Query*, 3> queries{f.DataSource1, f.DataSource2, f.DataSource3};
        for (int i = 0; i < 3; ++i) {
            const QStringList fields = timesheetSums(i == 0);
            const QVariantList db = sqlSums(*queries[size_t(i)], fields), grid = gridTotals(grids[size_t(i)], fields);
            QVERIFY2(sameSums(grid, db), qPrintable(QStringLiteral("shift %1: ").arg(i + 1) + dump(grid) + " / " + dump(db)));
        }
        DBGrid* g = f.DBGrid1;
        // Воронов has no entries in March: his 12 hours a day are not in the totals.
        QCOMPARE(g->totalText(columnOf(g, "4")), QStringLiteral("15"));
        QCOMPARE(g->totalText(columnOf(g, "5")), QStringLiteral("9"));
        QCOMPARE(g->totalText(columnOf(g, "31")), QStringLiteral("11"));
        QCOMPARE(g->totalText(columnOf(g, "1")), QStringLiteral("0"));
        QCOMPARE(g->totalText(columnOf(g, "Итого")), QStringLiteral("35"));
        QCOMPARE(g->totalText(columnOf(g, "Цена всего")), QStringLiteral("1792.28"));
        QCOMPARE(g->totalText(columnOf(g, "Ср. сдел.")), QString());
        QCOMPARE(g->totalText(columnOf(g, "Фамилия И. О.")), QStringLiteral("Итого"));

        testdb::exec(QStringLiteral("update accounts_dep.h_tabel set d4=10 where w_id=102 and smena=1"));
        QTest::mouseClick(f.Button5, Qt::LeftButton);
        QCOMPARE(g->totalText(columnOf(g, "4")), QStringLiteral("18"));
        QVERIFY(sameSums(gridTotals(g, timesheetSums(true)), sqlSums(*f.DataSource1, timesheetSums(true))));
        f.hide();
    }

    // A day's total wider than its narrow column widens that column, so that it reads whole
    // (run at 100 % and, as test_grids_200, at 200 %); the other days keep their width.
    void timesheetTotalsReadWhole() {
        loadTimesheet();
        testdb::exec(QStringLiteral("update accounts_dep.h_tabel set d4=126 where w_id=101 and smena=1"));
        TForm19& f = showTimesheet();
        DBGrid* g = f.DBGrid1;
        QFont bold = g->totalsLine()->font();
        bold.setBold(true);
        const QFontMetrics fm(bold);
        const auto room = [g](int c) { return g->totalRect(c).width() - 2 * 3 - 1; };  // less the padding and the line
        const int d4 = columnOf(g, "4"), d6 = columnOf(g, "6");
        QCOMPARE(g->totalText(d4), QStringLiteral("133"));
        QVERIFY2(fm.horizontalAdvance(QStringLiteral("133")) <= room(d4),
                 qPrintable(QStringLiteral("%1 > %2").arg(fm.horizontalAdvance(QStringLiteral("133"))).arg(room(d4))));
        QHeaderView* h = g->horizontalHeader();
        QCOMPARE(h->sectionSize(d6), h->sectionSize(columnOf(g, "7")));
        QVERIFY(h->sectionSize(d4) > h->sectionSize(d6));
        // A bigger figure after "Обновить" widens the column again.
        testdb::exec(QStringLiteral("update accounts_dep.h_tabel set d6=1234 where w_id=101 and smena=1"));
        QTest::mouseClick(f.Button5, Qt::LeftButton);
        QCOMPARE(g->totalText(d6), QStringLiteral("1234"));
        QVERIFY(fm.horizontalAdvance(QStringLiteral("1234")) <= room(d6));
        QVERIFY(fm.horizontalAdvance(QStringLiteral("133")) <= room(d4));
        f.hide();
    }

    // Each total stands under its column: after a column is widened and moved, and after the
    // grid is scrolled sideways by the keyboard.
    void totalsStayUnderTheirColumns() {
        loadTimesheet();
        TForm19& f = showTimesheet();
        DBGrid* g = f.DBGrid1;
        QHeaderView* h = g->horizontalHeader();
        const auto misplaced = [g, h]() -> QString {
            QStringList bad;
            for (int c : g->shownColumns()) {
                const QRect t = g->totalRect(c);
                const QPoint total = g->totalsLine()->mapToGlobal(t.topLeft());
                const QPoint title = h->viewport()->mapToGlobal(QPoint(h->sectionViewportPosition(c), 0));
                const QPoint cell = g->viewport()->mapToGlobal(g->visualRect(g->queryModel()->index(0, c)).topLeft());
                if (total.x() != title.x() || total.x() != cell.x() || t.width() != h->sectionSize(c))
                    bad << QStringLiteral("%1: %2/%3/%4").arg(c).arg(total.x()).arg(title.x()).arg(cell.x());
            }
            return bad.join(QLatin1Char(' '));
        };
        QCOMPARE(misplaced(), QString());
        // A day column widened by dragging its right edge.
        const int d3 = columnOf(g, "3");
        const int edge = h->sectionViewportPosition(d3) + h->sectionSize(d3) - 1;
        const int width = h->sectionSize(d3);
        QTest::mousePress(h->viewport(), Qt::LeftButton, {}, QPoint(edge, h->height() / 2));
        QTest::mouseMove(h->viewport(), QPoint(edge + 40, h->height() / 2));
        QTest::mouseRelease(h->viewport(), Qt::LeftButton, {}, QPoint(edge + 40, h->height() / 2));
        QVERIFY2(h->sectionSize(d3) > width, "the column was not widened");
        QCOMPARE(misplaced(), QString());
        h->moveSection(h->visualIndex(columnOf(g, "Итого")), 1);
        QCOMPARE(misplaced(), QString());
        // Right arrows walk the current cell to the last column; the grid scrolls with it.
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cellCentre(g, 0, columnOf(g, "Фамилия И. О.")));
        g->setFocus();
        for (int i = 0; i < 40; ++i) QTest::keyClick(g, Qt::Key_Right);
        QVERIFY(g->horizontalScrollBar()->value() > 0);
        QCOMPARE(misplaced(), QString());
        f.hide();
    }

    // Money with two decimals in digit groups, counts and hours whole, prices with two to
    // four decimals, all by the desktop's locale; the stored values stay as they are.
    void numbersByLocale_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("shown");
        const int money = int(ColumnKind::Money), count = int(ColumnKind::Count), hours = int(ColumnKind::Hours),
                  price = int(ColumnKind::Price), plain = int(ColumnKind::Auto);
        QTest::newRow("money") << kRussian << money << QVariant(1778.4) << "1" + kNbsp + "778,40";
        QTest::newRow("money as exact text") << kRussian << money << QVariant("1778.4000") << "1" + kNbsp + "778,40";
        QTest::newRow("money rounds to kopecks") << kRussian << money << QVariant(0.375) << "0,38";
        QTest::newRow("money, millions") << kRussian << money << QVariant(-1234567.891) << "-1" + kNbsp + "234" + kNbsp + "567,89";
        QTest::newRow("money, C locale") << QLocale::c() << money << QVariant(1778.4) << "1778.40";
        // The system's C locale (LANG=C) comes without the C locale's number options.
        QLocale systemC = QLocale::c();
        systemC.setNumberOptions(QLocale::DefaultNumberOptions);
        QTest::newRow("money, the system's C locale") << systemC << money << QVariant(1778.4) << "1778.40";
        QTest::newRow("count, the system's C locale") << systemC << count << QVariant(12000) << "12000";
        QTest::newRow("money, a tiny minus") << kRussian << money << QVariant(-0.001) << "0,00";
        QTest::newRow("count of numeric text") << kRussian << count << QVariant("1200.000000") << "1" + kNbsp + "200";
        QTest::newRow("count") << kRussian << count << QVariant(qlonglong(7)) << "7";
        QTest::newRow("hours") << kRussian << hours << QVariant(8) << "8";
        QTest::newRow("no hours") << kRussian << hours << QVariant() << "";
        QTest::newRow("price, three decimals") << kRussian << price << QVariant("0.1250") << "0,125";
        QTest::newRow("price, whole") << kRussian << price << QVariant(150.0) << "150,00";
        QTest::newRow("price, four decimals") << kRussian << price << QVariant(3.33333) << "3,3333";
        QTest::newRow("price, thousands") << kRussian << price << QVariant(1250.5) << "1" + kNbsp + "250,50";
        QTest::newRow("plain number") << kRussian << plain << QVariant("1.500000") << "1,5";
        QTest::newRow("a text in a money column") << kRussian << money << QVariant("нет") << "нет";
    }
    void numbersByLocale() {
        QFETCH(QLocale, locale);
        QFETCH(int, kind);
        QFETCH(QVariant, value);
        QFETCH(QString, shown);
        QLocale::setDefault(locale);
        QCOMPARE(cellText(value, ColumnKind(kind)), shown);
    }

    // The windows' number columns are right-aligned and written by their kind; the stored
    // values the windows read are untouched.
    void windowsShowNumbersByKind_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("shown");  // in the first row
        QTest::addColumn<int>("alignment");
        const int right = int(Qt::AlignRight | Qt::AlignVCenter), left = int(Qt::AlignLeft | Qt::AlignVCenter);
        QTest::newRow("journal amount") << "journal" << "Итого (р.)" << "0,38" << right;
        QTest::newRow("journal quantity") << "journal" << "Кол-во" << "3" << right;
        QTest::newRow("journal hours") << "journal" << "Часы" << "2" << right;
        QTest::newRow("journal name") << "journal" << "Фамилия И.О." << "Антонов А.А." << left;
        QTest::newRow("journal colour stays centred") << "journal" << "Цвет" << "1" << int(Qt::AlignCenter);
        QTest::newRow("timesheet day") << "timesheet" << "4" << "8" << right;
        QTest::newRow("timesheet earnings") << "timesheet" << "Цена всего" << "1" + kNbsp + "791,90" << right;
        QTest::newRow("timesheet hourly") << "timesheet" << "Ср. сдел." << "105,41" << right;
        QTest::newRow("lowest price") << "priced operations" << "Цена (min)" << "177,84" << right;
        QTest::newRow("norms") << "priced operations" << "Нормы (шт.)" << "1" << right;
    }
    void windowsShowNumbersByKind() {
        QFETCH(QString, window);
        QFETCH(QString, title);
        QFETCH(QString, shown);
        QFETCH(int, alignment);
        QLocale::setDefault(kRussian);
        DBGrid* g = nullptr;
        if (window == QLatin1String("timesheet")) {
            loadTimesheet();
            g = showTimesheet().DBGrid1;
        } else {
            loadJournal();
            TForm1& f1 = showJournal();
            g = f1.DBGrid2;
            if (window == QLatin1String("priced operations")) {
                dm().Oper.open();
                g = forms::form<TForm4>().DBGrid1;
            }
        }
        const int c = columnOf(g, title);
        QCOMPARE(g->queryModel()->data(g->queryModel()->index(0, c), Qt::DisplayRole).toString(), shown);
        QCOMPARE(g->queryModel()->data(g->queryModel()->index(0, c), Qt::TextAlignmentRole).toInt(), alignment);
        // The query still holds what the server sent.
        if (title == QLatin1String("Итого (р.)")) QCOMPARE(dm().Smena1.value(0, QStringLiteral("summa")).toDouble(), 0.38);
    }
};

QTEST_MAIN(TestGrids)
#include "test_grids.moc"
