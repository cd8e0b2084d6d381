#pragma once
// The printed layouts: the month's hours timesheet and the four production reports.
// Each layout holds its report definition QuickRep1 and the query that feeds it; the
// calling window sets the query's parameters and the title, opens the query, prepares
// the report, shows the preview and closes the query. Layouts are never shown as windows.
#include "domain/db.h"
#include "engine/engine.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

namespace mirn {

namespace papers {

// The rows of an open query that pass its filter, as the report engine walks them.
// Exact decimals arrive from the database as text; the fields named in decimalFields
// are handed on as numbers, so they print like every other figure of the report.
class QueryRows : public rpt::ReportDataSource {
public:
    QueryRows(const Query& q, const QStringList& decimalFields);
    int rowCount() const override { return q_.recordCount(); }
    QStringList fieldNames() const override { return q_.fieldNames(); }
    QVariant value(int row, int field) const override;

private:
    const Query& q_;
    QSet<int> decimals_;
};

// The product kind filter of the reports, applied to the fetched rows after the database
// has grouped and summed them: only rows whose naimen equals the kind pass; a negative
// kind switches the filter off.
void filterKind(Query& q, int naimen);

// "IF(naimen=0,'Готовая продукция','Заготовки')"
QVariant productKindText(const rpt::Row& r);
// "if(color>0,if(color=1,' (грунт)',' (RAL: '+STR(color)+')'),' ')"
QVariant colourText(const rpt::Row& r);

// The page footer of every report: "Дата печати: DD.MM.YYYY" on the left, "стр. N из M"
// on the right, across a printable width of width millimetres.
rpt::Band pageFooter(double width);

// What the layouts share: the definition, the pages of the last preparation, the
// preparation from the open query and the preview.
class ReportLayout {
public:
    virtual ~ReportLayout() = default;
    virtual Query& query() = 0;

    rpt::ReportDef QuickRep1;
    rpt::PreparedReport prepared;  // the pages of the last Prepare(), until its preview closes

    // Lays out every page from the rows of the open query that pass its filter.
    const rpt::PreparedReport& Prepare();
    // The same, page by page as a preview asks for them; the query must stay open while
    // it lives. The rows walked to count the pages go to progress (see rpt::LazyReport).
    std::unique_ptr<rpt::LazyReport> PrepareLazily(const rpt::LazyReport::Progress& progress = {});

protected:
    QStringList decimalFields_;
};

// The four production reports: A4 portrait, the title label QRLabel1 set by the caller.
class ProductionLayout : public ReportLayout {
public:
    rpt::Element& QRLabel1() { return QuickRep1.element(QStringLiteral("QRLabel1")); }
};

// Report by workers.
class TForm16 : public ProductionLayout {
public:
    TForm16();
    Query& query() override { return t_Report; }
    Query t_Report;
};

// Report by products.
class TForm17 : public ProductionLayout {
public:
    TForm17();
    Query& query() override { return t_Report; }
    Query t_Report;
};

// Detailed report by workers.
class TForm20 : public ProductionLayout {
public:
    TForm20();
    Query& query() override { return w_Report; }
    Query w_Report;
};

// Detailed report by products.
class TForm21 : public ProductionLayout {
public:
    TForm21();
    Query& query() override { return i_Report; }
    Query i_Report;
};

// The hours timesheet of a month: A4 landscape, all shifts of a worker added up.
class TForm15 : public ReportLayout {
public:
    TForm15();
    Query& query() override { return H_Tabel; }
    // The month totals per worker name (parameters mnth, yea); the timesheet export reads it too.
    Query H_Tabel;
    // The heading label, "Данные за:" until the caller puts the month and year in.
    rpt::Element& QRLabel33() { return QuickRep1.element(QStringLiteral("QRLabel33")); }
};

}  // namespace papers

}  // namespace mirn
