#include "domain/pricedops.h"

#include "domain/db.h"
#include "domain/limits.h"
#include "domain/locks.h"
#include "domain/period.h"
#include "domain/sqltext.h"

namespace mirn {

namespace pricedops {

QString closedMonthMessage(int month, int year) {
    return QStringLiteral("Месяц закрыт: %1. Изделие, операцию и вид нельзя изменить, пока по этой расценке "
                          "есть позиции закрытого месяца.")
        .arg(period::monthCaption(month, year));
}

PricedOpStore::PricedOpStore(Db db) : db_(std::move(db)) {}

Result PricedOpStore::save(const Choice& c, int changingId) {
    if (c.mark.trimmed().isEmpty() || c.vidName.trimmed().isEmpty())
        return Result::refuse(Status::Incomplete, kFillAllFields);
    // Every value here is a key or an index, so the statements carry them as digits.
    Transaction tx(db_);
    locks::takeBook(db_, locks::Book::PricedOperations);
    qlonglong id = changingId;
    if (changingId == 0) {
        if (db_.scalarInt(sqltext::pricedOpDuplicate(c.oper_vid, c.kind, c.i_id)) > 0)
            return Result::refuse(Status::Duplicate, kDuplicate);
        id = db_.scalarInt(sqltext::pricedOpInsert(c.oper_vid, c.kind, c.i_id));
    } else {
        if (db_.scalarInt(sqltext::pricedOpDuplicate(c.oper_vid, c.kind, c.i_id, changingId)) > 0)
            return Result::refuse(Status::Duplicate, kDuplicate);
        // A closed month's printed figures name the operation's product, type and kind;
        // its norms and prices may change, since every entry keeps its own price.
        if (period::installed()) {
            Query closed(db_);
            closed.setText(sqltext::closedMonthUsing(changingId, c.oper_vid, c.kind, c.i_id));
            closed.open();
            if (!closed.isEmpty())
                return Result::refuse(Status::Invalid,
                                      closedMonthMessage(toInt(closed.value(0, 0)), toInt(closed.value(0, 1))));
        }
        db_.exec(sqltext::pricedOpUpdate(c.oper_vid, c.kind, c.i_id, changingId));
    }
    tx.commit();
    return Result::ok(id);
}

void PricedOpStore::remove(int id) {
    Command del(db_);
    del.setText(sqltext::pricedOpDelete());
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
        Query ins(db_);
        ins.setText(sqltext::normInsert());
        ins.setParam(QStringLiteral("o_id"), n.o_id);
        ins.setParam(QStringLiteral("norma"), number(n.norma));
        ins.setParam(QStringLiteral("prize"), number(n.prize));
        ins.setParam(QStringLiteral("price"), number(n.price));
        ins.open();
        return Result::ok(ins.isEmpty() ? 0 : toInt(ins.value(0, 0)));
    }
    Command upd(db_);
    upd.setText(sqltext::normUpdate());
    upd.setParam(QStringLiteral("o_id"), n.o_id);
    upd.setParam(QStringLiteral("norma"), number(n.norma));
    upd.setParam(QStringLiteral("prize"), number(n.prize));
    upd.setParam(QStringLiteral("price"), number(n.price));
    upd.setParam(QStringLiteral("id"), n.id);
    upd.exec();
    return Result::ok(toInt(n.id));
}

void PricedOpStore::removeNorm(int id) {
    Command del(db_);
    del.setText(sqltext::normDelete());
    del.setParam(QStringLiteral("id"), id);
    del.exec();
}

}  // namespace pricedops

}  // namespace mirn
