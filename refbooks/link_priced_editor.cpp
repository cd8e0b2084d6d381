// The priced operations list's "Добавить" and, in reference mode, "Изменить": the
// priced operation editor on the list's current row of Oper.
#include "core/datamodule.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "refbooks/crosslinks.h"
#include "refbooks/tform10.h"

namespace mirn {

void pricedOperationAdd() {
    TForm10& ed = forms::form<TForm10>();
    ed.Edit1->clear();
    ed.Edit2->clear();
    ed.ComboBox1->setCurrentIndex(0);
    ed.setWindowTitle(QStringLiteral("Заведение новой цены за операцию"));
    ed.Tag = 1;
    ed.FormActivate();
    ui::execModal(&ed);
}

void pricedOperationChange() {
    Query& oper = dm().Oper;
    // An empty list has no operation to change.
    if (oper.isEmpty()) return;
    TForm10& ed = forms::form<TForm10>();
    ed.setWindowTitle(QStringLiteral("Изменение данных о цене за операцию"));
    ed.Tag = 2;
    ed.Edit1->setText(oper.asString(QStringLiteral("marka")).trimmed());
    ed.Edit2->setText(oper.asString(QStringLiteral("vid")).trimmed());
    // Any kind other than 0 is a blank.
    ed.ComboBox1->setCurrentIndex(oper.asInt(QStringLiteral("naimen")) == 0 ? 0 : 1);
    ed.i_id = oper.asInt(QStringLiteral("i_id"));
    ed.oper_vid = oper.asInt(QStringLiteral("oper_vid"));
    ed.FormActivate();
    ui::execModal(&ed);
}

}  // namespace mirn
