// Time to lay out a detailed report by products of 5,000 rows.
// Usage: bench_engine_prepare [rows] [runs]; prints the median in milliseconds.
#include "engine/engine.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace mirn;

using namespace rpt;

namespace {

ReportDef layout() {
    ReportDef d;
    d.decimalSeparator = QStringLiteral(",");
    Group head;
    head.header = Band(QStringLiteral("header"), 16);
    head.header.setShade(QColor(244, 244, 244))
        .add(Element::label({0, 0, 190, 8}, QStringLiteral("Отчет"), QStringLiteral("QRLabel1")).setBold())
        .add(Element::label({110, 9, 20, 6}, QStringLiteral("Брак")).centred())
        .add(Element::label({130, 9, 20, 6}, QStringLiteral("Коробки")).centred())
        .add(Element::label({150, 9, 20, 6}, QStringLiteral("Кол-во")).centred())
        .add(Element::label({170, 9, 20, 6}, QStringLiteral("Сумма")).centred())
        .addChild(Band(QStringLiteral("spacer"), 2));
    head.footer = Band(QStringLiteral("total"), 8);
    head.footer.setFrame(AllSides).setShade(QColor(220, 220, 220)).setBold()
        .add(Element::label({0, 0, 40, 8}, QStringLiteral("Итого:")))
        .add(Element::sum({110, 0, 20, 8}, QStringLiteral("brk"), {}, false))
        .add(Element::sum({130, 0, 20, 8}, QStringLiteral("mass"), {}, false))
        .add(Element::sum({150, 0, 20, 8}, QStringLiteral("kolvo"), {}, false))
        .add(Element::sum({170, 0, 20, 8}, QStringLiteral("summa"), QStringLiteral("#0.00"), false));

    auto kindText = [](const Row& r) -> QVariant {
        return r.value(QStringLiteral("naimen")).toInt() == 0 ? QStringLiteral("Готовая продукция")
                                                              : QStringLiteral("Заготовки");
    };
    Group kind;
    kind.keyFn = kindText;
    kind.header = Band(QStringLiteral("kindHeader"), 7);
    kind.header.setShade(QColor(224, 224, 224)).add(Element::computed({0, 0, 100, 7}, kindText).setBold());
    kind.footer = Band(QStringLiteral("kindFooter"), 7);
    kind.footer.setBold().setFrame(Bottom)
        .add(Element::sum({110, 0, 20, 7}, QStringLiteral("brk")))
        .add(Element::sum({130, 0, 20, 7}, QStringLiteral("mass"), QStringLiteral("#0.00")))
        .add(Element::sum({150, 0, 20, 7}, QStringLiteral("kolvo")))
        .add(Element::sum({170, 0, 20, 7}, QStringLiteral("summa"), QStringLiteral("#0.00")));
    Group nom;
    nom.key = QStringLiteral("nom");
    nom.header = Band(QStringLiteral("nomHeader"), 7);
    nom.header.setShade(QColor(224, 224, 224)).add(Element::field({5, 0, 100, 7}, QStringLiteral("nom")).setBold());
    nom.footer = Band(QStringLiteral("nomFooter"), 7);
    nom.footer.setBold()
        .add(Element::sum({110, 0, 20, 7}, QStringLiteral("brk")))
        .add(Element::sum({130, 0, 20, 7}, QStringLiteral("mass"), QStringLiteral("#0.00")))
        .add(Element::sum({150, 0, 20, 7}, QStringLiteral("kolvo")))
        .add(Element::sum({170, 0, 20, 7}, QStringLiteral("summa"), QStringLiteral("#0.00")));
    d.groups = {head, kind, nom};

    d.detail = Band(QStringLiteral("detail"), 6);
    d.detail.add(Element::field({0, 0, 30, 6}, QStringLiteral("MARKA")).setFrame(AllSides))
        .add(Element::field({30, 0, 30, 6}, QStringLiteral("vid")).setFrame(AllSides))
        .add(Element::field({60, 0, 15, 6}, QStringLiteral("color")).centred().setFrame(AllSides))
        .add(Element::computed({75, 0, 35, 6}, [](const Row& r) -> QVariant {
                 const int c = r.value(QStringLiteral("color")).toInt();
                 if (c <= 0) return QStringLiteral(" ");
                 return c == 1 ? QStringLiteral(" (грунт)") : QStringLiteral(" (RAL: %1)").arg(c);
             }).setFrame(AllSides))
        .add(Element::field({110, 0, 20, 6}, QStringLiteral("brk"), QStringLiteral("#0.000")).centred().setFrame(AllSides))
        .add(Element::field({130, 0, 20, 6}, QStringLiteral("mass"), QStringLiteral("#0.000")).centred().setFrame(AllSides))
        .add(Element::field({150, 0, 20, 6}, QStringLiteral("kolvo"), QStringLiteral("#0.000")).centred().setFrame(AllSides))
        .add(Element::field({170, 0, 20, 6}, QStringLiteral("summa"), QStringLiteral("#0.000")).centred().setFrame(AllSides));
    d.pageFooter = Band(QStringLiteral("pageFooter"), 6);
    d.pageFooter.add(Element::pageNumber({150, 0, 40, 6}).right());
    return d;
}

// Rows as PostgreSQL hands them over: numeric as text, bigint sums, float8 as double.
VectorDataSource rows(int n) {
    VectorDataSource src({QStringLiteral("marka"), QStringLiteral("vid"), QStringLiteral("naimen"),
                          QStringLiteral("nom"), QStringLiteral("kolvo"), QStringLiteral("brk"),
                          QStringLiteral("summa"), QStringLiteral("color"), QStringLiteral("mass")});
    for (int i = 0; i < n; ++i) {
        const int kind = i < n / 2 ? 0 : 1;
        const int product = i / 40;
        src.addRow({QStringLiteral("КР-%1").arg(i), QStringLiteral("Операция %1").arg(i % 12), kind,
                    QStringLiteral("Изделие %1").arg(product, 4, 10, QLatin1Char('0')),
                    QString::number(100 + i % 500), qlonglong(i % 7), 0.35 * (100 + i % 500) * 1.2,
                    i % 5 == 0 ? 1013 : i % 3, QStringLiteral("%1.%2").arg(i % 90).arg(i % 100, 2, 10, QLatin1Char('0'))});
    }
    return src;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? QByteArray(argv[1]).toInt() : 5000;
    const int runs = argc > 2 ? QByteArray(argv[2]).toInt() : 7;
    const ReportDef def = layout();
    const VectorDataSource src = rows(n);

    std::vector<double> ms;
    size_t pages = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const PreparedReport r = prepare(def, src);
        ms.push_back(t.nsecsElapsed() / 1e6);
        pages = r.pages.size();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("prepare: %d rows, %zu pages, median %.1f ms of %d runs (min %.1f, max %.1f)\n", n, pages,
                ms[ms.size() / 2], runs, ms.front(), ms.back());
    return 0;
}
