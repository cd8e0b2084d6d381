#include "gui/dbgrid.h"

#include "gui/ui.h"
#include "export/excel.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>

#include <cmath>
#include <set>

namespace mirn {

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

namespace {
bool isNumberKind(ColumnKind k) { return k != ColumnKind::Auto; }

// Rounded to the decimals shown, without a minus sign on a zero.
double roundedTo(double v, int decimals) {
    const double f = std::pow(10.0, decimals);
    const double r = std::round(v * f) / f;
    return r == 0.0 ? 0.0 : r;
}

// A price with two to four decimals: "0.125", "150.00".
QString priceDigits(double v, const QLocale& loc) {
    QString s = loc.toString(roundedTo(v, 4), 'f', 4);
    const QString point = loc.decimalPoint();
    const qsizetype dot = s.lastIndexOf(point);
    while (dot >= 0 && s.size() - dot - point.size() > 2 && s.endsWith(loc.zeroDigit())) s.chop(1);
    return s;
}
}  // namespace

QString cellText(const QVariant& v, ColumnKind kind) {
    if (kind == ColumnKind::Auto) return displayText(v);
    const std::optional<double> n = numberOf(v);
    if (!n) return displayText(v);
    QLocale loc;
    // The C locale (a desktop without a language) writes no digit groups.
    if (loc.language() == QLocale::C) loc.setNumberOptions(loc.numberOptions() | QLocale::OmitGroupSeparator);
    switch (kind) {
    case ColumnKind::Money: return loc.toString(roundedTo(*n, 2), 'f', 2);
    case ColumnKind::Price: return priceDigits(*n, loc);
    case ColumnKind::Count:
    case ColumnKind::Hours: return loc.toString(qlonglong(std::llround(*n)));
    case ColumnKind::Auto: break;
    }
    return displayText(v);
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

QVariant QueryModel::value(int row, int column) const {
    if (!query_ || column < 0 || column >= cols_.size()) return {};
    return query_->value(row, cols_[column].field);
}

QString QueryModel::text(int row, int column) const {
    if (column < 0 || column >= cols_.size()) return {};
    const GridColumn& c = cols_[column];
    const QVariant v = value(row, column);
    return c.format ? c.format(v) : cellText(v, c.kind);
}

Qt::Alignment QueryModel::alignment(int row, int column) const {
    if (column < 0 || column >= cols_.size()) return {};
    const GridColumn& c = cols_[column];
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    if (isNumberKind(c.kind)) return right;
    if (c.align) return c.align;
    return numberOf(value(row, column)) ? right : Qt::AlignLeft | Qt::AlignVCenter;
}

QVariant QueryModel::data(const QModelIndex& index, int role) const {
    if (!query_ || !index.isValid()) return {};
    const GridColumn& c = cols_[index.column()];
    switch (role) {
    case Qt::DisplayRole: return text(index.row(), index.column());
    case Qt::TextAlignmentRole: return int(alignment(index.row(), index.column()));
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

void QueryModel::sort(int column, Qt::SortOrder order) {
    if (!query_) return;
    if (column < 0 || column >= cols_.size()) query_->clearSort();
    else query_->setSort(cols_[column].field, order);
}

// ---------------------------------------------------------------- the totals line

namespace {
// Room left and right of a figure in the totals line.
constexpr int kTotalsPadding = 3;

class TotalsLine : public QWidget {
public:
    explicit TotalsLine(DBGrid* grid) : QWidget(grid), grid_(grid) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Button));
        const QColor line = palette().color(QPalette::Mid);
        p.setPen(line);
        p.drawLine(0, 0, width(), 0);
        QFont f = font();
        f.setBold(true);
        p.setFont(f);
        for (int c : grid_->shownColumns()) {
            const QRect r = grid_->totalRect(c);
            if (!r.intersects(rect())) continue;
            p.setPen(line);
            p.drawLine(r.right(), r.top(), r.right(), r.bottom());
            const QString t = grid_->totalText(c);
            if (t.isEmpty()) continue;
            p.setPen(palette().color(QPalette::ButtonText));
            const Qt::Alignment a =
                grid_->total(c) ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter;
            // A figure wider than its column (a narrow day) stays inside it.
            p.save();
            p.setClipRect(r.adjusted(0, 0, -1, 0));
            p.drawText(r.adjusted(kTotalsPadding, 0, -kTotalsPadding, 0), int(a), t);
            p.restore();
        }
    }

private:
    DBGrid* grid_;
};
}  // namespace

// ---------------------------------------------------------------- DBGrid

DBGrid::DBGrid(QWidget* parent) : QTableView(parent), model_(new QueryModel(this)) {
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // Several rows may be selected for copying; the windows act on the current row.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab goes on to the window's next control, as in every other control.
    setTabKeyNavigation(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    hookHeader();
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { emit dblClick(); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& cur) {
                if (syncing_ || !query() || !cur.isValid()) return;
                syncing_ = true;
                query()->setRecNo(cur.row() + 1);
                syncing_ = false;
            });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (totals_) totals_->update();
    });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        if (!totals_) return;
        fitTotals();
        totals_->update();
    });
}

