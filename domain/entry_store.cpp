#include "domain/entry_store.h"

#include "domain/clock.h"
#include "domain/limits.h"

#include <QHash>
#include <QLoggingCategory>
#include <QMap>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace mirn {

namespace entry {

namespace {
// The support log names every new entry: the store's own lines go with the statements'.
Q_LOGGING_CATEGORY(lcStore, "mirn.db")

// "new entry id 7", or the keys of many at once, a run of consecutive ones as a range.
void logNewIds(QList<qlonglong> ids) {
    if (ids.isEmpty()) return;
    if (ids.size() == 1) {
        qCInfo(lcStore).noquote() << "new entry id" << ids.front() << "in accounts_dep.smena";
        return;
    }
    std::sort(ids.begin(), ids.end());
    QStringList runs;
    for (qsizetype i = 0; i < ids.size();) {
        qsizetype j = i;
        while (j + 1 < ids.size() && ids[j + 1] == ids[j] + 1) ++j;
        runs << (j == i ? QString::number(ids[i]) : QString::number(ids[i]) + QLatin1Char('-') + QString::number(ids[j]));
        i = j + 1;
    }
    qCInfo(lcStore).noquote() << QStringLiteral("new entry ids %1 in accounts_dep.smena (%2 entries)")
                                     .arg(runs.join(QStringLiteral(", ")))
                                     .arg(ids.size());
}
}  // namespace

Decimal amount(const Record& r) {
    // priceText is the text the statements store; a price past the limits is refused
    // before it gets here, so the text is always a number.
    const Decimal price = Decimal::parse(priceText(r.cena)).value_or(Decimal());
    return price.times(qint64(r.kol_vo) - qint64(r.brak));
}

Decimal monthAmount(const Db& db, int w_id, const QDate& day) {
    return db.scalarDecimal(sqltext::monthAmount(w_id, day));
}

namespace {
// An entry from its fields by name: w_id, i_id, o_id, cena, kol_vo, brak, time, color, data, smena.
Record recordFrom(const std::function<QVariant(const QString&)>& field) {
    Record r;
    r.w_id = toInt(field(QStringLiteral("w_id")));
    r.i_id = toInt(field(QStringLiteral("i_id")));
    r.o_id = toInt(field(QStringLiteral("o_id")));
    r.cena = toDouble(field(QStringLiteral("cena")));
    r.kol_vo = toInt(field(QStringLiteral("kol_vo")));
    r.brak = toInt(field(QStringLiteral("brak")));
    r.time = toInt(field(QStringLiteral("time")));
    r.color = toInt(field(QStringLiteral("color")));
    const QVariant data = field(QStringLiteral("data"));
    if (data.typeId() == QMetaType::QDateTime) r.date = data.toDateTime().date();
    else if (data.typeId() == QMetaType::QDate) r.date = data.toDate();
    else r.date = QDate::fromString(data.toString().trimmed().left(10), Qt::ISODate);
    r.shift = toInt(field(QStringLiteral("smena")));
    return r;
}
}  // namespace

Record recordOf(const Query& row) {
    return recordFrom([&](const QString& name) { return row.field(name); });
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

namespace {
// Refused after the rollback, so that no lock is held while the user reads the message.
struct Refused {
    Result result;
};
Refused refuse(Status s, const QString& message) { return {Result::refuse(s, message)}; }

std::optional<Record> readStored(const Db& db, int id, bool lock) {
    Query q(db);
    q.setText(sqltext::storedEntry(id, lock));
    q.open();
    if (q.isEmpty()) return std::nullopt;
    return recordOf(q);
}

// The stored row a batch read (sqltext::storedEntry), none when there is no such entry.
std::optional<Record> storedOf(const StatementBatch::Outcome& o) {
    if (o.isEmpty()) return std::nullopt;
    return recordFrom([&](const QString& name) {
        for (int c = 0; c < o.fields.size(); ++c)
            if (o.fields[c].compare(name, Qt::CaseInsensitive) == 0) return o.value(0, c);
        return QVariant();
    });
}

// The row read locked after the locks of the day it had when first read: an entry
// moved meanwhile is refused as changed, a missing one as gone.
Record lockedRow(const std::optional<Record>& now, const Record& before) {
    if (!now) throw refuse(Status::Stale, kEntryGone);
    if (!(now->day() == before.day())) throw refuse(Status::Stale, kEntryChanged);
    return *now;
}

// The refusal when the worker's month as the batch summed it no longer fits the limit.
std::optional<QString> monthRefusal(const StatementBatch::Outcome& o) {
    if (o.isEmpty() || o.value().isNull()) return limits::checkAmount(Decimal());
    const auto d = Decimal::fromVariant(o.value());
    if (!d) throw DbError(QStringLiteral("not a number: ") + o.value().toString());
    return limits::checkAmount(*d);
}
}  // namespace

std::optional<Record> EntryStore::read(int id) const { return readStored(db_, id, false); }

// The statements of one change go to the server together, in the order of the lock
// protocol: the locks, the row read locked, the duplicate check, the write, the month's
// amount, the day postings. Their outcomes are read in that order, so a refusal stops
// the change where it would have stopped had they gone one by one, and the rollback
// takes back what the later ones did. A change or delete first reads the stored row
// (with the transaction's BEGIN) to know the day whose locks it takes.

Result EntryStore::insert(const Record& r) {
    if (auto refusal = outOfRange(r)) return Result::refuse(Status::Invalid, *refusal);
    try {
        Transaction t(db_);
        StatementBatch b(db_);
        timesheet_.lockDays(b, {r.day()});
        const int dup = b.add(sql::duplicateCheck(r));
        const int ins = b.add(sql::insert(r, clock::today()));
        const int month = b.add(sql::monthAmount(r.w_id, r.date));
        const int post = timesheet_.postDay(b, r.day(), true);
        b.run();
        if (toInt(b.at(dup).value()) != 0) throw refuse(Status::Duplicate, kDuplicateEntry);
        if (afterCheck) afterCheck();
        b.at(ins);
        if (auto refusal = monthRefusal(b.at(month))) throw refuse(Status::Invalid, *refusal);
        b.at(post);
        b.check();
        timesheet_.posted();
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
        const std::optional<Record> before = read(id);
        if (!before) throw refuse(Status::Stale, kEntryGone);
        StatementBatch b(db_);
        timesheet_.lockDays(b, {r.day(), before->day()});
        const int now = b.add(sql::storedEntry(id, true));
        const int dup = b.add(sql::duplicateCheck(r, id));
        const int upd = b.add(sql::update(id, r, clock::today()));
        const int month = b.add(sql::monthAmount(r.w_id, r.date));
        timesheet_.postDay(b, r.day(), true);
        // The day the entry left would otherwise keep its hours.
        if (!(before->day() == r.day())) timesheet_.postDay(b, before->day(), false);
        b.run();
        const Record stored = lockedRow(storedOf(b.at(now)), *before);
        if (!sameEntry(stored, seen)) throw refuse(Status::Stale, kEntryChanged);
        if (toInt(b.at(dup).value()) != 0) throw refuse(Status::Duplicate, kDuplicateEntry);
        if (afterCheck) afterCheck();
        b.at(upd);
        if (auto refusal = monthRefusal(b.at(month))) throw refuse(Status::Invalid, *refusal);
        b.check();
        timesheet_.posted();
        t.commit();
        return Result::ok(id);
    } catch (const Refused& refused) {
        return refused.result;
    }
}

BatchResult EntryStore::insertAll(const QList<Record>& records, bool skipRefused) {
    BatchOptions options;
    options.skipRefused = skipRefused;
    return insertAll(records, options);
}

namespace {
// Records per statement of a large batch: big enough that the statements cost little
// beside the rows, small enough that a cancel is seen soon.
constexpr qsizetype kBatchPart = 5000;

// What tells one entry of a date and shift from another (the duplicate check's fields).
QString entryKey(int w_id, int o_id, int i_id, const QDate& date, int shift, int color) {
    return QStringLiteral("%1/%2/%3/%4/%5/%6")
        .arg(w_id)
        .arg(o_id)
        .arg(i_id)
        .arg(date.toString(Qt::ISODate))
        .arg(shift)
        .arg(color);
}
QString entryKey(const Record& r) { return entryKey(r.w_id, r.o_id, r.i_id, r.date, r.shift, r.color); }
QString monthOf(int w_id, const QDate& d) {
    return QString::number(w_id) + QLatin1Char('/') + QString::number(d.year() * 100 + d.month());
}
}  // namespace

BatchResult EntryStore::insertAll(const QList<Record>& records, const BatchOptions& options) {
    const qsizetype total = records.size();
    // Checking and storing each count as one step of every record.
    qsizetype done = 0;
    const auto advance = [&](qsizetype by) {
        done += by;
        if (options.progress && !options.progress(done, 2 * total)) throw Cancelled();
    };
    QList<Day> days;
    days.reserve(total);
    for (const Record& r : records) days << r.day();
    BatchResult out;
    Transaction t(db_);
    timesheet_.lockDays(days);

    // What is stored already, read for all records in a few statements: whether each
    // is a duplicate of a stored entry, and each worker's month as stored.
    QList<std::optional<QString>> outside(total);
    QList<bool> stored(total, false);
    QHash<QString, Decimal> month;  // "w_id/yyyymm" -> amount stored
    sql::NumberedRecords part;
    const auto check = [&] {
        if (part.isEmpty()) return;
        Query q(db_);
        q.setText(sql::batchChecks(part));
        q.open();
        for (int row = 0; row < q.recordCount(); ++row) {
            const int k = toInt(q.value(row, 0));
            stored[k] = q.value(row, 1).toBool();
            const QString key = monthOf(records[k].w_id, records[k].date);
            if (!month.contains(key)) month.insert(key, Decimal::fromVariant(q.value(row, 2)).value_or(Decimal()));
        }
        advance(part.size());
        part.clear();
    };
    for (int k = 0; k < total; ++k) {
        outside[k] = outOfRange(records[k]);
        if (outside[k]) continue;
        part << std::pair{k, records[k]};
        if (part.size() == kBatchPart) check();
    }
    check();

    // In the batch's order, as if each record were stored before the next is checked:
    // an earlier accepted record counts as stored, in the duplicates and in the month.
    QHash<QString, int> accepted;  // key -> index of the accepted record
    sql::NumberedRecords toStore;
    for (int k = 0; k < total; ++k) {
        const Record& r = records[k];
        std::optional<QString> refusal = outside[k];
        Status status = Status::Invalid;
        const QString key = refusal ? QString() : entryKey(r);
        if (!refusal) {
            const auto earlier = accepted.constFind(key);
            if (earlier != accepted.cend()) {
                refusal = options.repeats ? options.repeats(*earlier) : kDuplicateEntry;
                status = Status::Duplicate;
            } else if (stored[k]) {
                refusal = kDuplicateEntry;
                status = Status::Duplicate;
            }
        }
        if (!refusal) {
            const QString m = monthOf(r.w_id, r.date);
            const Decimal sum = month.value(m) + amount(r);
            refusal = limits::checkAmount(sum);
            if (!refusal) month.insert(m, sum);
        }
        if (refusal) {
            out.items << Result::refuse(status, *refusal);
            continue;
        }
        accepted.insert(key, k);
        out.items << Result::ok();
        toStore << std::pair{k, r};
    }
    if (options.checkOnly || (!options.skipRefused && !out.allSaved())) return out;  // rolled back: nothing stored

    const QDate today = clock::today();
    QMap<QDate, QList<std::pair<int, int>>> posted;  // date -> (worker, shift) pairs
    QSet<QString> postedDay;
    for (qsizetype from = 0; from < toStore.size(); from += kBatchPart) {
        const sql::NumberedRecords chunk = toStore.mid(from, kBatchPart);
        Query q(db_);
        q.setText(sql::batchInsert(chunk, today));
        q.open();
        // No two accepted records share a key: each new entry is found by it.
        QList<qlonglong> ids;
        for (int row = 0; row < q.recordCount(); ++row) {
            auto v = [&](const char* name) { return q.value(row, QLatin1String(name)); };
            const QVariant data = v("data");
            const QDate date = data.typeId() == QMetaType::QDateTime ? data.toDateTime().date() : data.toDate();
            const auto found = accepted.constFind(
                entryKey(toInt(v("w_id")), toInt(v("o_id")), toInt(v("i_id")), date, toInt(v("smena")), toInt(v("color"))));
            if (found != accepted.cend()) out.items[*found].id = v("id").toLongLong();
            ids << v("id").toLongLong();
        }
        logNewIds(ids);
        for (const auto& [k, r] : chunk) {
            const QString day = QString::number(r.w_id) + QLatin1Char('/') + QString::number(r.shift) +
                                QLatin1Char('/') + r.date.toString(Qt::ISODate);
            if (postedDay.contains(day)) continue;
            postedDay.insert(day);
            posted[r.date] << std::pair{r.w_id, r.shift};
        }
        advance(chunk.size());
    }
    // The dates' postings go to the server a hundred at a time, one round trip each: a
    // file of many days posts for a while, and a cancel is still seen between them.
    StatementBatch postings(db_);
    const auto sendPostings = [&] {
        postings.run();
        postings.check();
        postings = StatementBatch(db_);
    };
    for (auto it = posted.cbegin(); it != posted.cend(); ++it) {
        postings.add(sql::batchPostDate(it.key(), it.value()));
        if (postings.size() == 100) {
            sendPostings();
            advance(0);
        }
    }
    sendPostings();
    // The last word before the commit: the refused records were checked but are not
    // stored, so the count ends at the total here.
    advance(2 * total - done);
    t.commit();
    out.stored = true;
    return out;
}

Result EntryStore::remove(int id, const Record& seen) {
    try {
        Transaction t(db_);
        const std::optional<Record> before = read(id);
        if (!before) throw refuse(Status::Stale, kEntryGone);
        StatementBatch b(db_);
        timesheet_.lockDays(b, {before->day()});
        const int now = b.add(sql::storedEntry(id, true));
        const int del = b.add(sql::deleteEntry(id));
        timesheet_.postDay(b, before->day(), false);
        b.run();
        const Record stored = lockedRow(storedOf(b.at(now)), *before);
        if (!sameEntry(stored, seen)) throw refuse(Status::Stale, kEntryChanged);
        b.at(del);
        b.check();
        timesheet_.posted();
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
        const std::optional<Record> before = read(id);
        if (!before) throw refuse(Status::Stale, kEntryGone);
        StatementBatch b(db_);
        timesheet_.lockDays(b, {before->day()});
        const int now = b.add(sql::storedEntry(id, true));
        Command c(db_);
        c.setText(sql::confirm());
        c.setParam(QStringLiteral("ok"), ok);
        c.setParam(QStringLiteral("id"), id);
        b.add(c);
        b.run();
        lockedRow(storedOf(b.at(now)), *before);
        b.check();
        t.commit();
        return Result::ok(id);
    } catch (const Refused& refused) {
        return refused.result;
    }
}

}  // namespace entry

}  // namespace mirn
