#include "refbooks/products.h"

#include "core/datamodule.h"
#include "core/ui.h"
#include "refbooks/refcheck.h"

namespace products {

QChar massKey(QChar typed) {
    if (typed.isDigit() || typed == QChar(8)) return typed;
    if (typed == QLatin1Char(',') || typed == QLatin1Char('.')) return QLatin1Char('.');
    return QChar();
}

QString massForDb(const QString& text) {
    QString t = text.trimmed();
    const int comma = t.indexOf(QLatin1Char(','));
    if (comma >= 0) t[comma] = QLatin1Char('.');
    return t;
}

SaveResult save(const Product& p, qlonglong changingId) {
    const QString mark = p.mark.trimmed();
    if (mark.isEmpty() || p.massa.trimmed().isEmpty() || p.group == 0) {
        ui::error(QStringLiteral("Все поля должны быть заполнены!"));
        return SaveResult::Incomplete;
    }
    const bool adding = changingId == 0;
    const QString upper = mark.toUpper();
    TDataModule6::Params dup{{QStringLiteral("marka"), upper}};
    QString dupSql = QStringLiteral("select count(*) as cnt from accounts_dep.izdel where upper(marka)=:marka");
    if (!adding) {
        dupSql += QStringLiteral(" and id<>:id");
        dup.emplace_back(QStringLiteral("id"), changingId);
    }
    if (dm().CheckExists(dupSql, QStringLiteral("Такая марка изделия уже заведена!"), dup))
        return SaveResult::Duplicate;

    Command& cmd = dm().SQL_exec;
    cmd.clearParams();
    if (adding) {
        cmd.SQL = {QStringLiteral(
            "INSERT INTO cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa, id_class_item)"
            "VALUES(:s_caption, '', 6, :massa, :id_class_item)")};
    } else {
        cmd.SQL = {QStringLiteral(
            "UPDATE cmn_gds_and_srv.gds_and_srv SET s_caption=:s_caption, s_description='', id_msm_bs=6, "
            "massa=:massa, id_class_item=:id_class_item where id=:id")};
        cmd.setParam(QStringLiteral("id"), changingId);
    }
    cmd.setParam(QStringLiteral("s_caption"), mark);
    cmd.setParam(QStringLiteral("massa"), massForDb(p.massa));
    cmd.setParam(QStringLiteral("id_class_item"), p.group);
    try {
        cmd.exec();
    } catch (...) {
        cmd.clearParams();
        throw;
    }
    cmd.clearParams();
    return SaveResult::Saved;
}

QDate entriesCountedSince(const QDate& today) {
    const int m = today.month();
    return QDate(2000, m == 1 ? 12 : m - 1, 1);
}

Deleter::Deleter() {
    Izdel_Smena.SQL = {QStringLiteral(
        "select count(*) as cnt from accounts_dep.smena s where s.i_id =:id_ii and s.\"data\">=:dt")};
    ii_oper.SQL = {QStringLiteral("select count(*) as cnt from accounts_dep.oper o where o.i_id =:id_ii")};
}

DeletePlan Deleter::ask(qlonglong id, const QDate& today) {
    Izdel_Smena.close();
    Izdel_Smena.setParam(QStringLiteral("dt"), entriesCountedSince(today));
    Izdel_Smena.setParam(QStringLiteral("id_ii"), id);
    Izdel_Smena.open();
    ii_oper.close();
    ii_oper.setParam(QStringLiteral("id_ii"), id);
    ii_oper.open();
    const int entries = Izdel_Smena.asInt(QStringLiteral("cnt"));
    const int opers = ii_oper.asInt(QStringLiteral("cnt"));
    Izdel_Smena.close();
    ii_oper.close();

    DeletePlan plan;
    if (opers >= 1)
        plan.opers = ui::confirmDelete(QStringLiteral("По изделию есть расценки они будут удалены!!!"));
    if (entries >= 1) {
        if (ui::confirmDelete(QStringLiteral(
                "По изделию есть операции в текущем, предыдущем месяцах и ранее, они будут удалены. Удалить изделие? ")))
            plan.entries = plan.product = true;
    } else {
        plan.product = ui::confirmDelete(QStringLiteral("Удалить изделие? "));
    }
    return plan;
}

namespace {
void runDelete(const QString& sql) {
    Command& del = dm().DelSmena;
    del.clearParams();
    del.SQL = QStringList{sql};
    del.exec();
}

struct Day {
    int w_id, shift;
    QDate date;
};

// Sets the timesheet day of a worker and shift to the hours of the entries left that
// day, with the statements the journal's delete uses.
void recountDay(const Day& d) {
    const QString date = d.date.toString(QStringLiteral("dd.MM.yyyy"));
    const int tim = dm().scalarInt(
        QStringLiteral("select sum(time) as tim from accounts_dep.smena where w_id=") + QString::number(d.w_id) +
        QStringLiteral(" and smena=") + QString::number(d.shift) + QStringLiteral(" and data=to_date('") + date +
        QStringLiteral("', 'DD.MM.YYYY') group by w_id, smena, data"));
    Command& upd = dm().H_Tabel_ins;
    upd.clearParams();
    upd.SQL = QStringList{QStringLiteral("update accounts_dep.h_tabel set d") + QString::number(d.date.day()) +
                          QStringLiteral("=") + QString::number(tim) + QStringLiteral(" where w_id=") +
                          QString::number(d.w_id) + QStringLiteral(" and smena=") + QString::number(d.shift) +
                          QStringLiteral(" and month=") + QString::number(d.date.month()) +
                          QStringLiteral(" and year=") + QString::number(d.date.year())};
    upd.exec();
}
}  // namespace

void Deleter::run(qlonglong id, const DeletePlan& plan) {
    if (!plan.opers && !plan.entries && !plan.product) return;
    const QString p = QString::number(id);
    Transaction tx;
    if (plan.entries) {
        // The worker days the entries are booked on, read before they go.
        Query days;
        days.SQL = {QStringLiteral(
                        "select distinct w_id, smena, data from accounts_dep.smena s where s.i_id =") + p +
                    QStringLiteral(" and w_id is not null and smena is not null and data is not null")};
        days.open();
        QList<Day> touched;
        for (int r = 0; r < days.recordCount(); ++r)
            touched << Day{toInt(days.value(r, QStringLiteral("w_id"))), toInt(days.value(r, QStringLiteral("smena"))),
                           days.value(r, QStringLiteral("data")).toDate()};
        days.close();
        runDelete(QStringLiteral("delete from accounts_dep.smena s where s.i_id =") + p);
        for (const Day& d : touched) recountDay(d);
    }
    if (plan.opers) {
        runDelete(QStringLiteral(
                      "delete from accounts_dep.norm n where n.o_id in (select o.id from accounts_dep.oper o where o.i_id =") +
                  p + QStringLiteral(")"));
        runDelete(QStringLiteral("delete from accounts_dep.oper o where o.i_id =") + p);
    }
    if (plan.product) runDelete(QStringLiteral("delete from cmn_gds_and_srv.gds_and_srv  where id=") + p);
    tx.commit();
}

}  // namespace products
