#include "domain/pricedops.h"

#include "domain/db.h"
#include "domain/limits.h"
#include "domain/locks.h"

namespace mirn {

namespace pricedops {

PricedOpStore::PricedOpStore(QString connection) : connection_(std::move(connection)) {}

Result PricedOpStore::save(const Choice& c, int changingId) {
    if (c.mark.trimmed().isEmpty() || c.vidName.trimmed().isEmpty())
        return Result::refuse(Status::Incomplete, kFillAllFields);
    // Every value here is a key or an index, so the statements carry them as digits.
    const QString vid = QString::number(c.oper_vid), kind = QString::number(c.kind), iid = QString::number(c.i_id);
    Transaction tx(connection_);
    locks::takeBook(connection_, locks::Book::PricedOperations);
    Query dup(connection_);
    Command cmd(connection_);
    qlonglong id = changingId;
    if (changingId == 0) {
        dup.setText(QStringLiteral("select count(ID) as cnt from accounts_dep.OPER where vid=") + vid +
                    QStringLiteral(" and naimen=") + kind + QStringLiteral(" and i_id=") + iid);
        dup.open();
        if (dup.asInt(QStringLiteral("cnt")) > 0) return Result::refuse(Status::Duplicate, kDuplicate);
        Query ins(connection_);
        ins.setText(QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new)values (") + vid +
                    QStringLiteral(", ") + kind + QStringLiteral(", ") + iid + QStringLiteral(", 0) returning id"));
        ins.open();
        id = ins.isEmpty() ? 0 : toInt(ins.value(0, 0));
    } else {
        const QString sid = QString::number(changingId);
        dup.setText(QStringLiteral("select count(*) as cnt from accounts_dep.OPER where vid=") + vid +
                    QStringLiteral(" and naimen=") + kind + QStringLiteral(" and i_id=") + iid +
                    QStringLiteral(" and id<>") + sid);
        dup.open();
        if (dup.asInt(QStringLiteral("cnt")) > 0) return Result::refuse(Status::Duplicate, kDuplicate);
        cmd.setText(QStringLiteral("update accounts_dep.oper set vid=") + vid + QStringLiteral(", naimen=") + kind +
                    QStringLiteral(",  i_id=") + iid + QStringLiteral(" where id=") + sid);
        cmd.exec();
    }
    tx.commit();
    return Result::ok(id);
}

void PricedOpStore::remove(int id) {
    Command del(connection_);
    del.setText(QStringLiteral("delete from accounts_dep.oper where id=:id"));
    del.setParam(QStringLiteral("id"), id);
    del.exec();
}

Result PricedOpStore::saveNorm(const Norm& n) {
    const std::pair<const limits::Range*, const QVariant*> checks[] = {
        {&limits::kNorma, &n.norma}, {&limits::kPrize, &n.prize}, {&limits::kPrice, &n.price}};
    for (const auto& [range, value] : checks) {
        if (value->isNull()) continue;
        if (auto refusal = limits::check(*range, value->toString())) return Result::refuse(Status::Invalid, *refusal);
    }
    auto number = [](const QVariant& v) {
        return v.isNull() ? QVariant() : QVariant(*limits::parse(v.toString()));
    };
    if (n.id.isNull()) {
        Query ins(connection_);
        ins.setText(QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) "
                                   "values(:o_id, :norma, :prize, :price) returning id"));
        ins.setParam(QStringLiteral("o_id"), n.o_id);
        ins.setParam(QStringLiteral("norma"), number(n.norma));
        ins.setParam(QStringLiteral("prize"), number(n.prize));
        ins.setParam(QStringLiteral("price"), number(n.price));
        ins.open();
        return Result::ok(ins.isEmpty() ? 0 : toInt(ins.value(0, 0)));
    }
    Command upd(connection_);
    upd.setText(QStringLiteral(
        "update accounts_dep.norm set o_id=:o_id, norma=:norma, prize=:prize, price=:price where id=:id"));
    upd.setParam(QStringLiteral("o_id"), n.o_id);
    upd.setParam(QStringLiteral("norma"), number(n.norma));
    upd.setParam(QStringLiteral("prize"), number(n.prize));
    upd.setParam(QStringLiteral("price"), number(n.price));
    upd.setParam(QStringLiteral("id"), n.id);
    upd.exec();
    return Result::ok(toInt(n.id));
}

void PricedOpStore::removeNorm(int id) {
    Command del(connection_);
    del.setText(QStringLiteral("delete from accounts_dep.norm where id=:id"));
    del.setParam(QStringLiteral("id"), id);
    del.exec();
}

}  // namespace pricedops

}  // namespace mirn
