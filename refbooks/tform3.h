#pragma once
// The products list: reference mode (add, change, delete) and the product picker of
// the priced operation editor.
#include "gui/dbgrid.h"
#include "domain/products.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

namespace mirn {

class TForm3 : public QDialog {
    Q_OBJECT
public:
    TForm3();

    int Tag = 0;  // 0 reference mode, 1 picking for the priced operation editor

    DBGrid* DBGrid1;
    QLineEdit* Edit1;      // search by the beginning of the mark
    QPushButton* Button1;  // "Добавить"
    QPushButton* Button2;  // "Изменить" / "Выбрать"
    QPushButton* Button3;  // "Удалить"
    QPushButton* Button4;  // "Выход"

    void FormActivate();
    void Edit1Change();
    // Up and Down move the list; true when the key was consumed.
    bool Edit1KeyDown(int key);
    void Button1Click();
    void Button2Click();
    void Button3Click();

    // Prepares the window for reference mode, as the journal's menu opens it.
    void prepareReference();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace mirn
