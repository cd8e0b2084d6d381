#pragma once
// Shift entries (accounts_dep.smena): saving, changing, deleting and confirming them.
// Every change runs in one transaction with its day postings, through the timesheet
// service and its lock protocol (domain/locks.h).
#include "domain/entry_rules.h"
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
    double cena = 0;  // final price of a piece
    int kol_vo = 0;
    int brak = 0;
    int time = 0;
    int color = 0;
    QDate date;
    int shift = 1;
    Day day() const { return {w_id, date, shift}; }
};

// The statement texts, exactly as the database is given them.
namespace sql {
QString duplicateCheck(const Record& r);                 // a new entry
QString duplicateCheck(const Record& r, int excludeId);  // a change of entry excludeId
QString insert(const Record& r, const QDate& enteredOn);
QString update(int id, const Record& r, const QDate& enteredOn);
QString deleteEntry(int id);
}  // namespace sql

// The first limit a record's values break (see the limits in entry_rules.h), or none.
std::optional<QString> outOfRange(const Record& r);

class EntryStore {
public:
    // connection: the name of an open connection; empty for the application's own.
    explicit EntryStore(QString connection = {});

    enum class Outcome { Saved, Duplicate, Invalid };

    // A new entry with "no" as its confirmation, and its day posted.
    Outcome insert(const Record& r);
    // A change of entry id; previous is the day the entry had, recounted too when it moves.
    Outcome update(int id, const Record& r, const Day& previous);
    // Many new entries in one transaction: the ones that would be duplicates (of stored
    // entries or of each other), break a limit or take the worker's month past its sum
    // are refused; returns their indexes, and into reasons (when given) the refusal of
    // each, in the same order. With skipRefused the others are stored; without it nothing
    // is stored unless none is refused.
    QList<int> insertAll(const QList<Record>& records, bool skipRefused, QStringList* reasons = nullptr);
    // Deletes entry id and recounts its day.
    void remove(int id, const Day& day);
    // Sets the confirmation mark ("ok", "да" or "no") of entry id.
    void setConfirmation(int id, const QString& ok);

    // The day postings of this store's changes.
    timesheet::Service& timesheet() { return timesheet_; }

    // The message of the last refusal (Duplicate or Invalid).
    const QString& refusal() const { return refusal_; }

    // Runs inside the transaction right after the duplicate check (tests hold a save
    // there to let a second client in).
    std::function<void()> afterCheck;

private:
    int count(const QString& sql) const;
    // The refusal when the worker's month, as stored plus adding, no longer fits the
    // month's sums (adding is 0 once the entry itself is stored).
    std::optional<QString> monthAmountRefusal(const Record& r, double adding = 0) const;
    QString connection_;
    timesheet::Service timesheet_;
    QString refusal_;
};

}  // namespace entry

}  // namespace mirn
