#include "domain/entry_store.h"

#include "domain/clock.h"
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

Record recordOf(const Query& row) {
    Record r;
    r.w_id = row.asInt(QStringLiteral("w_id"));
    r.i_id = row.asInt(QStringLiteral("i_id"));
    r.o_id = row.asInt(QStringLiteral("o_id"));
    r.cena = row.asDouble(QStringLiteral("cena"));
    r.kol_vo = row.asInt(QStringLiteral("kol_vo"));
    r.brak = row.asInt(QStringLiteral("brak"));
    r.time = row.asInt(QStringLiteral("time"));
    r.color = row.asInt(QStringLiteral("color"));
    const QVariant data = row.field(QStringLiteral("data"));
    if (data.typeId() == QMetaType::QDateTime) r.date = data.toDateTime().date();
    else if (data.typeId() == QMetaType::QDate) r.date = data.toDate();
    else r.date = QDate::fromString(data.toString().trimmed().left(10), Qt::ISODate);
    r.shift = row.asInt(QStringLiteral("smena"));
    return r;
}

bool sameEntry(const Record& a, const Record& b) {
    return a.w_id == b.w_id && a.i_id == b.i_id && a.o_id == b.o_id && priceText(a.cena) == priceText(b.cena) &&
           a.kol_vo == b.kol_vo && a.brak == b.brak && a.time == b.time && a.color == b.color && a.date == b.date &&
           a.shift == b.shift;
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

namespace {
std::optional<Record> readStored(const Db& db, int id, bool lock) {
    Query q(db);
    q.setText(sqltext::storedEntry(id, lock));
    q.open();
    if (q.isEmpty()) return std::nullopt;
    return recordOf(q);
}
}  // namespace

std::optional<Record> EntryStore::read(int id) const { return readStored(db_, id, false); }

std::optional<Record> EntryStore::lockStored(int id, const QList<Day>& also) const {
    const auto read = [&](bool lock) { return readStored(db_, id, lock); };
    // The day is known only from the row, and the locks come before the row lock (a
    // whole-month writer holds its month and then deletes rows): read, lock, read again.
    const std::optional<Record> before = read(false);
    QList<Day> days = also;
    if (before) days << before->day();
    timesheet_.lockDays(days);
    std::optional<Record> now = read(true);
    if (now && before && !(now->day() == before->day())) throw refuse(Status::Stale, kEntryChanged);
    return now;
}

Result EntryStore::insert(const Record& r) {
    if (auto refusal = outOfRange(r)) return Result::refuse(Status::Invalid, *refusal);
    try {
        Transaction t(db_);
        timesheet_.lockDays({r.day()});
        if (db_.scalarInt(sql::duplicateCheck(r)) != 0) throw refuse(Status::Duplicate, kDuplicateEntry);
        if (afterCheck) afterCheck();
        db_.exec(sql::insert(r, clock::today()));
        if (auto refusal = monthAmountRefusal(r)) throw refuse(Status::Invalid, *refusal);
        timesheet_.postDay(r.day(), true);
        t.commit();
        return Result::ok();
    } catch (const Refused& refused) {
        return refused.result;
    }
}

Result EntryStore::update(int id, const Record& r, const Record& seen) {
    if (auto refusal = outOfRange(r)) return Result::refuse(Status::Invalid, *refusal);
    try {
        Transaction t(db_);
        const std::optional<Record> stored = lockStored(id, {r.day()});
        if (!stored) throw refuse(Status::Stale, kEntryGone);
        if (!sameEntry(*stored, seen)) throw refuse(Status::Stale, kEntryChanged);
        if (db_.scalarInt(sql::duplicateCheck(r, id)) != 0) throw refuse(Status::Duplicate, kDuplicateEntry);
        if (afterCheck) afterCheck();
        db_.exec(sql::update(id, r, clock::today()));
        if (auto refusal = monthAmountRefusal(r)) throw refuse(Status::Invalid, *refusal);
        timesheet_.postDay(r.day(), true);
        // The day the entry left would otherwise keep its hours.
        if (!(stored->day() == r.day())) timesheet_.postDay(stored->day(), false);
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
        db_.exec(sql::insert(r, clock::today()));
        out.items << Result::ok();
        if (!posted.contains(r.day())) posted << r.day();
    }
    if (!skipRefused && !out.allSaved()) return out;  // rolled back: nothing stored
    for (const Day& d : posted) timesheet_.postDay(d, true);
    t.commit();
    out.stored = true;
    return out;
}

Result EntryStore::remove(int id, const Record& seen) {
    try {
        Transaction t(db_);
        const std::optional<Record> stored = lockStored(id, {});
        if (!stored) throw refuse(Status::Stale, kEntryGone);
        if (!sameEntry(*stored, seen)) throw refuse(Status::Stale, kEntryChanged);
        db_.exec(sql::deleteEntry(id));
        timesheet_.postDay(stored->day(), false);
        t.commit();
        return Result::ok(id);
    } catch (const Refused& refused) {
        return refused.result;
    }
}

Result EntryStore::setConfirmation(int id, const QString& ok) {
    try {
        Transaction t(db_);
        // The confirmation posts no hours, but it is a change of the entry like any
        // other: it waits for a rebuild or a delete of its month, never the other way.
        if (!lockStored(id, {})) throw refuse(Status::Stale, kEntryGone);
        Command c(db_);
        c.setText(sql::confirm());
        c.setParam(QStringLiteral("ok"), ok);
        c.setParam(QStringLiteral("id"), id);
        c.exec();
        t.commit();
        return Result::ok(id);
    } catch (const Refused& refused) {
        return refused.result;
    }
}

}  // namespace entry

}  // namespace mirn