void DBGrid::hookHeader() {
    QHeaderView* h = horizontalHeader();
    if (!h || h == hooked_) return;
    hooked_ = h;
    h->setSectionsClickable(true);
    h->setSortIndicatorClearable(true);
    h->setSortIndicator(-1, Qt::AscendingOrder);
    h->setSortIndicatorShown(true);
    // A title click: ascending, descending, then the server's order again.
    connect(h, &QHeaderView::sortIndicatorChanged, this, [this] { applySort(); });
    for (auto signal : {&QHeaderView::sectionResized, &QHeaderView::sectionMoved})
        connect(h, signal, this, [this] {
            if (totals_) totals_->update();
        });
    connect(h, &QHeaderView::geometriesChanged, this, [this] {
        if (totals_) totals_->update();
    });
}

void DBGrid::applySort() {
    QHeaderView* h = horizontalHeader();
    if (!h->isSortIndicatorShown()) {
        // A remembered layout from before the titles sorted: no sort, the indicator on.
        h->setSortIndicatorShown(true);
        h->setSortIndicator(-1, Qt::AscendingOrder);
    }
    // A restored layout brings these back as they were saved.
    h->setSectionsClickable(true);
    h->setSortIndicatorClearable(true);
    Query* q = query();
    if (!q) return;
    const int section = h->sortIndicatorSection();
    const auto& cols = model_->columns();
    if (section < 0 || section >= cols.size()) {
        if (!q->sortField().isEmpty()) q->clearSort();
        return;
    }
    const Qt::SortOrder order = h->sortIndicatorOrder();
    if (q->sortField().compare(cols[section].field, Qt::CaseInsensitive) == 0 && q->sortOrder() == order) return;
    q->setSort(cols[section].field, order);
}

void DBGrid::setQuery(Query* q) {
    if (currentConn_) disconnect(currentConn_);
    hookHeader();
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
    // The order the titles show holds for every query the grid shows.
    applySort();
    fitTotals();
}

void DBGrid::setColumns(QVector<GridColumn> cols) {
    model_->setColumns(std::move(cols));
    hookHeader();
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    applySort();
    applyColumns();
    fitTotals();
}

void DBGrid::applyColumns() {
    const auto& cols = model_->columns();
    for (int i = 0; i < cols.size(); ++i) {
        setColumnHidden(i, cols[i].hidden);
        if (cols[i].width > 0) setColumnWidth(i, cols[i].width);
    }
}

QList<int> DBGrid::shownColumns() const {
    QList<int> out;
    const QHeaderView* h = horizontalHeader();
    for (int v = 0; v < h->count(); ++v) {
        const int logical = h->logicalIndex(v);
        if (logical >= 0 && logical < model_->columnCount() && !isColumnHidden(logical)) out << logical;
    }
    return out;
}

