#include "papers/xls_export.h"

#include "export/excel.h"

#include <QGuiApplication>
#include <QLocale>

namespace mirn {

namespace papers {

QString generalNumber(const QVariant& v) {
    if (v.isNull()) return QString();
    // No digit grouping: a spreadsheet would read "1 234,5" as text.
    return QString::number(toDouble(v), 'g', 15).replace(QLatin1Char('.'), QLocale().decimalPoint());
}

QString wholeNumber(const QVariant& v) {
    if (v.isNull()) return QString();
    const QString s = v.toString().trimmed();
    bool ok = false;
    const qlonglong n = s.toLongLong(&ok);
    if (ok) return QString::number(n);
    return QString::number(qRound64(toDouble(v)));
}

QString kindText(int naimen) {
    return naimen == 0 ? QStringLiteral("Готовая продукция") : QStringLiteral("Заготовки");
}

QString operationWithColour(const QString& vid, int color) {
    if (color <= 0) return vid;
    if (color == 1) return vid + QStringLiteral(" (грунт)");
    return vid + QStringLiteral(" (цвет: ") + QString::number(color) + QStringLiteral(")");
}

QString progressCaption(int done, int total) {
    return QStringLiteral("Excel (%1 из %2)").arg(done).arg(total);
}

QStringList productionReportText() {
    return {
        QStringLiteral("select sum(smena.kol_vo-smena.brak)::numeric as kolvo, vid_oper.vid,"),
        QStringLiteral("izdel.nom, oper.naimen, color,izdel.massa*sum(smena.kol_vo-smena.brak) as mass "),
        QStringLiteral("from accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper, accounts_dep.oper where izdel.id=smena.i_id and vid_oper.id=oper.vid"),
        QStringLiteral("and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 "),
        QStringLiteral("group by izdel.nom,color, oper.naimen, vid_oper.vid, izdel.massa order by izdel.nom"),
    };
}

int exportProductionReport(Query& xlsRep, const QDate& data1, const QDate& data2, Progress progress) {
    xlsRep.close();
    xlsRep.setParam(QStringLiteral("data1"), data1);
    xlsRep.setParam(QStringLiteral("data2"), data2);
    xlsRep.open();
    ExcelSetTitle(QStringLiteral("Отчет %1-%2").arg(data1.toString(QStringLiteral("dd.MM.yyyy")),
                                                    data2.toString(QStringLiteral("dd.MM.yyyy"))));
    if (ExcelOpen(QString()) == -1) {
        xlsRep.close();
        QGuiApplication::restoreOverrideCursor();
        return -1;
    }
    const int n = xlsRep.recordCount();
    progress(progressCaption(0, n));
    xlsRep.first();
    const QStringList heads = {QStringLiteral("Наименование"), QStringLiteral("Операция"),
                               QStringLiteral("Вид продукции"), QStringLiteral("Коробки"),
                               QStringLiteral("Кол-во")};
    for (int c = 0; c < heads.size(); ++c) ExcelWriteCell(1, c + 1, 1, heads[c]);
    for (int k = 0; k < n; ++k) {
        const int r = k + 2;
        xlsRep.setRecNo(k + 1);
        ExcelWriteCell(1, 1, r, xlsRep.asString(QStringLiteral("nom")));
        ExcelWriteCell(1, 2, r, operationWithColour(xlsRep.asString(QStringLiteral("vid")),
                                                    xlsRep.asInt(QStringLiteral("color"))));
        ExcelWriteCell(1, 3, r, kindText(xlsRep.asInt(QStringLiteral("naimen"))));
        ExcelWriteCell(1, 4, r, generalNumber(xlsRep.field(QStringLiteral("mass"))));
        ExcelWriteCell(1, 5, r, wholeNumber(xlsRep.field(QStringLiteral("kolvo"))));
        progress(progressCaption(k + 1, n));
    }
    ExcelSetVisible(true);
    xlsRep.close();
    return n;
}

}  // namespace papers

}  // namespace mirn
