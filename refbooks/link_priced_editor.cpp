// The priced operations list's "Добавить" and, in reference mode, "Изменить": the
// priced operation editor on the list's current row of Oper.
#include "core/datamodule.h"
#include "gui/forms.h"
#include "refbooks/crosslinks.h"
#include "refbooks/tform10.h"

namespace mirn {

void pricedOperationAdd() { forms::form<TForm10>().runNew(); }

void pricedOperationChange() {
    Query& oper = dm().Oper;
    // An empty list has no operation to change.
    if (oper.isEmpty()) return;
    forms::form<TForm10>().runChange(oper.asString(QStringLiteral("marka")).trimmed(),
                                     oper.asString(QStringLiteral("vid")).trimmed(), oper.asInt(QStringLiteral("naimen")),
                                     oper.asInt(QStringLiteral("i_id")), oper.asInt(QStringLiteral("oper_vid")));
}

}  // namespace mirn
