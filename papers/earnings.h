#pragma once
// "Расчётный листок": the worker's earnings statement for a period, one worker per page.
#include "papers/layouts.h"

#include <QDate>
#include <QString>

namespace mirn {

namespace papers {

// The statement's layout over its query (earnings::statementSql). The caller sets the
// parameters data1, data2 and worker (0 for all), puts the period into the label
// "period", opens the query and prepares, as with the production reports.
class EarningsLayout : public papers::ReportLayout {
public:
    explicit EarningsLayout(const QString& connection = {});
    Query& query() override { return Earnings; }
    Query Earnings;

    // "за период с 01.03.2024 по 01.04.2024", the end excluded as in every report.
    static QString periodText(const QDate& from, const QDate& to);
};

// The statement of [from, to) for worker workerId, or for every worker with entries or
// auxiliary work in the period when workerId is 0: the query is run, the pages laid out
// and the query closed. Needs no widgets; throws DbError when the query fails.
rpt::PreparedReport earningsStatement(const QDate& from, const QDate& to, int workerId,
                                      const QString& connection = {});

// The same, written to a PDF file. False when the file cannot be written.
bool writeEarningsPdf(const QDate& from, const QDate& to, int workerId, const QString& path,
                      const QString& connection = {});

}  // namespace papers

}  // namespace mirn
