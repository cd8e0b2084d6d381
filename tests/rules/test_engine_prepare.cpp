// Layout of reports into pages: group breaks, totals, pagination, masks.
#include "engine/engine.h"

#include <QtTest>

#include <stdexcept>

using namespace mirn;

using namespace rpt;

namespace {

const QColor kHeadShade(244, 244, 244);
const QColor kGroupShade(224, 224, 224);
const QColor kTotalBandShade(220, 220, 220);
const QColor kTotalShade(239, 239, 239);

// One placed band as the test reads it: where it went and the texts it printed.
struct Placed {
    int page = 0;
    QString band;
    double top = 0;
    QStringList texts;
    QString line() const { return band + QStringLiteral(": ") + texts.join(QLatin1Char('|')); }
};

// Element items of one band placement share the band's top (all fixture elements sit at
// y = 0); a band's own background starts a placement and prints no text.
std::vector<Placed> placements(const PreparedReport& r) {
    std::vector<Placed> out;
    for (size_t p = 0; p < r.pages.size(); ++p) {
        for (const PreparedItem& it : r.pages[p].items) {
            if (it.isBand) {
                out.push_back({int(p), it.band, it.rect.top(), {}});
                continue;
            }
            if (out.empty() || out.back().page != int(p) || out.back().band != it.band ||
                !qFuzzyCompare(out.back().top + 1, it.rect.top() + 1))
                out.push_back({int(p), it.band, it.rect.top(), {}});
            out.back().texts << it.text;
        }
    }
    return out;
}

QStringList lines(const PreparedReport& r) {
    QStringList l;
    for (const Placed& p : placements(r))
        if (!p.texts.isEmpty()) l << p.line();
    return l;
}

QStringList lines(const PreparedReport& r, const QString& band) {
    QStringList l;
    for (const Placed& p : placements(r))
        if (p.band == band) l << p.texts.join(QLatin1Char('|'));
    return l;
}

const PreparedItem* item(const PreparedPage& page, const QString& element) {
    for (const PreparedItem& it : page.items)
        if (it.element == element) return &it;
    return nullptr;
}

QVariant kindText(const Row& r) {
    return r.value(QStringLiteral("naimen")).toInt() == 0 ? QStringLiteral("Готовая продукция")
                                                          : QStringLiteral("Заготовки");
}

QVariant colourText(const Row& r) {
    const int c = r.value(QStringLiteral("color")).toInt();
    if (c <= 0) return QStringLiteral(" ");
    return c == 1 ? QStringLiteral(" (грунт)") : QStringLiteral(" (RAL: %1)").arg(c);
}

// The shape of the report by workers: title header with a spacer child, a worker group
// with a product group inside it, subtotals on both, report totals and a page number.
ReportDef workersReport() {
    ReportDef d;
    d.decimalSeparator = QStringLiteral(".");
    Group head;
    head.header = Band(QStringLiteral("header"), 12);
    head.header.setShade(kHeadShade)
        .add(Element::label({0, 0, 180, 8}, QStringLiteral("Отчет"), QStringLiteral("QRLabel1"))
                 .setBold()
                 .setFontSize(12))
        .addChild(Band(QStringLiteral("spacer"), 2));
    head.footer = Band(QStringLiteral("total"), 7);
    head.footer.setFrame(AllSides).setShade(kTotalBandShade).setBold()
        .add(Element::label({0, 0, 40, 7}, QStringLiteral("Итого:")))
        .add(Element::sum({120, 0, 25, 7}, QStringLiteral("kolvo"), {}, false).centred())
        .add(Element::sum({150, 0, 30, 7}, QStringLiteral("summa"), QStringLiteral("#0.00"), false)
                 .centred()
                 .setShade(kTotalShade));
    Group fio;
    fio.key = QStringLiteral("t_Report.fio");
    fio.header = Band(QStringLiteral("fioHeader"), 6);
    fio.header.setShade(kGroupShade).add(Element::field({0, 0, 120, 6}, QStringLiteral("fio")).setBold());
    fio.footer = Band(QStringLiteral("fioFooter"), 6);
    fio.footer.setFrame(Bottom).setBold().add(
        Element::sum({150, 0, 30, 6}, QStringLiteral("summa"), QStringLiteral("#0.00")).centred());
    Group nom;
    nom.key = QStringLiteral("NOM");
    nom.header = Band(QStringLiteral("nomHeader"), 6);
    nom.header.setShade(kGroupShade).add(Element::field({10, 0, 110, 6}, QStringLiteral("nom")).setBold());
    nom.footer = Band(QStringLiteral("nomFooter"), 6);
    nom.footer.setBold()
        .add(Element::field({10, 0, 100, 6}, QStringLiteral("nom")))
        .add(Element::sum({120, 0, 25, 6}, QStringLiteral("kolvo")).centred().setShade(kTotalShade))
        .add(Element::sum({150, 0, 30, 6}, QStringLiteral("summa"), QStringLiteral("#0.000"))
                 .centred()
                 .setShade(kTotalShade));
    d.groups = {head, fio, nom};
    d.detail = Band(QStringLiteral("detail"), 5);
    d.detail.add(Element::computed({0, 0, 40, 5}, kindText))
        .add(Element::field({40, 0, 40, 5}, QStringLiteral("vid")).centred())
        .add(Element::computed({80, 0, 40, 5}, colourText))
        .add(Element::field({120, 0, 25, 5}, QStringLiteral("kolvo")).centred())
        .add(Element::field({150, 0, 30, 5}, QStringLiteral("summa"), QStringLiteral("#0.000")).centred());
    d.pageFooter = Band(QStringLiteral("pageFooter"), 6);
    d.pageFooter.add(Element::pageNumber({150, 0, 40, 6}).right());
    return d;
}

VectorDataSource workersRows() {
    return VectorDataSource(
        {QStringLiteral("fio"), QStringLiteral("kolvo"), QStringLiteral("summa"), QStringLiteral("vid"),
         QStringLiteral("nom"), QStringLiteral("naimen"), QStringLiteral("color")},
        {
            {QStringLiteral("Антонов А.А."), QStringLiteral("10"), 12.5, QStringLiteral("Гибка"),
             QStringLiteral("Кронштейн"), 0, 0},
            {QStringLiteral("Антонов А.А."), QStringLiteral("5"), 0.1, QStringLiteral("Покраска"),
             QStringLiteral("Кронштейн"), 0, 1013},
            {QStringLiteral("Антонов А.А."), QStringLiteral("3"), 0.2, QStringLiteral("Резка"),
             QStringLiteral("Хомут"), 1, 1},
            // Same product as the previous row: the product group still breaks with the worker.
            {QStringLiteral("Борисов Б.Б."), QStringLiteral("7"), QStringLiteral("1.005"),
             QStringLiteral("Резка"), QStringLiteral("Хомут"), 1, 0},
        });
}

// The shape of the month timesheet: landscape, a heading repeated on every page, 31 day
// columns with frames, a bold row total where empty days count as zero.
ReportDef timesheetReport(bool repeatHeading) {
    ReportDef d;
    d.orientation = QPageLayout::Landscape;
    d.decimalSeparator = QStringLiteral(".");
    Group heading;
    heading.repeatHeader = repeatHeading;
    heading.header = Band(QStringLiteral("heading"), 8);
    heading.header.setFrame(Top | Bottom).setBold();
    heading.header.add(Element::label({0, 0, 50, 8}, QStringLiteral("Данные за:"), QStringLiteral("QRLabel33")));
    for (int day = 1; day <= 31; ++day)
        heading.header.add(Element::label({50 + (day - 1) * 6.5, 0, 6.5, 8}, QString::number(day))
                               .centred()
                               .setFrame(Left | Right));
    heading.header.add(Element::label({251.5, 0, 20, 8}, QStringLiteral("Итого")).centred());
    d.groups = {heading};
    d.detail = Band(QStringLiteral("detail"), 5);
    d.detail.setFrame(Top | Bottom).add(Element::field({0, 0, 50, 5}, QStringLiteral("fio")));
    for (int day = 1; day <= 31; ++day)
        d.detail.add(Element::field({50 + (day - 1) * 6.5, 0, 6.5, 5}, QStringLiteral("sd%1").arg(day))
                         .centred()
                         .setFrame(Left | Right));
    d.detail.add(Element::computed({251.5, 0, 20, 5},
                                   [](const Row& r) {
                                       Decimal total;
                                       for (int day = 1; day <= 31; ++day)
                                           if (auto v = Decimal::fromVariant(r.value(QStringLiteral("sd%1").arg(day))))
                                               total += *v;
                                       return QVariant::fromValue(total);
                                   })
                         .centred()
                         .setBold());
    d.pageFooter = Band(QStringLiteral("pageFooter"), 6);
    d.pageFooter.add(Element::pageNumber({237, 0, 40, 6}).right());
    return d;
}

VectorDataSource timesheetRows(int workers) {
    QStringList fields{QStringLiteral("fio")};
    for (int day = 1; day <= 31; ++day) fields << QStringLiteral("sd%1").arg(day);
    VectorDataSource src(fields);
    for (int w = 0; w < workers; ++w) {
        QVariantList row{QStringLiteral("Работник %1").arg(w + 1, 3, 10, QLatin1Char('0'))};
        for (int day = 1; day <= 31; ++day)
            row << ((day + w) % 7 == 0 ? QVariant(QMetaType::fromType<int>()) : QVariant(8 + w % 3));
        src.addRow(row);
    }
    return src;
}

// Many workers, three products each, for reports of many pages.
VectorDataSource manyWorkersRows(int workers) {
    VectorDataSource src({QStringLiteral("fio"), QStringLiteral("kolvo"), QStringLiteral("summa"), QStringLiteral("vid"),
                          QStringLiteral("nom"), QStringLiteral("naimen"), QStringLiteral("color")});
    for (int w = 0; w < workers; ++w)
        for (int p = 0; p < 3; ++p)
            for (int op = 0; op < 1 + (w + p) % 4; ++op)
                src.addRow({QStringLiteral("Работник %1").arg(w, 3, 10, QLatin1Char('0')), QString::number(op + 1),
                            QStringLiteral("%1.25").arg(w + op), QStringLiteral("Операция %1").arg(op),
                            QStringLiteral("Изделие %1").arg(p), p % 2, op});
    return src;
}

// Everything a prepared item carries that shows on paper.
QStringList itemsOf(const PreparedReport& r) {
    QStringList out;
    for (size_t p = 0; p < r.pages.size(); ++p)
        for (const PreparedItem& it : r.pages[p].items)
            out << QStringLiteral("%1 %2 %3,%4 %5x%6 %7 %8 %9")
                       .arg(p)
                       .arg(it.band, QString::number(it.rect.left()), QString::number(it.rect.top()),
                            QString::number(it.rect.width()), QString::number(it.rect.height()), it.element, it.text)
                       .arg(it.isBand);
    return out;
}

}  // namespace

