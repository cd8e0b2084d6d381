#pragma once
// The operation types list: reference mode (add, rename, delete) and the operation
// type picker of the priced operation editor.
#include "gui/listwindow.h"

#include <optional>

namespace mirn {

class TForm8 : public ListWindow {
    Q_OBJECT
public:
    TForm8();

    // Tag: 0 reference mode, 1 picking for the priced operation editor.
    // Edit1, the search, is shown only while picking.

    QPushButton* Button1;  // "Добавить"
    QPushButton* Button2;  // "Изменить" / "Выбрать"
    QPushButton* Button3;  // "Удалить"
    QPushButton* Button4;  // "Выход"

    void Button1Click();
    void Button2Click();
    void Button3Click();

    // Prepares the window for reference mode, as the journal's menu opens it.
    void prepareReference();

    // The operation type chosen for the priced operation editor; from a list emptied by
    // the search an empty name and id 0.
    struct Pick {
        int id = 0;
        QString vid;  // trimmed
    };
    // Opens Vid_oper, shows the list set up for the pick and closes Vid_oper again; none
    // when the list was left without a choice.
    std::optional<Pick> pick();

protected:
    void gridDblClick() override { Button2Click(); }

private:
    std::optional<Pick> picked_;
};

}  // namespace mirn
