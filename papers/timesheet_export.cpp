#include "papers/timesheet_export.h"

#include "export/excel.h"

#include <QGuiApplication>

namespace mirn {

namespace papers {

int exportTimesheet(Query& hTabel, int month, int year, const QString& title, Progress progress) {
    hTabel.close();
    hTabel.setParam(QStringLiteral("mnth"), month);
    hTabel.setParam(QStringLiteral("yea"), year);
    hTabel.open();
    ExcelSetTitle(QStringLiteral("Табель ") + title);
    if (ExcelOpen(QString()) == -1) {
        hTabel.close();
        QGuiApplication::restoreOverrideCursor();
        return -1;
    }
    ExcelSetVisible(false);
    const int n = hTabel.recordCount();
    progress(progressCaption(0, n));
    hTabel.first();
    ExcelWriteFormattedCell(1, 1, 1, title, true, true, true);
    ExcelWriteFormattedCell(1, 1, 2, QStringLiteral("Фамилия И.О."), true, true, true);
    for (int d = 1; d <= 31; ++d) ExcelWriteFormattedCell(1, d + 1, 2, QString::number(d), false, true, true);
    ExcelWriteFormattedCell(1, 33, 2, QStringLiteral("Итого"), true, true, true);
    for (int k = 0; k < n; ++k) {
        const int r = k + 3;
        hTabel.setRecNo(k + 1);
        ExcelWriteFormattedCell(1, 1, r, hTabel.asString(QStringLiteral("fio")), true, true, false);
        qlonglong total = 0;
        for (int d = 1; d <= 31; ++d) {
            const int h = hTabel.asInt(QStringLiteral("sd%1").arg(d));
            total += h;
            ExcelWriteFormattedCell(1, d + 1, r, QString::number(h), false, true, false);
        }
        ExcelWriteFormattedCell(1, 33, r, QString::number(total), false, true, false);
        progress(progressCaption(k + 1, n));
    }
    ExcelSetVisible(true);
    hTabel.close();
    return n;
}

}  // namespace papers

}  // namespace mirn
