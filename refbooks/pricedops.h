#pragma once
// Priced operations (accounts_dep.oper): the save of the priced operation editor.
#include <QString>

namespace pricedops {

enum class SaveResult { Saved, Incomplete, Duplicate };

struct Choice {
    QString mark;     // the product's mark as the editor shows it
    QString vidName;  // the operation type's name as the editor shows it
    int i_id = 0;     // the product
    int oper_vid = 0; // the operation type
    int kind = 0;     // naimen: 0 finished products, 1 blanks
};

// Adds a priced operation (changingId == 0, stored price 0) or changes operation
// changingId (its stored price kept). Refuses a second operation with the same
// product, type and kind. Shows the editor's messages; throws DbError when the
// database rejects the statement.
SaveResult save(const Choice& c, int changingId);

}  // namespace pricedops
