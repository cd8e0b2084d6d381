// The entry dialog's keys: the fields in the order an entry is typed, and the pickers
// opened from their fields by F4, Alt+Down or the first letters of the search.
#include "gui/ui.h"
#include "journal/tform11.h"

#include <QKeyEvent>

namespace mirn {

namespace {
// Watches the two picker fields (the worker's and the operation's "..." buttons).
class PickerKeys : public QObject {
public:
    explicit PickerKeys(TForm11* dialog) : QObject(dialog), f_(dialog) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto* k = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = k->modifiers() & ~Qt::KeypadModifier;
        QString search;
        const bool opener = (k->key() == Qt::Key_F4 && mods == Qt::NoModifier) ||
                            (k->key() == Qt::Key_Down && mods == Qt::AltModifier);
        if (!opener) {
            // Space, Enter, Tab and the rest keep their meaning.
            if (!typed(k, mods)) return false;
            search = k->text();
        }
        if (watched == f_->Button3)
            ui::guard([this, search] { f_->Button3Click(search); })();
        else
            ui::guard([this, search] { f_->Button4Click(search); })();
        return true;
    }

private:
    // A character of a name or a mark; Space stays the button's own key.
    static bool typed(const QKeyEvent* k, Qt::KeyboardModifiers mods) {
        if (mods & ~Qt::ShiftModifier) return false;
        const QString t = k->text();
        return t.size() == 1 && t.at(0).isPrint() && !t.at(0).isSpace();
    }

    TForm11* f_;
};
}  // namespace

void TForm11::setupKeys() {
    auto* keys = new PickerKeys(this);
    Button3->installEventFilter(keys);
    Button4->installEventFilter(keys);
    // The order of typing: worker, operation, quantity, rejects, hours, colour, date, save.
    QWidget* order[] = {Button3, Button4, Edit3, Edit4, Edit6, Edit5, DTimeP, Button1, Button2};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
    Button3->setToolTip(QStringLiteral("Выбрать рабочего (F4, Alt+↓ или первые буквы фамилии)"));
    Button4->setToolTip(QStringLiteral("Выбрать операцию (F4, Alt+↓ или часть марки)"));
}

}  // namespace mirn
