// Opening the workers list for picking, for the shift entry dialog (tag 1) and the
// auxiliary work entry (tag 24), and the start of a picker's search typed on its field.
#include "core/datamodule.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "refbooks/crosslinks.h"
#include "refbooks/tform5.h"

#include <QLineEdit>

namespace mirn {

std::optional<WorkerPick> pickWorker(int tag, const QString& search) {
    TForm5& f5 = forms::form<TForm5>();
    f5.Tag = tag;
    f5.picked.reset();
    dm().Workers.open();
    f5.preparePick(tag);
    startSearch(f5.Edit1, search);
    f5.FormActivate();
    ui::execModal(&f5);
    dm().Workers.close();
    return f5.picked;
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
