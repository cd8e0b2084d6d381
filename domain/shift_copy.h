#pragma once
// Copying a shift: every entry of one date and shift becomes a new entry of another
// date and shift, as if a foreman had entered it there today. Quantity, hours and
// colour are taken over; rejects start at 0 and the confirmation at "no", as in any new
// entry; the price is the operation's lowest norm price as the norms stand now, times
// the coefficients of the target's day off and shift. All new entries and their day
// postings go in one transaction through EntryStore::insertAll (the lock protocol of
// domain/locks.h); an entry that cannot be copied is skipped with its reason and does
// not keep the others out.
//
// A duplicate is what the entry dialog refuses as one: an entry of the same worker,
// priced operation, product and colour already stored on the target date and shift
// (or copied there a moment before by the same copy).
#include "domain/entry_store.h"
#include "domain/result.h"

#include <QDate>
#include <QList>
#include <QString>

namespace mirn {

namespace entry {

struct ShiftRef {
    QDate date;
    int shift = 1;  // 1..3, 4 overtime
    bool operator==(const ShiftRef&) const = default;
};

// One entry of the source shift and what became of it.
struct CopiedEntry {
    int sourceId = 0;
    QString worker;     // the worker's name as the journal shows it; the number when unknown
    QString operation;  // the operation description (mark; type; kind)
    Record record;      // the new entry; for a skipped one, as far as it was made
    QString reason;     // why it was skipped; empty when copied
    int newId = 0;      // the stored entry's key, once copied
};

struct CopyResult {
    QList<CopiedEntry> copied;
    QList<CopiedEntry> skipped;
};

// The working day before a date: the day before, or the Friday before a weekend.
QDate previousWorkingDay(const QDate& date);

// Copies every entry of `from` to `to`; dayOff: the target day is a day off (doubles
// the price, as the journal's "Выходной" box does for a picked operation). Database
// failures (a closed month among them) throw, with nothing stored.
CopyResult copyShift(const ShiftRef& from, const ShiftRef& to, bool dayOff, const Db& db = {});

// What copyShift would store, without storing anything: `copied` the entries that can be
// priced, each with its new record; `skipped` those that cannot, with the reason.
// Duplicates and limits are checked only when the entries are stored.
CopyResult previewCopy(const ShiftRef& from, const ShiftRef& to, bool dayOff, const Db& db = {});
// Stores the chosen entries of a preview in one transaction, as copyShift does; the
// copied ones come back with their new keys.
CopyResult copyEntries(const QList<CopiedEntry>& chosen, const Db& db = {});

// Takes a copy back: deletes exactly the entries it stored and recounts their days, in
// one transaction under the lock protocol. Refused, with nothing deleted, when any of
// them is gone or was changed since (another quantity, price, date, a confirmation...).
Result undoCopy(const QList<CopiedEntry>& copied, const Db& db = {});

// One line of the summary for a skipped entry: who, what, colour, and why.
QString skippedLine(const CopiedEntry& e);
// What the user is told after a copy: how many entries were copied, and every
// skipped one with its reason.
QString copySummary(const CopyResult& r);

}  // namespace entry

}  // namespace mirn
