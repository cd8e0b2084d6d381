#pragma once
// The change report: every logged change of entries and prices in a period, grouped by
// day (db/extension.sql keeps the history). No widgets: the reports window previews and
// prints it, a batch run writes it to PDF (rpt::writePdf).
#include "domain/history.h"
#include "engine/engine.h"

#include <QDate>
#include <QString>
#include <vector>

namespace mirn {

namespace papers {

// The layout: A4 landscape, the title naming the period, a day heading, one line a change.
rpt::ReportDef changeReportDef(const QDate& from, const QDate& to);

// The changes as the report's rows (day, time, what, row, action, who, where, fields).
class ChangeRows : public rpt::ReportDataSource {
public:
    explicit ChangeRows(const std::vector<history::Change>& changes) : changes_(changes) {}
    int rowCount() const override { return int(changes_.size()); }
    QStringList fieldNames() const override;
    QVariant value(int row, int field) const override;

private:
    const std::vector<history::Change>& changes_;
};

// Reads the period's changes (from included, to excluded) and lays out every page.
rpt::PreparedReport changeReport(const QDate& from, const QDate& to, const QString& connection = {});

}  // namespace papers

}  // namespace mirn