class TestEnginePrepare : public QObject {
    Q_OBJECT

private slots:
    void nestedGroupsPrintSubtotalsAndTotals() {
        ReportDef d = workersReport();
        d.setCaption(QStringLiteral("QRLabel1"),
                     QStringLiteral("   Отчет по рабочим за период с 01.03.2024 по 01.04.2024"));
        const PreparedReport r = prepare(d, workersRows());
        QCOMPARE(r.pages.size(), size_t(1));
        const QStringList expected{
            QStringLiteral("header:    Отчет по рабочим за период с 01.03.2024 по 01.04.2024"),
            QStringLiteral("fioHeader: Антонов А.А."),
            QStringLiteral("nomHeader: Кронштейн"),
            QStringLiteral("detail: Готовая продукция|Гибка| |10|12.500"),
            QStringLiteral("detail: Готовая продукция|Покраска| (RAL: 1013)|5|0.100"),
            QStringLiteral("nomFooter: Кронштейн|15|12.600"),
            QStringLiteral("nomHeader: Хомут"),
            QStringLiteral("detail: Заготовки|Резка| (грунт)|3|0.200"),
            QStringLiteral("nomFooter: Хомут|3|0.200"),
            QStringLiteral("fioFooter: 12.80"),
            QStringLiteral("fioHeader: Борисов Б.Б."),
            QStringLiteral("nomHeader: Хомут"),
            QStringLiteral("detail: Заготовки|Резка| |7|1.005"),
            QStringLiteral("nomFooter: Хомут|7|1.005"),
            // 1.005 is exactly half a kopeck: a binary double would print 1.00.
            QStringLiteral("fioFooter: 1.01"),
            QStringLiteral("total: Итого:|25|13.81"),
            QStringLiteral("pageFooter: 1"),
        };
        QCOMPARE(lines(r), expected);
    }

