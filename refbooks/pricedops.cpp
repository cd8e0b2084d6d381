#include "refbooks/pricedops.h"

#include "core/datamodule.h"
#include "core/ui.h"

namespace pricedops {

SaveResult save(const Choice& c, int changingId) {
    if (c.mark.trimmed().isEmpty() || c.vidName.trimmed().isEmpty()) {
        ui::error(QStringLiteral("Все поля должны быть заполнены!"));
        return SaveResult::Incomplete;
    }
    const QString vid = QString::number(c.oper_vid), kind = QString::number(c.kind), iid = QString::number(c.i_id);
    const QString dupMessage = QStringLiteral("Операция с такими параметрами уже заведена!");
    // Every value here is a key or an index, so the statements carry them as digits.
    if (changingId == 0) {
        if (dm().CheckExists(QStringLiteral("select count(ID) as cnt from accounts_dep.OPER where vid=") + vid +
                                 QStringLiteral(" and naimen=") + kind + QStringLiteral(" and i_id=") + iid,
                             dupMessage))
            return SaveResult::Duplicate;
        Command& ins = dm().Oper_ins;
        ins.clearParams();
        ins.SQL = QStringList{QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new)values (") +
                              vid + QStringLiteral(", ") + kind + QStringLiteral(", ") + iid + QStringLiteral(", 0)")};
        ins.exec();
    } else {
        const QString id = QString::number(changingId);
        if (dm().CheckExists(QStringLiteral("select count(*) as cnt from accounts_dep.OPER where vid=") + vid +
                                 QStringLiteral(" and naimen=") + kind + QStringLiteral(" and i_id=") + iid +
                                 QStringLiteral(" and id<>") + id,
                             dupMessage))
            return SaveResult::Duplicate;
        Command& ed = dm().Oper_ed;
        ed.clearParams();
        ed.SQL = QStringList{QStringLiteral("update accounts_dep.oper set vid=") + vid + QStringLiteral(", naimen=") +
                             kind + QStringLiteral(",  i_id=") + iid + QStringLiteral(" where id=") + id};
        ed.exec();
    }
    return SaveResult::Saved;
}

}  // namespace pricedops
