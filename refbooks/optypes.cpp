#include "refbooks/optypes.h"

#include "core/db.h"
#include "core/ui.h"
#include "core/datamodule.h"
#include "refbooks/refcheck.h"

namespace optypes {

SaveResult save(const QString& typed, int renamingId) {
    const QString name = typed.trimmed();
    if (name.isEmpty()) {
        ui::error(QStringLiteral("Все поля должны быть заполнены!"));
        return SaveResult::Incomplete;
    }
    const bool adding = renamingId == 0;
    TDataModule6::Params dup{{QStringLiteral("vid"), name.toUpper()}};
    QString dupSql = QStringLiteral("select count(*) as cnt from accounts_dep.vid_oper where upper(vid)=:vid");
    if (!adding) {
        dupSql += QStringLiteral(" and id<>:id");
        dup.emplace_back(QStringLiteral("id"), renamingId);
    }
    if (dm().CheckExists(dupSql, QStringLiteral("Такая операция уже заведена!"), dup))
        return SaveResult::Duplicate;

    // The row is written through the list's own statements; the database assigns the key.
    Command cmd;
    if (adding) {
        cmd.SQL = {QStringLiteral("insert into accounts_dep.vid_oper(vid) values(:vid)")};
    } else {
        cmd.SQL = {QStringLiteral("update accounts_dep.vid_oper set vid=:vid where id=:id")};
        cmd.setParam(QStringLiteral("id"), renamingId);
    }
    cmd.setParam(QStringLiteral("vid"), name);
    cmd.exec();
    return SaveResult::Saved;
}

void remove(int id) {
    Command cmd;
    cmd.SQL = {QStringLiteral("delete from accounts_dep.vid_oper where id=:id")};
    cmd.setParam(QStringLiteral("id"), id);
    cmd.exec();
}

}  // namespace optypes
