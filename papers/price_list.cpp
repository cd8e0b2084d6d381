#include "papers/price_list.h"

#include "domain/db.h"
#include "export/excel.h"
#include "papers/xls_export.h"

#include <QGuiApplication>

namespace mirn {

namespace papers {

QStringList priceListText() {
    return {
        QStringLiteral("select izdel.MARKA, vid_oper.VID, oper.NAIMEN,(SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn, oper.CENA_new as cena, oper.id, oper.i_id,"),
        QStringLiteral(" oper.VID as oper_vid from accounts_dep.OPER,accounts_dep.IZDEL,accounts_dep.VID_OPER where OPER.i_id=IZDEL.id "),
        QStringLiteral("and oper.vid=vid_oper.id order by izdel.marka, vid_oper.vid, oper.naimen"),
    };
}

int exportPriceListWorkbook() {
    Query rep;
    rep.SQL = priceListText();
    rep.open();
    ExcelSetTitle(QStringLiteral("Прайс"));
    if (ExcelOpen(QString()) == -1) {
        QGuiApplication::restoreOverrideCursor();
        return -1;
    }
    rep.first();
    ExcelWriteCell(1, 1, 1, QStringLiteral("Марка"));
    ExcelWriteCell(1, 2, 1, QStringLiteral("Операция"));
    ExcelWriteCell(1, 3, 1, QStringLiteral("Цена"));
    ExcelWriteCell(1, 4, 1, QStringLiteral("Вид"));
    const int n = rep.recordCount();
    for (int k = 0; k < n; ++k) {
        const int r = k + 2;
        rep.setRecNo(k + 1);
        ExcelWriteCell(1, 1, r, rep.asString(QStringLiteral("marka")));
        ExcelWriteCell(1, 2, r, rep.asString(QStringLiteral("vid")));
        ExcelWriteCell(1, 3, r, generalNumber(rep.field(QStringLiteral("cena"))));
        ExcelWriteCell(1, 4, r, kindText(rep.asInt(QStringLiteral("naimen"))));
    }
    ExcelSetVisible(true);
    rep.close();
    return n;
}

}  // namespace papers

}  // namespace mirn
