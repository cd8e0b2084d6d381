#pragma once
// The priced operations list: reference mode (tag 0) deletes operations and opens
// their norms; picking mode (tag 1) hands the chosen operation to the shift entry
// dialog, which prices it for its own day and shift.
#include "gui/listwindow.h"

#include <QCheckBox>
#include <QVariant>
#include <optional>

namespace mirn {

class TForm4 : public ListWindow {
    Q_OBJECT
public:
    TForm4();

    // The operation chosen in picking mode.
    struct Pick {
        int o_id = 0;
        int i_id = 0;
        QVariant basePrice;  // the lowest norm price; null when it has no norms
        QString marka, vid;
        int naimen = 0;
    };

    // Edit1 searches anywhere in the mark.
    QPushButton* Button1;   // "Добавить"
    QPushButton* Button2;   // "Изменить" / "Выбрать"
    QPushButton* Button3;   // "Удалить"
    QPushButton* Button5;   // "Excel"
    QCheckBox* CheckBox1;   // "Цены"
    QPushButton* Button4;   // "Выход"

    void Button2Click();  // change (reference mode) or pick
    void Button3Click();  // delete
    void DBGrid1DblClick();

    void prepareReference();

    // Where the list stands as a pick begins (Oper stays open between picks).
    enum class StartAt { FirstRow, Operation, AsItStands };
    // Picking for the dialog named by tag: opens Oper and puts it on its first row or
    // on the operation `o_id`, shows the list set up for the pick (a search text starts
    // its search); afterwards the search and its filter are gone and Oper stays open on
    // the row picked. None when the list was left without a choice.
    std::optional<Pick> pick(int tag, StartAt at, int o_id = 0, const QString& search = {});

protected:
    void gridDblClick() override { DBGrid1DblClick(); }

private:
    std::optional<Pick> picked_;
};

}  // namespace mirn
