#include "domain/sqltext.h"

namespace mirn {

namespace sqltext {

namespace {
const QString kNmn = QStringLiteral(
    "(SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn");
const QString kWhere = QStringLiteral(
    "where smena.i_id=izdel.id and smena.o_id=oper.id and (w_id=person.id or s_code::t_id=w_id) and ");

QString daySum(int from, int to) {
    QString s;
    for (int d = from; d <= to; ++d) s += QStringLiteral("coalesce(d%1,0)+").arg(d);
    return s;
}
}  // namespace

QStringList smena(int shift) {
    if (shift == 1)
        return {
            QStringLiteral("select smena.id, smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, "),
            QStringLiteral("smena.cena,person.s_caption fio, izdel.marka, vid_oper.vid, ") + kNmn +
                QStringLiteral(", oper.naimen,  smena.brak, smena.kol_vo::numeric,"),
            QStringLiteral("round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, color,time, smena.ok, vvod, smena.id_doc, smena.id_doc_item, smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use"),
            QStringLiteral("from cmn_contractor.person person, accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper "),
            kWhere,
            QStringLiteral("oper.vid=vid_oper.id and smena.smena=1 and smena.data=:data and ok!=:ok order by "),
            QStringLiteral("fio, izdel.marka, vid_oper.vid, oper.naimen, color"),
        };
    const QString n = QString::number(shift);
    QString l2, l3, l4;
    const QString tail = QStringLiteral(
        "smena.id_doc, smena.id_doc_item, smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use");
    if (shift == 2) {
        l2 = QStringLiteral("smena.cena, s_caption fio, izdel.marka, vid_oper.vid, ") + kNmn +
             QStringLiteral(", oper.naimen, smena.kol_vo::numeric, smena.brak, ");
        l3 = QStringLiteral("round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, smena.id, color,time,smena.ok,vvod, ") +
             tail + QStringLiteral("  ");
    } else if (shift == 3) {
        l2 = QStringLiteral("smena.cena,s_caption fio, izdel.marka, vid_oper.vid, ") + kNmn +
             QStringLiteral(",  oper.naimen, smena.kol_vo::numeric, smena.brak, ");
        l3 = QStringLiteral("round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, smena.id, color,time,smena.ok,vvod, ") +
             tail;
    } else {
        l2 = QStringLiteral("smena.cena,person.s_caption fio, izdel.marka, vid_oper.vid, ") + kNmn +
             QStringLiteral(",  oper.naimen, smena.kol_vo::numeric, smena.brak, ");
        l3 = QStringLiteral("round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, smena.id , color,time,smena.ok,vvod, ") +
             tail + QStringLiteral(" ");
    }
    l4 = shift == 4
             ? QStringLiteral("from cmn_contractor.person person, accounts_dep.izdel, accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper ")
             : QStringLiteral("from cmn_contractor.person person,accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper ");
    return {
        QStringLiteral("select smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, "),
        l2,
        l3,
        l4,
        kWhere,
        QStringLiteral("oper.vid=vid_oper.id and smena.smena=") + n +
            QStringLiteral(" and smena.data=:data and ok<>:ok order by fio"),
    };
}

QStringList oper() {
    return {
        QStringLiteral("select izdel.MARKA, vid_oper.VID, oper.NAIMEN, ") + kNmn + QStringLiteral(","),
        QStringLiteral("count(norm.o_id) norma, min(norm.price)::numeric cena,"),
        // An operation without norms is listed too, with 0 norms and an empty price, so
        // that "Цены" can give it its first norm.
        QStringLiteral("oper.id, oper.i_id, oper.VID as oper_vid from accounts_dep.OPER join accounts_dep.IZDEL on OPER.i_id=IZDEL.id"),
        QStringLiteral("join accounts_dep.VID_OPER on oper.vid=vid_oper.id left join accounts_dep.norm on norm.o_id=oper.id"),
        QStringLiteral("group by izdel.MARKA, vid_oper.VID, oper.NAIMEN, oper.id, oper.i_id, oper.VID order by izdel.marka, vid_oper.vid, oper.naimen"),
    };
}

QStringList hTabel(int shift) {
    const QString s1 = daySum(1, 10), s2 = daySum(11, 20), s3 = daySum(21, 30);
    return {
        QStringLiteral("select person.s_caption fio, "),
        QStringLiteral("(") + s1,
        s2,
        s3,
        QStringLiteral("coalesce(d31,0)) as summ, "),
        QStringLiteral("case when (") + s1,
        s2,
        s3,
        QStringLiteral("coalesce(d31,0))=0 then 0 else"),
        QStringLiteral("(sum(s.cena*(kol_vo-brak))/(") + s1,
        s2,
        s3,
        QStringLiteral("coalesce(d31,0))) end ::numeric(10,2) as average_price, sum(s.cena*(kol_vo-brak))::numeric(10,2) as cena_all,"),
        QStringLiteral("h_tabel.* "),
        QStringLiteral("from accounts_dep.h_tabel, cmn_contractor.person, accounts_dep.smena s where "),
        QStringLiteral("h_tabel.w_id=person.s_code::integer and h_tabel.smena=%1 and month=:mnth and s.w_id = h_tabel.w_id and").arg(shift),
        QStringLiteral("h_tabel.year=:yea and s.data >=:date1 and s.data <:date2"),
        QStringLiteral("group by person.s_caption,h_tabel.w_id,h_tabel.month,h_tabel.year,h_tabel.smena,h_tabel.id "),
        QStringLiteral("order by fio"),
    };
}

}  // namespace sqltext

}  // namespace mirn
