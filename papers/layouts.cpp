#include "papers/layouts.h"

#include <QDate>

namespace mirn {

namespace papers {

QueryRows::QueryRows(const Query& q, const QStringList& decimalFields) : q_(q) {
    for (const QString& f : decimalFields) {
        const int i = q.fieldIndex(f);
        if (i >= 0) decimals_.insert(i);
    }
}

QVariant QueryRows::value(int row, int field) const {
    QVariant v = q_.value(row, field);
    if (decimals_.contains(field) && v.typeId() == QMetaType::QString) {
        if (const auto d = rpt::Decimal::parse(v.toString())) return QVariant::fromValue(*d);
    }
    return v;
}

void filterKind(Query& q, int naimen) {
    if (naimen < 0) {
        q.clearFilter();
        return;
    }
    q.setFilter([naimen](const Query& query, const Query::Row& row) {
        const int col = query.fieldIndex(QStringLiteral("naimen"));
        return col >= 0 && col < row.size() && !row[col].isNull() && toInt(row[col]) == naimen;
    });
}

QVariant productKindText(const rpt::Row& r) {
    return toInt(r.value(QStringLiteral("naimen"))) == 0 ? QStringLiteral("Готовая продукция")
                                                         : QStringLiteral("Заготовки");
}

QVariant colourText(const rpt::Row& r) {
    const int color = toInt(r.value(QStringLiteral("color")));
    if (color <= 0) return QStringLiteral(" ");
    if (color == 1) return QStringLiteral(" (грунт)");
    return QStringLiteral(" (RAL: ") + QString::number(color) + QStringLiteral(")");
}

const rpt::PreparedReport& ReportLayout::Prepare() {
    const QueryRows rows(query(), decimalFields_);
    prepared = rpt::prepare(QuickRep1, rows);
    return prepared;
}

std::unique_ptr<rpt::LazyReport> ReportLayout::PrepareLazily(const rpt::LazyReport::Progress& progress) {
    return std::make_unique<rpt::LazyReport>(QuickRep1, std::make_unique<const QueryRows>(query(), decimalFields_),
                                             progress);
}




// The date of printing on the left, "стр. N из M" on the right. The date is taken when
// the pages are laid out, so a layout made at start-up still prints today's date.
rpt::Band pageFooter(double width) {
    rpt::Band b(QStringLiteral("pageFooter"), 6);
    b.add(rpt::Element::computed({0, 0, 60, 6},
                            [](const rpt::Row&) {
                                return QVariant(QStringLiteral("Дата печати: ") +
                                                QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")));
                            })
              .named(QStringLiteral("printDate")));
    b.add(rpt::Element::pageNumber({width - 40, 0, 40, 6}, QStringLiteral("стр. %1 из %2"))
              .right()
              .named(QStringLiteral("pageNumber")));
    return b;
}

namespace {

using rpt::Band;
using rpt::Element;
using rpt::Group;

const QColor kHeaderShade(244, 244, 244);
const QColor kGroupShade(224, 224, 224);
const QColor kFinalShade(220, 220, 220);
const QColor kTotalShade(239, 239, 239);

constexpr double kWidth = 190;     // A4 portrait less the margins, millimetres
constexpr double kTitleHeight = 8;
constexpr double kHeadingHeight = 6;
constexpr double kGroupHeight = 6;
constexpr double kDetailHeight = 5;
constexpr double kFooterHeight = 6;
constexpr double kFinalHeight = 7;

struct Column {
    double x;
    double w;
    QRectF rect(double height, double top = 0) const { return {x, top, w, height}; }
};

// A heading over a column of the report.
struct Heading {
    Column col;
    QString caption;
};

// The header group of a production report: the title with the column headings over a
// spacer, printed once; its footer is the boxed final footer starting with "Итого:".
Group headerGroup(const std::vector<Heading>& headings) {
    Group g;
    const double height = kTitleHeight + (headings.empty() ? 0 : kHeadingHeight);
    g.header = Band(QStringLiteral("header"), height);
    g.header.setShade(kHeaderShade);
    g.header.add(Element::label({0, 0, kWidth, kTitleHeight}, QString(), QStringLiteral("QRLabel1"))
                     .setBold()
                     .setFontSize(11));
    for (const Heading& h : headings)
        g.header.add(Element::label(h.col.rect(kHeadingHeight, kTitleHeight), h.caption).centred().setBold());
    g.header.addChild(Band(QStringLiteral("spacer"), 2));
    g.footer = Band(QStringLiteral("total"), kFinalHeight);
    g.footer.setFrame(rpt::AllSides).setShade(kFinalShade).setBold();
    g.footer.add(Element::label({0, 0, 40, kFinalHeight}, QStringLiteral("Итого:")));
    return g;
}

// A group printed each time its field changes: the field in bold on a grey band.
Group fieldGroup(const QString& key, const QString& field, double indent) {
    Group g;
    g.key = key;
    g.header = Band(field, kGroupHeight);
    g.header.setShade(kGroupShade);
    g.header.add(Element::field({indent, 0, kWidth - indent, kGroupHeight}, field).setBold());
    g.footer = Band(field + QStringLiteral("Footer"), kFooterHeight);
    g.footer.setBold();
    return g;
}

// A subtotal (reset after it prints) or a report total (never reset), centred and shaded.
// The shade stays clear of the band's edges so that the lines of a framed band show.
Element total(const Column& c, double height, const QString& field, const QString& mask, bool subtotal) {
    const QRectF r = c.rect(height).adjusted(0.3, 0.3, -0.3, -0.3);
    return Element::sum(r, field, mask, subtotal).centred().setShade(kTotalShade);
}

void addSubtotal(Group& g, const Column& c, const QString& field, const QString& mask = {}) {
    g.footer.add(total(c, kFooterHeight, field, mask, true));
}

void addTotal(Group& head, const Column& c, const QString& field, const QString& mask = {}) {
    head.footer.add(total(c, kFinalHeight, field, mask, false));
}


// A line of headings over every column, at the top of every page: a keyless group of
// its own after the report's header, repeated on each new page.
Group columnHeadings(const std::vector<Heading>& headings) {
    Group g;
    g.repeatHeader = true;
    g.header = Band(QStringLiteral("columns"), kHeadingHeight);
    g.header.setFrame(rpt::Top | rpt::Bottom).setBold();
    for (const Heading& h : headings)
        g.header.add(Element::label(h.col.rect(kHeadingHeight), h.caption).centred());
    return g;
}

rpt::ReportDef productionReport() {
    rpt::ReportDef d;
    d.paper = QPageSize::A4;
    d.orientation = QPageLayout::Portrait;
    d.fontFamily = QStringLiteral("Arial");
    d.pageFooter = pageFooter(kWidth);
    return d;
}

Element kindText(const Column& c) { return Element::computed(c.rect(kDetailHeight), papers::productKindText); }
Element colourText(const Column& c) { return Element::computed(c.rect(kDetailHeight), papers::colourText); }
Element detailField(const Column& c, const QString& field, const QString& mask = {}) {
    return Element::field(c.rect(kDetailHeight), field, mask);
}

}  // namespace

// ---------------------------------------------------------------------------------------

TForm16::TForm16() {
    t_Report.SQL = {
        QStringLiteral("select person.s_caption fio, sum(smena.kol_vo-smena.brak)::numeric as kolvo, "),
        QStringLiteral("sum((kol_vo-brak)*smena.cena) as summa,vid_oper.vid,"),
        QStringLiteral("izdel.nom, oper.naimen, color from cmn_contractor.person person,accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper,"),
        QStringLiteral("accounts_dep.oper where w_id=s_code::integer and izdel.id=smena.i_id and vid_oper.id=oper.vid"),
        QStringLiteral("and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 "),
        QStringLiteral("group by fio, izdel.nom, oper.naimen, vid_oper.vid, color order by fio, izdel.nom"),
    };
    decimalFields_ = {QStringLiteral("kolvo")};

    const Column kind{0, 40}, vid{40, 45}, colour{85, 35}, kolvo{120, 30}, summa{150, 40};
    rpt::ReportDef d = productionReport();
    Group head = headerGroup({});
    addTotal(head, summa, QStringLiteral("summa"), QStringLiteral("#0.00"));
    Group fio = fieldGroup(QStringLiteral("t_Report.fio"), QStringLiteral("fio"), 0);
    fio.footer.setFrame(rpt::Bottom);
    addSubtotal(fio, summa, QStringLiteral("summa"), QStringLiteral("#0.00"));
    Group nom = fieldGroup(QStringLiteral("t_Report.nom"), QStringLiteral("nom"), 5);
    addSubtotal(nom, kolvo, QStringLiteral("kolvo"));
    addSubtotal(nom, summa, QStringLiteral("summa"), QStringLiteral("#0.000"));
    const Group columns = columnHeadings({{kind, QStringLiteral("Вид продукции")},
                                          {vid, QStringLiteral("Операция")},
                                          {colour, QStringLiteral("Цвет")},
                                          {kolvo, QStringLiteral("Кол-во")},
                                          {summa, QStringLiteral("Сумма")}});
    d.groups = {head, columns, fio, nom};
    d.detail = Band(QStringLiteral("detail"), kDetailHeight);
    d.detail.add(kindText(kind))
        .add(detailField(vid, QStringLiteral("vid")).centred())
        .add(colourText(colour))
        .add(detailField(kolvo, QStringLiteral("kolvo")).centred())
        .add(detailField(summa, QStringLiteral("summa"), QStringLiteral("#0.000")).centred());
    QuickRep1 = std::move(d);
}

TForm17::TForm17() {
    t_Report.SQL = {
        QStringLiteral("select sum(smena.kol_vo-smena.brak)::numeric as kolvo, vid_oper.vid,"),
        QStringLiteral("izdel.nom, oper.naimen, color,  round((izdel.massa*sum(smena.kol_vo-smena.brak))::numeric,2) as mass"),
        QStringLiteral("from accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper, accounts_dep.oper where izdel.id=smena.i_id and vid_oper.id=oper.vid"),
        QStringLiteral("and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 "),
        QStringLiteral("group by izdel.nom,color, oper.naimen, vid_oper.vid, izdel.massa order by izdel.nom"),
    };
    decimalFields_ = {QStringLiteral("kolvo"), QStringLiteral("mass")};

    const Column kind{0, 40}, vid{40, 45}, colour{85, 40}, mass{125, 30}, kolvo{155, 35};
    rpt::ReportDef d = productionReport();
    Group head = headerGroup({{mass, QStringLiteral("Коробки")}, {kolvo, QStringLiteral("Количество")}});
    addTotal(head, mass, QStringLiteral("mass"), QStringLiteral("#0"));
    addTotal(head, kolvo, QStringLiteral("kolvo"));
    Group nom = fieldGroup(QStringLiteral("nom"), QStringLiteral("nom"), 0);
    addSubtotal(nom, mass, QStringLiteral("mass"));
    addSubtotal(nom, kolvo, QStringLiteral("kolvo"));
    const Group columns = columnHeadings({{kind, QStringLiteral("Вид продукции")},
                                          {vid, QStringLiteral("Операция")},
                                          {colour, QStringLiteral("Цвет")},
                                          {mass, QStringLiteral("Коробки")},
                                          {kolvo, QStringLiteral("Количество")}});
    d.groups = {head, columns, nom};
    d.detail = Band(QStringLiteral("detail"), kDetailHeight);
    d.detail.add(kindText(kind))
        .add(detailField(vid, QStringLiteral("vid")).centred())
        .add(colourText(colour))
        .add(detailField(mass, QStringLiteral("mass")).centred())
        .add(detailField(kolvo, QStringLiteral("kolvo")).centred());
    QuickRep1 = std::move(d);
}

TForm20::TForm20() {
    w_Report.SQL = {
        QStringLiteral("select s_caption fio, izdel.marka, vid_oper.vid, oper.naimen, "),
        QStringLiteral("sum(smena.kol_vo)::numeric as kolvo, sum(smena.brak) as brk, sum((kol_vo-brak)*"),
        QStringLiteral("smena.cena) as summa, color, sum(prize*(kol_vo-brak)*cena/100) as s_prize "),
        QStringLiteral("from cmn_contractor.person person,accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper where "),
        QStringLiteral("smena.o_id=oper.id and smena.w_id=s_code::integer and smena.i_id=izdel.id "),
        QStringLiteral("and smena.o_id=oper.id and w_id=s_code::integer and oper.vid=vid_oper.id "),
        QStringLiteral("and smena.data<:data2 and smena.data>=:data1 group by fio, marka, "),
        QStringLiteral("vid_oper.vid, oper.naimen, color order by fio, marka, vid_oper.vid, oper.naimen"),
    };
    decimalFields_ = {QStringLiteral("kolvo")};

    const Column marka{0, 45}, vid{45, 40}, color{85, 12}, kind{97, 30}, brk{127, 18}, kolvo{145, 20},
        summa{165, 25};
    rpt::ReportDef d = productionReport();
    Group head = headerGroup({{brk, QStringLiteral("Брак")},
                              {kolvo, QStringLiteral("Количество")},
                              {summa, QStringLiteral("Сумма")}});
    addTotal(head, brk, QStringLiteral("brk"));
    addTotal(head, kolvo, QStringLiteral("kolvo"));
    addTotal(head, summa, QStringLiteral("summa"), QStringLiteral("#0.00"));
    Group fio = fieldGroup(QStringLiteral("fio"), QStringLiteral("fio"), 0);
    addSubtotal(fio, brk, QStringLiteral("brk"));
    addSubtotal(fio, kolvo, QStringLiteral("kolvo"));
    addSubtotal(fio, summa, QStringLiteral("summa"), QStringLiteral("#0.00"));
    const Group columns = columnHeadings({{marka, QStringLiteral("Марка")},
                                          {vid, QStringLiteral("Операция")},
                                          {color, QStringLiteral("Цвет")},
                                          {kind, QStringLiteral("Вид продукции")},
                                          {brk, QStringLiteral("Брак")},
                                          {kolvo, QStringLiteral("Кол-во")},
                                          {summa, QStringLiteral("Сумма")}});
    d.groups = {head, columns, fio};
    d.detail = Band(QStringLiteral("detail"), kDetailHeight);
    d.detail.add(detailField(marka, QStringLiteral("marka")))
        .add(detailField(vid, QStringLiteral("vid")).centred())
        .add(detailField(color, QStringLiteral("color")).centred())
        .add(kindText(kind))
        .add(detailField(brk, QStringLiteral("brk"), QStringLiteral("#0.00")).centred())
        .add(detailField(kolvo, QStringLiteral("kolvo"), QStringLiteral("#0.00")).centred())
        .add(detailField(summa, QStringLiteral("summa"), QStringLiteral("#0.00")).centred());
    QuickRep1 = std::move(d);
}

TForm21::TForm21() {
    i_Report.SQL = {
        QStringLiteral("select izdel.marka, vid_oper.vid vid, oper.naimen, izdel.nom,"),
        QStringLiteral("sum(smena.kol_vo)::numeric as kolvo, sum(smena.brak) as brk, "),
        QStringLiteral("sum((kol_vo-brak)*smena.cena) as summa, color, round((izdel.massa*sum(smena.kol_vo))::numeric,2) as mass "),
        QStringLiteral("from accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper where smena.o_id=oper.id and smena.i_id=izdel.id "),
        QStringLiteral("and smena.o_id=oper.id and oper.vid=vid_oper.id and smena.data<:data2 and "),
        QStringLiteral("smena.data>=:data1 group by izdel.nom, marka, vid_oper.vid, oper.naimen, color,massa "),
        QStringLiteral("order by izdel.nom,marka, vid_oper.vid, oper.naimen"),
    };
    decimalFields_ = {QStringLiteral("kolvo"), QStringLiteral("mass")};

    const Column marka{0, 38}, vid{38, 34}, color{72, 12}, kind{84, 30}, brk{114, 16}, mass{130, 20},
        kolvo{150, 18}, summa{168, 22};
    rpt::ReportDef d = productionReport();
    Group head = headerGroup({{brk, QStringLiteral("Брак")},
                              {mass, QStringLiteral("Коробки")},
                              {kolvo, QStringLiteral("Кол-во")},
                              {summa, QStringLiteral("Сумма")}});
    addTotal(head, brk, QStringLiteral("brk"));
    addTotal(head, mass, QStringLiteral("mass"));
    addTotal(head, kolvo, QStringLiteral("kolvo"));
    addTotal(head, summa, QStringLiteral("summa"), QStringLiteral("#0.00"));
    Group nom = fieldGroup(QStringLiteral("nom"), QStringLiteral("nom"), 0);
    addSubtotal(nom, brk, QStringLiteral("brk"));
    addSubtotal(nom, mass, QStringLiteral("mass"), QStringLiteral("#0.00"));
    addSubtotal(nom, kolvo, QStringLiteral("kolvo"));
    addSubtotal(nom, summa, QStringLiteral("summa"), QStringLiteral("#0.00"));
    const Group columns = columnHeadings({{marka, QStringLiteral("Марка")},
                                          {vid, QStringLiteral("Операция")},
                                          {color, QStringLiteral("Цвет")},
                                          {kind, QStringLiteral("Вид продукции")},
                                          {brk, QStringLiteral("Брак")},
                                          {mass, QStringLiteral("Коробки")},
                                          {kolvo, QStringLiteral("Кол-во")},
                                          {summa, QStringLiteral("Сумма")}});
    d.groups = {head, columns, nom};
    d.detail = Band(QStringLiteral("detail"), kDetailHeight);
    d.detail.add(detailField(marka, QStringLiteral("marka")))
        .add(detailField(vid, QStringLiteral("vid")))
        .add(detailField(color, QStringLiteral("color")).centred())
        .add(kindText(kind))
        .add(detailField(brk, QStringLiteral("brk"), QStringLiteral("#0.000")).centred())
        .add(detailField(mass, QStringLiteral("mass"), QStringLiteral("#0.000")).centred())
        .add(detailField(kolvo, QStringLiteral("kolvo"), QStringLiteral("#0.000")).centred())
        .add(detailField(summa, QStringLiteral("summa"), QStringLiteral("#0.000")).centred());
    QuickRep1 = std::move(d);
}

// ---------------------------------------------------------------------------------------

TForm15::TForm15() {
    H_Tabel.SQL = {
        QStringLiteral("select person.s_caption fio,sum(d1) as sd1,sum(d2) as sd2,sum(d3) as sd3,sum(d4) as sd4,"),
        QStringLiteral("sum(d5) as sd5,sum(d6) as sd6,sum(d7) as sd7,sum(d8) as sd8,sum(d9) as sd9,"),
        QStringLiteral("sum(d10) as sd10,sum(d11) as sd11,sum(d12) as sd12,sum(d13) as sd13,"),
        QStringLiteral("sum(d14) as sd14,sum(d15) as sd15,sum(d16) as sd16,sum(d17) as sd17,"),
        QStringLiteral("sum(d18) as sd18,sum(d19) as sd19,sum(d20) as sd20,sum(d21) as sd21,"),
        QStringLiteral("sum(d22) as sd22,sum(d23) as sd23,sum(d24) as sd24,sum(d25) as sd25,"),
        QStringLiteral("sum(d26) as sd26,sum(d27) as sd27,sum(d28) as sd28,sum(d29) as sd29,"),
        QStringLiteral("sum(d30) as sd30,sum(d31) as sd31 from accounts_dep.h_tabel, cmn_contractor.person person where"),
        QStringLiteral("h_tabel.w_id=person.s_code::t_integer and month=:mnth and"),
        QStringLiteral("year=:yea group by fio order by fio"),
    };

    constexpr double width = 277;  // A4 landscape less the margins
    constexpr double name = 50, day = 6.5, totalX = name + 31 * day, totalW = width - totalX;
    rpt::ReportDef d;
    d.paper = QPageSize::A4;
    d.orientation = QPageLayout::Landscape;
    d.fontFamily = QStringLiteral("Arial");

    Group heading;
    heading.repeatHeader = true;
    heading.header = Band(QStringLiteral("heading"), 7);
    heading.header.setFrame(rpt::Top | rpt::Bottom).setBold();
    heading.header.add(Element::label({0, 0, name, 7}, QStringLiteral("Данные за:"), QStringLiteral("QRLabel33")));
    for (int i = 1; i <= 31; ++i)
        heading.header.add(Element::label({name + (i - 1) * day, 0, day, 7}, QString::number(i))
                               .centred()
                               .setFrame(rpt::Left | rpt::Right));
    heading.header.add(Element::label({totalX, 0, totalW, 7}, QStringLiteral("Итого")).centred());
    d.groups = {heading};

    d.detail = Band(QStringLiteral("detail"), 5);
    d.detail.setFrame(rpt::Top | rpt::Bottom);
    d.detail.add(Element::field({0, 0, name, 5}, QStringLiteral("fio")));
    for (int i = 1; i <= 31; ++i)
        d.detail.add(Element::field({name + (i - 1) * day, 0, day, 5}, QStringLiteral("sd%1").arg(i))
                         .centred()
                         .setFrame(rpt::Left | rpt::Right));
    // "sd1+sd2+…+sd31", where a day without hours counts as 0.
    d.detail.add(Element::computed({totalX, 0, totalW, 5},
                                   [](const rpt::Row& r) {
                                       rpt::Decimal sum;
                                       for (int i = 1; i <= 31; ++i)
                                           if (const auto v = rpt::Decimal::fromVariant(
                                                   r.value(QStringLiteral("sd%1").arg(i))))
                                               sum += *v;
                                       return QVariant::fromValue(sum);
                                   })
                     .centred()
                     .setBold());
    d.pageFooter = pageFooter(width);
    QuickRep1 = std::move(d);
}

}  // namespace papers

}  // namespace mirn
