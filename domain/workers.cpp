#include "domain/workers.h"

#include "domain/db.h"
#include "domain/text_rules.h"
#include "domain/sqltext.h"

namespace mirn {

namespace workers {

WorkerStore::WorkerStore(Db db) : db_(std::move(db)) {}

Result WorkerStore::save(int id, const QString& fio, const QString& staffpos) {
    if (auto refusal = text_rules::check({{QStringLiteral("Фамилия И.О."), fio, text_rules::kWorkerNameMax}, {QStringLiteral("Должность"), staffpos, text_rules::kStaffPosMax}})) return Result::refuse(Status::Invalid, *refusal);
    Query cmd(db_);
    cmd.setText(id == 0 ? sqltext::workerInsert() : sqltext::workerUpdate(id));
    cmd.setParam(QStringLiteral("fio"), fio);
    cmd.setParam(QStringLiteral("staffpos"), staffpos);
    cmd.open();
    return Result::ok(cmd.isEmpty() ? id : toInt(cmd.value(0, 0)));
}

void WorkerStore::remove(int id) {
    db_.exec(sqltext::workerDelete(id));
}

}  // namespace workers

}  // namespace mirn
