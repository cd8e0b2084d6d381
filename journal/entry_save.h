#pragma once
// Storing shift entries and keeping the hours timesheet in line with them.
// Every save or delete runs in one transaction together with its day posting, and
// takes a lock on the worker's timesheet month (worker, shift, month) first, so that
// two clients cannot both pass the duplicate check or both create the month's row.
#include "core/db.h"

#include <QDate>
#include <QList>
#include <QString>
#include <functional>

namespace entry {

// One worker's day in one shift: what the timesheet holds per day column.
struct Day {
    int w_id = 0;
    QDate date;
    int shift = 1;
    bool operator==(const Day&) const = default;
};

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
QString timesheetCount(const Day& d);
QString daySum(const Day& d);
QString timesheetInsert(const Day& d, int tim);
QString timesheetUpdate(const Day& d, int tim);
QString lock(qint64 key);
}  // namespace sql

// The advisory lock key of a worker's timesheet row: worker, shift, year and month.
qint64 lockKey(const Day& d);

class EntryStore {
public:
    // The components the store runs its statements through.
    struct Parts {
        QString connection;  // empty: the shared connection
        Query* control = nullptr;
        Command* smenaIU = nullptr;
        Command* hTabelIns = nullptr;
        Command* delSmena = nullptr;
        // Shows a refusal (the duplicate message) once the transaction has ended.
        std::function<void(const QString& message)> report;
    };

    explicit EntryStore(Parts parts);
    // The shared connection: the data module's Control, H_Tabel_ins and DelSmena, the
    // application's error box, and the dialog's own insert/update command.
    static Parts shared(Command& smenaIU);

    enum class Outcome { Saved, Duplicate };

    // A new entry with "no" as its confirmation, and its day posted.
    Outcome insert(const Record& r);
    // A change of entry id; previous is the day the entry had, recounted too when it moves.
    Outcome update(int id, const Record& r, const Day& previous);
    // Deletes entry id and recounts its day.
    void remove(int id, const Day& day);

    // Sets the day's column to the day's total hours; a missing month row is
    // created when insertMissing, else left missing.
    void postDay(const Day& d, bool insertMissing);

    // Runs inside the transaction right after the duplicate check (tests hold a
    // save there to let a second client in).
    std::function<void()> afterCheck;

private:
    void lock(QList<Day> days);
    int scalar(const QString& sql, const QString& field);
    Parts p_;
};

}  // namespace entry
