#pragma once
// Auxiliary work (accounts_dep.fatigue): hours booked at the rate of one of the two
// reserved operation types, 7777 and 7778. The query texts and statements of the
// register and its entry dialog.
#include "domain/db.h"
#include "domain/result.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace mirn {

namespace auxwork {

// The register's and the kinds' queries, the rate as statements write it, and the
// statements; their texts are in the catalogue (domain/sqltext.h).
QStringList registerSql();
QStringList typeWorkSql();
QString rateText(const QVariant& price);

struct Entry;
QString insertStatement(const Entry& e);
QString updateStatement(const Entry& e, int id);

struct Entry {
    int id_nom = 0;
    int kind = 0;  // 7777 or 7778
    int id_p = 0;
    int hours = 0;
    QString rate;  // rateText()
    QDate date;    // the register's date (new entries only)
    int shift = 1; // the register's shift (new entries only)
};

class AuxWorkStore {
public:
    explicit AuxWorkStore(Db db = {});
    // Books a new entry (id == 0) or changes entry id; the hours must lie in their range
    // and a rate must be given.
    Result save(const Entry& e, int id);
    void remove(int id);

private:
    Db db_;
};

}  // namespace auxwork

}  // namespace mirn
