#pragma once
// The shared data module: the one connection and the queries and commands that
// several windows use. Created once, when the journal window is created.
#include "domain/db.h"
#include "domain/journal_day.h"
#include "domain/sqltext.h"

#include <QString>

namespace mirn {

class TDataModule6 : public QObject {
    Q_OBJECT
public:
    explicit TDataModule6(QObject* parent = nullptr);
    ~TDataModule6() override;

    // The one connection (name kConnectionName).
    QSqlDatabase ADO_DB() const;

    Query Workers, Izdel, Oper, Vid_oper;
    Query Smena1, Smena2, Smena3, Smena4;
    Query H_Tabel_1, H_Tabel_2, H_Tabel_3;
    // Read queries only: every change goes through the stores of the domain layer.
    Query Control;
    QString DecimalDelim;

    // The journal query of a shift: 2, 3, 4 pick their own, anything else shift 1.
    Query& shiftQuery(int shift);

    // The four shift queries on a date (or again on theirs) and the date's month, in one
    // round trip rather than one per query and two for the month.
    journalday::MonthState openShifts(const QDate& date);
    journalday::MonthState reopenShifts();

    // Runs sql (one row, integer column cnt) through Control, with typed values bound
    // to its :name parameters; on cnt > 0 shows message under "Ошибка" and returns true.
    using Params = std::vector<std::pair<QString, QVariant>>;
    bool CheckExists(const QString& sql, const QString& message, const Params& params = {});
    // Replaces the first "," (or, if none, the first ".") by DecimalDelim.
    QString NormalizeDecimal(const QString& text) const;

    static TDataModule6* instance() { return instance_; }

private:
    static TDataModule6* instance_;
};

// The data module created at start-up.
inline TDataModule6& dm() { return *TDataModule6::instance(); }

}  // namespace mirn