    void bandsCarryFramesShadesAndBold() {
        const PreparedReport r = prepare(workersReport(), workersRows());
        const auto& items = r.pages[0].items;
        auto background = [&](const QString& band) -> const PreparedItem* {
            for (const PreparedItem& it : items)
                if (it.band == band && it.isBand) return &it;
            return nullptr;
        };
        const PreparedItem* total = background(QStringLiteral("total"));
        QVERIFY(total);
        QCOMPARE(total->frame, int(AllSides));
        QCOMPARE(total->shade, kTotalBandShade);
        QCOMPARE(total->rect, QRectF(10, total->rect.top(), 190, 7));  // full width between margins
        QVERIFY(background(QStringLiteral("fioFooter")));
        QCOMPARE(background(QStringLiteral("fioFooter"))->frame, int(Bottom));
        QVERIFY(!background(QStringLiteral("detail")));  // no frame, no shade: nothing to paint
        for (const PreparedItem& it : items) {
            if (it.band == QLatin1String("total") && !it.text.isEmpty()) QVERIFY(it.bold);
            if (it.band == QLatin1String("detail")) QVERIFY(!it.bold);
            if (it.element == QLatin1String("QRLabel1")) {
                QVERIFY(it.bold);
                QCOMPARE(it.fontSize, 12.0);
            }
        }
        const PreparedItem* title = item(r.pages[0], QStringLiteral("QRLabel1"));
        QCOMPARE(title->rect.topLeft(), QPointF(10, 10));
    }

    void emptyReportPrintsHeaderZeroTotalsAndPageNumber() {
        const PreparedReport r = prepare(workersReport(), VectorDataSource(workersRows().fieldNames()));
        QCOMPARE(r.pages.size(), size_t(1));
        QCOMPARE(lines(r), QStringList({QStringLiteral("header: Отчет"), QStringLiteral("total: Итого:|0|0.00"),
                                        QStringLiteral("pageFooter: 1")}));

        const PreparedReport t = prepare(timesheetReport(true), timesheetRows(0));
        QCOMPARE(t.pages.size(), size_t(1));
        QCOMPARE(lines(t, QStringLiteral("heading")).size(), 1);
        QVERIFY(lines(t, QStringLiteral("detail")).isEmpty());
        QCOMPARE(lines(t, QStringLiteral("pageFooter")), QStringList{QStringLiteral("1")});
    }

    void headingRepeatsOnEveryPageOnlyWhenAsked_data() {
        QTest::addColumn<bool>("repeat");
        QTest::newRow("repeated") << true;
        QTest::newRow("once") << false;
    }
    void headingRepeatsOnEveryPageOnlyWhenAsked() {
        QFETCH(bool, repeat);
        ReportDef d = timesheetReport(repeat);
        d.setCaption(QStringLiteral("QRLabel33"), QStringLiteral("Март 2024 г."));
        const int workers = 80;
        const PreparedReport r = prepare(d, timesheetRows(workers));
        QVERIFY(r.pages.size() >= 3);
        QCOMPARE(r.paperSize, QSizeF(297, 210));

        QStringList names;
        for (size_t p = 0; p < r.pages.size(); ++p) {
            const auto& items = r.pages[p].items;
            const bool startsWithHeading = items.front().band == QLatin1String("heading");
            QCOMPARE(startsWithHeading, repeat || p == 0);
            if (startsWithHeading) {
                QCOMPARE(items.front().rect.top(), 10.0);
                const PreparedItem* label = item(r.pages[p], QStringLiteral("QRLabel33"));
                QVERIFY(label);
                QCOMPARE(label->text, QStringLiteral("Март 2024 г."));
            }
            for (const PreparedItem& it : items)
                if (it.band == QLatin1String("detail") && it.text.startsWith(u"Работник"))
                    names << it.text;
        }
        // Every worker exactly once, in order, none lost at a page break.
        QCOMPARE(names.size(), workers);
        for (int w = 0; w < workers; ++w)
            QCOMPARE(names[w], QStringLiteral("Работник %1").arg(w + 1, 3, 10, QLatin1Char('0')));

        const QStringList heading = lines(r, QStringLiteral("heading")).value(0).split(QLatin1Char('|'));
        QCOMPARE(heading.size(), 33);
        QCOMPARE(heading.at(1), QStringLiteral("1"));
        QCOMPARE(heading.at(31), QStringLiteral("31"));
        QCOMPARE(heading.at(32), QStringLiteral("Итого"));
    }

    void emptyDaysPrintEmptyAndCountAsZeroInTheRowTotal() {
        VectorDataSource src = timesheetRows(0);
        QVariantList row{QStringLiteral("Иванов И.И.")};
        for (int day = 1; day <= 31; ++day) row << QVariant(QMetaType::fromType<int>());
        row[1] = 8;
        row[3] = 4;
        row[31] = 11;
        src.addRow(row);
        const QStringList detail = lines(prepare(timesheetReport(true), src), QStringLiteral("detail"));
        QCOMPARE(detail.size(), 1);
        const QStringList cells = detail[0].split(QLatin1Char('|'));
        QCOMPARE(cells.size(), 33);
        QCOMPARE(cells[1], QStringLiteral("8"));
        QCOMPARE(cells[2], QString());
        QCOMPARE(cells[3], QStringLiteral("4"));
        QCOMPARE(cells[31], QStringLiteral("11"));
        QCOMPARE(cells[32], QStringLiteral("23"));
    }

