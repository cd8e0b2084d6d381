#pragma once
// Priced operations (accounts_dep.oper) and their norms (accounts_dep.norm): the store
// behind the priced operations list, its editor and the norms window.
#include "domain/db.h"
#include "domain/result.h"

#include <QString>
#include <QVariant>

namespace mirn {

namespace pricedops {

inline const QString kDuplicate = QStringLiteral("Операция с такими параметрами уже заведена!");

struct Choice {
    QString mark;     // the product's mark as the editor shows it
    QString vidName;  // the operation type's name as the editor shows it
    int i_id = 0;     // the product
    int oper_vid = 0; // the operation type
    int kind = 0;     // naimen: 0 finished products, 1 blanks
};

// A norm as the norms window edits it; null fields stay null.
struct Norm {
    QVariant id;  // null for a new norm
    QVariant o_id, norma, prize, price;
};

// The refusal of a change of product, type or kind while a closed month's entries use
// the operation: "Месяц закрыт: ноябрь 2026. …"
QString closedMonthMessage(int month, int year);

class PricedOpStore {
public:
    explicit PricedOpStore(Db db = {});

    // Adds a priced operation (changingId == 0, stored price 0) or changes operation
    // changingId (its stored price kept). Refuses a second operation with the same
    // product, type and kind; the check and the write run in one transaction under
    // the priced operations' reference lock. result.id is the new operation's key.
    Result save(const Choice& c, int changingId);
    // Deletes an operation; the database refuses while norms or entries use it.
    void remove(int id);

    // Stores a norm (inserted when its id is null); refuses numbers out of range.
    // result.id is the norm's key.
    Result saveNorm(const Norm& n);
    void removeNorm(int id);

private:
    Db db_;
};

}  // namespace pricedops

}  // namespace mirn
