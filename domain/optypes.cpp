#include "domain/optypes.h"

#include "domain/db.h"
#include "domain/text_rules.h"
#include "domain/locks.h"

namespace mirn {

namespace optypes {

OpTypeStore::OpTypeStore(QString connection) : connection_(std::move(connection)) {}

Result OpTypeStore::save(const QString& typed, int renamingId) {
    const QString name = typed.trimmed();
    if (name.isEmpty()) return Result::refuse(Status::Incomplete, kFillAllFields);
    if (auto refusal = text_rules::check({{QStringLiteral("Вид операции"), name, text_rules::kOpTypeMax}})) return Result::refuse(Status::Invalid, *refusal);
    const bool adding = renamingId == 0;
    Transaction tx(connection_);
    locks::takeBook(connection_, locks::Book::OperationTypes);
    Query dup(connection_);
    dup.setText(QStringLiteral("select count(*) as cnt from accounts_dep.vid_oper where upper(vid)=:vid") +
                (adding ? QString() : QStringLiteral(" and id<>:id")));
    dup.setParam(QStringLiteral("vid"), name.toUpper());
    if (!adding) dup.setParam(QStringLiteral("id"), renamingId);
    dup.open();
    if (dup.asInt(QStringLiteral("cnt")) > 0) return Result::refuse(Status::Duplicate, kDuplicateName);

    // The database assigns the key.
    Command cmd(connection_);
    if (adding) {
        cmd.setText(QStringLiteral("insert into accounts_dep.vid_oper(vid) values(:vid)"));
    } else {
        cmd.setText(QStringLiteral("update accounts_dep.vid_oper set vid=:vid where id=:id"));
        cmd.setParam(QStringLiteral("id"), renamingId);
    }
    cmd.setParam(QStringLiteral("vid"), name);
    cmd.exec();
    tx.commit();
    return Result::ok(renamingId);
}

void OpTypeStore::remove(int id) {
    Command cmd(connection_);
    cmd.setText(QStringLiteral("delete from accounts_dep.vid_oper where id=:id"));
    cmd.setParam(QStringLiteral("id"), id);
    cmd.exec();
}

}  // namespace optypes

}  // namespace mirn
