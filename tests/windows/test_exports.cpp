// The spreadsheet exports against a small fixture: the production report and the price
// list (the timesheet export is tested with its window), read back from the real file.
#include "core/datamodule.h"
#include "gui/dbgrid.h"
#include "gui/forms.h"
#include "export/excel.h"
#include "refbooks/crosslinks.h"
#include "papers/price_list.h"
#include "papers/layouts.h"
#include "refbooks/tform4.h"
#include "reports/tform18.h"
#include "papers/xls_export.h"
#include "timesheet/tform19.h"
#include "support/sheet_readback.h"
#include "support/testdb.h"

#include <QtTest>

using namespace mirn;

namespace {
void loadFixture() {
    testdb::exec(QStringLiteral(
        "insert into cmn_contractor.person(id, s_caption, s_code) values (1, 'Иванов И.И.', '101'), (2, 'Петров П.П.', '102')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_classifier.item(id, id_level, s_caption) values (500, 2, 'Кронштейны'), (501, 2, 'Хомуты')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) values "
        "(1, 'КР-100', '', 6, 1.5, 500), (2, 'ХМ-40', '', 6, 0.25, 501), (3, '00123', '', 6, 2, null)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.vid_oper(id, vid) values (1, 'Резка'), (2, 'Покраска')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values "
        "(1, 1, 0, 1, 12.5), (2, 2, 1, 2, 0), (3, 1, 1, 3, 3.3333)"));
    testdb::exec(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) values (1, 10, 0, 12.5)"));
    const QString cols = QStringLiteral(
        "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod, "
        "prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values ");
    testdb::exec(cols + QStringLiteral(
        "(101, 1, 1, 12.5, 10, 2, '2024-03-01', 1, 0, 8, 'ok', '2024-03-01', 0,0,0,0,0,0), "   // first day counted
        "(102, 2, 2, 2.0, 5, 0, '2024-03-15', 1, 1, 4, 'ok', '2024-03-15', 0,0,0,0,0,0), "
        "(102, 2, 2, 2.0, 4, 0, '2024-03-31', 1, 7024, 4, 'ok', '2024-03-31', 0,0,0,0,0,0), "
        "(101, 3, 3, 1.0, 3, 0, '2024-03-01', 2, 0, 2, 'ok', '2024-03-01', 0,0,0,0,0,0), "
        "(101, 1, 1, 12.5, 100, 0, '2024-04-01', 1, 0, 8, 'ok', '2024-04-01', 0,0,0,0,0,0), "  // end day not
        "(101, 1, 1, 12.5, 100, 0, '2024-02-29', 1, 0, 8, 'ok', '2024-02-29', 0,0,0,0,0,0)"));
}

// What a user does to a window while its export runs: a second "Excel", the window's
// other buttons, Esc and the window's close box, all as real mouse and key events.
void pressEverything(QDialog* window, const QList<QPushButton*>& buttons) {
    for (QPushButton* b : buttons) QTest::mouseClick(b, Qt::LeftButton);
    QTest::keyClick(window, Qt::Key_Escape);
    QWidget* f = QApplication::focusWidget();
    if (f && window->isAncestorOf(f)) QTest::keyClick(f, Qt::Key_Escape);
    window->close();
}

QStringList row(const workbook::Workbook* wb, int r, int columns) {
    QStringList out;
    for (int c = 1; c <= columns; ++c) out << wb->cell(1, c, r).text;
    return out;
}
}  // namespace

class TestExports : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QStringList opened_;

