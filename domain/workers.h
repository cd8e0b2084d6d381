#pragma once
// The department's workers (accounts_dep.person): the store behind the workers list
// and the worker editor.
#include "domain/db.h"
#include "domain/result.h"

#include <QString>

namespace mirn {

namespace workers {

class WorkerStore {
public:
    explicit WorkerStore(Db db = {});
    // Adds a worker (id == 0) or changes worker id; names and positions are bound as typed.
    Result save(int id, const QString& fio, const QString& staffpos);
    void remove(int id);

private:
    Db db_;
};

}  // namespace workers

}  // namespace mirn
