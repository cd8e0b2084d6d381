#include "core/dbgrid.h"

#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QRegularExpression>

QString displayText(const QVariant& v) {
    if (v.isNull()) return {};
    switch (v.typeId()) {
    case QMetaType::QDate: return v.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (dt.time() == QTime(0, 0)) return dt.date().toString(QStringLiteral("dd.MM.yyyy"));
        return dt.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    }
    case QMetaType::Double:
    case QMetaType::Float:
        // General number format: no digit grouping, the desktop's decimal separator.
        return QString::number(v.toDouble(), 'g', 15).replace(QLatin1Char('.'), QLocale().decimalPoint());
    case QMetaType::QString: {
        // Exact decimals from the database: drop trailing zeros, use the desktop's separator.
        const QString s = v.toString();
        static const QRegularExpression num(QStringLiteral("^-?\\d+\\.\\d+$"));
        if (num.match(s).hasMatch()) {
            QString t = s;
            while (t.endsWith(QLatin1Char('0'))) t.chop(1);
            if (t.endsWith(QLatin1Char('.'))) t.chop(1);
            return t.replace(QLatin1Char('.'), QLocale().decimalPoint());
        }
        return s;
    }
    default: return v.toString();
    }
}

// ---------------------------------------------------------------- QueryModel

QueryModel::QueryModel(QObject* parent) : QAbstractTableModel(parent) {}

void QueryModel::setQuery(Query* q) {
    beginResetModel();
    if (resetConn_) disconnect(resetConn_);
    query_ = q;
    if (q)
        resetConn_ = connect(q, &Query::reset, this, [this] {
            beginResetModel();
            endResetModel();
        });
    endResetModel();
}

void QueryModel::setColumns(QVector<GridColumn> cols) {
    beginResetModel();
    cols_ = std::move(cols);
    endResetModel();
}

int QueryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !query_ ? 0 : query_->recordCount();
}

int QueryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(cols_.size());
}

QVariant QueryModel::data(const QModelIndex& index, int role) const {
    if (!query_ || !index.isValid()) return {};
    const GridColumn& c = cols_[index.column()];
    switch (role) {
    case Qt::DisplayRole: {
        const QVariant v = query_->value(index.row(), c.field);
        return c.format ? c.format(v) : displayText(v);
    }
    case Qt::TextAlignmentRole: return int(c.align);
    case Qt::FontRole:
    case Qt::ForegroundRole:
    case Qt::BackgroundRole: {
        if (!styler_) return {};
        CellStyle st;
        styler_(*query_, index.row(), c, st);
        if (role == Qt::FontRole) return st.font;
        const QColor col = role == Qt::ForegroundRole ? st.foreground : st.background;
        return col.isValid() ? QVariant(col) : QVariant();
    }
    default: return {};
    }
}

QVariant QueryModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || section < 0 || section >= cols_.size()) return {};
    if (role == Qt::DisplayRole) return cols_[section].title;
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role == Qt::FontRole) {
        QFont f;
        f.setBold(true);
        return f;
    }
    return {};
}

// ---------------------------------------------------------------- DBGrid

DBGrid::DBGrid(QWidget* parent) : QTableView(parent), model_(new QueryModel(this)) {
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { emit dblClick(); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& cur) {
                if (syncing_ || !query() || !cur.isValid()) return;
                syncing_ = true;
                query()->setRecNo(cur.row() + 1);
                syncing_ = false;
            });
}

void DBGrid::setQuery(Query* q) {
    if (currentConn_) disconnect(currentConn_);
    // Widths and order the user gave the columns survive a change of query (the
    // journal's shifts share one grid); only a grid never shown gets the designed ones.
    const int before = horizontalHeader()->count();
    const QByteArray state = before > 0 ? horizontalHeader()->saveState() : QByteArray();
    model_->setQuery(q);
    if (q) {
        currentConn_ = connect(q, &Query::currentChanged, this, &DBGrid::followQuery);
        followQuery(q->recNo() - 1);
    }
    if (state.isEmpty() || horizontalHeader()->count() != before || !horizontalHeader()->restoreState(state))
        applyColumns();
}

void DBGrid::setColumns(QVector<GridColumn> cols) {
    model_->setColumns(std::move(cols));
    applyColumns();
}

void DBGrid::applyColumns() {
    const auto& cols = model_->columns();
    for (int i = 0; i < cols.size(); ++i) {
        setColumnHidden(i, cols[i].hidden);
        if (cols[i].width > 0) setColumnWidth(i, cols[i].width);
    }
}

void DBGrid::followQuery(int row) {
    if (syncing_) return;
    syncing_ = true;
    if (row < 0)
        selectionModel()->clearCurrentIndex();
    else {
        const QModelIndex idx = model_->index(row, 0);
        selectionModel()->setCurrentIndex(
            idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    }
    syncing_ = false;
}

void DBGrid::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        emit enterPressed();
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

bool searchFieldKeyDown(Query& q, QKeyEvent* e) {
    if (e->key() == Qt::Key_Up) q.prior();
    else if (e->key() == Qt::Key_Down) q.next();
    switch (e->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return false;
    default: break;
    }
    const QString t = e->text();
    const bool typed = !t.isEmpty() && t.at(0).isPrint() && !(e->modifiers() & Qt::ControlModifier);
    return !typed;
}