    void pageFooterOnEveryPageAndGroupHeadingKeptWithItsRows() {
        // Body ends at 297 - 10 - 10 = 277 mm. Group A: heading 10..12 and 26 rows up to 272;
        // B's heading would fit at 272..274 but its first row would not.
        ReportDef d;
        Group g;
        g.key = QStringLiteral("g");
        g.header = Band(QStringLiteral("gHeader"), 2);
        g.header.add(Element::field({0, 0, 50, 2}, QStringLiteral("g")));
        d.groups = {g};
        d.detail = Band(QStringLiteral("detail"), 10);
        d.detail.add(Element::field({0, 0, 50, 10}, QStringLiteral("n")));
        d.pageFooter = Band(QStringLiteral("pageFooter"), 10);
        d.pageFooter.add(Element::pageNumber({0, 0, 190, 10}, QStringLiteral("Лист %1")).right());
        VectorDataSource src({QStringLiteral("g"), QStringLiteral("n")});
        for (int i = 0; i < 26; ++i) src.addRow({QStringLiteral("A"), i});
        for (int i = 0; i < 40; ++i) src.addRow({QStringLiteral("B"), 100 + i});

        const PreparedReport r = prepare(d, src);
        QCOMPARE(r.pages.size(), size_t(3));
        for (size_t p = 0; p < r.pages.size(); ++p) {
            const auto& items = r.pages[p].items;
            QCOMPARE(items.back().band, QStringLiteral("pageFooter"));
            QCOMPARE(items.back().text, QStringLiteral("Лист %1").arg(p + 1));
            QCOMPARE(items.back().rect.top(), 277.0);
            for (size_t i = 0; i + 1 < items.size(); ++i)
                QVERIFY2(items[i].rect.bottom() <= 277.0 + 1e-9, qPrintable(items[i].text));
            // The last body band of a page is never a group heading.
            QCOMPARE(items[items.size() - 2].band, QStringLiteral("detail"));
        }
        QCOMPARE(r.pages[1].items.front().band, QStringLiteral("gHeader"));
        QCOMPARE(r.pages[1].items.front().text, QStringLiteral("B"));
        QCOMPARE(r.pages[1].items.front().rect.top(), 10.0);
    }

    // "%2" in a page number is the count of pages; a group marked newPage starts each of
    // its runs on a page of its own, except where the page is still empty.
    void pageCountAndGroupsOnPagesOfTheirOwn_data() {
        QTest::addColumn<bool>("newPage");
        QTest::addColumn<int>("rowsA");
        QTest::addColumn<int>("rowsB");
        QTest::addColumn<QStringList>("firstOnPage");  // the group heading that opens each page
        QTest::newRow("groups run on") << false << 3 << 3 << QStringList{"A"};
        QTest::newRow("a page each") << true << 3 << 3 << QStringList{"A", "B"};
        // A fills its page to the brim: B comes on the next page either way, just once.
        QTest::newRow("a page each, first one full") << true << 26 << 2 << QStringList{"A", "B"};
        QTest::newRow("long group runs over") << true << 30 << 2 << QStringList{"A", "", "B"};
    }
    void pageCountAndGroupsOnPagesOfTheirOwn() {
        QFETCH(bool, newPage);
        QFETCH(int, rowsA);
        QFETCH(int, rowsB);
        QFETCH(QStringList, firstOnPage);
        ReportDef d;
        Group g;
        g.key = QStringLiteral("g");
        g.newPage = newPage;
        g.header = Band(QStringLiteral("gHeader"), 2);
        g.header.add(Element::field({0, 0, 50, 2}, QStringLiteral("g")));
        d.groups = {g};
        d.detail = Band(QStringLiteral("detail"), 10);
        d.detail.add(Element::field({0, 0, 50, 10}, QStringLiteral("n")));
        d.pageFooter = Band(QStringLiteral("pageFooter"), 10);
        d.pageFooter.add(Element::pageNumber({0, 0, 190, 10}, QStringLiteral("стр. %1 из %2")).right());
        VectorDataSource src({QStringLiteral("g"), QStringLiteral("n")});
        for (int i = 0; i < rowsA; ++i) src.addRow({QStringLiteral("A"), i});
        for (int i = 0; i < rowsB; ++i) src.addRow({QStringLiteral("B"), 100 + i});

        const PreparedReport r = prepare(d, src);
        const int pages = int(firstOnPage.size());
        QCOMPARE(int(r.pages.size()), pages);
        int details = 0;
        for (int p = 0; p < pages; ++p) {
            const auto& items = r.pages[size_t(p)].items;
            QCOMPARE(items.back().text, QStringLiteral("стр. %1 из %2").arg(p + 1).arg(pages));
            QCOMPARE(items.front().band == QLatin1String("gHeader") ? items.front().text : QString(), firstOnPage[p]);
            for (const PreparedItem& it : items) details += it.band == QLatin1String("detail");
        }
        QCOMPARE(details, rowsA + rowsB);  // nothing lost or doubled by the breaks
    }

