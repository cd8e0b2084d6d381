#pragma once
// The products list: reference mode (add, change, delete) and the product picker of
// the priced operation editor.
#include "gui/listwindow.h"

#include <optional>

namespace mirn {

class TForm3 : public ListWindow {
    Q_OBJECT
public:
    TForm3();

    // Tag: 0 reference mode, 1 picking for the priced operation editor.

    QPushButton* Button1;  // "Добавить"
    QPushButton* Button2;  // "Изменить" / "Выбрать"
    QPushButton* Button3;  // "Удалить"
    QPushButton* Button4;  // "Выход"

    void Button1Click();
    void Button2Click();
    void Button3Click();

    // Prepares the window for reference mode, as the journal's menu opens it.
    void prepareReference();

    // The product chosen for the priced operation editor; from a list emptied by the
    // search an empty mark and id 0.
    struct Pick {
        int id = 0;
        QString marka;  // trimmed
    };
    // Opens Izdel, shows the list set up for the pick and closes Izdel again; none when
    // the list was left without a choice.
    std::optional<Pick> pick();

protected:
    void gridDblClick() override { Button2Click(); }

private:
    std::optional<Pick> picked_;
};

}  // namespace mirn
