#pragma once
// "История": the changes of one journal entry or auxiliary work row, newest first.
#include "domain/history.h"

#include <QDialog>
#include <QLabel>
#include <QTableWidget>

namespace mirn {

class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    HistoryWindow(const QString& title, const QList<history::Change>& changes, QWidget* parent = nullptr);

    // Columns: when, who, role, workstation, action, the changed fields (one a line,
    // "поле: было → стало").
    QTableWidget* Grid;
    // Shown instead of the grid when the row has no changes.
    QLabel* EmptyNote;

    // Shows the history of a logged table's row (smena, fatigue) modally.
    static void show(const QString& table, qlonglong rowId, const QString& title, QWidget* parent);
};

}  // namespace mirn
