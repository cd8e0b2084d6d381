#include "domain/entry_store.h"

#include "domain/limits.h"

#include <cmath>

namespace mirn {

namespace entry {

Decimal amount(const Record& r) {
    // priceText is the text the statements store; a price past the limits is refused
    // before it gets here, so the text is always a number.
    const Decimal price = Decimal::parse(priceText(r.cena)).value_or(Decimal());
    return price.times(qint64(r.kol_vo) - qint64(r.brak));
}

Decimal monthAmount(const Db& db, int w_id, const QDate& day) {
    return db.scalarDecimal(sqltext::monthAmount(w_id, day));
}

std::optional<QString> outOfRange(const Record& r) {
    const std::pair<const limits::Range*, int> fields[] = {{&limits::kQuantity, r.kol_vo},
                                                           {&limits::kRejects, r.brak},
                                                           {&limits::kHours, r.time},
                                                           {&limits::kColour, r.color}};
    for (const auto& [range, value] : fields)
        if (auto refusal = limits::check(*range, double(value))) return refusal;
    if (!std::isfinite(r.cena) || r.cena < 0) return limits::check(limits::kPrice, r.cena);
    return limits::checkAmount(amount(r));
}

EntryStore::EntryStore(Db db) : db_(std::move(db)), timesheet_(db_) {}

std::optional<QString> EntryStore::monthAmountRefusal(const Record& r, Decimal adding) const {
    return limits::checkAmount(monthAmount(db_, r.w_id, r.date) + adding);
}

namespace {
// Refused after the rollback, so that no lock is held while the user reads the message.
struct Refused {
    Result result;
};
Refused refuse(Status s, const QString& message) { return {Result::refuse(s, message)}; }
}  // namespace

Result EntryStore::insert(const Record& r) {
    if (auto refusal = outOfRange(r)) return Result::refuse(Status::Invalid, *refusal);
    try {
        Transaction t(db_);
        timesheet_.lockDays({r.day()});
        if (db_.scalarInt(sql::duplicateCheck(r)) != 0) throw refuse(Status::Duplicate, kDuplicateEntry);
        if (afterCheck) afterCheck();
        db_.exec(sql::insert(r, QDate::currentDate()));
        if (auto refusal = monthAmountRefusal(r)) throw refuse(Status::Invalid, *refusal);
        timesheet_.postDay(r.day(), true);
        t.commit();
        return Result::ok();
    } catch (const Refused& refused) {
        return refused.result;
    }
}

Result EntryStore::update(int id, const Record& r, const Day& previous) {
    if (auto refusal = outOfRange(r)) return Result::refuse(Status::Invalid, *refusal);
    try {
        Transaction t(db_);
        timesheet_.lockDays({r.day(), previous});
        if (db_.scalarInt(sql::duplicateCheck(r, id)) != 0) throw refuse(Status::Duplicate, kDuplicateEntry);
        if (afterCheck) afterCheck();
        db_.exec(sql::update(id, r, QDate::currentDate()));
        if (auto refusal = monthAmountRefusal(r)) throw refuse(Status::Invalid, *refusal);
        timesheet_.postDay(r.day(), true);
        // The day the entry left would otherwise keep its hours.
        if (!(previous == r.day())) timesheet_.postDay(previous, false);
        t.commit();
        return Result::ok(id);
    } catch (const Refused& refused) {
        return refused.result;
    }
}

BatchResult EntryStore::insertAll(const QList<Record>& records, bool skipRefused) {
    QList<Day> days;
    for (const Record& r : records) days << r.day();
    BatchResult out;
    Transaction t(db_);
    timesheet_.lockDays(days);
    QList<Day> posted;
    for (const Record& r : records) {
        std::optional<QString> refusal = outOfRange(r);
        Status status = Status::Invalid;
        if (!refusal && db_.scalarInt(sql::duplicateCheck(r)) != 0) {
            refusal = kDuplicateEntry;
            status = Status::Duplicate;
        }
        // The earlier records of the batch are stored by now and counted in the month.
        if (!refusal) refusal = monthAmountRefusal(r, amount(r));
        if (refusal) {
            out.items << Result::refuse(status, *refusal);
            continue;
        }
        db_.exec(sql::insert(r, QDate::currentDate()));
        out.items << Result::ok();
        if (!posted.contains(r.day())) posted << r.day();
    }
    if (!skipRefused && !out.allSaved()) return out;  // rolled back: nothing stored
    for (const Day& d : posted) timesheet_.postDay(d, true);
    t.commit();
    out.stored = true;
    return out;
}

void EntryStore::remove(int id, const Day& day) {
    Transaction t(db_);
    timesheet_.lockDays({day});
    db_.exec(sql::deleteEntry(id));
    timesheet_.postDay(day, false);
    t.commit();
}

void EntryStore::setConfirmation(int id, const QString& ok) {
    Command c(db_);
    c.setText(sql::confirm());
    c.setParam(QStringLiteral("ok"), ok);
    c.setParam(QStringLiteral("id"), id);
    c.exec();
}

}  // namespace entry

}  // namespace mirn
