#include "domain/auxwork.h"

#include "domain/db.h"
#include "domain/limits.h"

namespace mirn {

namespace auxwork {

QStringList registerSql() {
    return {
        QStringLiteral("select distinct vo.vid, p.fio, i.s_caption, (f.cnt*f.price) as summ,  f.* "),
        QStringLiteral("from accounts_dep.fatigue f, cmn_classifier.item i, accounts_dep.person p,accounts_dep.vid_oper vo, accounts_dep.oper o "),
        QStringLiteral("where f.id_nom =i.id and p.id=f.id_p and vo.id = f.id_o and o.i_id >=7777 and o.vid >=7777 and f.d_date = :d_date"),
        QStringLiteral("order by p.fio"),
    };
}

QStringList typeWorkSql() {
    return {
        QStringLiteral("select vo.id, vo.vid, n.price, (n.price*:cnt) as summ from accounts_dep.vid_oper vo,accounts_dep.norm n, accounts_dep.oper o "),
        QStringLiteral("where n.o_id =o.id and o.vid=vo.id and (vo.id = 7777 or vo.id = 7778)"),
    };
}

QString rateText(const QVariant& price) {
    if (price.isNull()) return {};
    QString t;
    if (price.typeId() == QMetaType::QString) {
        t = price.toString().trimmed();
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        if (t.contains(QLatin1Char('.'))) {
            while (t.endsWith(QLatin1Char('0'))) t.chop(1);
            if (t.endsWith(QLatin1Char('.'))) t.chop(1);
        }
    } else {
        // QString::number ignores the locale: always a point.
        t = QString::number(price.toDouble(), 'g', 15);
    }
    return t;
}

QString insertStatement(const Entry& e) {
    return QStringLiteral(
               "INSERT INTO accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price)VALUES(") +
           QString::number(e.id_nom) + QStringLiteral(", ") + QString::number(e.kind) + QStringLiteral(" ,") +
           QString::number(e.id_p) + QStringLiteral(", '") + e.date.toString(QStringLiteral("dd.MM.yyyy")) +
           QStringLiteral("', ") + QString::number(e.date.month()) + QStringLiteral(", ") +
           QString::number(e.date.year()) + QStringLiteral(", ") + QString::number(e.shift) + QStringLiteral(", ") +
           QString::number(e.hours) + QStringLiteral(", ") + e.rate + QStringLiteral(")");
}

QString updateStatement(const Entry& e, int id) {
    return QStringLiteral("UPDATE accounts_dep.fatigue SET id_nom=") + QString::number(e.id_nom) +
           QStringLiteral(", id_o=") + QString::number(e.kind) + QStringLiteral(", id_p=") + QString::number(e.id_p) +
           QStringLiteral(", cnt=") + QString::number(e.hours) + QStringLiteral(", price=") + e.rate +
           QStringLiteral(" where id=") + QString::number(id);
}

AuxWorkStore::AuxWorkStore(QString connection) : connection_(std::move(connection)) {}

Result AuxWorkStore::save(const Entry& e, int id) {
    if (e.id_nom == 0 || e.id_p == 0 || e.kind == 0 || e.rate.isEmpty())
        return Result::refuse(Status::Incomplete, kFillAllFields);
    if (auto refusal = limits::check(limits::kAuxHours, double(e.hours)))
        return Result::refuse(Status::Invalid, *refusal);
    if (auto refusal = limits::check(limits::kPrice, e.rate)) return Result::refuse(Status::Invalid, *refusal);
    Command cmd(connection_);
    cmd.setText(id == 0 ? insertStatement(e) : updateStatement(e, id));
    cmd.exec();
    return Result::ok(id);
}

void AuxWorkStore::remove(int id) {
    Command cmd(connection_);
    cmd.setText(QStringLiteral("delete from accounts_dep.fatigue where id=") + QString::number(id));
    cmd.exec();
}

}  // namespace auxwork

}  // namespace mirn
