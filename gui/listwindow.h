#pragma once
// A reference-book list window: a grid over a query, a search field that filters the
// rows already read, and the buttons of its two modes. Opened from the menu it is in
// reference mode (tag 0: add, change, delete); opened by a dialog it is in picking
// mode (the tag names that dialog: "Выбрать" is the default button, add and delete are
// hidden) and hands the chosen row back to it. Enter in the grid presses the default
// button; a double click does what the window's gridDblClick says.
#include "gui/dbgrid.h"

#include <QDialog>
#include <QLineEdit>
#include <QList>
#include <QPushButton>

class QKeyEvent;

namespace mirn {

class ListWindow : public QDialog {
    Q_OBJECT
public:
    // How the search field filters the list.
    struct Search {
        QString field;             // the field searched
        bool anywhere = false;     // the text anywhere in the field, else at its beginning
        bool blankClears = false;  // a text of blanks only switches the filter off
        bool onlyArrows = false;   // the field takes only Up and Down; every other key edits as usual
    };

    ListWindow(const QString& caption, const QList<GridColumn>& columns, Search search);

    int Tag = 0;  // 0 reference mode, else the dialog that picks

    DBGrid* DBGrid1;
    QLineEdit* Edit1;  // search

    // The query listed (set by the window with setList).
    Query& list() const { return *list_; }

    // When the search field is shown it takes the focus.
    void FormActivate();
    // Filters the rows already read by the text as typed; an empty text shows them all.
    void Edit1Change();
    // Up and Down move the list; true when the key is consumed (without onlyArrows every
    // key but typed characters, Backspace, Enter, Esc and Tab).
    bool Edit1KeyDown(QKeyEvent* e);

protected:
    // The query the grid shows and the search filters.
    void setList(Query& list);
    // A button that Enter does not press unless it is the default.
    QPushButton* makeButton(const QString& caption);
    // The buttons the modes switch: add, change-or-pick, delete. Enter in the grid presses
    // the one of add and change-or-pick that is the default and shown; a window without
    // an add button is a picker only, and Enter picks.
    void setModeButtons(QPushButton* add, QPushButton* choose, QPushButton* remove);
    // The search field beside the buttons in one row under the grid.
    void layOutBeside(const QList<QWidget*>& row);
    // The search field above the grid; `left` buttons, a gap, `right` at the bottom.
    void layOutAbove(const QList<QWidget*>& left, QWidget* right);

    // Reference mode: tag 0, "Изменить" not default, add the default, add and delete shown.
    void referenceMode();
    // Picking mode for the dialog named by tag: "Выбрать" the default, add and delete
    // hidden, the search field shown and cleared (which switches the filter off).
    void pickingMode(int tag);
    // The end of a pick: "Выбрать" is no longer the default, the search field hidden.
    void endPick();

    // The double click in the grid.
    virtual void gridDblClick() = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void enterInGrid();

    Query* list_ = nullptr;
    Search search_;
    QPushButton* add_ = nullptr;
    QPushButton* choose_ = nullptr;
    QPushButton* remove_ = nullptr;
};

}  // namespace mirn
