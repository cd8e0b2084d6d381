#pragma once
// The workers list: reference mode (tag 0) adds, changes and deletes workers;
// picking mode (tag 1 the shift entry dialog, 24 the auxiliary work entry)
// hands the chosen worker to the dialog that opened it.
#include "gui/dbgrid.h"
#include "refbooks/crosslinks.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

class QKeyEvent;

namespace mirn {

class TForm5 : public QDialog {
    Q_OBJECT
public:
    TForm5();

    int Tag = 0;
    // The worker chosen in picking mode, handed back to the dialog that opened the list.
    std::optional<WorkerPick> picked;

    DBGrid* DBGrid1;
    QLineEdit* Edit1;      // search
    QPushButton* Button1;  // "Добавить"
    QPushButton* Button2;  // "Изменить" / "Выбрать"
    QPushButton* Button3;  // "Удалить"
    QPushButton* Button4;  // "Выход"

    void FormActivate();
    void Edit1Change();
    // Up and Down move the list; true when the key is consumed (every key but
    // typed characters, Backspace, Enter, Esc and Tab).
    bool Edit1KeyDown(QKeyEvent* e);
    void Button1Click();  // add
    void Button2Click();  // change, or pick
    void Button3Click();  // delete

    // How the openers set the window up (Workers is opened by them).
    void prepareReference();
    void preparePick(int tag);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace mirn
