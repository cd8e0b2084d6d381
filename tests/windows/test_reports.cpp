// The summary reports window and the four production reports against a small fixture.
#include "core/datamodule.h"
#include "gui/forms.h"
#include "domain/session.h"
#include "core/signin.h"
#include "journal/tform1.h"
#include "papers/layouts.h"
#include "reports/tform18.h"
#include "support/testdb.h"
#include "support/report_lines.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>

using namespace mirn;

namespace {

// Three workers' entries of March 2024, one on the day before and one on the day after:
//   products КР-100 (0.5 boxes) and КР-200 (1.25) in the group "Кронштейны", ХМ-40 (0.1) in "Хомуты";
//   operations 1 КР-100 Гибка and 2 КР-100 Покраска (finished), 3 ХМ-40 Резка and 4 КР-200 Гибка (blanks);
//   worker 999 has no person: product reports count the entry, worker reports cannot.
void loadFixture() {
    testdb::exec(QStringLiteral(
        "insert into cmn_contractor.person(id, s_caption, s_code) values "
        "(1, 'Антонов А.А.', '101'), (2, 'Борисов Б.Б.', '102'), (3, 'Воронов В.В.', '103')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_classifier.item(id, id_level, s_caption) values (500, 2, 'Кронштейны'), (501, 2, 'Хомуты')"));
    testdb::exec(QStringLiteral(
        "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) values "
        "(1, 'КР-100', '', 6, 0.5, 500), (2, 'КР-200', '', 6, 1.25, 500), (3, 'ХМ-40', '', 6, 0.1, 501)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.vid_oper(id, vid) values (1, 'Гибка'), (2, 'Покраска'), (3, 'Резка')"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) values "
        "(1, 1, 0, 1, 0), (2, 2, 0, 1, 0), (3, 3, 1, 3, 0), (4, 1, 1, 2, 0)"));
    testdb::exec(QStringLiteral(
        "insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok, prize) values "
        "(101, 1, 1, 2.5,  10,  2, '2024-03-01', 1, 0,    8, 'ok', 10), "
        "(101, 2, 1, 1.5,   4,  0, '2024-03-05', 1, 1,    4, 'ok', 0), "
        "(101, 2, 1, 1.5,   6,  1, '2024-03-06', 2, 1013, 6, 'ok', 0), "
        "(101, 3, 3, 0.75,  8,  0, '2024-03-10', 1, 0,    3, 'ok', 0), "
        "(102, 3, 3, 0.75, 20,  4, '2024-03-31', 3, 0,    8, 'no', 0), "
        "(102, 4, 2, 3,     5,  0, '2024-03-15', 1, 0,    2, 'ok', 0), "
        "(101, 1, 1, 2.5, 100,  0, '2024-04-01', 1, 0,    8, 'ok', 0), "
        "(101, 1, 1, 2.5, 100,  0, '2024-02-29', 1, 0,    8, 'ok', 0), "
        "(999, 1, 1, 2.5,   2,  0, '2024-03-20', 1, 0,    1, 'ok', 0), "
        "(101, 1, 1, 2.5,   3,  1, '2024-03-20', 4, 0,    2, 'ok', 0)"));
}

const QDate kFrom(2024, 3, 1), kTo(2024, 4, 1);

// Rows of one group that tie on the query's sort order come in any order: sort each
// run of detail lines, keep everything else where it is.
QStringList normalised(QStringList l) {
    for (int i = 0; i < l.size();) {
        int j = i;
        while (j < l.size() && l[j].startsWith(QLatin1String("detail: "))) ++j;
        std::sort(l.begin() + i, l.begin() + j);
        i = j == i ? i + 1 : j;
    }
    return l;
}

// The lines between the title (and headings) and the page footer.
QStringList body(const rpt::PreparedReport& r) {
    QStringList l = normalised(lines(r));
    l.erase(std::remove_if(l.begin(), l.end(),
                           [](const QString& s) {
                               return s.startsWith(QLatin1String("header: ")) ||
                                      s.startsWith(QLatin1String("columns: ")) ||
                                      s.startsWith(QLatin1String("pageFooter: "));
                           }),
            l.end());
    return l;
}

