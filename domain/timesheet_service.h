#pragma once
// The one writer of accounts_dep.h_tabel. Every posting of a day, recount of days and
// rebuild of a month goes through here, under the lock protocol of domain/locks.h.
#include "domain/db.h"
#include "domain/locks.h"
#include "domain/sqltext.h"

#include <QList>
#include <QPair>
#include <QString>
#include <functional>

namespace mirn {

namespace timesheet {

using Day = locks::Day;

// The statement texts live in the catalogue (domain/sqltext.h).
namespace sql = mirn::sqltext;

class Service {
public:
    explicit Service(Db db);

    // Inside the caller's open transaction: the locks of a posting for these days.
    void lockDays(const QList<Day>& days) const;
    // Inside the caller's open transaction, with lockDays taken: sets the day's column
    // to the day's total hours; a missing month row is created when insertMissing,
    // else left missing.
    void postDay(const Day& d, bool insertMissing) const;
    // postDay(d, false) for each day, in the order given.
    void recountDays(const QList<Day>& days) const;

    // The same locks and posting added to statements the caller sends together in one
    // round trip (the locks first); the caller reads the posting's outcome, then calls
    // posted().
    void lockDays(StatementBatch& batch, const QList<Day>& days) const;
    int postDay(StatementBatch& batch, const Day& d, bool insertMissing) const;
    void posted() const {
        if (afterSum) afterSum();
    }

    // Rebuilds the month's rows from the shift entries in a transaction of its own
    // (exclusive month lock, delete, one insert); onDay(i) is called for each day of
    // the month before the commit, so a throw from it leaves the month as it was.
    void rebuildMonth(int month, int year, const std::function<void(int day)>& onDay = {}) const;

    // Runs once a day is posted, inside the transaction with its locks held (tests hold
    // a posting there to let another client in).
    std::function<void()> afterSum;

private:
    Db db_;
};

}  // namespace timesheet

}  // namespace mirn
