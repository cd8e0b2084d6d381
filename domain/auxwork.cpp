#include "domain/auxwork.h"

#include "domain/db.h"
#include "domain/limits.h"
#include "domain/sqltext.h"

namespace mirn {

namespace auxwork {

QStringList registerSql() { return sqltext::registerSql(); }
QStringList typeWorkSql() { return sqltext::typeWorkSql(); }
QString rateText(const QVariant& price) { return sqltext::rateText(price); }
QString insertStatement(const Entry& e) { return sqltext::insertStatement(e); }
QString updateStatement(const Entry& e, int id) { return sqltext::updateStatement(e, id); }

AuxWorkStore::AuxWorkStore(Db db) : db_(std::move(db)) {}

Result AuxWorkStore::save(const Entry& e, int id) {
    if (e.id_nom == 0 || e.id_p == 0 || e.kind == 0 || e.rate.isEmpty())
        return Result::refuse(Status::Incomplete, kFillAllFields);
    if (auto refusal = limits::check(limits::kAuxHours, double(e.hours)))
        return Result::refuse(Status::Invalid, *refusal);
    if (auto refusal = limits::check(limits::kPrice, e.rate)) return Result::refuse(Status::Invalid, *refusal);
    db_.exec(id == 0 ? insertStatement(e) : updateStatement(e, id));
    return Result::ok(id);
}

void AuxWorkStore::remove(int id) {
    db_.exec(sqltext::auxDelete(id));
}

}  // namespace auxwork

}  // namespace mirn
