#pragma once
// The texts the spreadsheet exports write, and the production report export itself.
#include "domain/db.h"

#include <QDate>
#include <QString>
#include <functional>

namespace mirn {

namespace papers {

// A floating number in general number format: up to 15 significant digits, no
// trailing zeros, the desktop's decimal separator.
QString generalNumber(const QVariant& v);
// A whole number as digits ("150" from "150", "150.000" or 150.0).
QString wholeNumber(const QVariant& v);
// "Готовая продукция" for kind 0, "Заготовки" otherwise.
QString kindText(int naimen);
// The operation with its colour: "Покраска (грунт)", "Покраска (цвет: 7024)", "Резка".
QString operationWithColour(const QString& vid, int color);

// Reports the progress caption of the button that started an export.
using Progress = std::function<void(const QString& caption)>;
QString progressCaption(int done, int total);  // "Excel (k из N)"

// The production report query (parameters data1, data2).
QStringList productionReportText();

// Fills and shows the production report of [data1, data2) from xlsRep, keeping only
// the rows the filter lets through (empty: all). Returns the rows written, or -1 when
// the workbook could not be opened.
int exportProductionReport(Query& xlsRep, const QDate& data1, const QDate& data2, Progress progress);

}  // namespace papers

}  // namespace mirn
