// The workers list as the picker of the shift entry dialog (tag 1) and the auxiliary
// work entry (tag 24), and the start of a picker's search typed on its field.
#include "gui/forms.h"
#include "refbooks/crosslinks.h"
#include "refbooks/tform5.h"

#include <QLineEdit>

namespace mirn {

std::optional<WorkerPick> pickWorker(int tag, const QString& search) {
    return forms::form<TForm5>().pick(tag, search);
}

void startSearch(QLineEdit* search, const QString& text) {
    if (text.isEmpty()) return;
    search->setText(text);
    QMetaObject::invokeMethod(
        search,
        [search] {
            search->deselect();
            search->end(false);
        },
        Qt::QueuedConnection);
}

}  // namespace mirn
