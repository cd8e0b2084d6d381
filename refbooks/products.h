#pragma once
// Products: the rules and statements behind the products list and the product editor.
// A product is a row of the enterprise nomenclature (cmn_gds_and_srv.gds_and_srv),
// read back through accounts_dep.izdel with the same id.
#include "core/db.h"

#include <QChar>
#include <QDate>
#include <QString>

namespace products {

// The key rule of the mass field: digits and Backspace pass, "," and "." are entered
// as ".", every other character is dropped (returns a null QChar).
QChar massKey(QChar typed);

// The mass as the database reads a number: the first "," becomes ".".
QString massForDb(const QString& text);

struct Product {
    QString mark;   // as typed; trimmed on save
    QString massa;  // as typed
    qlonglong group = 0;
};

enum class SaveResult { Saved, Incomplete, Duplicate };

// Adds a product (changingId == 0) or changes product changingId. Shows the editor's
// messages; throws DbError when the database rejects the statement.
SaveResult save(const Product& p, qlonglong changingId);

// The first day of the month before today's month, in the year 2000: the delete
// question counts the product's entries dated on or after it.
QDate entriesCountedSince(const QDate& today);

// What the answers to the delete questions allow.
struct DeletePlan {
    bool opers = false;    // the product's priced operations and their norms
    bool entries = false;  // the product's shift entries
    bool product = false;
};

// The delete of the products list: its count queries, its questions and the deletes.
class Deleter {
public:
    Deleter();
    Query Izdel_Smena;  // the product's entries since entriesCountedSince()
    Query ii_oper;      // the product's priced operations

    // Counts and asks, in the list's order; nothing is deleted yet.
    DeletePlan ask(qlonglong id, const QDate& today);
    // Deletes what the plan allows in one transaction, in an order the foreign keys
    // accept (entries, norms, operations, product), and brings the timesheet days
    // of the deleted entries back in line. On an error nothing is deleted.
    static void run(qlonglong id, const DeletePlan& plan);
};

}  // namespace products
