#pragma once
// The nomenclature picker: chooses a nomenclature group for an auxiliary work entry.
// It has no reference mode; its search is kept between openings.
#include "gui/listwindow.h"

#include <optional>

namespace mirn {

class TForm26 : public ListWindow {
    Q_OBJECT
public:
    TForm26();

    // The group chosen; from a list emptied by the search id 0 and an empty caption.
    struct Pick {
        int id = 0;
        QString caption;  // as stored
    };

    // Edit1 searches by the beginning of the group's name.
    QPushButton* Button1;  // "Выбрать"
    QPushButton* Button4;  // "Выход"

    Query item;  // the groups, open while the picker is shown

    void DBGrid1DblClick();  // the pick
    void Button4Click() { reject(); }

    // Reads the groups, shows the picker modally and closes them again; none when the
    // picker was left without a choice.
    std::optional<Pick> pick();

protected:
    void gridDblClick() override { DBGrid1DblClick(); }

private:
    std::optional<Pick> picked_;
};

}  // namespace mirn
