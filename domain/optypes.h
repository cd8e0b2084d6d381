#pragma once
// Operation types (accounts_dep.vid_oper): the store behind the operation types list
// and its editor.
#include "domain/db.h"
#include "domain/result.h"

#include <QString>

namespace mirn {

namespace optypes {

inline const QString kDuplicateName = QStringLiteral("Такая операция уже заведена!");

class OpTypeStore {
public:
    explicit OpTypeStore(Db db = {});
    // Adds an operation type (renamingId == 0) or renames type renamingId; the duplicate
    // check and the write run in one transaction under the types' reference lock.
    Result save(const QString& typed, int renamingId);
    // Deletes an operation type; the database refuses while priced operations use it.
    void remove(int id);

private:
    Db db_;
};

}  // namespace optypes

}  // namespace mirn
