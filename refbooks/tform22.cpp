#include "refbooks/tform22.h"

#include "core/datamodule.h"
#include "gui/ui.h"
#include "domain/pricedops.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QVBoxLayout>

namespace mirn {

// ---------------------------------------------------------------- NormTable

NormTable::NormTable(QObject* parent) : QObject(parent) {
    q_.SQL = {QStringLiteral("select * from accounts_dep.norm order by norma")};
}

void NormTable::setOidFilter(int oid) {
    oid_ = oid;
    q_.setFilter([oid](const Query& q, const Query::Row& r) {
        const int col = q.fieldIndex(QStringLiteral("o_id"));
        return col >= 0 && col < r.size() && !r[col].isNull() && toInt(r[col]) == oid;
    });
}

void NormTable::open() {
    if (q_.active()) return;
    q_.open();
    inserting_ = editing_ = modified_ = false;
    buffer_.clear();
    cur_ = recordCount() > 0 ? 0 : recordCount();
    emit changed();
}

void NormTable::close() {
    q_.close();
    inserting_ = editing_ = modified_ = false;
    buffer_.clear();
    cur_ = -1;
    emit changed();
}

int NormTable::rowOfId(const QVariant& id) const {
    if (id.isNull()) return -1;
    for (int r = 0; r < recordCount(); ++r)
        if (toInt(q_.value(r, QStringLiteral("id"))) == toInt(id)) return r;
    return -1;
}

QVariant NormTable::value(int row, const QString& field) const {
    if (row < 0 || row > recordCount()) return {};
    const bool buffered = (row == recordCount() && inserting_) || (row == cur_ && editing_ && row < recordCount());
    if (buffered) return buffer_.value(field.toLower());
    if (row == recordCount()) return {};
    return q_.value(row, field);
}

void NormTable::reread(const QVariant& stayOnId) {
    q_.close();
    q_.open();
    inserting_ = editing_ = modified_ = false;
    buffer_.clear();
    const int r = rowOfId(stayOnId);
    cur_ = r >= 0 ? r : (recordCount() > 0 ? std::min(std::max(cur_, 0), recordCount() - 1) : 0);
    emit changed();
}

void NormTable::refresh() {
    if (modified_) {
        post();
        return;
    }
    if (onNewRow()) {  // an untouched new row is not kept by a re-read
        reread({});
        return;
    }
    reread(field(QStringLiteral("id")));
}

void NormTable::moveTo(int row) {
    if (modified_) post();
    if (inserting_) {
        inserting_ = false;
        buffer_.clear();
    }
    editing_ = false;
    cur_ = std::clamp(row, 0, recordCount());
    emit changed();
}

void NormTable::insert() {
    if (inserting_) return;
    if (modified_) post();
    editing_ = false;
    inserting_ = true;
    modified_ = false;
    buffer_.clear();
    cur_ = recordCount();
    emit changed();
}

void NormTable::edit() {
    if (inserting_ || editing_ || cur_ < 0 || cur_ >= recordCount()) return;
    buffer_.clear();
    for (const QString& f : {QStringLiteral("id"), QStringLiteral("o_id"), QStringLiteral("norma"),
                             QStringLiteral("prize"), QStringLiteral("price")})
        buffer_[f] = q_.value(cur_, f);
    editing_ = true;
    modified_ = false;
}

void NormTable::setField(const QString& name, const QVariant& v) {
    if (!inserting_ && !editing_) {
        if (onNewRow()) insert();
        else edit();
    }
    buffer_[name.toLower()] = v;
    modified_ = true;
    emit valueChanged(cur_);
}

void NormTable::post() {
    if (!modified_) {
        if (inserting_) cancel();
        return;
    }
    auto val = [this](const char* f) { return buffer_.value(QString::fromLatin1(f)); };
    if (inserting_) {
        // A new norm always belongs to the operation the window shows.
        if (val("o_id").isNull()) buffer_[QStringLiteral("o_id")] = oid_;
    }
    // A refused value keeps the row in editing with what was typed.
    const Result r = pricedops::PricedOpStore().saveNorm(
        {inserting_ ? QVariant() : val("id"), val("o_id"), val("norma"), val("prize"), val("price")});
    if (!r.saved()) throw Refusal(r.message);
    reread(r.id);
}

void NormTable::cancel() {
    const bool wasInserting = inserting_;
    inserting_ = editing_ = modified_ = false;
    buffer_.clear();
    if (wasInserting) cur_ = recordCount() > 0 ? recordCount() - 1 : 0;
    emit changed();
}

void NormTable::deleteCurrent() {
    if (inserting_ || onNewRow()) {
        cancel();
        return;
    }
    if (cur_ < 0) return;
    pricedops::PricedOpStore().removeNorm(toInt(q_.value(cur_, QStringLiteral("id"))));
    editing_ = modified_ = false;
    reread({});
}

QString normPriceText(double price) {
    QString s = QString::number(price, 'f', 3);
    if (s.endsWith(QLatin1Char('0'))) s.chop(1);
    return s.replace(QLatin1Char('.'), QLocale().decimalPoint());
}

// ---------------------------------------------------------------- NormModel

NormModel::NormModel(NormTable& table, TForm22& form, QObject* parent)
    : QAbstractTableModel(parent), table_(table), form_(form) {
    connect(&table_, &NormTable::changed, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(&table_, &NormTable::valueChanged, this, [this](int row) {
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        emit headerDataChanged(Qt::Vertical, row, row);
    });
}

QString NormModel::fieldOf(int column) {
    switch (column) {
    case 0: return QStringLiteral("norma");
    case 1: return QStringLiteral("price");
    default: return QStringLiteral("prize");
    }
}

int NormModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !table_.active() ? 0 : table_.rowCount();
}

int NormModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant NormModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const QVariant v = table_.value(index.row(), fieldOf(index.column()));
    switch (role) {
    case Qt::DisplayRole:
        if (v.isNull()) return QString();
        if (index.column() == 1) return normPriceText(toDouble(v));
        return QString::number(toInt(v));
    case Qt::EditRole:
        if (v.isNull()) return QString();
        if (index.column() == 1)
            return QString::number(toDouble(v), 'g', 15).replace(QLatin1Char('.'), QLocale().decimalPoint());
        return QString::number(toInt(v));
    case Qt::TextAlignmentRole: return int(Qt::AlignRight | Qt::AlignVCenter);
    default: return {};
    }
}

