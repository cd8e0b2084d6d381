#pragma once
// The norms of one priced operation, edited directly in a grid: every cell is
// stored as soon as the user leaves it; the last norm of an operation stays.
#include "domain/db.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QMap>
#include <QPushButton>
#include <QTableView>

namespace mirn {

// The table accounts_dep.norm, read whole and filtered on the client by o_id, with
// one row at a time being edited or inserted (as a data-aware table works).
class NormTable : public QObject {
    Q_OBJECT
public:
    explicit NormTable(QObject* parent = nullptr);

    // Filter "o_id=" + oid, switched on.
    void setOidFilter(int oid);
    int oidFilter() const { return oid_; }
    void open();
    void close();
    bool active() const { return q_.active(); }
    // Stores a pending change first, then reads the table again and stays on the same norm.
    void refresh();

    // Stored rows that pass the filter.
    int recordCount() const { return q_.recordCount(); }
    // Rows shown: the stored ones, plus the new row while the table stands on it.
    int rowCount() const { return recordCount() + (onNewRow() ? 1 : 0); }
    QVariant value(int row, const QString& field) const;
    QVariant field(const QString& name) const { return value(cur_, name); }
    // 0-based; recordCount() is the position of the new row; -1 with no row at all.
    int currentRow() const { return cur_; }
    // 1-based record number; negative on a new row not stored yet (or without rows).
    int recNo() const { return onNewRow() || cur_ < 0 ? -1 : cur_ + 1; }
    bool onNewRow() const { return cur_ == recordCount(); }
    int rowOfId(const QVariant& id) const;
    // Moves to a row (recordCount() for the new row): a pending change is stored
    // first, an untouched new row is dropped.
    void moveTo(int row);

    void insert();  // starts a new row at the end and stands on it
    void edit();    // the current stored row becomes the row being edited
    bool inserting() const { return inserting_; }
    bool modified() const { return modified_; }
    void setField(const QString& name, const QVariant& value);
    void post();
    void cancel();
    void deleteCurrent();

signals:
    void changed();                // rows re-read or the position changed
    void valueChanged(int row);    // a field of the edited row changed

private:
    void reread(const QVariant& stayOnId);
    Query q_;
    int oid_ = 0;
    int cur_ = -1;
    bool inserting_ = false;
    bool editing_ = false;
    bool modified_ = false;
    QMap<QString, QVariant> buffer_;
};

// "#0.00#": at least two decimals, at most three.
QString normPriceText(double price);

class TForm22;

class NormModel : public QAbstractTableModel {
    Q_OBJECT
public:
    NormModel(NormTable& table, TForm22& form, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    static QString fieldOf(int column);

private:
    NormTable& table_;
    TForm22& form_;
};

// The grid reports every move to another cell to the window (leaving one column,
// entering the next); Down on the last row goes to the new row.
class NormGrid : public QTableView {
    Q_OBJECT
public:
    NormGrid(TForm22& form, QWidget* parent = nullptr);
    // Puts the grid's current cell on (row, column) without reporting a move.
    void showCell(int row, int column);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    TForm22& form_;
    bool syncing_ = false;
};

class TForm22 : public QDialog {
    Q_OBJECT
public:
    TForm22();

    NormTable norm;
    bool newRow = false;  // the edited row is new and still needs its o_id

    NormModel* model;
    NormGrid* DBGrid1;
    QPushButton* Button1;  // "Сохранить"
    QPushButton* Button2;  // "Удалить"

    void DBGrid1ColEnter();
    void DBGrid1ColExit();
    void Button1Click();
    void Button2Click();

    // The grid moved from one cell to another (previous invalid: it had none).
    void cellChanged(const QModelIndex& current, const QModelIndex& previous);
    // Down on the last row.
    void goToNewRow(int column);
    // A value typed into a cell; false (after a message) when it is not a number.
    bool typed(int row, const QString& field, const QString& text);

    // The priced operations list opens the norms of its operation `o_id`: the table
    // filtered to it and read again, the window shown modally.
    int showNormsOf(int o_id);

public slots:
    // Esc stores and closes, like "Сохранить".
    void reject() override;
};

}  // namespace mirn