    // A report laid out page by page, as the preview asks for its pages, prints the same
    // pages as one laid out at once; its page count is known before the pages are.
    void layingOutPageByPageGivesTheSamePages_data() {
        QTest::addColumn<int>("shape");
        QTest::addColumn<int>("size");
        QTest::newRow("groups and sums") << 0 << 60;
        QTest::newRow("a page per worker") << 1 << 12;
        QTest::newRow("heading on every page") << 2 << 200;
        QTest::newRow("no rows") << 0 << 0;
    }
    void layingOutPageByPageGivesTheSamePages() {
        QFETCH(int, shape);
        QFETCH(int, size);
        ReportDef d = shape == 2 ? timesheetReport(true) : workersReport();
        d.pageFooter.elements.back().text = QStringLiteral("стр. %1 из %2");
        if (shape == 1) d.groups[1].newPage = true;
        const VectorDataSource src = shape == 2 ? timesheetRows(size) : manyWorkersRows(size);
        const PreparedReport whole = prepare(d, src);
        QVERIFY(whole.pages.size() >= (size > 0 ? 3u : 1u));

        LazyReport lazy(d, src);
        QCOMPARE(lazy.pageCount(), int(whole.pages.size()));
        const PreparedReport& first = lazy.pagesThrough(0);
        if (size > 0) QVERIFY2(lazy.laidOutPages() < lazy.pageCount(), "the first page took the whole report");
        QCOMPARE(first.pages[0].items.back().text,
                 QStringLiteral("стр. 1 из %1").arg(whole.pages.size()));
        const int middle = lazy.pageCount() / 2;
        QVERIFY(lazy.laidOutPages() <= middle || lazy.pageCount() < 3);
        lazy.pagesThrough(middle);
        QVERIFY(lazy.laidOutPages() > middle);
        QCOMPARE(itemsOf(lazy.complete()), itemsOf(whole));
        QCOMPARE(lazy.laidOutPages(), lazy.pageCount());
    }

