#pragma once
// A read-only grid over a Query: the columns named by field, the grid's current
// row kept equal to the query's current record in both directions.
#include "domain/db.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QTableView>
#include <QVector>
#include <functional>

class QKeyEvent;

// A list window's search field: Up and Down move the query's current row; keys
// that would move the caret or delete forward are swallowed; typing, Backspace,
// Enter, Esc and Tab go through. Returns true when the key is consumed.
bool searchFieldKeyDown(Query& q, QKeyEvent* e);

struct GridColumn {
    using Format = std::function<QString(const QVariant&)>;
    GridColumn(QString field_, QString title_, Qt::Alignment align_ = Qt::AlignLeft | Qt::AlignVCenter,
               int width_ = 0, bool hidden_ = false, Format format_ = {})
        : field(std::move(field_)), title(std::move(title_)), align(align_), width(width_), hidden(hidden_),
          format(std::move(format_)) {}

    QString field;
    QString title;
    Qt::Alignment align;
    int width;    // 0: fitted to the contents
    bool hidden;
    Format format;  // empty: displayText
};

// How a value reads in a grid: dates as DD.MM.YYYY, numbers without trailing zeros.
QString displayText(const QVariant& v);

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

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

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

signals:
    void dblClick();
    void enterPressed();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void followQuery(int row);
    void applyColumns();
    QueryModel* model_;
    QMetaObject::Connection currentConn_;
    bool syncing_ = false;
};
