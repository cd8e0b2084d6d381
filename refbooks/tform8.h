#pragma once
// The operation types list: reference mode (add, rename, delete) and the operation
// type picker of the priced operation editor.
#include "gui/dbgrid.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

class QKeyEvent;

namespace mirn {

class TForm8 : public QDialog {
    Q_OBJECT
public:
    TForm8();

    int Tag = 0;  // 0 reference mode, 1 picking for the priced operation editor

    DBGrid* DBGrid1;
    QLineEdit* Edit1;      // search, shown only while picking
    QPushButton* Button1;  // "Добавить"
    QPushButton* Button2;  // "Изменить" / "Выбрать"
    QPushButton* Button3;  // "Удалить"
    QPushButton* Button4;  // "Выход"

    void FormActivate();
    void Edit1Change();
    // Up and Down move the list; every other key but typed text, Backspace, Enter and
    // Esc is swallowed. True when the key was consumed.
    bool Edit1KeyDown(QKeyEvent* e);
    void Button1Click();
    void Button2Click();
    void Button3Click();

    // Prepares the window for reference mode, as the journal's menu opens it.
    void prepareReference();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace mirn
