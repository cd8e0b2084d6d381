#pragma once
// The priced operations list: reference mode (tag 0) deletes operations and opens
// their norms; picking mode (tag 1) writes the chosen operation with its final
// price into the shift entry dialog.
#include "gui/dbgrid.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QVariant>
#include <optional>

class QKeyEvent;

namespace mirn {

class TForm4 : public QDialog {
    Q_OBJECT
public:
    TForm4();

    int Tag = 0;

    // The operation chosen in picking mode, handed back to the shift entry dialog,
    // which prices it for its own day and shift.
    struct Pick {
        int o_id = 0;
        int i_id = 0;
        QVariant basePrice;  // the lowest norm price; null when it has no norms
        QString marka, vid;
        int naimen = 0;
    };
    std::optional<Pick> picked;

    DBGrid* DBGrid1;
    QLineEdit* Edit1;       // search in the mark
    QPushButton* Button1;   // "Добавить"
    QPushButton* Button2;   // "Изменить" / "Выбрать"
    QPushButton* Button3;   // "Удалить"
    QPushButton* Button5;   // "Excel"
    QCheckBox* CheckBox1;   // "Цены"
    QPushButton* Button4;   // "Выход"

    void FormActivate();
    void Edit1Change();
    // Up and Down move the list; true when the key is consumed.
    bool Edit1KeyDown(QKeyEvent* e);
    void Button2Click();  // change (reference mode) or pick
    void Button3Click();  // delete
    void DBGrid1DblClick();

    void prepareReference();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace mirn