bool NormModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    if (value.toString() == data(index, Qt::EditRole).toString()) return false;  // nothing changed
    bool ok = false;
    ui::guard([&] { ok = form_.typed(index.row(), fieldOf(index.column()), value.toString()); })();
    return ok;
}

Qt::ItemFlags NormModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable : Qt::NoItemFlags;
}

QVariant NormModel::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (o == Qt::Horizontal) {
        switch (section) {
        case 0: return QStringLiteral("Норматив");
        case 1: return QStringLiteral("Цена");
        default: return QStringLiteral("Премия, %");
        }
    }
    // The row indicator: the new row, the row being edited, the current row.
    if (section != table_.currentRow()) return QString();
    if (table_.inserting() || table_.onNewRow()) return QStringLiteral("*");
    return table_.modified() ? QStringLiteral("I") : QStringLiteral("▶");
}

// ---------------------------------------------------------------- NormGrid

NormGrid::NormGrid(TForm22& form, QWidget* parent) : QTableView(parent), form_(form) {
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setMinimumWidth(18);
}

void NormGrid::showCell(int row, int column) {
    syncing_ = true;
    if (row >= 0 && row < model()->rowCount())
        selectionModel()->setCurrentIndex(model()->index(row, std::max(column, 0)),
                                          QItemSelectionModel::ClearAndSelect);
    syncing_ = false;
}

void NormGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // The base class hands a pending editor's text to the model first.
    QTableView::currentChanged(current, previous);
    if (syncing_ || !current.isValid()) return;
    ui::guard([&] { form_.cellChanged(current, previous); })();
}

