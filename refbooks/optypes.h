#pragma once
// Operation types (accounts_dep.vid_oper): the rules and statements behind the
// operation types list and its editor.
#include <QString>

namespace optypes {

enum class SaveResult { Saved, Incomplete, Duplicate };

// Adds an operation type (renamingId == 0) or renames type renamingId. Shows the
// editor's messages; throws DbError when the database rejects the statement.
SaveResult save(const QString& typed, int renamingId);

// Deletes an operation type; the database refuses while priced operations use it.
void remove(int id);

}  // namespace optypes
