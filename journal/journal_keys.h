#pragma once
// The journal's keyboard: the actions behind its keys, shown in the menus "Правка" and
// "Вид", and the quick search of an entry by worker or mark.
//
// Every action does what its control does and is enabled with it: a button or a
// shift the role or a closed month switches off takes its key along. Space and
// Delete act on the selected entry and so work only while the grid has the focus;
// a focused button or check box keeps its own Space.
#include <QHash>
#include <QList>
#include <QObject>

class QAction;
class QLineEdit;
class QMenu;
class QWidget;

namespace mirn {

class Query;
class TForm1;

class JournalKeys : public QObject {
    Q_OBJECT
public:
    explicit JournalKeys(TForm1* journal);

    QMenu* EditMenu;       // "Правка"
    QMenu* ViewMenu;       // "Вид"
    QAction* Add;          // Insert: "Добавить"
    QAction* Change;       // F2 (and Enter in the grid): "Изменить"
    QAction* Remove;       // Delete in the grid: "Удалить"
    QAction* Confirm;      // Space in the grid: the double click's confirmation toggle
    QAction* Find;         // Ctrl+F: the quick search
    QAction* UndoCopy;     // Ctrl+Z: takes the last "Копировать смену" back, while there is one
    QAction* Refresh;      // F5: "Обновить"
    QAction* Shift[4];     // Alt+1 … Alt+4: the four shifts
    QAction* PreviousDay;  // Ctrl+Left
    QAction* NextDay;      // Ctrl+Right
    QLineEdit* FindEdit;   // shown by Ctrl+F; Enter/Down the next match, Up the previous, Esc back to the grid

    // The row (0-based) of the first entry from `from` on, going by `step` (1 or -1) and
    // wrapping round, whose worker or mark contains the text in any letter case; -1 when
    // none does or the text is blank.
    static int findEntry(const Query& q, const QString& text, int from, int step);

    // A closed month's entries cannot be confirmed: Space and the menu entry are off.
    void setMonthClosed(bool closed);
    // Whether a copy of a shift stands to be taken back.
    void setCopyToUndo(bool any);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The action is enabled while the control is.
    void follow(QWidget* control, QAction* action);
    bool usable(const QWidget* control, const QAction* action) const;
    // Moves the journal to the match from `from` on; marks the text when nothing matches.
    void search(int from, int step);
    void closeSearch();

    TForm1* f_;
    QHash<QObject*, QList<QAction*>> followers_;
    bool monthClosed_ = false;
    bool copyToUndo_ = false;
};

}  // namespace mirn
