#pragma once
// Auxiliary work (accounts_dep.fatigue): hours booked at the rate of one of the two
// reserved operation types, 7777 and 7778. The query texts and statements of the
// register and its entry dialog.
#include "domain/result.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace mirn {

namespace auxwork {

// The register's query: the entries of every shift of one date (parameter d_date).
QStringList registerSql();
// The kinds of work with the rate of each of their norms and rate × hours (parameter cnt).
QStringList typeWorkSql();

// A rate as a statement carries it: a decimal point whatever the desktop's number
// format, no trailing zeros. Empty when there is no rate.
QString rateText(const QVariant& price);

struct Entry {
    int id_nom = 0;
    int kind = 0;  // 7777 or 7778
    int id_p = 0;
    int hours = 0;
    QString rate;  // rateText()
    QDate date;    // the register's date (new entries only)
    int shift = 1; // the register's shift (new entries only)
};

QString insertStatement(const Entry& e);
// A changed entry keeps its date and shift.
QString updateStatement(const Entry& e, int id);

class AuxWorkStore {
public:
    explicit AuxWorkStore(QString connection = {});
    // Books a new entry (id == 0) or changes entry id; the hours must lie in their range
    // and a rate must be given.
    Result save(const Entry& e, int id);
    void remove(int id);

private:
    QString connection_;
};

}  // namespace auxwork

}  // namespace mirn