// The page footer of page n of m, printed today.
QString footer(int n, int m) {
    return QStringLiteral("pageFooter: Дата печати: %1|стр. %2 из %3")
        .arg(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")))
        .arg(n)
        .arg(m);
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return QStringLiteral("<%1 failed>").arg(program);
    return QString::fromUtf8(p.readAllStandardOutput());
}

enum Report { ByWorkers, ByProducts, DetailedByWorkers, DetailedByProducts };

papers::ProductionLayout& layoutOf(Report r) {
    switch (r) {
    case ByWorkers: return forms::form<papers::TForm16>();
    case ByProducts: return forms::form<papers::TForm17>();
    case DetailedByWorkers: return forms::form<papers::TForm20>();
    case DetailedByProducts: break;
    }
    return forms::form<papers::TForm21>();
}

// Runs a report from the window as the user would: period, kind, button; the preview
// is answered at once. Returns the pages the preview was given.
rpt::PreparedReport runReport(Report r, const QDate& from, const QDate& to, int kind = 0) {
    TForm18& f = forms::form<TForm18>();
    f.DTPicker1->setDate(from);
    f.DTPicker2->setDate(to);
    f.RadioGroup1->setItemIndex(kind);
    // The pages live while the preview shows; they are let go when it closes.
    rpt::PreparedReport shown;
    ModalScript modal([&](QDialog* d) {
        shown = shownPages(d);
        return int(QDialog::Rejected);
    });
    QPushButton* buttons[] = {f.Button4, f.Button2, f.Button1, f.Button3};
    buttons[r]->click();
    if (modal.shown.size() != 1) qWarning() << "the preview was not shown";
    return shown;
}

}  // namespace

Q_DECLARE_METATYPE(Report)

