#pragma once
// The workers list: reference mode (tag 0) adds, changes and deletes workers;
// picking mode (tag 1 the shift entry dialog, 24 the auxiliary work entry)
// hands the chosen worker to the dialog that opened it.
#include "gui/listwindow.h"
#include "refbooks/crosslinks.h"

#include <optional>

namespace mirn {

class TForm5 : public ListWindow {
    Q_OBJECT
public:
    TForm5();

    QPushButton* Button1;  // "Добавить"
    QPushButton* Button2;  // "Изменить" / "Выбрать"
    QPushButton* Button3;  // "Удалить"
    QPushButton* Button4;  // "Выход"

    void Button1Click();  // add
    void Button2Click();  // change, or pick
    void Button3Click();  // delete

    // The menu's opening (Workers is opened by the menu).
    void prepareReference();
    // Picking for the dialog named by tag: opens Workers, shows the list set up for the
    // pick (a search text starts its search) and closes Workers again; the worker chosen,
    // or none when the list was left without a choice.
    std::optional<WorkerPick> pick(int tag, const QString& search = {});

protected:
    void gridDblClick() override { Button2Click(); }

private:
    std::optional<WorkerPick> picked_;
};

}  // namespace mirn
