#pragma once
// The nomenclature picker: chooses a nomenclature group for an auxiliary work entry.
#include "gui/dbgrid.h"

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

class QKeyEvent;

namespace mirn {

class TForm26 : public QDialog {
    Q_OBJECT
public:
    TForm26();

    // The group chosen, handed back to the dialog that opened the picker.
    struct Pick {
        int id = 0;
        QString caption;
    };
    std::optional<Pick> picked;

    DBGrid* DBGrid1;
    QLineEdit* Edit1;      // search by the beginning of the group's name; kept between openings
    QPushButton* Button1;  // "Выбрать"
    QPushButton* Button4;  // "Выход"

    Query item;  // the groups; opened and closed by the opener

    void Edit1Change();
    // Up and Down move the list; every other key but typed text, Backspace, Enter and
    // Esc is swallowed. True when the key was consumed.
    bool Edit1KeyDown(QKeyEvent* e);
    void DBGrid1DblClick();  // the pick
    void Button4Click() { reject(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace mirn
