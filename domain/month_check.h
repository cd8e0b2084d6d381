#pragma once
// The check of a month before it is closed: what in it would pay someone wrongly or not
// at all. Works with or without the closed-months extension; reads only.
#include <QDate>
#include <QString>

#include <vector>

namespace mirn {

namespace monthcheck {

enum class Kind {
    Unconfirmed,      // entry not confirmed ("no")
    NoPrice,          // entry priced 0, or its operation has no norm price
    TimesheetDiffers, // a timesheet day cell differs from the entries' hours
    NoTimesheetRow,   // a worker with entries of a shift but no timesheet row for it
    UnseenWorker,     // booked by a key the person register's code does not match
    ZeroHours,        // entry with 0 hours
    OverDay,          // more than 24 hours of one worker on one day, all shifts together
    AuxNoHours,       // auxiliary work with 0 hours
    AuxNoRate,        // auxiliary work without a rate
};
inline constexpr int kKindCount = 9;

// The group's title in the list, Russian.
QString kindTitle(Kind kind);

struct Problem {
    Kind kind;
    QDate date;
    int shift = 0;
    int workerId = 0;   // the journal's w_id (for auxiliary work the register's id_p)
    QString worker;     // the worker's name as the journal shows it
    int entryId = 0;    // smena.id, or fatigue.id for auxiliary work; 0 for none
    QString detail;     // what is wrong, with the figures
    bool auxiliary() const { return kind == Kind::AuxNoHours || kind == Kind::AuxNoRate; }
};

// Every problem of the month, grouped by kind in the order of Kind, each group by date,
// shift, worker and entry.
std::vector<Problem> check(int month, int year, const QString& connection = {});

// "Записи не подтверждены: 3" per kind that has problems, and the lines under each:
// "  10.12.2026, смена 2, Иванов И.И. (10001), запись 15: …". Empty for a clean month.
QString report(const std::vector<Problem>& problems);

}  // namespace monthcheck

}  // namespace mirn