QList<int> DBGrid::selectedRows() const {
    std::set<int> rows;
    const int n = model_->rowCount();
    for (const QItemSelectionRange& r : selectionModel()->selection())
        for (int i = r.top(); i <= r.bottom(); ++i)
            if (i >= 0 && i < n) rows.insert(i);
    if (rows.empty() && currentIndex().isValid()) rows.insert(currentIndex().row());
    return QList<int>(rows.begin(), rows.end());
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
    if (e->matches(QKeySequence::Copy)) {
        copySelection();
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        emit enterPressed();
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

void DBGrid::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("Копировать"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(!selectedRows().isEmpty());
    QAction* book = menu.addAction(QStringLiteral("Экспорт в Excel"));
    book->setEnabled(query() != nullptr);
    QPoint at = e->globalPos();
    if (e->reason() != QContextMenuEvent::Mouse && currentIndex().isValid())
        at = viewport()->mapToGlobal(visualRect(currentIndex()).bottomLeft());
    QAction* chosen = menu.exec(at);
    if (chosen == copy) copySelection();
    else if (chosen == book) ui::guard([this] { exportToWorkbook(); })();
}

// ---------------------------------------------------------------- copy and workbook

namespace {
QString oneLine(QString s) {
    for (QChar& c : s)
        if (c == u'\t' || c == u'\n' || c == u'\r') c = u' ';
    return s;
}
}  // namespace

QString DBGrid::selectionText() const {
    const QList<int> cols = shownColumns();
    const auto& defs = model_->columns();
    const QString group = QLocale().groupSeparator();
    QStringList lines;
    QStringList titles;
    for (int c : cols) titles << oneLine(defs[c].title);
    lines << titles.join(u'\t');
    for (int r : selectedRows()) {
        QStringList cells;
        for (int c : cols) {
            QString t = model_->text(r, c);
            if (!defs[c].format && numberOf(model_->value(r, c)) && !group.isEmpty()) t.remove(group);
            cells << oneLine(t);
        }
        lines << cells.join(u'\t');
    }
    return lines.join(u'\n') + u'\n';
}

void DBGrid::copySelection() { QGuiApplication::clipboard()->setText(selectionText()); }

QString DBGrid::exportTitle() const { return exportTitle_ ? exportTitle_() : window()->windowTitle(); }

namespace {
// One cell of the workbook: numbers as numbers in the column's format, the rest as text.
void writeBookCell(int sheetColumn, int sheetRow, const GridColumn& c, const QVariant& v, const QString& shown,
                   bool bold) {
    const std::optional<double> n = c.format ? std::nullopt : numberOf(v);
    if (!n) {
        ExcelWriteFormattedCell(1, sheetColumn, sheetRow, shown, true, true, bold);
        return;
    }
    QString digits;
    QString format;
    switch (c.kind) {
    case ColumnKind::Money:
        digits = QString::number(roundedTo(*n, 2), 'f', 2);
        format = QStringLiteral("#,##0.00");
        break;
    case ColumnKind::Price:
        digits = priceDigits(*n, QLocale::c());
        format = QStringLiteral("#,##0.00##");
        break;
    case ColumnKind::Count:
    case ColumnKind::Hours:
        digits = QString::number(std::llround(*n));
        format = QStringLiteral("#,##0");
        break;
    case ColumnKind::Auto:
        digits = v.typeId() == QMetaType::QString ? v.toString().trimmed() : QString::number(*n, 'g', 15);
        break;
    }
    ExcelWriteFormattedCell(1, sheetColumn, sheetRow, digits, false, true, bold);
    if (!format.isEmpty()) ExcelSetNumberFormat(1, sheetColumn, sheetRow, format);
}
}  // namespace

int DBGrid::exportToWorkbook() {
    const QList<int> cols = shownColumns();
    const auto& defs = model_->columns();
    ExcelSetTitle(exportTitle());
    if (ExcelOpen(QString()) == -1) return -1;
    ExcelSetVisible(false);
    for (int i = 0; i < cols.size(); ++i)
        ExcelWriteFormattedCell(1, i + 1, 1, defs[cols[i]].title, true, true, true);
    const int n = model_->rowCount();
    for (int r = 0; r < n; ++r)
        for (int i = 0; i < cols.size(); ++i)
            writeBookCell(i + 1, r + 2, defs[cols[i]], model_->value(r, cols[i]), model_->text(r, cols[i]), false);
    if (totals_) {
        for (int i = 0; i < cols.size(); ++i) {
            const std::optional<double> sum = total(cols[i]);
            writeBookCell(i + 1, n + 2, defs[cols[i]], sum ? QVariant(*sum) : QVariant(), totalText(cols[i]), true);
        }
    }
    ExcelSetVisible(true);
    return n;
}

// ---------------------------------------------------------------- totals

void DBGrid::showTotals(const QString& caption) {
    totalsCaption_ = caption;
    if (!totals_) totals_ = new TotalsLine(this);
    totals_->show();
    placeTotals();
    fitTotals();
}

void DBGrid::fitTotals() {
    if (!totals_) return;
    // A sum is read whole or not at all: a narrow column (a day of the timesheet) grows to
    // its total; it never shrinks, so a width the user gave it stays.
    QFont bold = totals_->font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    QHeaderView* h = horizontalHeader();
    for (int c : shownColumns()) {
        if (!total(c)) continue;
        const int needed = fm.horizontalAdvance(totalText(c)) + 2 * kTotalsPadding + 1;
        if (h->sectionSize(c) < needed) h->resizeSection(c, needed);
    }
}

int DBGrid::totalsCaptionColumn() const {
    const auto& defs = model_->columns();
    for (int c : shownColumns())
        if (!defs[c].total) return c;
    return -1;
}

std::optional<double> DBGrid::total(int column) const {
    const auto& defs = model_->columns();
    if (!totals_ || column < 0 || column >= defs.size() || !defs[column].total) return std::nullopt;
    const int n = model_->rowCount();
    if (defs[column].kind == ColumnKind::Money) {
        // Kopecks, so that many amounts add up to the kopeck.
        qint64 kopecks = 0;
        for (int r = 0; r < n; ++r)
            if (const auto v = numberOf(model_->value(r, column))) kopecks += std::llround(*v * 100.0);
        return double(kopecks) / 100.0;
    }
    double sum = 0;
    for (int r = 0; r < n; ++r)
        if (const auto v = numberOf(model_->value(r, column))) sum += *v;
    return sum;
}

QString DBGrid::totalText(int column) const {
    if (!totals_) return {};
    if (column == totalsCaptionColumn()) return totalsCaption_;
    const std::optional<double> sum = total(column);
    return sum ? cellText(*sum, model_->columns()[column].kind) : QString();
}

QRect DBGrid::totalRect(int column) const {
    if (!totals_ || column < 0 || column >= model_->columnCount() || isColumnHidden(column)) return {};
    const QHeaderView* h = horizontalHeader();
    return QRect(h->sectionViewportPosition(column), 0, h->sectionSize(column), totals_->height());
}

void DBGrid::updateGeometries() {
    QTableView::updateGeometries();
    hookHeader();
    placeTotals();
}

void DBGrid::placeTotals() {
    if (!totals_) return;
    // The line takes the bottom of the viewport's frame, so the rows end above it and
    // scrolling to a row never hides it behind the line. The table view puts its own
    // margins back whenever it lays itself out; this runs after every such layout.
    const int height = verticalHeader()->defaultSectionSize();
    const QMargins m = viewportMargins();
    if (m.bottom() != height) setViewportMargins(m.left(), m.top(), m.right(), height);
    const QRect v = viewport()->geometry();
    totals_->setGeometry(v.left(), v.bottom() + 1, v.width(), height);
    totals_->update();
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

}  // namespace mirn
