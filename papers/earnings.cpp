#include "papers/earnings.h"

#include "domain/earnings.h"

namespace mirn {

namespace papers {
namespace {

using rpt::Band;
using rpt::Element;
using rpt::Group;

constexpr double kWidth = 190;  // A4 portrait less the margins, millimetres
constexpr double kLine = 5;

struct Col {
    double x, w;
    QRectF rect(double h = kLine) const { return {x, 0, w, h}; }
};
// Date, shift, product, operation, kind, colour, quantity, rejects, hours, price, amount.
const Col cDate{0, 18}, cShift{18, 7}, cProduct{25, 25}, cOper{50, 28}, cKind{78, 30}, cColour{108, 19},
    cQty{127, 13}, cBrk{140, 10}, cHours{150, 10}, cPrice{160, 13}, cSum{173, 17};

const QString kMoney = QStringLiteral("#0.00");
const QString kPrice = QStringLiteral("#0.00##");  // prices may carry up to four decimals
const QString kCount = QStringLiteral("#0.##");

int sectionOf(const rpt::Row& r) { return toInt(r.value(QStringLiteral("section"))); }

// A value of section 1 (shift entries) or section 2 (auxiliary work) only; null elsewhere, so
// it neither prints nor adds to a sum.
rpt::ValueFn onlyIn(int section, const QString& field) {
    return [section, field](const rpt::Row& r) { return sectionOf(r) == section ? r.value(field) : QVariant(); };
}

rpt::ValueFn hoursInShift(int shift) {
    return [shift](const rpt::Row& r) {
        return toInt(r.value(QStringLiteral("smena"))) == shift ? r.value(QStringLiteral("hours")) : QVariant();
    };
}

Element heading(const Col& c, const QString& entries, const QString& aux) {
    return Element::computed(c.rect(),
                             [entries, aux](const rpt::Row& r) { return QVariant(sectionOf(r) == 1 ? entries : aux); })
        .centred()
        .setFrame(rpt::AllSides);
}

// Figures read as on the rest of the desktop: digit groups by the locale ("1 778,40").
Element sumOf(const QRectF& rect, rpt::ValueFn fn, const QString& mask) {
    return Element::sum(rect, std::move(fn), mask).right().grouped();
}
Element sumOf(const QRectF& rect, const QString& field, const QString& mask) {
    return Element::sum(rect, field, mask).right().grouped();
}
Element figure(const QRectF& rect, const QString& field, const QString& mask) {
    return Element::field(rect, field, mask).right().grouped();
}

}  // namespace

QString EarningsLayout::periodText(const QDate& from, const QDate& to) {
    return QStringLiteral("за период с ") + from.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" по ") +
           to.toString(QStringLiteral("dd.MM.yyyy"));
}

EarningsLayout::EarningsLayout(const QString& connection) : Earnings(connection) {
    Earnings.SQL = earnings::statementSql();
    decimalFields_ = earnings::decimalFields();

    rpt::ReportDef d;
    d.paper = QPageSize::A4;
    d.orientation = QPageLayout::Portrait;
    d.fontFamily = QStringLiteral("Arial");
    d.fontSize = 8;

    // The worker: a page of their own, the heading again on every further page.
    Group worker;
    worker.key = QStringLiteral("tab_no");
    worker.newPage = true;
    worker.repeatHeader = true;
    worker.header = Band(QStringLiteral("worker"), 16);
    worker.header.add(Element::label({0, 0, kWidth, 7}, QStringLiteral("Расчётный листок"), QStringLiteral("title"))
                          .setBold()
                          .setFontSize(12));
    worker.header.add(Element::computed({0, 7, 120, 6},
                                        [](const rpt::Row& r) {
                                            return QVariant(r.value(QStringLiteral("fio")).toString() +
                                                            QStringLiteral(" (таб. № ") +
                                                            r.value(QStringLiteral("tab_no")).toString() +
                                                            QLatin1Char(')'));
                                        })
                          .named(QStringLiteral("fio"))
                          .setBold()
                          .setFontSize(10));
    worker.header.add(Element::label({120, 7, 70, 6}, QString(), QStringLiteral("period")).right());

    // The totals of the period and the hours by shift.
    worker.footer = Band(QStringLiteral("totals"), 7);
    worker.footer.setFrame(rpt::Top).setBold();
    worker.footer.add(Element::label({0, 0, 60, 7}, QStringLiteral("Итого за период, сдельно:")));
    worker.footer.add(sumOf({cQty.x, 0, cQty.w, 7}, onlyIn(1, QStringLiteral("kolvo")), kCount));
    worker.footer.add(sumOf({cBrk.x, 0, cBrk.w, 7}, onlyIn(1, QStringLiteral("brk")), kCount));
    worker.footer.add(sumOf({cHours.x, 0, cHours.w, 7}, onlyIn(1, QStringLiteral("hours")), kCount));
    worker.footer.add(sumOf({cSum.x, 0, cSum.w, 7}, onlyIn(1, QStringLiteral("summa")), kMoney).named(QStringLiteral("pieceTotal")));
    Band aux(QStringLiteral("auxTotals"), 6);
    aux.setBold();
    aux.add(Element::label({0, 0, 60, 6}, QStringLiteral("Хоз. работы:")));
    aux.add(sumOf({cHours.x, 0, cHours.w, 6}, onlyIn(2, QStringLiteral("hours")), kCount));
    aux.add(sumOf({cSum.x, 0, cSum.w, 6}, onlyIn(2, QStringLiteral("summa")), kMoney).named(QStringLiteral("auxTotal")));
    Band all(QStringLiteral("grandTotal"), 7);
    all.setFrame(rpt::Top | rpt::Bottom).setBold();
    all.add(Element::label({0, 0, 60, 7}, QStringLiteral("Всего начислено:")));
    all.add(sumOf({cHours.x, 0, cHours.w, 7}, QStringLiteral("hours"), kCount));
    all.add(sumOf({cSum.x, 0, cSum.w, 7}, QStringLiteral("summa"), kMoney).named(QStringLiteral("grandTotal")));
    Band shifts(QStringLiteral("shiftHours"), 6);
    shifts.add(Element::label({0, 0, 40, 6}, QStringLiteral("Часы по сменам:")));
    const QString shiftNames[] = {QStringLiteral("1 смена"), QStringLiteral("2 смена"), QStringLiteral("3 смена"),
                                  QStringLiteral("Переработка")};
    for (int s = 1; s <= 4; ++s) {
        const double x = 40 + (s - 1) * 37.5;
        shifts.add(Element::label({x, 0, 22, 6}, shiftNames[s - 1] + QLatin1Char(':')).right());
        shifts.add(Element::sum({x + 22, 0, 15.5, 6}, hoursInShift(s), kCount).grouped().named(QStringLiteral("shift%1").arg(s)));
    }
    worker.footer.addChild(aux).addChild(all).addChild(shifts);

    // Shift entries, then auxiliary work: a title and the column headings of each.
    Group section;
    section.key = QStringLiteral("section");
    section.repeatHeader = true;
    section.header = Band(QStringLiteral("section"), 6);
    section.header.setBold();
    section.header.add(Element::computed({0, 0, kWidth, 6}, [](const rpt::Row& r) {
        return QVariant(sectionOf(r) == 1 ? QStringLiteral("Выработка") : QStringLiteral("Хоз. работы"));
    }));
    Band cols(QStringLiteral("columns"), kLine);
    cols.setBold();
    cols.add(heading(cDate, QStringLiteral("Дата"), QStringLiteral("Дата")))
        .add(heading(cShift, QStringLiteral("См."), QStringLiteral("См.")))
        .add(heading(cProduct, QStringLiteral("Изделие"), QStringLiteral("Номенклатура")))
        .add(heading(cOper, QStringLiteral("Операция"), QStringLiteral("Вид работ")))
        .add(heading(cKind, QStringLiteral("Вид продукции"), QString()))
        .add(heading(cColour, QStringLiteral("Цвет"), QString()))
        .add(heading(cQty, QStringLiteral("Кол-во"), QString()))
        .add(heading(cBrk, QStringLiteral("Брак"), QString()))
        .add(heading(cHours, QStringLiteral("Часы"), QStringLiteral("Часы")))
        .add(heading(cPrice, QStringLiteral("Цена"), QStringLiteral("Ставка")))
        .add(heading(cSum, QStringLiteral("Сумма"), QStringLiteral("Сумма")));
    section.header.addChild(cols);

    // A day: its subtotal under its rows.
    Group day;
    day.key = QStringLiteral("data");
    // A day's subtotal stays on the page of the day's last row.
    day.keepFooterWithRows = true;
    day.footer = Band(QStringLiteral("day"), kLine);
    day.footer.setBold();
    day.footer.add(Element::computed({0, 0, 60, kLine}, [](const rpt::Row& r) {
        return QVariant(QStringLiteral("Итого за ") +
                        r.value(QStringLiteral("data")).toDate().toString(QStringLiteral("dd.MM.yyyy")) +
                        QLatin1Char(':'));
    }));
    // A day of auxiliary work has no pieces: its quantity and rejects stay blank.
    day.footer.add(sumOf(cQty.rect(), onlyIn(1, QStringLiteral("kolvo")), kCount).blankWhenNothingAdded());
    day.footer.add(sumOf(cBrk.rect(), onlyIn(1, QStringLiteral("brk")), kCount).blankWhenNothingAdded());
    day.footer.add(sumOf(cHours.rect(), QStringLiteral("hours"), kCount));
    day.footer.add(sumOf(cSum.rect(), QStringLiteral("summa"), kMoney));
    d.groups = {worker, section, day};

    d.detail = Band(QStringLiteral("detail"), kLine);
    d.detail.add(Element::field(cDate.rect(), QStringLiteral("data")))
        .add(Element::field(cShift.rect(), QStringLiteral("smena")).centred())
        // Names of any length ("Покраска порошковая") go on more lines rather than out of the box.
        .add(Element::field(cProduct.rect(), QStringLiteral("marka")).wrapped())
        .add(Element::field(cOper.rect(), QStringLiteral("vid")).wrapped())
        .add(Element::computed(cKind.rect(), [](const rpt::Row& r) {
            return sectionOf(r) == 1 ? papers::productKindText(r) : QVariant();
        }))
        .add(Element::computed(cColour.rect(),
                               [](const rpt::Row& r) { return sectionOf(r) == 1 ? papers::colourText(r) : QVariant(); }))
        .add(figure(cQty.rect(), QStringLiteral("kolvo"), kCount))
        .add(figure(cBrk.rect(), QStringLiteral("brk"), kCount))
        .add(figure(cHours.rect(), QStringLiteral("hours"), kCount))
        .add(figure(cPrice.rect(), QStringLiteral("cena"), kPrice))
        .add(figure(cSum.rect(), QStringLiteral("summa"), kMoney));

    d.pageFooter = papers::pageFooter(kWidth);
    QuickRep1 = std::move(d);
}

rpt::PreparedReport earningsStatement(const QDate& from, const QDate& to, int workerId, const QString& connection) {
    EarningsLayout layout(connection);
    Query& q = layout.Earnings;
    q.setParam(QStringLiteral("data1"), from);
    q.setParam(QStringLiteral("data2"), to);
    q.setParam(QStringLiteral("worker"), workerId);
    layout.QuickRep1.setCaption(QStringLiteral("period"), EarningsLayout::periodText(from, to));
    q.open();
    rpt::PreparedReport r = layout.Prepare();
    q.close();
    return r;
}

bool writeEarningsPdf(const QDate& from, const QDate& to, int workerId, const QString& path,
                      const QString& connection) {
    return rpt::writePdf(earningsStatement(from, to, workerId, connection), path,
                         QStringLiteral("Расчётный листок ") + EarningsLayout::periodText(from, to));
}

}  // namespace papers

}  // namespace mirn
