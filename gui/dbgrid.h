#pragma once
// A read-only grid over a Query: the columns named by field, the grid's current
// row kept equal to the query's current record in both directions.
//
// Every grid window gets the same tools from it: a click on a column title sorts the
// query (ascending, descending, then the server's order again), Ctrl+C copies the
// selected rows with the titles as tab-separated text, the context menu copies and
// exports the grid as shown into a workbook, and an optional totals line under the
// rows sums the columns marked for it. Numbers are written by the desktop's locale
// (QLocale(), which the application leaves at the system's): money "1 778,40".
#include "domain/db.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QPointer>
#include <QTableView>
#include <QVector>
#include <functional>
#include <optional>

class QHeaderView;
class QKeyEvent;

namespace mirn {

// A list window's search field: Up and Down move the query's current row; keys
// that would move the caret or delete forward are swallowed; typing, Backspace,
// Enter, Esc and Tab go through. Returns true when the key is consumed.
bool searchFieldKeyDown(Query& q, QKeyEvent* e);

// What a column's numbers are, where the values alone cannot tell.
enum class ColumnKind {
    Auto,   // as the value reads (displayText)
    Count,  // pieces, norms: whole numbers with digit groups
    Hours,  // whole hours
    Money,  // two decimals with digit groups: "1 778,40"
    Price,  // a piece price or an hourly rate: two to four decimals with digit groups
};

struct GridColumn {
    using Format = std::function<QString(const QVariant&)>;
    // An empty alignment follows the value: numbers to the right, everything else to the left.
    GridColumn(QString field_, QString title_, Qt::Alignment align_ = {}, int width_ = 0, bool hidden_ = false,
               Format format_ = {})
        : field(std::move(field_)), title(std::move(title_)), align(align_), width(width_), hidden(hidden_),
          format(std::move(format_)) {}

    QString field;
    QString title;
    Qt::Alignment align;
    int width;    // 0: fitted to the contents
    bool hidden;
    Format format;  // empty: by the kind
    ColumnKind kind = ColumnKind::Auto;  // a number kind is always right-aligned
    bool total = false;                  // summed in the totals line

    GridColumn& as(ColumnKind k) {
        kind = k;
        return *this;
    }
    GridColumn& summed() {
        total = true;
        return *this;
    }
};

// How a value reads in a grid: dates as DD.MM.YYYY, numbers without trailing zeros.
QString displayText(const QVariant& v);
// How a value reads in a column of the kind; empty values stay empty.
QString cellText(const QVariant& v, ColumnKind kind);

struct CellStyle {
    QFont font;
    QColor foreground;  // invalid: default
    QColor background;  // invalid: default
};

class QueryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using Styler = std::function<void(const Query&, int row, const GridColumn&, CellStyle&)>;

    explicit QueryModel(QObject* parent = nullptr);
    void setQuery(Query* q);
    Query* query() const { return query_; }
    void setColumns(QVector<GridColumn> cols);
    const QVector<GridColumn>& columns() const { return cols_; }
    void setStyler(Styler s) { styler_ = std::move(s); }

    // The cell's value as the query holds it.
    QVariant value(int row, int column) const;
    // The cell's text as the grid shows it.
    QString text(int row, int column) const;
    // Where the cell's text sits.
    Qt::Alignment alignment(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    // Orders the query by the column's field; a column out of range brings back the server's order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    Query* query_ = nullptr;
    QVector<GridColumn> cols_;
    Styler styler_;
    QMetaObject::Connection resetConn_;
};

class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget* parent = nullptr);
    QueryModel* queryModel() const { return model_; }
    void setQuery(Query* q);  // points the grid at another query (its "data source")
    Query* query() const { return model_->query(); }
    void setColumns(QVector<GridColumn> cols);

    // Columns as the user sees them: logical indexes in their shown order, hidden ones left out.
    QList<int> shownColumns() const;
    // Selected rows in their shown order; the current row when nothing is selected.
    QList<int> selectedRows() const;

    // The titles and the selected rows, tab-separated, one line each; numbers as shown
    // but without digit groups, so that a spreadsheet takes them as numbers.
    QString selectionText() const;
    void copySelection();  // Ctrl+C and the context menu's "Копировать"

    // "Экспорт в Excel": the titles, the shown rows in their shown order and the totals
    // line into a new workbook, which is then shown. Returns the rows written, -1 when
    // no workbook could be started. The file is named after exportTitle().
    int exportToWorkbook();
    void setExportTitle(std::function<QString()> title) { exportTitle_ = std::move(title); }
    QString exportTitle() const;

    // A totals line under the rows: the columns marked summed() show their sums over the
    // shown rows, the caption stands under the first shown column that is not summed.
    // It follows every re-read, filter and sort of the query, and the columns' widths,
    // order and horizontal scrolling.
    void showTotals(const QString& caption = QStringLiteral("Итого"));
    bool totalsShown() const { return totals_ != nullptr; }
    QWidget* totalsLine() const { return totals_; }
    // What the totals line shows under a column (logical index), and where, in the
    // line's own coordinates; an empty rectangle for a column not shown.
    QString totalText(int column) const;
    QRect totalRect(int column) const;
    // The sum under a summed column; nothing for any other column.
    std::optional<double> total(int column) const;

signals:
    void dblClick();
    void enterPressed();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void updateGeometries() override;

private:
    void followQuery(int row);
    void applyColumns();
    void hookHeader();
    void applySort();
    void placeTotals();
    // Widens a summed column whose total would not fit it.
    void fitTotals();
    int totalsCaptionColumn() const;
    QueryModel* model_;
    QMetaObject::Connection currentConn_;
    bool syncing_ = false;
    QPointer<QHeaderView> hooked_;
    QWidget* totals_ = nullptr;
    QString totalsCaption_;
    std::function<QString()> exportTitle_;
    bool placingTotals_ = false;
};

}  // namespace mirn