class TestReports : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale::c());
        testdb::startApp(QStringLiteral("t_reports"));
        loadFixture();
        session().role = Role::Administrator;
    }
    void cleanupTestCase() { testdb::stopApp(); }

    // Every report of the fixture month, all product kinds: groups, rows, subtotals, totals.
    void reportsOfTheMonth_data() {
        QTest::addColumn<Report>("report");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("headings");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("by workers")
            << ByWorkers << QStringLiteral("   Отчет по рабочим за период с 01.03.2024 по 01.04.2024") << QStringList{}
            << QStringLiteral("Вид продукции|Операция|Цвет|Кол-во|Сумма")
            << QStringList{
                   "fio: Антонов А.А.",
                   "nom: Кронштейны",
                   "detail: Готовая продукция|Гибка| |10|25.000",  // 01.03 and the overtime of 20.03 together
                   "detail: Готовая продукция|Покраска| (RAL: 1013)|5|7.500",
                   "detail: Готовая продукция|Покраска| (грунт)|4|6.000",
                   "nomFooter: 19|38.500",
                   "nom: Хомуты",
                   "detail: Заготовки|Резка| |8|6.000",
                   "nomFooter: 8|6.000",
                   "fioFooter: 44.50",
                   "fio: Борисов Б.Б.",
                   "nom: Кронштейны",
                   "detail: Заготовки|Гибка| |5|15.000",
                   "nomFooter: 5|15.000",
                   "nom: Хомуты",
                   "detail: Заготовки|Резка| |16|12.000",
                   "nomFooter: 16|12.000",
                   "fioFooter: 27.00",
                   "total: Итого:|71.50",
               };
        QTest::newRow("by products")
            << ByProducts << QStringLiteral("   Отчет по продукции за период с 01.03.2024 по 01.04.2024")
            << QStringList{"Коробки", "Количество"}
            << QStringLiteral("Вид продукции|Операция|Цвет|Коробки|Количество")
            << QStringList{
                   "nom: Кронштейны",
                   "detail: Готовая продукция|Гибка| |6|12",  // worker 999 counts here
                   "detail: Готовая продукция|Покраска| (RAL: 1013)|2.5|5",
                   "detail: Готовая продукция|Покраска| (грунт)|2|4",
                   "detail: Заготовки|Гибка| |6.25|5",
                   "nomFooter: 16.75|26",
                   "nom: Хомуты",
                   "detail: Заготовки|Резка| |2.4|24",
                   "nomFooter: 2.4|24",
                   "total: Итого:|19|50",  // 19.15 boxes as a whole number
               };
        QTest::newRow("detailed by workers")
            << DetailedByWorkers
            << QStringLiteral("   Детальный отчет по рабочим за период с 01.03.2024 по 01.04.2024")
            << QStringList{"Брак", "Количество", "Сумма"}
            << QStringLiteral("Марка|Операция|Цвет|Вид продукции|Брак|Кол-во|Сумма")
            << QStringList{
                   "fio: Антонов А.А.",
                   "detail: КР-100|Гибка|0|Готовая продукция|3.00|13.00|25.00",
                   "detail: КР-100|Покраска|1013|Готовая продукция|1.00|6.00|7.50",
                   "detail: КР-100|Покраска|1|Готовая продукция|0.00|4.00|6.00",
                   "detail: ХМ-40|Резка|0|Заготовки|0.00|8.00|6.00",
                   "fioFooter: 4|31|44.50",
                   "fio: Борисов Б.Б.",
                   "detail: КР-200|Гибка|0|Заготовки|0.00|5.00|15.00",
                   "detail: ХМ-40|Резка|0|Заготовки|4.00|20.00|12.00",
                   "fioFooter: 4|25|27.00",
                   "total: Итого:|8|56|71.50",
               };
        QTest::newRow("detailed by products")
            << DetailedByProducts
            << QStringLiteral("   Детальный отчет по продукции за период с 01.03.2024 по 01.04.2024")
            << QStringList{"Брак", "Коробки", "Кол-во", "Сумма"}
            << QStringLiteral("Марка|Операция|Цвет|Вид продукции|Брак|Коробки|Кол-во|Сумма")
            << QStringList{
                   "nom: Кронштейны",
                   "detail: КР-100|Гибка|0|Готовая продукция|3.000|7.500|15.000|30.000",
                   "detail: КР-100|Покраска|1013|Готовая продукция|1.000|3.000|6.000|7.500",
                   "detail: КР-100|Покраска|1|Готовая продукция|0.000|2.000|4.000|6.000",
                   "detail: КР-200|Гибка|0|Заготовки|0.000|6.250|5.000|15.000",
                   "nomFooter: 4|18.75|30|58.50",
                   "nom: Хомуты",
                   "detail: ХМ-40|Резка|0|Заготовки|4.000|2.800|28.000|18.000",
                   "nomFooter: 4|2.80|28|18.00",
                   "total: Итого:|8|21.55|58|76.50",
               };
    }
    void reportsOfTheMonth() {
        QFETCH(Report, report);
        QFETCH(QString, title);
        QFETCH(QStringList, headings);
        QFETCH(QString, columns);
        QFETCH(QStringList, expected);
        const rpt::PreparedReport& r = runReport(report, kFrom, kTo);
        QCOMPARE(r.pages.size(), size_t(1));
        QCOMPARE(r.orientation, QPageLayout::Portrait);
        QCOMPARE(r.paper, QPageSize::A4);
        QCOMPARE(r.fontFamily, QStringLiteral("Arial"));
        const QStringList all = lines(r);
        QCOMPARE(all.first(), QStringLiteral("header: ") + title);
        if (!headings.isEmpty()) QCOMPARE(all.at(1), QStringLiteral("header: ") + headings.join(QLatin1Char('|')));
        QCOMPARE(all.at(headings.isEmpty() ? 1 : 2), QStringLiteral("columns: ") + columns);
        QCOMPARE(all.last(), footer(1, 1));
        QCOMPARE(body(r), expected);
        QVERIFY(!layoutOf(report).query().active());  // closed once the preview is done
    }

    // The product kind filter works on the fetched rows: other rows, their groups and
    // their share of every total are gone.
    void productKindFilter_data() {
        QTest::addColumn<Report>("report");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("by workers, blanks")
            << ByWorkers << 2
            << QStringList{"fio: Антонов А.А.", "nom: Хомуты", "detail: Заготовки|Резка| |8|6.000", "nomFooter: 8|6.000",
                           "fioFooter: 6.00", "fio: Борисов Б.Б.", "nom: Кронштейны",
                           "detail: Заготовки|Гибка| |5|15.000", "nomFooter: 5|15.000", "nom: Хомуты",
                           "detail: Заготовки|Резка| |16|12.000", "nomFooter: 16|12.000", "fioFooter: 27.00",
                           "total: Итого:|33.00"};
        QTest::newRow("by workers, finished")
            << ByWorkers << 1
            << QStringList{"fio: Антонов А.А.", "nom: Кронштейны", "detail: Готовая продукция|Гибка| |10|25.000",
                           "detail: Готовая продукция|Покраска| (RAL: 1013)|5|7.500",
                           "detail: Готовая продукция|Покраска| (грунт)|4|6.000", "nomFooter: 19|38.500",
                           "fioFooter: 38.50", "total: Итого:|38.50"};
        QTest::newRow("by products, finished")
            << ByProducts << 1
            << QStringList{"nom: Кронштейны", "detail: Готовая продукция|Гибка| |6|12",
                           "detail: Готовая продукция|Покраска| (RAL: 1013)|2.5|5",
                           "detail: Готовая продукция|Покраска| (грунт)|2|4", "nomFooter: 10.5|21",
                           "total: Итого:|11|21"};
        QTest::newRow("detailed by workers, blanks")
            << DetailedByWorkers << 2
            << QStringList{"fio: Антонов А.А.", "detail: ХМ-40|Резка|0|Заготовки|0.00|8.00|6.00", "fioFooter: 0|8|6.00",
                           "fio: Борисов Б.Б.", "detail: КР-200|Гибка|0|Заготовки|0.00|5.00|15.00",
                           "detail: ХМ-40|Резка|0|Заготовки|4.00|20.00|12.00", "fioFooter: 4|25|27.00",
                           "total: Итого:|4|33|33.00"};
        QTest::newRow("detailed by products, blanks")
            << DetailedByProducts << 2
            << QStringList{"nom: Кронштейны", "detail: КР-200|Гибка|0|Заготовки|0.000|6.250|5.000|15.000",
                           "nomFooter: 0|6.25|5|15.00", "nom: Хомуты",
                           "detail: ХМ-40|Резка|0|Заготовки|4.000|2.800|28.000|18.000", "nomFooter: 4|2.80|28|18.00",
                           "total: Итого:|4|9.05|33|33.00"};
    }
    void productKindFilter() {
        QFETCH(Report, report);
        QFETCH(int, kind);
        QFETCH(QStringList, expected);
        QCOMPARE(body(runReport(report, kFrom, kTo, kind)), expected);
        // The next report with "Все" switches the filter off again.
        runReport(report, kFrom, kTo, 0);
        QVERIFY(!layoutOf(report).query().filtered());
    }

    // The "с" day is in the period, the "по" day is not.
    void periodBounds_data() {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("total");
        QTest::newRow("the month") << kFrom << kTo << "total: Итого:|8|56|71.50";
        QTest::newRow("without the 31st") << kFrom << QDate(2024, 3, 31) << "total: Итого:|4|36|59.50";
        QTest::newRow("without the 1st") << QDate(2024, 3, 2) << kTo << "total: Итого:|6|46|51.50";
        QTest::newRow("the day before only") << QDate(2024, 2, 29) << kFrom << "total: Итого:|0|100|250.00";
        QTest::newRow("the day after only") << kTo << QDate(2024, 4, 2) << "total: Итого:|0|100|250.00";
        QTest::newRow("equal dates") << kFrom << kFrom << "total: Итого:|0|0|0.00";
    }
    void periodBounds() {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, total);
        const rpt::PreparedReport& r = runReport(DetailedByWorkers, from, to);
        const QStringList all = lines(r);
        QCOMPARE(all.at(all.size() - 2), total);
        QVERIFY(all.first().endsWith(from.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" по ") +
                                     to.toString(QStringLiteral("dd.MM.yyyy"))));
        QCOMPARE(all.last(), footer(1, 1));
    }

    void bandsAreShadedAndFramed() {
        const rpt::PreparedReport& r = runReport(ByWorkers, kFrom, kTo);
        QHash<QString, const rpt::PreparedItem*> bands;
        for (const rpt::PreparedItem& it : r.pages[0].items)
            if (it.isBand && !bands.contains(it.band)) bands.insert(it.band, &it);
        QCOMPARE(bands.value(QStringLiteral("header"))->shade, QColor(244, 244, 244));
        QCOMPARE(bands.value(QStringLiteral("fio"))->shade, QColor(224, 224, 224));
        QCOMPARE(bands.value(QStringLiteral("nom"))->shade, QColor(224, 224, 224));
        QCOMPARE(bands.value(QStringLiteral("total"))->shade, QColor(220, 220, 220));
        QCOMPARE(bands.value(QStringLiteral("total"))->frame, int(rpt::AllSides));
        QCOMPARE(bands.value(QStringLiteral("fioFooter"))->frame, int(rpt::Bottom));
        for (const rpt::PreparedItem& it : r.pages[0].items) {
            if (it.isBand) continue;
            if (it.band == QLatin1String("pageFooter")) continue;
            if (it.band.endsWith(QLatin1String("Footer")) || it.band == QLatin1String("total")) {
                QVERIFY2(it.bold, qPrintable(it.band + it.text));
                if (it.text != QStringLiteral("Итого:"))
                    QVERIFY2(it.shade == QColor(239, 239, 239), qPrintable(it.band + QLatin1Char(' ') + it.text));
            }
            if (it.band == QLatin1String("fio") || it.element == QLatin1String("QRLabel1")) QVERIFY(it.bold);
            if (it.band == QLatin1String("detail")) QVERIFY(!it.bold);
        }
    }

    // The four reports as PDF files, read back as text.
    void pdfOfEachReport_data() {
        QTest::addColumn<Report>("report");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("by workers") << ByWorkers
                                    << QStringList{"Отчет по рабочим за период с 01.03.2024 по 01.04.2024",
                                                   "Антонов А.А.", "(грунт)", "(RAL: 1013)", "38.500", "Итого:", "71.50"};
        QTest::newRow("by products") << ByProducts
                                     << QStringList{"Отчет по продукции", "Коробки", "Количество", "Хомуты", "16.75",
                                                    "Итого:", "19"};
        QTest::newRow("detailed by workers")
            << DetailedByWorkers << QStringList{"Детальный отчет по рабочим", "Брак", "КР-200", "Заготовки", "44.50", "71.50"};
        QTest::newRow("detailed by products")
            << DetailedByProducts
            << QStringList{"Детальный отчет по продукции", "Кол-во", "ХМ-40", "7.500", "18.75", "21.55", "76.50"};
    }
    void pdfOfEachReport() {
        QFETCH(Report, report);
        QFETCH(QStringList, texts);
        const rpt::PreparedReport& r = runReport(report, kFrom, kTo);
        QTemporaryDir tmp;
        const QString keep = qEnvironmentVariable("MIRN_REPORT_PDF_DIR");
        const QString path = (keep.isEmpty() ? tmp.path() : keep) +
                             QStringLiteral("/report_%1.pdf").arg(int(report));
        QVERIFY(rpt::writePdf(r, path, QStringLiteral("Отчет")));
        const QString text = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
        for (const QString& t : texts) QVERIFY2(text.contains(t), qPrintable(t + QStringLiteral(" missing in:\n") + text));
        // The page footer: the date of printing and "стр. N из M".
        for (const QString& t : {QStringLiteral("стр. 1 из 1"),
                                 QStringLiteral("Дата печати: ") +
                                     QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))})
            QVERIFY2(text.contains(t), qPrintable(t + QStringLiteral(" missing in:\n") + text));
    }

    // A month of many workers and products: every page of every report starts with the
    // column headings (after the title on the first) and ends with "стр. N из M".
    void longReportsHeadEveryPage_data() {
        QTest::addColumn<Report>("report");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<int>("details");
        // 150 workers each with one product of its own group: one detail line each.
        QTest::newRow("by workers") << ByWorkers << QStringLiteral("columns: Вид продукции|Операция|Цвет|Кол-во|Сумма") << 150;
        QTest::newRow("by products") << ByProducts << QStringLiteral("columns: Вид продукции|Операция|Цвет|Коробки|Количество") << 150;
        QTest::newRow("detailed by workers")
            << DetailedByWorkers << QStringLiteral("columns: Марка|Операция|Цвет|Вид продукции|Брак|Кол-во|Сумма") << 150;
        QTest::newRow("detailed by products")
            << DetailedByProducts << QStringLiteral("columns: Марка|Операция|Цвет|Вид продукции|Брак|Коробки|Кол-во|Сумма")
            << 150;
    }
    void longReportsHeadEveryPage() {
        QFETCH(Report, report);
        QFETCH(QString, columns);
        QFETCH(int, details);
        static bool loaded = false;
        if (!loaded) {
            loaded = true;
            testdb::exec(QStringLiteral(
                "insert into cmn_contractor.person(id, s_caption, s_code) "
                "select 2000 + i, 'Работник ' || lpad(i::text, 3, '0'), (2000 + i)::text from generate_series(1, 150) i"));
            testdb::exec(QStringLiteral("insert into cmn_classifier.item(id, id_level, s_caption) "
                                        "select 600 + i, 2, 'Группа ' || lpad(i::text, 3, '0') from generate_series(1, 150) i"));
            testdb::exec(QStringLiteral(
                "insert into cmn_gds_and_srv.gds_and_srv(id, s_caption, s_description, id_msm_bs, massa, id_class_item) "
                "select 100 + i, 'ИЗД-' || lpad(i::text, 3, '0'), '', 6, 1, 600 + i from generate_series(1, 150) i"));
            testdb::exec(QStringLiteral("insert into accounts_dep.oper(id, vid, naimen, i_id, cena_new) "
                                        "select 100 + i, 1, i % 2, 100 + i, 0 from generate_series(1, 150) i"));
            testdb::exec(QStringLiteral(
                "insert into accounts_dep.smena(w_id, o_id, i_id, cena, kol_vo, brak, data, smena, color, time, ok, prize) "
                "select 2000 + i, 100 + i, 100 + i, 1, 2, 0, date '2023-01-10', 1, 0, 8, 'ok', 0 "
                "from generate_series(1, 150) i"));
        }
        const rpt::PreparedReport& r = runReport(report, QDate(2023, 1, 1), QDate(2023, 2, 1));
        const int pages = int(r.pages.size());
        QVERIFY2(pages >= 2, qPrintable(QString::number(pages)));
        int seen = 0;
        for (int p = 0; p < pages; ++p) {
            rpt::PreparedReport one = r;
            one.pages = {r.pages[size_t(p)]};
            const QStringList l = lines(one);
            QCOMPARE(l.at(p == 0 ? (report == ByWorkers ? 1 : 2) : 0), columns);
            QCOMPARE(l.count(columns), 1);
            QCOMPARE(l.last(), footer(p + 1, pages));
            seen += int(l.filter(QRegularExpression(QStringLiteral("^detail: "))).size());
        }
        QCOMPARE(seen, details);
    }

    // Today's previous calendar month, whatever the journal's date.
    void defaultPeriod_data() {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QDate>("end");
        QTest::newRow("January") << QDate(2025, 1, 15) << QDate(2024, 12, 1) << QDate(2025, 1, 1);
        QTest::newRow("last of March") << QDate(2024, 3, 31) << QDate(2024, 2, 1) << QDate(2024, 3, 1);
        QTest::newRow("first of December") << QDate(2024, 12, 1) << QDate(2024, 11, 1) << QDate(2024, 12, 1);
    }
    void defaultPeriod() {
        QFETCH(QDate, today);
        QFETCH(QDate, start);
        QFETCH(QDate, end);
        const reports::ReportPeriod p = reports::previousMonth(today);
        QCOMPARE(p.start, start);
        QCOMPARE(p.end, end);
    }

    // The journal's menu opens the window with the previous month and the role's restrictions.
    void openingFromTheJournal_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("allReports");
        QTest::addColumn<bool>("kindLocked");
        QTest::newRow("viewer") << "pivrat" << true << false;
        QTest::newRow("foremen") << "brolkin" << false << false;
        QTest::newRow("finished goods") << "tuvem" << false << true;
        QTest::newRow("administrator") << "63527140" << true << false;
    }
    void openingFromTheJournal() {
        QFETCH(QString, code);
        QFETCH(bool, allReports);
        QFETCH(bool, kindLocked);
        testdb::startApp(QStringLiteral("t_reports_roles"));
        TForm1& f1 = signIn(code);
        f1.DateT->setDate(QDate(2020, 6, 10));  // the journal's date plays no part
        const QDate first(QDate::currentDate().year(), QDate::currentDate().month(), 1);
        // What the window looks like each time it is shown.
        struct Seen {
            QString title;
            QDate from, to;
            QList<bool> reports;  // Button1, Button2, Button4, Button6
            bool detailedByProducts = false, exit = false, kindEnabled = false;
            int kind = -1;
        };
        QList<Seen> seen;
        ModalScript modal([&](QDialog* d) {
            if (auto* f = qobject_cast<TForm18*>(d)) {
                Seen s{f->windowTitle(), f->DTPicker1->date(), f->DTPicker2->date(), {}};
                for (QPushButton* b : {f->Button1, f->Button2, f->Button4, f->Button6}) s.reports << b->isEnabled();
                s.detailedByProducts = f->Button3->isEnabled();
                s.exit = f->Button5->isEnabled();
                s.kindEnabled = f->RadioGroup1->isEnabled();
                s.kind = f->RadioGroup1->itemIndex();
                seen << s;
            }
            return int(QDialog::Rejected);
        });
        f1.N10->trigger();  // "Отчеты" → "Сводные отчеты"
        forms::form<TForm18>().RadioGroup1->setItemIndex(2);
        f1.N10->trigger();  // opened again, the restrictions still hold
        QCOMPARE(seen.size(), 2);
        for (int i = 0; i < 2; ++i) {
            const Seen& s = seen[i];
            QCOMPARE(s.title, QStringLiteral("Отчеты (8)"));
            QCOMPARE(s.from, first.addMonths(-1));
            QCOMPARE(s.to, first);
            QCOMPARE(s.reports, QList<bool>(4, allReports));
            QVERIFY(s.detailedByProducts);
            QVERIFY(s.exit);
            QCOMPARE(s.kindEnabled, !kindLocked);
            // The choice stays between openings, except where the role fixes it.
            QCOMPARE(s.kind, kindLocked ? 1 : (i == 0 ? 0 : 2));
        }
    }

    // Signed in for finished goods, the one report left lists finished products only.
    void finishedGoodsSeeFinishedProductsOnly() {
        testdb::startApp(QStringLiteral("t_reports"));
        loadFixture();
        signIn(QStringLiteral("tuvem"));
        TForm18& f = forms::form<TForm18>();  // created after the sign-in, restricted from the start
        f.DTPicker1->setDate(kFrom);
        f.DTPicker2->setDate(kTo);
        QStringList b;
        ModalScript modal([&](QDialog* d) {
            b = body(shownPages(d));
            return int(QDialog::Rejected);
        });
        f.Button3->click();
        QCOMPARE(modal.shown.size(), 1);
        QCOMPARE(b.last(), QStringLiteral("total: Итого:|4|12.5|25|43.50"));
        for (const QString& l : b)
            if (l.startsWith(QLatin1String("detail: "))) QVERIFY2(l.contains(QStringLiteral("Готовая продукция")), qPrintable(l));
    }

    // A failing query is shown as an error and leaves no report and no open query behind.
    void databaseErrorShowsAndClosesNothingOpen() {
        testdb::startApp(QStringLiteral("t_reports"));
        loadFixture();
        session().role = Role::Administrator;
        papers::TForm16& layout = forms::form<papers::TForm16>();
        const QStringList sql = layout.t_Report.SQL;
        layout.t_Report.SQL = QStringList{QStringLiteral("select * from accounts_dep.no_such_table where :data1 < :data2")};
        MessageLog log;
        ModalScript modal;
        forms::form<TForm18>().Button4->click();
        layout.t_Report.SQL = sql;
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.lastFailure().contains(QStringLiteral("no_such_table")), qPrintable(log.lastText() + " | " + log.lastDetails()));
        QVERIFY(modal.shown.isEmpty());
        QVERIFY(!layout.t_Report.active());
    }
};

QTEST_MAIN(TestReports)
#include "test_reports.moc"