    // A value that cannot be summed stops the layout where it is reached, as prepare() does.
    void layingOutPageByPageRefusesWhatIsNotANumber() {
        ReportDef d = workersReport();
        VectorDataSource src = manyWorkersRows(40);
        src.addRow({QStringLiteral("Я"), QStringLiteral("много"), 1, QString(), QString(), 0, 0});
        LazyReport lazy(d, src);
        lazy.pagesThrough(0);  // the first page lies before the bad row
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, lazy.complete());
    }

    void resetAfterPrintVersusRunningTotals() {
        // Groups of four rows by a computed key; sums in the group footer and in the page
        // footer, each once reset after printing and once running.
        ReportDef d;
        d.decimalSeparator = QStringLiteral(".");
        Group g;
        g.keyFn = [](const Row& r) { return (r.value(QStringLiteral("v")).toInt() - 1) / 4; };
        g.footer = Band(QStringLiteral("gFooter"), 5);
        g.footer.add(Element::sum({0, 0, 30, 5}, QStringLiteral("v")).named(QStringLiteral("sub")))
            .add(Element::sum({40, 0, 30, 5}, QStringLiteral("v"), {}, false).named(QStringLiteral("run")));
        d.groups = {g};
        d.detail = Band(QStringLiteral("detail"), 25);
        d.detail.add(Element::field({0, 0, 30, 25}, QStringLiteral("v")).named(QStringLiteral("v")));
        d.pageFooter = Band(QStringLiteral("pageFooter"), 10);
        d.pageFooter.add(Element::sum({0, 0, 30, 10}, QStringLiteral("v")).named(QStringLiteral("pageSum")))
            .add(Element::sum({40, 0, 30, 10}, QStringLiteral("v"), {}, false).named(QStringLiteral("pageRun")))
            .add(Element::pageNumber({150, 0, 40, 10}, QStringLiteral("Стр. %1")).named(QStringLiteral("page")));
        VectorDataSource src({QStringLiteral("v")});
        const int n = 25;
        for (int v = 1; v <= n; ++v) src.addRow({v});

        const PreparedReport r = prepare(d, src);
        QVERIFY(r.pages.size() >= 3);

        QStringList sub, run;
        for (const PreparedPage& page : r.pages)
            for (const PreparedItem& it : page.items) {
                if (it.element == QLatin1String("sub")) sub << it.text;
                if (it.element == QLatin1String("run")) run << it.text;
            }
        QStringList expectedSub, expectedRun;
        for (int first = 1, cumulative = 0; first <= n; first += 4) {
            int s = 0;
            for (int v = first; v < first + 4 && v <= n; ++v) s += v;
            cumulative += s;
            expectedSub << QString::number(s);
            expectedRun << QString::number(cumulative);
        }
        QCOMPARE(sub, expectedSub);
        QCOMPARE(run, expectedRun);

        // Page totals follow the rows printed on each page; a row moved to the next page
        // counts there, not on the page it did not fit on.
        int cumulative = 0;
        for (size_t p = 0; p < r.pages.size(); ++p) {
            int onPage = 0;
            for (const PreparedItem& it : r.pages[p].items)
                if (it.element == QLatin1String("v")) onPage += it.text.toInt();
            cumulative += onPage;
            QCOMPARE(item(r.pages[p], QStringLiteral("pageSum"))->text, QString::number(onPage));
            QCOMPARE(item(r.pages[p], QStringLiteral("pageRun"))->text, QString::number(cumulative));
            QCOMPARE(item(r.pages[p], QStringLiteral("page"))->text, QStringLiteral("Стр. %1").arg(p + 1));
        }
        QCOMPARE(cumulative, n * (n + 1) / 2);
    }

    void childBandsFollowTheirParentEveryTime() {
        ReportDef d;
        Group title;
        title.repeatHeader = true;
        title.header = Band(QStringLiteral("title"), 10);
        title.header.add(Element::label({0, 0, 100, 10}, QStringLiteral("Заголовок")));
        Band spacer(QStringLiteral("spacer"), 2);
        spacer.setShade(kHeadShade);
        Band sub(QStringLiteral("sub"), 3);
        sub.add(Element::label({0, 0, 100, 3}, QStringLiteral("Подзаголовок")));
        spacer.addChild(sub);
        title.header.addChild(spacer);
        Group g;
        g.key = QStringLiteral("g");
        g.header = Band(QStringLiteral("gh"), 5);
        g.header.add(Element::field({0, 0, 50, 5}, QStringLiteral("g")));
        Band ghChild(QStringLiteral("ghChild"), 4);
        ghChild.add(Element::computed({0, 0, 50, 4},
                                      [](const Row& r) { return QStringLiteral("в группе ") + r.value(QStringLiteral("g")).toString(); }));
        g.header.addChild(ghChild);
        d.groups = {title, g};
        d.detail = Band(QStringLiteral("detail"), 20);
        d.detail.add(Element::field({0, 0, 50, 20}, QStringLiteral("n")));
        VectorDataSource src({QStringLiteral("g"), QStringLiteral("n")});
        for (int i = 0; i < 20; ++i) src.addRow({i < 2 ? QStringLiteral("A") : QStringLiteral("B"), i});

        const PreparedReport r = prepare(d, src);
        QVERIFY(r.pages.size() >= 2);
        const auto placed = placements(r);
        QStringList bands;
        for (size_t i = 0; i < 9; ++i) bands << placed[i].band;
        QCOMPARE(bands, QStringList({"title", "spacer", "sub", "gh", "ghChild", "detail", "detail", "gh", "ghChild"}));
        QCOMPARE(placed[7].texts, QStringList{QStringLiteral("B")});
        QCOMPARE(placed[8].texts, QStringList{QStringLiteral("в группе B")});
        // Each child starts where its parent ends.
        QCOMPARE(placed[1].top, placed[0].top + 10);
        QCOMPARE(placed[2].top, placed[1].top + 2);
        QCOMPARE(placed[4].top, placed[3].top + 5);
        QCOMPARE(placed[5].top, placed[4].top + 4);
        // The repeated heading brings its children along on later pages.
        for (const Placed& p : placed)
            if (p.page > 0 && p.top == 10.0) {
                QCOMPARE(p.band, QStringLiteral("title"));
                auto it = std::find_if(placed.begin(), placed.end(),
                                       [&](const Placed& q) { return q.page == p.page && q.band == QLatin1String("sub"); });
                QVERIFY(it != placed.end());
                QCOMPARE(it->top, 22.0);
            }
    }

    void bandTallerThanThePageGetsAPageOfItsOwn() {
        ReportDef d;
        d.detail = Band(QStringLiteral("detail"), 400);
        d.detail.add(Element::field({0, 0, 50, 10}, QStringLiteral("n")));
        VectorDataSource src({QStringLiteral("n")}, {{1}, {2}, {3}});
        const PreparedReport r = prepare(d, src);
        QCOMPARE(r.pages.size(), size_t(3));
        for (size_t p = 0; p < 3; ++p) QCOMPARE(r.pages[p].items.front().text, QString::number(p + 1));
    }

    void masks_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("expected");
        const QString dot = QStringLiteral("."), comma = QStringLiteral(",");
        auto row = [&](const char* name, QVariant v, const char* mask, QString sep, const char* expected) {
            QTest::newRow(name) << v << QString::fromLatin1(mask) << sep << QString::fromUtf8(expected);
        };
        row("text two decimals", QStringLiteral("1234.5"), "#0.00", dot, "1234.50");
        row("comma separator", QStringLiteral("1234.5"), "#0.00", comma, "1234,50");
        row("int three decimals", 5, "#0.000", dot, "5.000");
        row("negative longlong", qlonglong(-42), "#0.00", dot, "-42.00");
        row("ulonglong whole", qulonglong(9000000000000ULL), "#0", dot, "9000000000000");
        row("ulonglong one decimal", qulonglong(3), "#0.0", dot, "3.0");
        row("double half up 2.675", 2.675, "#0.00", dot, "2.68");
        row("double half up 1.005", 1.005, "#0.00", dot, "1.01");
        row("double 0.1+0.2", 0.1 + 0.2, "#0.00", dot, "0.30");
        row("float", QVariant(0.1f), "#0.00", dot, "0.10");
        row("negative rounding to zero has no sign", QStringLiteral("-0.004"), "#0.00", dot, "0.00");
        row("negative half away from zero", QStringLiteral("-1.005"), "#0.00", dot, "-1.01");
        row("whole half up", QStringLiteral("0.5"), "#0", dot, "1");
        row("whole 2.5", QStringLiteral("2.5"), "#0", dot, "3");
        row("whole -2.5", QStringLiteral("-2.5"), "#0", dot, "-3");
        row("whole below half", QStringLiteral("1234.4999"), "#0", dot, "1234");
        row("numeric text padded", QStringLiteral("12"), "#0.000", dot, "12.000");
        row("exponent", QStringLiteral("1e3"), "#0.00", dot, "1000.00");
        row("small exponent", QStringLiteral("1.5E-2"), "#0.000", dot, "0.015");
        row("blanks around", QStringLiteral(" 7.25 "), "#0.0", dot, "7.3");
        row("many decimals", QStringLiteral("0.123456789"), "#0.000", dot, "0.123");
        row("optional integer digit", 0.5, "#.00", dot, ".50");
        row("optional decimals", 1.5, "0.##", dot, "1.5");
        row("optional decimals whole", 2, "0.##", dot, "2");
        row("two integer digits", 7, "00", dot, "07");
        row("decimal value", QVariant::fromValue(Decimal::fromUnits(1500000)), "#0.00", comma, "1,50");
        row("null", QVariant(), "#0.00", dot, "");
        row("typed null", QVariant(QMetaType::fromType<double>()), "#0.00", dot, "");
        row("text that is no number", QStringLiteral("abc"), "#0.00", dot, "abc");
        row("unmasked double", 0.1, "", comma, "0,1");
        row("unmasked large double", 1e6, "", dot, "1000000");
        row("unmasked text as it comes", QStringLiteral("12.000"), "", comma, "12.000");
        row("unmasked int", 42, "", comma, "42");
        row("unmasked decimal", QVariant::fromValue(Decimal::fromUnits(1500000)), "", comma, "1,5");
        row("unmasked date", QDate(2024, 3, 1), "", dot, "01.03.2024");
    }
    void masks() {
        QFETCH(QVariant, value);
        QFETCH(QString, mask);
        QFETCH(QString, separator);
        QFETCH(QString, expected);
        QCOMPARE(formatValue(value, mask, separator), expected);
    }

    void badMasksAreRejected_data() {
        QTest::addColumn<QString>("mask");
        QTest::newRow("grouping") << QStringLiteral("#,##0.00");
        QTest::newRow("comma as point") << QStringLiteral("#0,00");
        QTest::newRow("optional before required decimal") << QStringLiteral("0.#0");
        QTest::newRow("required before optional integer") << QStringLiteral("0#");
        QTest::newRow("trailing text") << QStringLiteral("#0.00 руб.");
        QTest::newRow("no digits") << QStringLiteral(".");
    }
    void badMasksAreRejected() {
        QFETCH(QString, mask);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, formatValue(1, mask, QStringLiteral(".")));
        ReportDef d;
        d.detail = Band(QStringLiteral("detail"), 5);
        d.detail.add(Element::field({0, 0, 10, 5}, QStringLiteral("n"), mask));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, prepare(d, VectorDataSource({QStringLiteral("n")})));
    }

    void sumsAreExactDecimals_data() {
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("kopecks");
        QVariantList tenths, cents;
        for (int i = 0; i < 10; ++i) tenths << 0.1;
        for (int i = 0; i < 1000; ++i) cents << 0.01;
        QTest::newRow("tenths as doubles") << tenths << "1" << "1.00";
        QTest::newRow("kopecks as doubles") << cents << "10" << "10.00";
        QTest::newRow("every numeric type")
            << QVariantList{QStringLiteral("0.10"), 2, qlonglong(3), qulonglong(4), 0.2,
                            QVariant::fromValue(Decimal::fromUnits(1500000))}
            << "10.8" << "10.80";
        QTest::newRow("nulls and blanks add nothing")
            << QVariantList{QStringLiteral("1.5"), QVariant(), QStringLiteral(""), QStringLiteral("  "),
                            QVariant(QMetaType::fromType<QString>()), 2}
            << "3.5" << "3.50";
        QTest::newRow("half kopecks") << QVariantList{QStringLiteral("0.005"), QStringLiteral("0.005"), QStringLiteral("0.005")}
                                      << "0.015" << "0.02";
        QTest::newRow("negative") << QVariantList{QStringLiteral("-1.005"), 1} << "-0.005" << "-0.01";
        QTest::newRow("float8 text") << QVariantList{QStringLiteral("3.4499999999999997"), QStringLiteral("0.0000003")}
                                     << "3.45" << "3.45";
    }
    void sumsAreExactDecimals() {
        QFETCH(QVariantList, values);
        QFETCH(QString, plain);
        QFETCH(QString, kopecks);
        ReportDef d;
        d.decimalSeparator = QStringLiteral(".");
        Group all;
        all.footer = Band(QStringLiteral("total"), 5);
        all.footer.add(Element::sum({0, 0, 40, 5}, QStringLiteral("x"), {}, false))
            .add(Element::sum({50, 0, 40, 5}, QStringLiteral("x"), QStringLiteral("#0.00"), false));
        d.groups = {all};
        d.detail = Band(QStringLiteral("detail"), 0.1);
        VectorDataSource src({QStringLiteral("x")});
        for (const QVariant& v : values) src.addRow({v});
        QCOMPARE(lines(prepare(d, src), QStringLiteral("total")), QStringList{plain + QLatin1Char('|') + kopecks});
    }

    void sumsRefuseWhatIsNotANumber_data() {
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<bool>("overflow");
        QTest::newRow("text") << QVariantList{1, QStringLiteral("много")} << false;
        QTest::newRow("comma decimal") << QVariantList{QStringLiteral("1,5")} << false;
        QTest::newRow("nan") << QVariantList{qQNaN()} << false;
        QTest::newRow("total out of range")
            << QVariantList{QStringLiteral("9000000000000"), QStringLiteral("9000000000000")} << true;
        QTest::newRow("value out of range") << QVariantList{qulonglong(18000000000000ULL)} << true;
    }
    void sumsRefuseWhatIsNotANumber() {
        QFETCH(QVariantList, values);
        QFETCH(bool, overflow);
        ReportDef d;
        Group all;
        all.footer = Band(QStringLiteral("total"), 5);
        all.footer.add(Element::sum({0, 0, 40, 5}, QStringLiteral("x"), {}, false));
        d.groups = {all};
        VectorDataSource src({QStringLiteral("x")});
        for (const QVariant& v : values) src.addRow({v});
        if (overflow)
            QVERIFY_THROWS_EXCEPTION(std::overflow_error, prepare(d, src));
        else
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, prepare(d, src));
    }

    void fieldsMatchWithoutLetterCase() {
        ReportDef d;
        d.decimalSeparator = QStringLiteral(".");
        Group g;
        g.key = QStringLiteral("i_Report.NOM");
        g.footer = Band(QStringLiteral("gFooter"), 5);
        g.footer.add(Element::field({0, 0, 40, 5}, QStringLiteral("Nom")))
            .add(Element::sum({50, 0, 40, 5}, QStringLiteral("KOLVO"), QStringLiteral("#0.000")));
        d.groups = {g};
        d.detail = Band(QStringLiteral("detail"), 5);
        d.detail.add(Element::field({0, 0, 40, 5}, QStringLiteral("MARKA")))
            .add(Element::computed({50, 0, 40, 5}, kindText));
        VectorDataSource src({QStringLiteral("marka"), QStringLiteral("nom"), QStringLiteral("kolvo"), QStringLiteral("naimen")},
                             {{QStringLiteral("К-1"), QStringLiteral("Кронштейны"), QStringLiteral("2"), 0},
                              {QStringLiteral("Х-2"), QStringLiteral("Хомуты"), QStringLiteral("3.5"), 1}});
        QCOMPARE(lines(prepare(d, src)),
                 QStringList({"detail: К-1|Готовая продукция", "gFooter: Кронштейны|2.000",
                              "detail: Х-2|Заготовки", "gFooter: Хомуты|3.500"}));
    }

    void mistakesInTheLayoutAreReported() {
        const VectorDataSource src = workersRows();
        {
            ReportDef d = workersReport();
            d.detail.add(Element::field({0, 0, 10, 5}, QStringLiteral("marka")));
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, prepare(d, src));
        }
        {
            ReportDef d = workersReport();
            d.groups[2].key = QStringLiteral("izdel");
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, prepare(d, src));
        }
        {
            ReportDef d = workersReport();
            d.groups[0].footer.add(Element::sum({0, 0, 10, 5}, QStringLiteral("brk")));
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, prepare(d, src));
        }
        {
            ReportDef d = workersReport();
            d.detail.add(Element::computed({0, 0, 10, 5}, [](const Row& r) { return r.value(QStringLiteral("cena")); }));
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, prepare(d, src));
        }
        ReportDef d = workersReport();
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, d.setCaption(QStringLiteral("QRLabel2"), QStringLiteral("x")));
    }

    // Elements marked grouped put the group separator into their numbers' integer part,
    // after the mask has rounded them; texts and everything unmarked stay as they were.
    void groupedDigits_data() {
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QStringList>("detail");
        QTest::addColumn<QString>("total");
        const QString nbsp(QChar(0x00A0));
        QTest::newRow("money") << QVariantList{1778.4, 0.375} << "#0.00" << nbsp
                               << QStringList{"1" + nbsp + "778,40", "0,38"} << "1" + nbsp + "778,78";
        QTest::newRow("rounding reaches a new group") << QVariantList{999.996, 0.004} << "#0.00" << nbsp
                                                      << QStringList{"1" + nbsp + "000,00", "0,00"}
                                                      << "1" + nbsp + "000,00";
        QTest::newRow("millions, negative") << QVariantList{-1234567.891, 2.0} << "#0.00" << "."
                                            << QStringList{"-1.234.567,89", "2,00"} << "-1.234.565,89";
        QTest::newRow("numeric text from the server") << QVariantList{QStringLiteral("12345.5000")} << "#0.00" << nbsp
                                                      << QStringList{"12" + nbsp + "345,50"} << "12" + nbsp + "345,50";
        QTest::newRow("whole numbers, no mask") << QVariantList{1000, 999} << "" << nbsp
                                                << QStringList{"1" + nbsp + "000", "999"} << "1" + nbsp + "999";
        QTest::newRow("a text stays as it is") << QVariantList{QStringLiteral("КР 10000")} << "#0.00" << nbsp
                                               << QStringList{"КР 10000"} << "0,00";
    }
    void groupedDigits() {
        QFETCH(QVariantList, values);
        QFETCH(QString, mask);
        QFETCH(QString, group);
        QFETCH(QStringList, detail);
        QFETCH(QString, total);
        ReportDef d;
        d.decimalSeparator = QStringLiteral(",");
        d.groupSeparator = group;
        d.detail = Band(QStringLiteral("detail"), 5);
        d.detail.add(Element::field({0, 0, 30, 5}, QStringLiteral("n"), mask).grouped());
        d.detail.add(Element::field({30, 0, 30, 5}, QStringLiteral("n"), mask));
        Group all;
        all.footer = Band(QStringLiteral("total"), 5);
        all.footer.add(Element::sum({0, 0, 30, 5}, [](const Row& r) {
            const QVariant v = r.value(QStringLiteral("n"));
            return v.typeId() == QMetaType::QString && !v.toString().front().isDigit() ? QVariant() : v;
        }, mask.isEmpty() ? QStringLiteral("#0") : mask).grouped());
        d.groups = {all};
        std::vector<QVariantList> rows;
        for (const QVariant& v : values) rows.push_back({v});
        const PreparedReport r = prepare(d, VectorDataSource({QStringLiteral("n")}, rows));
        QStringList grouped, plain;
        for (const QString& l : lines(r, QStringLiteral("detail"))) {
            grouped << l.section(QLatin1Char('|'), 0, 0);
            plain << l.section(QLatin1Char('|'), 1, 1);
        }
        QCOMPARE(grouped, detail);
        // The unmarked element beside it prints without groups.
        for (const QString& p : plain) QVERIFY2(!p.contains(group), qPrintable(p));
        QCOMPARE(lines(r, QStringLiteral("total")), QStringList{total});
    }

    void platformGroupSeparatorByDefault() {
        const QLocale saved;
        ReportDef d;
        d.decimalSeparator = QStringLiteral(",");
        d.detail = Band(QStringLiteral("detail"), 5);
        d.detail.add(Element::field({0, 0, 30, 5}, QStringLiteral("n"), QStringLiteral("#0.00")).grouped());
        const VectorDataSource rows({QStringLiteral("n")}, {{1778.4}});
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        const QStringList ru = lines(prepare(d, rows), QStringLiteral("detail"));
        QLocale::setDefault(QLocale::c());
        const QStringList c = lines(prepare(d, rows), QStringLiteral("detail"));
        // The system's C locale (LANG=C, a server) comes without the C locale's number options.
        QLocale systemC = QLocale::c();
        systemC.setNumberOptions(QLocale::DefaultNumberOptions);
        QLocale::setDefault(systemC);
        const QStringList server = lines(prepare(d, rows), QStringLiteral("detail"));
        QLocale::setDefault(saved);
        QCOMPARE(ru, QStringList{QStringLiteral("1\u00A0778,40")});
        // The C locale writes no digit groups.
        QCOMPARE(c, QStringList{QStringLiteral("1778,40")});
        QCOMPARE(server, QStringList{QStringLiteral("1778,40")});
    }

    void platformDecimalSeparatorByDefault() {
        const QLocale saved;
        ReportDef d = workersReport();
        d.decimalSeparator.clear();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        const QStringList ru = lines(prepare(d, workersRows()), QStringLiteral("total"));
        QLocale::setDefault(QLocale::c());
        const QStringList c = lines(prepare(d, workersRows()), QStringLiteral("total"));
        QLocale::setDefault(saved);
        QCOMPARE(ru, QStringList{QStringLiteral("Итого:|25|13,81")});
        QCOMPARE(c, QStringList{QStringLiteral("Итого:|25|13.81")});
    }
};

QTEST_GUILESS_MAIN(TestEnginePrepare)
#include "test_engine_prepare.moc"
