#pragma once
// Products: the rules and the store behind the products list and the product editor.
// A product is a row of the enterprise nomenclature (cmn_gds_and_srv.gds_and_srv),
// read back through accounts_dep.izdel with the same id.
#include "domain/db.h"
#include "domain/result.h"

#include <QChar>
#include <QDate>
#include <QString>

namespace mirn {

namespace products {

// The key rule of the mass field: digits and Backspace pass, "," and "." are entered
// as ".", every other character is dropped (returns a null QChar).
QChar massKey(QChar typed);

// The mass as the database reads a number: the first "," becomes ".".
QString massForDb(const QString& text);

inline const QString kDuplicateMark = QStringLiteral("Такая марка изделия уже заведена!");

struct Product {
    QString mark;   // as typed; trimmed on save
    QString massa;  // as typed
    qlonglong group = 0;
};

// The first day of the month before today's month, in the year 2000: the delete
// question counts the product's entries dated on or after it.
QDate entriesCountedSince(const QDate& today);

// What the answers to the delete questions allow.
struct DeletePlan {
    bool opers = false;    // the product's priced operations and their norms
    bool entries = false;  // the product's shift entries
    bool product = false;
};

// What the delete questions are asked about.
struct Usage {
    int entries = 0;  // entries since entriesCountedSince()
    int opers = 0;    // priced operations
};

class ProductStore {
public:
    explicit ProductStore(Db db = {});

    // Adds a product (changingId == 0) or changes product changingId. The duplicate
    // check and the write run in one transaction under the products' reference lock.
    // Throws DbError when the database rejects the statement.
    Result save(const Product& p, qlonglong changingId);

    Usage usage(qlonglong id, const QDate& today);

    // Deletes what the plan allows in one transaction, in an order the foreign keys
    // accept (entries, norms, operations, product), and brings the timesheet days
    // of the deleted entries back in line through the timesheet service, holding the
    // entries' months exclusively. On an error nothing is deleted.
    void remove(qlonglong id, const DeletePlan& plan);

private:
    Db db_;
};

}  // namespace products

}  // namespace mirn
