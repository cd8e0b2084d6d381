#include "core/datamodule.h"

#include "gui/ui.h"

#include <QSqlDatabase>

namespace mirn {

TDataModule6* TDataModule6::instance_ = nullptr;

TDataModule6::TDataModule6(QObject* parent) : QObject(parent) {
    instance_ = this;
    Workers.SQL = {QStringLiteral("select * from accounts_dep.person order by fio")};
    Izdel.SQL = {QStringLiteral("select *  from accounts_dep.IZDEL order by marka")};
    Oper.SQL = sqltext::oper();
    Vid_oper.SQL = {QStringLiteral("select * from accounts_dep.VID_OPER order by vid")};
    Query* shifts[] = {&Smena1, &Smena2, &Smena3, &Smena4};
    for (int i = 0; i < 4; ++i) {
        shifts[i]->SQL = sqltext::smena(i + 1);
        shifts[i]->setParam(QStringLiteral("data"), QDate::currentDate());
        shifts[i]->setParam(QStringLiteral("ok"), i == 0 ? QStringLiteral("ok") : QStringLiteral("ta"));
    }
    Query* months[] = {&H_Tabel_1, &H_Tabel_2, &H_Tabel_3};
    for (int i = 0; i < 3; ++i) months[i]->SQL = sqltext::hTabel(i + 1);
}

TDataModule6::~TDataModule6() {
    if (instance_ == this) instance_ = nullptr;
}

QSqlDatabase TDataModule6::ADO_DB() const { return QSqlDatabase::database(kConnectionName, false); }

Query& TDataModule6::shiftQuery(int shift) {
    switch (shift) {
    case 2: return Smena2;
    case 3: return Smena3;
    case 4: return Smena4;
    default: return Smena1;
    }
}

journalday::MonthState TDataModule6::openShifts(const QDate& date) {
    return journalday::openDay({&Smena1, &Smena2, &Smena3, &Smena4}, date);
}

journalday::MonthState TDataModule6::reopenShifts() {
    return journalday::reopenDay({&Smena1, &Smena2, &Smena3, &Smena4});
}

bool TDataModule6::CheckExists(const QString& sql, const QString& message, const Params& params) {
    Control.close();
    Control.clearParams();
    Control.SQL = QStringList{sql};
    for (const auto& p : params) Control.setParam(p.first, p.second);
    int cnt = 0;
    try {
        Control.open();
        cnt = Control.asInt(QStringLiteral("cnt"));
    } catch (...) {
        Control.clearParams();
        throw;
    }
    Control.close();
    Control.clearParams();
    if (cnt > 0) {
        ui::error(message);
        return true;
    }
    return false;
}

QString TDataModule6::NormalizeDecimal(const QString& text) const {
    int pos = text.indexOf(QLatin1Char(','));
    if (pos < 0) pos = text.indexOf(QLatin1Char('.'));
    if (pos < 0) return text;
    QString s = text;
    s.replace(pos, 1, DecimalDelim);
    return s;
}

}  // namespace mirn
