#pragma once
// The department's workers (accounts_dep.person): the store behind the workers list
// and the worker editor.
#include "domain/result.h"

#include <QString>

namespace mirn {

namespace workers {

class WorkerStore {
public:
    explicit WorkerStore(QString connection = {});
    // Adds a worker (id == 0) or changes worker id; names and positions are bound as typed.
    Result save(int id, const QString& fio, const QString& staffpos);
    void remove(int id);

private:
    QString connection_;
};

}  // namespace workers

}  // namespace mirn
