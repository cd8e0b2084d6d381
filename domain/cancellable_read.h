#pragma once
// A long read the user may stop half-way. The statement runs on a connection of its own
// (a copy of the query's: the same server, database and login) in a second thread, so the
// caller's thread goes on painting its windows and can ask the server to cancel the
// statement. A stopped read leaves nothing behind: no rows, and no statement still at
// work on the server.
#include "domain/db.h"

#include <functional>

namespace mirn {

// Opens q as q.open() does (its text and parameters), the rows read in a second thread.
// Meanwhile `stop` is asked every few milliseconds (the caller processes its events there);
// once it says true the server is told to cancel the statement, the read is waited for and
// the result is false, q left closed. A failed read throws DbError as q.open() does; a
// stopped one throws nothing.
bool openCancellable(Query& q, const std::function<bool()>& stop);

}  // namespace mirn
