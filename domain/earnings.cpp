#include "domain/earnings.h"

#include "domain/db.h"

namespace mirn {

namespace earnings {

QStringList statementSql() {
    return {
        QStringLiteral("select x.w_id, t.tab_no, coalesce(cp.s_caption, pi.s_caption, ap.fio, x.w_id::text) as fio, x.section, x.data,"),
        QStringLiteral(" x.smena,"),
        QStringLiteral(" x.marka, x.vid, x.naimen, x.color, x.kolvo, x.brk, x.hours, x.cena, x.summa from ("),
        QStringLiteral("select s.w_id, 1 as section, s.data, s.smena::integer as smena, izdel.marka, vid_oper.vid,"),
        QStringLiteral(" oper.naimen, s.color, s.kol_vo::numeric as kolvo, s.brak::numeric as brk, s.time::numeric as hours,"),
        QStringLiteral(" s.cena::numeric as cena, ((s.kol_vo-s.brak)*s.cena)::numeric as summa"),
        QStringLiteral(" from accounts_dep.smena s join accounts_dep.izdel on izdel.id=s.i_id"),
        QStringLiteral(" join accounts_dep.oper on oper.id=s.o_id join accounts_dep.vid_oper on vid_oper.id=oper.vid"),
        QStringLiteral(" where s.data>=:data1 and s.data<:data2"),
        QStringLiteral("union all "),
        QStringLiteral("select f.id_p::integer, 2, f.d_date, f.i_smena, coalesce(i.s_caption, ''), vo.vid,"),
        QStringLiteral(" null::integer, 0, null::numeric, null::numeric, f.cnt::numeric, f.price::numeric,"),
        QStringLiteral(" (f.cnt*f.price)::numeric"),
        QStringLiteral(" from accounts_dep.fatigue f join accounts_dep.vid_oper vo on vo.id=f.id_o"),
        QStringLiteral(" left join cmn_classifier.item i on i.id=f.id_nom"),
        QStringLiteral(" where f.d_date>=:data1 and f.d_date<:data2"),
        QStringLiteral(") x"),
        // The register's name for each worker of the period, looked up by the worker's number
        // (the code index) once per worker: the cost follows the period's workers, not the
        // register's size. A code that is not a number of up to nine digits names nobody here.
        // Joined on the workers' own key, the planner expects one name per row, as it is;
        // a table of every person's number would make it expect many, and plan far slower.
        QStringLiteral(" left join (select w.w_id, (select min(p.s_caption) from cmn_contractor.person p"),
        QStringLiteral("  where p.s_code::t_id=w.w_id and p.s_code ~ '^[0-9]{1,9}$') as s_caption"),
        QStringLiteral("  from (select e.w_id from (select s.w_id from accounts_dep.smena s where s.data>=:data1 and s.data<:data2"),
        QStringLiteral("  union all select f.id_p::integer from accounts_dep.fatigue f where f.d_date>=:data1 and f.d_date<:data2) e"),
        QStringLiteral("  group by e.w_id) w) cp on cp.w_id=x.w_id"),
        // The journal knows a worker by the register's code or by its row number: so does this.
        QStringLiteral(" left join cmn_contractor.person pi on pi.id=x.w_id"),
        QStringLiteral(" left join accounts_dep.person ap on ap.id=x.w_id"),
        // The personnel number is the worker number, whichever way the entry names the worker:
        // a row number of the register stands for that person's number. Only such rows test
        // the code, rather than every person of the register.
        QStringLiteral(" cross join lateral (select case when cp.s_caption is null and pi.s_code ~ '^[0-9]{1,9}$'"),
        QStringLiteral("  then pi.s_code::integer else x.w_id end as tab_no) t"),
        // The chosen worker by that number, or by the key an entry names them with.
        QStringLiteral(" where (:worker=0 or t.tab_no=:worker or x.w_id=:worker)"),
        QStringLiteral(" order by fio, t.tab_no, x.section, x.data, x.smena, x.marka, x.vid, x.color"),
    };
}

QStringList decimalFields() {
    return {QStringLiteral("kolvo"), QStringLiteral("brk"), QStringLiteral("hours"), QStringLiteral("cena"),
            QStringLiteral("summa")};
}

std::vector<Worker> workers(const Db& db) {
    Query q(db);
    const QueryCloser closer(q);
    q.setText(QStringLiteral("select id, fio from accounts_dep.person order by fio, id"));
    q.open();
    std::vector<Worker> out;
    for (int r = 0; r < q.recordCount(); ++r)
        out.push_back({toInt(q.value(r, 0)), q.value(r, 1).toString()});
    return out;
}

}  // namespace earnings

}  // namespace mirn
