#pragma once
// Every statement text the client gives the database, line by line or as one line,
// exactly as the database is given them, and the value formatters that fill them.
// A text here is the contract with the database: blanks and letter case included.
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <utility>

namespace mirn {

namespace entry {
struct Record;
}
namespace locks {
struct Day;
}
namespace auxwork {
struct Entry;
}

namespace sqltext {

// ---- values as the statements write them in place
QString number(qint64 v);  // decimal digits, no leading zeros
// A date as the statements write it: DD.MM.YYYY.
QString dateText(const QDate& date);
// to_date('DD.MM.YYYY', 'DD.MM.YYYY')
QString toDate(const QDate& date);
// A rate as a statement carries it: a decimal point whatever the desktop's number
// format, no trailing zeros. Empty when there is no rate.
QString rateText(const QVariant& price);

// ---- the shared data module's queries
// The journal query of one shift (parameters data and ok).
QStringList smena(int shift);
// The priced operations with their lowest norm price.
QStringList oper();
// The month of one shift of the timesheet (parameters mnth, yea, date1, date2).
QStringList hTabel(int shift);

// ---- shift entries
QString duplicateCheck(const entry::Record& r);                 // a new entry
QString duplicateCheck(const entry::Record& r, int excludeId);  // a change of entry excludeId
QString insert(const entry::Record& r, const QDate& enteredOn);
QString update(int id, const entry::Record& r, const QDate& enteredOn);
QString deleteEntry(int id);
// The stored row of an entry, locked for the change when `lock`.
QString storedEntry(int id, bool lock);
// The confirmation mark of an entry (parameters ok, id).
QString confirm();
// The worker's earnings of the month holding `day`, as the timesheet's month query adds
// them up, summed exactly (numeric): the one month-amount query.
QString monthAmount(int w_id, const QDate& day);
// The source shift of a copy (parameters data, smena): the entries with the operation's
// product and lowest norm price as they stand now, and the worker's name as the journal
// finds it (by person id or by worker number, codes that are no number skipped).
QStringList copySource();
// Every key a person is known by: the person ids and the worker numbers (codes that
// are no number skipped), one row each.
QString workerKeys();
// The priced operations with their lowest norm price, those without norms too.
QStringList importOperations();

// ---- day postings of the hours timesheet
// The posting as four statements, each sent on its own: the month row's count, the day's
// total, then the row's insert or update. The client posts with postDay, which leaves
// the timesheet as these do.
QString timesheetCount(const locks::Day& d);
QString daySum(const locks::Day& d);
QString timesheetInsert(const locks::Day& d, int tim);
QString timesheetUpdate(const locks::Day& d, int tim);
// The day posting in one statement, as the four above leave the timesheet: the day's
// column set to its total hours (0 without entries) in the month's rows, and a row
// holding only that day inserted when there is none and insertMissing.
QString postDay(const locks::Day& d, bool insertMissing);
QString deleteMonth(int month, int year);
// The month's rows computed from the shift entries in one statement: one row per
// worker and shift with entries, the day's total hours in its column, NULL on days
// without entries.
QString insertMonth(int month, int year);

// ---- many new entries at once (EntryStore::insertAll): a fixed number of statements
// whatever the number of entries. `rows` pairs each record with its number in the batch.
using NumberedRecords = QList<std::pair<int, entry::Record>>;
// Per record: n, whether an entry with its worker, operation, product, date, shift and
// colour is stored (dup), and the worker's month as stored (amount, as text), summed as
// monthAmount sums it.
QString batchChecks(const NumberedRecords& rows);
// Inserts the records in their order, each as insert() stores it; returns id, w_id, o_id,
// i_id, color, data, smena of every new entry.
QString batchInsert(const NumberedRecords& rows, const QDate& enteredOn);
// Posts one date's column for these workers and shifts as postDay does (updates the
// month's rows, inserts those missing): one statement for any number of them.
QString batchPostDate(const QDate& date, const QList<std::pair<int, int>>& workerShifts);

// ---- auxiliary work
// The register's query: the entries of every shift of one date (parameter d_date).
QStringList registerSql();
// The kinds of work with the rate of each of their norms and rate × hours (parameter cnt).
QStringList typeWorkSql();
QString insertStatement(const auxwork::Entry& e);
// A changed entry keeps its date and shift.
QString updateStatement(const auxwork::Entry& e, int id);
QString auxDelete(int id);

// ---- products (parameters marka, id; s_caption, massa, id_class_item, id; dt, id_ii)
QString productDuplicate(bool adding);
QString productInsert();
QString productUpdate();
QString productEntries();
QString productOpers();
QString productEntryMonths(qlonglong id);
QString productEntryDays(qlonglong id);
QString productDeleteEntries(qlonglong id);
QString productDeleteNorms(qlonglong id);
QString productDeleteOpers(qlonglong id);
QString productDelete(qlonglong id);

// ---- operation types (parameters vid, id)
QString opTypeDuplicate(bool adding);
QString opTypeInsert();
QString opTypeUpdate();
QString opTypeDelete();

// ---- priced operations and norms (values as digits; norm parameters o_id, norma, prize, price, id)
QString pricedOpDuplicate(int vid, int kind, int i_id);
QString pricedOpDuplicate(int vid, int kind, int i_id, int excludeId);
QString pricedOpInsert(int vid, int kind, int i_id);
QString pricedOpUpdate(int vid, int kind, int i_id, int id);
QString pricedOpDelete();
// The first closed month (month, year) with entries of priced operation id, while its
// product, type or kind would change to these.
QString closedMonthUsing(int id, int vid, int kind, int i_id);
QString normInsert();
QString normUpdate();
QString normDelete();

// ---- the department's workers (parameters fio, staffpos)
QString workerInsert();
QString workerUpdate(int id);
QString workerDelete(int id);

}  // namespace sqltext

}  // namespace mirn
