#include "domain/optypes.h"

#include "domain/db.h"
#include "domain/text_rules.h"
#include "domain/locks.h"
#include "domain/sqltext.h"

namespace mirn {

namespace optypes {

OpTypeStore::OpTypeStore(Db db) : db_(std::move(db)) {}

Result OpTypeStore::save(const QString& typed, int renamingId) {
    const QString name = typed.trimmed();
    if (name.isEmpty()) return Result::refuse(Status::Incomplete, kFillAllFields);
    if (auto refusal = text_rules::check({{QStringLiteral("Вид операции"), name, text_rules::kOpTypeMax}})) return Result::refuse(Status::Invalid, *refusal);
    const bool adding = renamingId == 0;
    Transaction tx(db_);
    locks::takeBook(db_, locks::Book::OperationTypes);
    Query dup(db_);
    dup.setText(sqltext::opTypeDuplicate(adding));
    dup.setParam(QStringLiteral("vid"), name.toUpper());
    if (!adding) dup.setParam(QStringLiteral("id"), renamingId);
    dup.open();
    if (dup.asInt(QStringLiteral("cnt")) > 0) return Result::refuse(Status::Duplicate, kDuplicateName);

    // The database assigns the key.
    Command cmd(db_);
    if (adding) {
        cmd.setText(sqltext::opTypeInsert());
    } else {
        cmd.setText(sqltext::opTypeUpdate());
        cmd.setParam(QStringLiteral("id"), renamingId);
    }
    cmd.setParam(QStringLiteral("vid"), name);
    cmd.exec();
    tx.commit();
    return Result::ok(renamingId);
}

void OpTypeStore::remove(int id) {
    Command cmd(db_);
    cmd.setText(sqltext::opTypeDelete());
    cmd.setParam(QStringLiteral("id"), id);
    cmd.exec();
}

}  // namespace optypes

}  // namespace mirn