private slots:
    void init() {
        workbook::testing::reset();
        workbook::testing::setOutputDir(dir_.path());
        opened_.clear();
        workbook::testing::setOpener([this](const QString& path) {
            opened_ << path;
            return true;
        });
        testdb::openFresh(QStringLiteral("t_exports"));
        loadFixture();
    }
    void cleanup() { workbook::testing::reset(); }

    void productionReport() {
        Query rep;
        rep.SQL = papers::productionReportText();
        QStringList captions;
        const int n = papers::exportProductionReport(rep, QDate(2024, 3, 1), QDate(2024, 4, 1),
                                                  [&](const QString& c) { captions << c; });
        QCOMPARE(n, 4);
        QCOMPARE(captions.first(), QStringLiteral("Excel (0 из 4)"));
        QCOMPARE(captions.last(), QStringLiteral("Excel (4 из 4)"));
        QCOMPARE(captions.size(), 5);
        QVERIFY(!rep.active());
        QCOMPARE(opened_.size(), 1);

        const workbook::Workbook* wb = workbook::current();
        QCOMPARE(row(wb, 1, 5), (QStringList{"Наименование", "Операция", "Вид продукции", "Коробки", "Кол-во"}));
        // Rows come in the order of the nomenclature name (an empty name first); within one
        // name the order is the server's. A product without a name leaves its first cell empty.
        QCOMPARE(row(wb, 2, 5), (QStringList{"", "Резка", "Заготовки", "6", "3"}));
        QCOMPARE(wb->cell(1, 1, 2).type, workbook::CellType::Empty);
        QCOMPARE(row(wb, 3, 5), (QStringList{"Кронштейны", "Резка", "Готовая продукция", "12", "8"}));
        QSet<QString> khomuty{row(wb, 4, 5).join('|'), row(wb, 5, 5).join('|')};
        QCOMPARE(khomuty, (QSet<QString>{"Хомуты|Покраска (грунт)|Заготовки|1.25|5",
                                         "Хомуты|Покраска (цвет: 7024)|Заготовки|1|4"}));
        QCOMPARE(wb->cell(1, 4, 4).type, workbook::CellType::Number);
        QCOMPARE(wb->cell(1, 1, 6).type, workbook::CellType::Empty);

        // The file the user gets, as a spreadsheet program reads it.
        QString err;
        const auto rows = sheet_readback::readRows(workbook::lastWrittenPath(), &err);
        QVERIFY2(err.isEmpty(), qPrintable(err));
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows[0], (QStringList{"Наименование", "Операция", "Вид продукции", "Коробки", "Кол-во"}));
        QCOMPARE(rows[2], (QStringList{"Кронштейны", "Резка", "Готовая продукция", "12", "8"}));
        QStringList ops{rows[3][1], rows[4][1]};
        ops.sort();
        QCOMPARE(ops, (QStringList{"Покраска (грунт)", "Покраска (цвет: 7024)"}));
        QVERIFY(QFileInfo(workbook::lastWrittenPath()).fileName().startsWith(QStringLiteral("Отчет 01.03.2024-01.04.2024")));
    }

    void productionReportKeepsOnlyTheChosenKind() {
        Query rep;
        rep.SQL = papers::productionReportText();
        rep.setFilter([](const Query& q, const Query::Row& r) { return toInt(r[q.fieldIndex("naimen")]) == 0; });
        QStringList captions;
        const int n = papers::exportProductionReport(rep, QDate(2024, 3, 1), QDate(2024, 4, 1),
                                                  [&](const QString& c) { captions << c; });
        QCOMPARE(n, 1);
        QCOMPARE(captions, (QStringList{"Excel (0 из 1)", "Excel (1 из 1)"}));
        QCOMPARE(row(workbook::current(), 2, 5), (QStringList{"Кронштейны", "Резка", "Готовая продукция", "12", "8"}));
        QVERIFY(workbook::current()->cell(1, 1, 3).text.isEmpty());
    }

    void productionReportOfEmptyPeriod() {
        Query rep;
        rep.SQL = papers::productionReportText();
        QStringList captions;
        QCOMPARE(papers::exportProductionReport(rep, QDate(2024, 3, 5), QDate(2024, 3, 5),
                                             [&](const QString& c) { captions << c; }),
                 0);
        QCOMPARE(captions, QStringList{"Excel (0 из 0)"});
        QCOMPARE(row(workbook::current(), 1, 5).first(), QStringLiteral("Наименование"));
        QVERIFY(workbook::current()->cell(1, 1, 2).text.isEmpty());
        QCOMPARE(opened_.size(), 1);
    }

    void priceList() {
        exportPriceList();
        QCOMPARE(opened_.size(), 1);
        const workbook::Workbook* wb = workbook::current();
        QCOMPARE(row(wb, 1, 4), (QStringList{"Марка", "Операция", "Цена", "Вид"}));
        // Every priced operation, with or without norms, at its stored price.
        QCOMPARE(row(wb, 2, 4), (QStringList{"00123", "Резка", "3.3333", "Заготовки"}));
        QCOMPARE(row(wb, 3, 4), (QStringList{"КР-100", "Резка", "12.5", "Готовая продукция"}));
        QCOMPARE(row(wb, 4, 4), (QStringList{"ХМ-40", "Покраска", "0", "Заготовки"}));
        QVERIFY(wb->cell(1, 1, 5).text.isEmpty());
        QCOMPARE(wb->cell(1, 3, 3).type, workbook::CellType::Number);
        QCOMPARE(wb->cell(1, 3, 3).number, 12.5);
        QVERIFY(QFileInfo(workbook::lastWrittenPath()).fileName().startsWith(QStringLiteral("Прайс ")));

        QString err;
        const auto rows = sheet_readback::readRows(workbook::lastWrittenPath(), &err);
        QVERIFY2(err.isEmpty(), qPrintable(err));
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[2], (QStringList{"КР-100", "Резка", "12.5", "Готовая продукция"}));
    }

    // The windows' buttons: the timesheet export and the spreadsheet report.
    void timesheetExportAddsAllShifts() {
        testdb::startApp(QStringLiteral("t_exports"));
        loadFixture();
        // 8 hours in shift 1 and 3 in overtime on the 1st; 5 in shift 2 on the 31st.
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.h_tabel(w_id, smena, month, year, d1, d31) values "
            "(101, 1, 3, 2024, 8, null), (101, 4, 3, 2024, 3, null), (102, 2, 3, 2024, null, 5), "
            "(101, 1, 4, 2024, 7, null)"));
        TForm19& f19 = forms::form<TForm19>();
        f19.ComboBox1->setCurrentIndex(2);
        f19.ComboBox2->setCurrentText(QStringLiteral("2024"));
        f19.Button2Click();
        QCOMPARE(f19.Button2->text(), QStringLiteral("Excel (2 из 2)"));
        QVERIFY(f19.ComboBox1->isEnabled());
        QVERIFY(f19.Button6->isEnabled());
        QVERIFY(!forms::form<papers::TForm15>().H_Tabel.active());
        QCOMPARE(opened_.size(), 1);
        const workbook::Workbook* wb = workbook::current();
        QCOMPARE(wb->cell(1, 1, 1).text, f19.ComboBox1->itemText(2) + QStringLiteral(" 2024"));
        QVERIFY(wb->cell(1, 1, 1).bold);
        QVERIFY(wb->cell(1, 1, 1).textFormat);
        QCOMPARE(wb->cell(1, 1, 2).text, QStringLiteral("Фамилия И.О."));
        QCOMPARE(wb->cell(1, 2, 2).text, QStringLiteral("1"));
        QCOMPARE(wb->cell(1, 32, 2).text, QStringLiteral("31"));
        QCOMPARE(wb->cell(1, 33, 2).text, QStringLiteral("Итого"));
        QCOMPARE(wb->cell(1, 1, 3).text, QStringLiteral("Иванов И.И."));
        QCOMPARE(wb->cell(1, 2, 3).text, QStringLiteral("11"));
        QCOMPARE(wb->cell(1, 3, 3).text, QStringLiteral("0"));   // an empty day is written as 0
        QCOMPARE(wb->cell(1, 33, 3).text, QStringLiteral("11"));
        QCOMPARE(wb->cell(1, 1, 4).text, QStringLiteral("Петров П.П."));
        QCOMPARE(wb->cell(1, 32, 4).text, QStringLiteral("5"));
        QCOMPARE(wb->cell(1, 33, 4).text, QStringLiteral("5"));
        QVERIFY(wb->cell(1, 1, 5).text.isEmpty());
        QCOMPARE(wb->cell(1, 2, 3).type, workbook::CellType::Number);

        QString err;
        const auto rows = sheet_readback::readRows(workbook::lastWrittenPath(), &err);
        QVERIFY2(err.isEmpty(), qPrintable(err));
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[2].value(0), QStringLiteral("Иванов И.И."));
        QCOMPARE(rows[2].value(1), QStringLiteral("11"));
        QCOMPARE(rows[2].value(32), QStringLiteral("11"));

        // A month without timesheet rows: title and heading only.
        f19.ComboBox1->setCurrentIndex(5);
        f19.Button2Click();
        QCOMPARE(f19.Button2->text(), QStringLiteral("Excel (0 из 0)"));
        QCOMPARE(opened_.size(), 2);
        QCOMPARE(workbook::current()->cell(1, 33, 2).text, QStringLiteral("Итого"));
        QVERIFY(workbook::current()->cell(1, 1, 3).text.isEmpty());
        // The caption goes back when the window is next activated.
        f19.FormActivate();
        QCOMPARE(f19.Button2->text(), QStringLiteral("Excel"));
    }

    // The timesheet export lets the window repaint between rows. Whatever is pressed
    // meanwhile starts no second export, print or rebuild and closes neither the month's
    // query nor the window: one workbook, with the month's hours.
    void timesheetExportCannotBeEnteredTwice() {
        testdb::startApp(QStringLiteral("t_exports"));
        loadFixture();
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.h_tabel(w_id, smena, month, year, d1, d31) values "
            "(101, 1, 3, 2024, 8, null), (101, 4, 3, 2024, 3, null), (102, 2, 3, 2024, null, 5)"));
        MessageLog log;
        ModalScript modal;
        TForm19& f19 = forms::form<TForm19>();
        f19.ComboBox1->setCurrentIndex(2);
        f19.ComboBox2->setCurrentText(QStringLiteral("2024"));
        f19.ComboBox1Change();
        f19.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f19));
        int intrusions = 0;
        bool excelLive = true;
        // Runs at the export's first repaint between rows.
        QTimer::singleShot(0, &f19, [&] {
            ++intrusions;
            excelLive = f19.Button2->isEnabled();
            pressEverything(&f19, {f19.Button2, f19.Button6, f19.Button1, f19.Button5, f19.Button4});
            QTest::mouseClick(f19.ComboBox1, Qt::LeftButton);
            QTest::keyClick(f19.ComboBox1, Qt::Key_Down);
        });
        QTest::mouseClick(f19.Button2, Qt::LeftButton);
        QCOMPARE(intrusions, 1);
        QVERIFY(!excelLive);
        QVERIFY(f19.isVisible());
        QVERIFY(modal.shown.isEmpty());  // no print preview
        QVERIFY(log.messages.isEmpty());
        QCOMPARE(opened_.size(), 1);
        QCOMPARE(f19.Button2->text(), QStringLiteral("Excel (2 из 2)"));
        QCOMPARE(f19.ComboBox1->currentIndex(), 2);
        const workbook::Workbook* wb = workbook::current();
        QCOMPARE(wb->cell(1, 1, 3).text, QStringLiteral("Иванов И.И."));
        QCOMPARE(wb->cell(1, 2, 3).text, QStringLiteral("11"));
        QCOMPARE(wb->cell(1, 32, 4).text, QStringLiteral("5"));
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.h_tabel")), 3);  // no rebuild
        // Afterwards the window is usable again and Esc closes it.
        for (QWidget* w : std::initializer_list<QWidget*>{f19.Button1, f19.Button2, f19.Button4, f19.Button5,
                                                           f19.Button6, f19.ComboBox1, f19.ComboBox2})
            QVERIFY(w->isEnabled());
        QTest::keyClick(&f19, Qt::Key_Escape);
        QVERIFY(!f19.isVisible());
    }

    // The spreadsheet report and the price list hand the workbook to the spreadsheet
    // program at their end, while their query is still open (the desktop may run a loop
    // there, and tells the user when no program takes the file): the same presses start
    // and close nothing.
    void summaryReportExportCannotBeEnteredTwice() {
        testdb::startApp(QStringLiteral("t_exports"));
        loadFixture();
        MessageLog log;
        ModalScript modal;
        TForm18& f18 = forms::form<TForm18>();
        f18.DTPicker1->setDate(QDate(2024, 3, 1));
        f18.DTPicker2->setDate(QDate(2024, 4, 1));
        f18.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f18));
        int intrusions = 0;
        bool queryOpen = false;
        workbook::testing::setOpener([&](const QString& path) {
            opened_ << path;
            if (opened_.size() == 1) {
                ++intrusions;
                queryOpen = f18.XLS_Rep.active();
                pressEverything(&f18, {f18.Button6, f18.Button4, f18.Button2, f18.Button1, f18.Button3, f18.Button5});
            }
            return true;
        });
        QTest::mouseClick(f18.Button6, Qt::LeftButton);
        QCOMPARE(intrusions, 1);
        QVERIFY(queryOpen);
        QCOMPARE(opened_.size(), 1);
        QVERIFY(modal.shown.isEmpty());  // no report preview
        QVERIFY(f18.isVisible());
        QCOMPARE(f18.Button6->text(), QStringLiteral("Excel (4 из 4)"));
        QVERIFY(!f18.XLS_Rep.active());
        QCOMPARE(workbook::current()->cell(1, 5, 3).text, QStringLiteral("8"));
        QVERIFY(f18.Button6->isEnabled() && f18.Button5->isEnabled() && f18.DTPicker1->isEnabled());
        QTest::mouseClick(f18.Button5, Qt::LeftButton);
        QVERIFY(!f18.isVisible());
    }

    void priceListExportCannotBeEnteredTwice() {
        testdb::startApp(QStringLiteral("t_exports"));
        loadFixture();
        MessageLog log;
        ModalScript modal;
        TForm4& f4 = forms::form<TForm4>();
        f4.Tag = 0;
        dm().Oper.open();
        f4.prepareReference();
        f4.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f4));
        int intrusions = 0;
        workbook::testing::setOpener([&](const QString& path) {
            opened_ << path;
            if (opened_.size() == 1) {
                ++intrusions;
                pressEverything(&f4, {f4.Button5, f4.Button3, f4.Button1, f4.Button2, f4.Button4});
            }
            return true;
        });
        QTest::mouseClick(f4.Button5, Qt::LeftButton);
        QCOMPARE(intrusions, 1);
        QCOMPARE(opened_.size(), 1);
        QVERIFY(log.messages.isEmpty());  // no delete question
        QVERIFY(modal.shown.isEmpty());   // no editor
        QVERIFY(f4.isVisible());
        QCOMPARE(testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.oper")), 3);
        QCOMPARE(row(workbook::current(), 3, 4), (QStringList{"КР-100", "Резка", "12.5", "Готовая продукция"}));
        QVERIFY(f4.Button5->isEnabled() && f4.Button4->isEnabled());
        QTest::keyClick(&f4, Qt::Key_Escape);
        QVERIFY(!f4.isVisible());
        dm().Oper.close();
    }

    // The caption "Excel (k из N)" stays until the user comes back to the window from
    // elsewhere (the spreadsheet program): then it reads "Excel" again.
    void timesheetCaptionResetWhenTheWindowIsActivatedAgain() {
        testdb::startApp(QStringLiteral("t_exports"));
        loadFixture();
        testdb::exec(QStringLiteral(
            "insert into accounts_dep.h_tabel(w_id, smena, month, year, d1) values (101, 1, 3, 2024, 8)"));
        TForm19& f19 = forms::form<TForm19>();
        f19.ComboBox1->setCurrentIndex(2);
        f19.ComboBox2->setCurrentText(QStringLiteral("2024"));
        f19.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f19));
        QApplication::setActiveWindow(&f19);
        QTest::mouseClick(f19.Button2, Qt::LeftButton);
        QCOMPARE(f19.Button2->text(), QStringLiteral("Excel (1 из 1)"));
        // The spreadsheet program comes to the front, then the user returns.
        QWidget elsewhere;
        elsewhere.show();
        QVERIFY(QTest::qWaitForWindowExposed(&elsewhere));
        QApplication::setActiveWindow(&elsewhere);
        QCOMPARE(f19.Button2->text(), QStringLiteral("Excel (1 из 1)"));
        QApplication::setActiveWindow(&f19);
        QCOMPARE(f19.Button2->text(), QStringLiteral("Excel"));
        f19.hide();
    }

    void summaryWindowSpreadsheetReportFollowsKindAndPeriod() {
        testdb::startApp(QStringLiteral("t_exports"));
        loadFixture();
        TForm18& f18 = forms::form<TForm18>();
        f18.DTPicker1->setDate(QDate(2024, 3, 1));
        f18.DTPicker2->setDate(QDate(2024, 4, 1));
        f18.RadioGroup1->setItemIndex(2);  // "Заготовки"
        f18.Button6Click();
        QCOMPARE(f18.Button6->text(), QStringLiteral("Excel (3 из 3)"));
        const workbook::Workbook* wb = workbook::current();
        QCOMPARE(wb->cell(1, 1, 1).text, QStringLiteral("Наименование"));
        for (int r = 2; r <= 4; ++r) QCOMPARE(wb->cell(1, 3, r).text, QStringLiteral("Заготовки"));
        QVERIFY(wb->cell(1, 2, 5).text.isEmpty());
        // The period and kind chosen at the next press are used.
        f18.RadioGroup1->setItemIndex(0);
        f18.DTPicker1->setDate(QDate(2024, 2, 1));
        f18.Button6Click();
        QCOMPARE(f18.Button6->text(), QStringLiteral("Excel (4 из 4)"));
        // The 29 February entry joins the first of March in the same group: 8 + 100.
        QCOMPARE(workbook::current()->cell(1, 1, 3).text, QStringLiteral("Кронштейны"));
        QCOMPARE(workbook::current()->cell(1, 5, 3).text, QStringLiteral("108"));
    }

    void textsOfTheCells_data() {
        QTest::addColumn<QString>("vid");
        QTest::addColumn<int>("color");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no colour") << "Резка" << 0 << "Резка";
        QTest::newRow("negative colour") << "Резка" << -3 << "Резка";
        QTest::newRow("primer") << "Покраска" << 1 << "Покраска (грунт)";
        QTest::newRow("colour number") << "Покраска" << 7024 << "Покраска (цвет: 7024)";
    }
    void textsOfTheCells() {
        QFETCH(QString, vid);
        QFETCH(int, color);
        QFETCH(QString, expected);
        QCOMPARE(papers::operationWithColour(vid, color), expected);
    }

    void numbersOfTheCells() {
        QCOMPARE(papers::generalNumber(QStringLiteral("225.000000")), QStringLiteral("225"));
        QCOMPARE(papers::generalNumber(QStringLiteral("1.250000")), QStringLiteral("1.25"));
        QCOMPARE(papers::generalNumber(0.1 + 0.2), QStringLiteral("0.3"));
        QCOMPARE(papers::generalNumber(QVariant()), QString());
        QCOMPARE(papers::wholeNumber(QStringLiteral("150")), QStringLiteral("150"));
        QCOMPARE(papers::wholeNumber(QVariant(qulonglong(7))), QStringLiteral("7"));
        QCOMPARE(papers::kindText(0), QStringLiteral("Готовая продукция"));
        QCOMPARE(papers::kindText(1), QStringLiteral("Заготовки"));
        QCOMPARE(papers::kindText(5), QStringLiteral("Заготовки"));
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(papers::generalNumber(QStringLiteral("1.250000")), QStringLiteral("1,25"));
        QCOMPARE(papers::generalNumber(QStringLiteral("12345.5")), QStringLiteral("12345,5"));  // no grouping
        QCOMPARE(displayText(1200.0), QStringLiteral("1200"));
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_MAIN(TestExports)
#include "test_exports.moc"
