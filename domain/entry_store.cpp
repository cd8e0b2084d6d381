#include "domain/entry_store.h"

#include "domain/clock.h"
#include "domain/db.h"
#include "domain/limits.h"

#include <cmath>

namespace mirn {

namespace entry {

namespace sql {

namespace {
QString n(qint64 v) { return QString::number(v); }
QString toDate(const QDate& d) { return QStringLiteral("to_date('") + dateText(d) + QStringLiteral("', 'DD.MM.YYYY')"); }
QString sameEntry(const Record& r) {
    return QStringLiteral("select count(id) as cnt from accounts_dep.SMENA where w_id=") + n(r.w_id) +
           QStringLiteral(" and o_id=") + n(r.o_id) + QStringLiteral(" and i_id=") + n(r.i_id) +
           QStringLiteral(" and data=") + toDate(r.date) + QStringLiteral(" and smena=") + n(r.shift);
}
}  // namespace

QString duplicateCheck(const Record& r) { return sameEntry(r) + QStringLiteral(" and color=") + n(r.color); }

QString duplicateCheck(const Record& r, int excludeId) {
    return sameEntry(r) + QStringLiteral(" and id<>") + n(excludeId) + QStringLiteral(" and color=") + n(r.color);
}

QString insert(const Record& r, const QDate& enteredOn) {
    return QStringLiteral(
               "insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, "
               "vvod,ok, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values(") +
           n(r.w_id) + QStringLiteral(", ") + n(r.i_id) + QStringLiteral(", ") + n(r.o_id) + QStringLiteral(", ") +
           priceText(r.cena) + QStringLiteral(",") + n(r.kol_vo) + QStringLiteral(", ") + n(r.brak) +
           QStringLiteral(", to_date('") + dateText(r.date) + QStringLiteral("', 'DD.MM.YYYY HH24:MI:SS'), ") +
           n(r.shift) + QStringLiteral(", ") + n(r.color) + QStringLiteral(", ") + n(r.time) + QStringLiteral(", '") +
           dateText(enteredOn) + QStringLiteral("', 'no', 0, 0, 0, 0, 0, 0)");
}

QString update(int id, const Record& r, const QDate& enteredOn) {
    return QStringLiteral("update accounts_dep.SMENA set w_id=") + n(r.w_id) + QStringLiteral(", i_id=") +
           n(r.i_id) + QStringLiteral(", o_id=") + n(r.o_id) + QStringLiteral(", cena=") + priceText(r.cena) +
           QStringLiteral(", kol_vo=") + n(r.kol_vo) + QStringLiteral(", brak=") + n(r.brak) +
           QStringLiteral(", data=") + toDate(r.date) + QStringLiteral(", smena=") + n(r.shift) +
           QStringLiteral(", color=") + n(r.color) + QStringLiteral(", time=") + n(r.time) +
           QStringLiteral(", vvod='") + dateText(enteredOn) +
           QStringLiteral("', prize=0, id_doc=0, id_doc_item=0, f_gds_qty_use=0, id_gds_use=0, id_cons_use=0") +
           QStringLiteral(" where id=") + n(id);
}

QString deleteEntry(int id) { return QStringLiteral("delete from accounts_dep.smena where id=") + n(id); }

// The worker's earnings of the entry's month, as the timesheet's month query adds them up.
QString monthAmount(const Record& r) {
    const QDate first(r.date.year(), r.date.month(), 1);
    return QStringLiteral("select coalesce(sum(cena*(kol_vo-brak)), 0) from accounts_dep.smena where w_id=") +
           n(r.w_id) + QStringLiteral(" and data>=") + toDate(first) + QStringLiteral(" and data<") +
           toDate(first.addMonths(1));
}

}  // namespace sql

std::optional<QString> outOfRange(const Record& r) {
    const std::pair<const limits::Range*, int> fields[] = {{&limits::kQuantity, r.kol_vo},
                                                           {&limits::kRejects, r.brak},
                                                           {&limits::kHours, r.time},
                                                           {&limits::kColour, r.color}};
    for (const auto& [range, value] : fields)
        if (auto refusal = limits::check(*range, double(value))) return refusal;
    if (!std::isfinite(r.cena) || r.cena < 0) return limits::check(limits::kPrice, r.cena);
    const double amount = std::abs(double(r.kol_vo - r.brak) * r.cena);
    if (amount > limits::kMonthAmountMax) return limits::amountMessage(amount);
    return std::nullopt;
}

EntryStore::EntryStore(QString connection) : connection_(std::move(connection)), timesheet_(connection_) {}

int EntryStore::count(const QString& text) const {
    Query q(connection_);
    q.setText(text);
    q.open();
    return q.isEmpty() ? 0 : toInt(q.value(0, 0));
}

std::optional<QString> EntryStore::monthAmountRefusal(const Record& r, double adding) const {
    Query amount(connection_);
    amount.setText(sql::monthAmount(r));
    amount.open();
    const double month = toDouble(amount.value(0, 0)) + adding;
    if (std::abs(month) > limits::kMonthAmountMax) return limits::amountMessage(month);
    return std::nullopt;
}

namespace {
// Refused after the rollback, so that no lock is held while the user reads the message.
struct Refused {
    EntryStore::Outcome outcome;
    QString message;
};
}  // namespace

EntryStore::Outcome EntryStore::insert(const Record& r) {
    if (auto refusal = outOfRange(r)) {
        refusal_ = *refusal;
        return Outcome::Invalid;
    }
    try {
        Transaction t(connection_);
        timesheet_.lockDays({r.day()});
        if (count(sql::duplicateCheck(r)) != 0) throw Refused{Outcome::Duplicate, kDuplicateEntry};
        if (afterCheck) afterCheck();
        Command c(connection_);
        c.setText(sql::insert(r, clock::today()));
        c.exec();
        if (auto refusal = monthAmountRefusal(r)) throw Refused{Outcome::Invalid, *refusal};
        timesheet_.postDay(r.day(), true);
        t.commit();
        return Outcome::Saved;
    } catch (const Refused& refused) {
        refusal_ = refused.message;
        return refused.outcome;
    }
}

EntryStore::Outcome EntryStore::update(int id, const Record& r, const Day& previous) {
    if (auto refusal = outOfRange(r)) {
        refusal_ = *refusal;
        return Outcome::Invalid;
    }
    try {
        Transaction t(connection_);
        timesheet_.lockDays({r.day(), previous});
        if (count(sql::duplicateCheck(r, id)) != 0) throw Refused{Outcome::Duplicate, kDuplicateEntry};
        if (afterCheck) afterCheck();
        Command c(connection_);
        c.setText(sql::update(id, r, clock::today()));
        c.exec();
        if (auto refusal = monthAmountRefusal(r)) throw Refused{Outcome::Invalid, *refusal};
        timesheet_.postDay(r.day(), true);
        // The day the entry left would otherwise keep its hours.
        if (!(previous == r.day())) timesheet_.postDay(previous, false);
        t.commit();
        return Outcome::Saved;
    } catch (const Refused& refused) {
        refusal_ = refused.message;
        return refused.outcome;
    }
}

QList<int> EntryStore::insertAll(const QList<Record>& records, bool skipRefused, QStringList* reasons) {
    QList<Day> days;
    for (const Record& r : records) days << r.day();
    QList<int> skipped;
    Transaction t(connection_);
    timesheet_.lockDays(days);
    QList<Day> posted;
    Command c(connection_);
    for (int i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        std::optional<QString> refusal = outOfRange(r);
        if (!refusal && count(sql::duplicateCheck(r)) != 0) refusal = kDuplicateEntry;
        // The earlier records of the batch are stored by now and counted in the month.
        if (!refusal) refusal = monthAmountRefusal(r, double(r.kol_vo - r.brak) * r.cena);
        if (refusal) {
            skipped << i;
            if (reasons) *reasons << *refusal;
            continue;
        }
        c.setText(sql::insert(r, clock::today()));
        c.exec();
        if (!posted.contains(r.day())) posted << r.day();
    }
    if (!skipRefused && !skipped.isEmpty()) return skipped;  // rolled back: nothing stored
    for (const Day& d : posted) timesheet_.postDay(d, true);
    t.commit();
    return skipped;
}

void EntryStore::remove(int id, const Day& day) {
    Transaction t(connection_);
    timesheet_.lockDays({day});
    Command c(connection_);
    c.setText(sql::deleteEntry(id));
    c.exec();
    timesheet_.postDay(day, false);
    t.commit();
}

void EntryStore::setConfirmation(int id, const QString& ok) {
    Command c(connection_);
    c.setText(QStringLiteral("update accounts_dep.smena set ok=:ok where id=:id"));
    c.setParam(QStringLiteral("ok"), ok);
    c.setParam(QStringLiteral("id"), id);
    c.exec();
}

}  // namespace entry

}  // namespace mirn
