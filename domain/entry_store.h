#pragma once
// Shift entries (accounts_dep.smena): saving, changing, deleting and confirming them.
// Every change runs in one transaction with its day postings, through the timesheet
// service and its lock protocol (domain/locks.h).
#include "domain/db.h"
#include "domain/decimal.h"
#include "domain/entry_rules.h"
#include "domain/result.h"
#include "domain/sqltext.h"
#include "domain/timesheet_service.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace mirn {

namespace entry {

using Day = locks::Day;

// The values of an entry as they go into accounts_dep.smena.
struct Record {
    int w_id = 0;
    int i_id = 0;
    int o_id = 0;
    double cena = 0;  // final price of a piece, stored as the schema's double
    int kol_vo = 0;
    int brak = 0;
    int time = 0;
    int color = 0;
    QDate date;
    int shift = 1;
    Day day() const { return {w_id, date, shift}; }
};

// The statement texts live in the catalogue (domain/sqltext.h).
namespace sql = mirn::sqltext;

// The entry's amount, quantity less rejects times the price as it is stored (four
// decimals), exactly.
Decimal amount(const Record& r);
// The worker's earnings of the month holding `day`, as stored, exactly.
Decimal monthAmount(const Db& db, int w_id, const QDate& day);

// The entry a query's current row holds (the journal's shift queries, the stored row):
// fields w_id, i_id, o_id, cena, kol_vo, brak, time, color, data, smena.
Record recordOf(const Query& row);
// The same entry as far as a change of it goes: worker, product, operation, price as
// stored, quantity, rejects, hours, colour, date and shift.
bool sameEntry(const Record& a, const Record& b);

inline const QString kEntryGone = QStringLiteral(
    "Эта позиция уже удалена на другом рабочем месте. Обновите журнал (F5).");
inline const QString kEntryChanged = QStringLiteral(
    "Эту позицию только что изменили на другом рабочем месте. Обновите журнал (F5) и повторите действие.");

// The first limit a record's values break (see the limits in entry_rules.h), or none.
std::optional<QString> outOfRange(const Record& r);

// A long batch given up by the user: nothing of it is stored.
class Cancelled : public std::runtime_error {
public:
    Cancelled() : std::runtime_error("cancelled") {}
};

struct BatchOptions {
    // Store the accepted records even when others are refused.
    bool skipRefused = false;
    // Check and refuse as for storing, and store nothing.
    bool checkOnly = false;
    // The refusal of a record that repeats an earlier accepted record of the batch (its
    // index); the duplicate sentence when not given.
    std::function<QString(int earlier)> repeats;
    // Called as the records are checked and stored (done of total, each counted once
    // per step); answering false gives the batch up: Cancelled is thrown, nothing stored.
    std::function<bool(qsizetype done, qsizetype total)> progress;
};

class EntryStore {
public:
    explicit EntryStore(Db db = {});

    // A new entry with "no" as its confirmation, and its day posted.
    Result insert(const Record& r);
    // A change of entry id to r; seen is the entry as the caller read it. The stored row
    // is read, then read again locked under the locks of its day, inside the transaction: the days it really leaves and enters
    // are recounted, and an entry deleted or changed meanwhile is refused (Stale).
    Result update(int id, const Record& r, const Record& seen);
    // Many new entries in one transaction: the ones that would be duplicates (of stored
    // entries or of each other), break a limit or take the worker's month past its sum
    // are refused, each with its sentence. With skipRefused the others are stored;
    // without it nothing is stored unless none is refused.
    // The statements are as many for 300 records as for one, and grow by one per
    // thousands of records for a large batch. A stored record's Result carries its key.
    BatchResult insertAll(const QList<Record>& records, bool skipRefused);
    BatchResult insertAll(const QList<Record>& records, const BatchOptions& options);
    // Deletes entry id, as the caller saw it, and recounts the day it really had;
    // refused (Stale) when it was deleted or changed meanwhile.
    Result remove(int id, const Record& seen);
    // Sets the confirmation mark ("ok", "да" or "no") of entry id, under the locks of
    // its day; refused (Stale) when the entry is gone.
    Result setConfirmation(int id, const QString& ok);

    // Entry id as it is stored now; none when there is no such entry.
    std::optional<Record> read(int id) const;

    // The day postings of this store's changes.
    timesheet::Service& timesheet() { return timesheet_; }

    // Runs inside the transaction, its locks held, once the duplicate check has passed
    // (tests hold a save there to let a second client in).
    std::function<void()> afterCheck;

private:
    Db db_;
    timesheet::Service timesheet_;
};

}  // namespace entry

}  // namespace mirn
