#include "domain/workers.h"

#include "domain/db.h"
#include "domain/text_rules.h"

namespace mirn {

namespace workers {

WorkerStore::WorkerStore(QString connection) : connection_(std::move(connection)) {}

Result WorkerStore::save(int id, const QString& fio, const QString& staffpos) {
    if (auto refusal = text_rules::check({{QStringLiteral("Фамилия И.О."), fio, text_rules::kWorkerNameMax}, {QStringLiteral("Должность"), staffpos, text_rules::kStaffPosMax}})) return Result::refuse(Status::Invalid, *refusal);
    Query cmd(connection_);
    if (id == 0) {
        cmd.setText(QStringLiteral(
            "INSERT INTO accounts_dep.person (fio, s_staffpos_hl)VALUES(:fio, :staffpos) returning id"));
    } else {
        cmd.setText(QStringLiteral("UPDATE accounts_dep.person SET fio=:fio, s_staffpos_hl=:staffpos where "
                                   "accounts_dep.person.id=") +
                    QString::number(id) + QStringLiteral(" returning id"));
    }
    cmd.setParam(QStringLiteral("fio"), fio);
    cmd.setParam(QStringLiteral("staffpos"), staffpos);
    cmd.open();
    return Result::ok(cmd.isEmpty() ? id : toInt(cmd.value(0, 0)));
}

void WorkerStore::remove(int id) {
    Command cmd(connection_);
    cmd.setText(QStringLiteral("delete from accounts_dep.person where id =") + QString::number(id));
    cmd.exec();
}

}  // namespace workers

}  // namespace mirn
