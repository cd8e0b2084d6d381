#pragma once
// The worker's earnings statement: what each worker made and earned in a period, entry
// by entry, with the auxiliary work booked for them.
#include "domain/db.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace mirn {

namespace earnings {

// One row per shift entry (section 1) and per auxiliary work entry (section 2) of the period
// [data1, data2), for the worker numbered :worker, or for every worker when it is 0.
// A worker is the number stored in smena.w_id and fatigue.id_p; the name is the
// enterprise register's (cmn_contractor.person by its code), else the department's list.
// tab_no is the worker's personnel number, the same for every worker: the worker number
// (s_code) also where an entry names the worker by the register's row; :worker is such a
// number (or the key an entry names the worker with), and a worker's rows group by it.
// Fields: w_id, tab_no, fio, section, data, smena, marka (product, or nomenclature group of the
// auxiliary work), vid (operation type, or kind of work), naimen (product kind, null in
// section 2), color, kolvo, brk (null in section 2), hours, cena (price or rate), summa.
// The amount is quantity less rejects times price, unrounded, as the production reports
// add it up, so that totals agree with them to the kopeck. Ordered by name, worker,
// section, date, shift.
QStringList statementSql();

// The fields above that carry exact decimals.
QStringList decimalFields();

struct Worker {
    int id = 0;
    QString name;
};

// The department's workers for the chooser, by name.
std::vector<Worker> workers(const Db& db = {});

}  // namespace earnings

}  // namespace mirn