void NormGrid::keyPressEvent(QKeyEvent* e) {
    const QModelIndex cur = currentIndex();
    if (e->key() == Qt::Key_Down && cur.isValid() && state() != QAbstractItemView::EditingState &&
        cur.row() == model()->rowCount() - 1 && !form_.norm.onNewRow()) {
        ui::guard([&] { form_.goToNewRow(cur.column()); })();
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

// ---------------------------------------------------------------- TForm22

TForm22::TForm22() {
    setWindowTitle(QStringLiteral("Норматив"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    model = new NormModel(norm, *this, this);
    DBGrid1 = new NormGrid(*this, this);
    DBGrid1->setModel(model);
    DBGrid1->setColumnWidth(0, 100);
    DBGrid1->setColumnWidth(1, 100);
    DBGrid1->setColumnWidth(2, 100);
    Button1 = new QPushButton(QStringLiteral("Сохранить"), this);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Удалить"), this);
    Button2->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button2);
    buttons->addStretch();
    buttons->addWidget(Button1);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(DBGrid1, 1);
    lay->addLayout(buttons);
    resize(380, 320);

    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, ui::guard([this] { Button2Click(); }));
}

int TForm22::showNormsOf(int o_id) {
    norm.close();
    norm.setOidFilter(o_id);
    norm.open();
    return ui::execModal(this);
}

void TForm22::DBGrid1ColEnter() {
    if (norm.recNo() < 0) {
        norm.insert();
        newRow = true;
    } else {
        norm.edit();
        newRow = false;
    }
}

void TForm22::DBGrid1ColExit() {
    if (!norm.modified()) return;
    if (newRow) norm.setField(QStringLiteral("o_id"), dm().Oper.asInt(QStringLiteral("id")));
    norm.refresh();
}

void TForm22::cellChanged(const QModelIndex& current, const QModelIndex& previous) {
    const bool sameRow = previous.isValid() && previous.row() == current.row();
    const bool toNewRow = current.row() >= norm.recordCount();
    const QVariant targetId = toNewRow ? QVariant() : norm.value(current.row(), QStringLiteral("id"));
    if (previous.isValid()) DBGrid1ColExit();  // may store the row and read the table again
    // Within one row the grid stays on that norm, wherever storing it has sorted it to.
    const int target = sameRow ? norm.currentRow() : toNewRow ? norm.recordCount() : norm.rowOfId(targetId);
    if (target >= 0 && target != norm.currentRow()) norm.moveTo(target);
    DBGrid1ColEnter();
    DBGrid1->showCell(norm.currentRow(), current.column());
}

void TForm22::goToNewRow(int column) {
    DBGrid1ColExit();
    norm.moveTo(norm.recordCount());
    DBGrid1ColEnter();
    DBGrid1->showCell(norm.currentRow(), column);
}

bool TForm22::typed(int row, const QString& field, const QString& text) {
    if (row != norm.currentRow()) {
        norm.moveTo(row);
        DBGrid1ColEnter();
    }
    const QString t = text.trimmed();
    QVariant v;
    if (!t.isEmpty()) {
        bool ok = false;
        if (field == QLatin1String("price")) {
            QString s = t;
            s.replace(QLocale().decimalPoint(), QStringLiteral("."));
            s.replace(QLatin1Char(','), QLatin1Char('.'));
            const double d = s.toDouble(&ok);
            v = d;
        } else {
            v = t.toInt(&ok);
        }
        if (!ok) {
            ui::error(QStringLiteral("\"%1\" не является числом").arg(t));
            return false;
        }
    }
    norm.setField(field, v);
    return true;
}

void TForm22::Button2Click() {
    if (norm.recordCount() > 1) norm.deleteCurrent();
    norm.refresh();
}

void TForm22::Button1Click() {
    if (norm.modified()) {
        if (newRow && norm.inserting()) norm.setField(QStringLiteral("o_id"), dm().Oper.asInt(QStringLiteral("id")));
        norm.post();
    }
    Query& oper = dm().Oper;
    oper.reopenKeepingRow();
    accept();
}

void TForm22::reject() {
    ui::guard([this] { Button1Click(); })();
}

}  // namespace mirn
