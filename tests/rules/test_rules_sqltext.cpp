// Every statement text of the catalogue (domain/sqltext.h), exactly as the database is
// given it: a changed blank or letter is a changed contract. No database, no windows.
#include "domain/auxwork.h"
#include "domain/entry_store.h"
#include "domain/sqltext.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QtTest>

using namespace mirn;

Q_DECLARE_METATYPE(QStringList)

namespace {
// The journal's and the timesheet's shared queries as the shared data module's contract
// writes them (shift 1 and shift 2 of the journal, shift 1 of the timesheet).
const QStringList kSmena1 = QStringList{
        QStringLiteral("select smena.id, smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, "),
        QStringLiteral("smena.cena,person.s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE naimen WHEN 0 THEN 'Готова"
             "я продукция' ELSE 'Заготовки' END)) as nmn, oper.naimen,  smena.brak, smena.kol_vo::numeric,"),
        QStringLiteral("round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, color,time, smena.ok, vvod, smena"
             ".id_doc, smena.id_doc_item, smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use"),
        QStringLiteral("from cmn_contractor.person person, accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_"
             "dep.vid_oper "),
        QStringLiteral("where smena.i_id=izdel.id and smena.o_id=oper.id and (w_id=person.id or s_code::t_id=w_id) and "),
        QStringLiteral("oper.vid=vid_oper.id and smena.smena=1 and smena.data=:data and ok!=:ok order by "),
        QStringLiteral("fio, izdel.marka, vid_oper.vid, oper.naimen, color")};
const QStringList kSmena2 = QStringList{
        QStringLiteral("select smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, "),
        QStringLiteral("smena.cena, s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE naimen WHEN 0 THEN 'Готовая прод"
             "укция' ELSE 'Заготовки' END)) as nmn, oper.naimen, smena.kol_vo::numeric, smena.brak, "),
        QStringLiteral("round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, smena.id, color,time,smena.ok,vvo"
             "d, smena.id_doc, smena.id_doc_item, smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use  "),
        QStringLiteral("from cmn_contractor.person person,accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_d"
             "ep.vid_oper "),
        QStringLiteral("where smena.i_id=izdel.id and smena.o_id=oper.id and (w_id=person.id or s_code::t_id=w_id) and "),
        QStringLiteral("oper.vid=vid_oper.id and smena.smena=2 and smena.data=:data and ok<>:ok order by fio")};
const QStringList kHTabel1 = QStringList{
        QStringLiteral("select person.s_caption fio, "),
        QStringLiteral("(coalesce(d1,0)+coalesce(d2,0)+coalesce(d3,0)+coalesce(d4,0)+coalesce(d5,0)+coalesce(d6,0)+coalesce("
             "d7,0)+coalesce(d8,0)+coalesce(d9,0)+coalesce(d10,0)+"),
        QStringLiteral("coalesce(d11,0)+coalesce(d12,0)+coalesce(d13,0)+coalesce(d14,0)+coalesce(d15,0)+coalesce(d16,0)+coal"
             "esce(d17,0)+coalesce(d18,0)+coalesce(d19,0)+coalesce(d20,0)+"),
        QStringLiteral("coalesce(d21,0)+coalesce(d22,0)+coalesce(d23,0)+coalesce(d24,0)+coalesce(d25,0)+coalesce(d26,0)+coal"
             "esce(d27,0)+coalesce(d28,0)+coalesce(d29,0)+coalesce(d30,0)+"),
        QStringLiteral("coalesce(d31,0)) as summ, "),
        QStringLiteral("case when (coalesce(d1,0)+coalesce(d2,0)+coalesce(d3,0)+coalesce(d4,0)+coalesce(d5,0)+coalesce(d6,0)"
             "+coalesce(d7,0)+coalesce(d8,0)+coalesce(d9,0)+coalesce(d10,0)+"),
        QStringLiteral("coalesce(d11,0)+coalesce(d12,0)+coalesce(d13,0)+coalesce(d14,0)+coalesce(d15,0)+coalesce(d16,0)+coal"
             "esce(d17,0)+coalesce(d18,0)+coalesce(d19,0)+coalesce(d20,0)+"),
        QStringLiteral("coalesce(d21,0)+coalesce(d22,0)+coalesce(d23,0)+coalesce(d24,0)+coalesce(d25,0)+coalesce(d26,0)+coal"
             "esce(d27,0)+coalesce(d28,0)+coalesce(d29,0)+coalesce(d30,0)+"),
        QStringLiteral("coalesce(d31,0))=0 then 0 else"),
        QStringLiteral("(sum(s.cena*(kol_vo-brak))/(coalesce(d1,0)+coalesce(d2,0)+coalesce(d3,0)+coalesce(d4,0)+coalesce(d5,"
             "0)+coalesce(d6,0)+coalesce(d7,0)+coalesce(d8,0)+coalesce(d9,0)+coalesce(d10,0)+"),
        QStringLiteral("coalesce(d11,0)+coalesce(d12,0)+coalesce(d13,0)+coalesce(d14,0)+coalesce(d15,0)+coalesce(d16,0)+coal"
             "esce(d17,0)+coalesce(d18,0)+coalesce(d19,0)+coalesce(d20,0)+"),
        QStringLiteral("coalesce(d21,0)+coalesce(d22,0)+coalesce(d23,0)+coalesce(d24,0)+coalesce(d25,0)+coalesce(d26,0)+coal"
             "esce(d27,0)+coalesce(d28,0)+coalesce(d29,0)+coalesce(d30,0)+"),
        QStringLiteral("coalesce(d31,0))) end ::numeric(10,2) as average_price, sum(s.cena*(kol_vo-brak))::numeric(10,2) as "
             "cena_all,"),
        QStringLiteral("h_tabel.* "),
        QStringLiteral("from accounts_dep.h_tabel, cmn_contractor.person, accounts_dep.smena s where "),
        QStringLiteral("h_tabel.w_id=person.s_code::integer and h_tabel.smena=1 and month=:mnth and s.w_id = h_tabel.w_id an"
             "d"),
        QStringLiteral("h_tabel.year=:yea and s.data >=:date1 and s.data <:date2"),
        QStringLiteral("group by person.s_caption,h_tabel.w_id,h_tabel.month,h_tabel.year,h_tabel.smena,h_tabel.id "),
        QStringLiteral("order by fio")};

// The other shifts differ from these in a few places only.
QStringList smena3() {
    QStringList l = kSmena2;
    l[1].replace(QStringLiteral("smena.cena, s_caption fio, "), QStringLiteral("smena.cena,s_caption fio, "));
    l[1].replace(QStringLiteral(", oper.naimen,"), QStringLiteral(",  oper.naimen,"));
    l[2].chop(2);
    l[5].replace(QStringLiteral("smena.smena=2"), QStringLiteral("smena.smena=3"));
    return l;
}
QStringList smena4() {
    QStringList l = kSmena2;
    l[1].replace(QStringLiteral("smena.cena, s_caption fio, "), QStringLiteral("smena.cena,person.s_caption fio, "));
    l[1].replace(QStringLiteral(", oper.naimen,"), QStringLiteral(",  oper.naimen,"));
    l[2].replace(QStringLiteral("smena.id, color,time"), QStringLiteral("smena.id , color,time"));
    l[2].chop(1);
    l[3] = QStringLiteral("from cmn_contractor.person person, accounts_dep.izdel, accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper ");
    l[5].replace(QStringLiteral("smena.smena=2"), QStringLiteral("smena.smena=4"));
    return l;
}
QStringList hTabel(int shift) {
    QStringList l = kHTabel1;
    l[15].replace(QStringLiteral("h_tabel.smena=1"), QStringLiteral("h_tabel.smena=%1").arg(shift));
    return l;
}
}  // namespace

class TestRulesSqltext : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void texts_data() {
        QTest::addColumn<QStringList>("actual");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("smena 1") << sqltext::smena(1) << kSmena1;
        QTest::newRow("smena 2") << sqltext::smena(2) << kSmena2;
        QTest::newRow("smena 3") << sqltext::smena(3) << smena3();
        QTest::newRow("smena 4") << sqltext::smena(4) << smena4();
        QTest::newRow("hTabel 1") << sqltext::hTabel(1) << kHTabel1;
        QTest::newRow("hTabel 2") << sqltext::hTabel(2) << hTabel(2);
        QTest::newRow("hTabel 3") << sqltext::hTabel(3) << hTabel(3);
        // Operations without norms are listed too (a left join), unlike the first client.
        QTest::newRow("oper") << sqltext::oper() << QStringList{
            QStringLiteral("select izdel.MARKA, vid_oper.VID, oper.NAIMEN, (SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' "
                               "ELSE 'Заготовки' END)) as nmn,"),
            QStringLiteral("count(norm.o_id) norma, min(norm.price)::numeric cena,"),
            QStringLiteral("oper.id, oper.i_id, oper.VID as oper_vid from accounts_dep.OPER join accounts_dep.IZDEL on OPER.i_id"
                               "=IZDEL.id"),
            QStringLiteral("join accounts_dep.VID_OPER on oper.vid=vid_oper.id left join accounts_dep.norm on norm.o_id=oper.id"),
            QStringLiteral("group by izdel.MARKA, vid_oper.VID, oper.NAIMEN, oper.id, oper.i_id, oper.VID order by izdel.marka, "
                               "vid_oper.vid, oper.naimen")};

        // An entry with a price whose decimal separator the desktop writes as a comma.
        entry::Record r;
        r.w_id = 101;
        r.i_id = 1;
        r.o_id = 2;
        r.cena = 12.5;
        r.kol_vo = 8;
        r.brak = 1;
        r.time = 5;
        r.color = 3;
        r.date = QDate(2024, 3, 5);
        r.shift = 1;
        QTest::newRow("duplicateCheck") << QStringList{sqltext::duplicateCheck(r)}
            << QStringList{QStringLiteral("select count(id) as cnt from accounts_dep.SMENA where w_id=101 and o_id=2 and "
                                          "i_id=1 and data=to_date('05.03.2024', 'DD.MM.YYYY') and smena=1 and color=3")};
        QTest::newRow("duplicateCheck of a change") << QStringList{sqltext::duplicateCheck(r, 9)}
            << QStringList{QStringLiteral("select count(id) as cnt from accounts_dep.SMENA where w_id=101 and o_id=2 and "
                                          "i_id=1 and data=to_date('05.03.2024', 'DD.MM.YYYY') and smena=1 and id<>9 and color=3")};
        entry::Record priced = r;
        priced.cena = 10.123456;  // stored with four decimals
        QTest::newRow("insert") << QStringList{sqltext::insert(priced, QDate(2024, 3, 6))}
            << QStringList{QStringLiteral("insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, "
                                          "color, time, vvod,ok, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, "
                                          "id_cons_use) values(101, 1, 2, 10.1235,8, 1, to_date('05.03.2024', 'DD.MM.YYYY "
                                          "HH24:MI:SS'), 1, 3, 5, '06.03.2024', 'no', 0, 0, 0, 0, 0, 0)")};
        QTest::newRow("update") << QStringList{sqltext::update(9, r, QDate(2024, 3, 6))}
            << QStringList{QStringLiteral("update accounts_dep.SMENA set w_id=101, i_id=1, o_id=2, cena=12.5, kol_vo=8, brak=1, "
                                          "data=to_date('05.03.2024', 'DD.MM.YYYY'), smena=1, color=3, time=5, "
                                          "vvod='06.03.2024', prize=0, id_doc=0, id_doc_item=0, f_gds_qty_use=0, "
                                          "id_gds_use=0, id_cons_use=0 where id=9")};
        const locks::Day overtime{101, QDate(2024, 3, 5), 4};
        QTest::newRow("timesheetInsert") << QStringList{sqltext::timesheetInsert(overtime, 7)}
            << QStringList{QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d5) values(4, 101, 3, 2024, 7)")};
        QTest::newRow("timesheetUpdate") << QStringList{sqltext::timesheetUpdate(overtime, 7)}
            << QStringList{QStringLiteral("update accounts_dep.h_tabel set d5=7 where w_id=101 and smena=4 and month=3 and year=2024")};
        QTest::newRow("postDay") << QStringList{sqltext::postDay(overtime, true)}
            << QStringList{QStringLiteral("with s as (select coalesce(sum(time), 0) as tim from accounts_dep.smena where w_id=101 "
                                          "and smena=4 and data=to_date('05.03.2024', 'DD.MM.YYYY')), u as (update "
                                          "accounts_dep.h_tabel set d5=(select tim from s) where w_id=101 and smena=4 and "
                                          "month=3 and year=2024 returning 1) insert into accounts_dep.h_tabel(smena, w_id, "
                                          "month, year, d5) select 4, 101, 3, 2024, tim from s where not exists (select 1 "
                                          "from u)")};
        QTest::newRow("postDay without a missing row") << QStringList{sqltext::postDay(overtime, false)}
            << QStringList{QStringLiteral("update accounts_dep.h_tabel set d5=(select coalesce(sum(time), 0) as tim from "
                                          "accounts_dep.smena where w_id=101 and smena=4 and data=to_date('05.03.2024', "
                                          "'DD.MM.YYYY')) where w_id=101 and smena=4 and month=3 and year=2024")};
        auxwork::Entry e;
        e.id_nom = 2;
        e.kind = 7777;
        e.id_p = 1;
        e.hours = 8;
        e.rate = sqltext::rateText(QStringLiteral("150.50"));
        e.date = QDate(2024, 3, 5);
        e.shift = 3;
        QTest::newRow("insertStatement") << QStringList{sqltext::insertStatement(e)}
            << QStringList{QStringLiteral("INSERT INTO accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, "
                                          "cnt, price)VALUES(2, 7777 ,1, '05.03.2024', 3, 2024, 3, 8, 150.5)")};
        QTest::newRow("updateStatement") << QStringList{sqltext::updateStatement(e, 42)}
            << QStringList{QStringLiteral("UPDATE accounts_dep.fatigue SET id_nom=2, id_o=7777, id_p=1, cnt=8, price=150.5 where id=42")};
        QTest::newRow("monthAmount") << QStringList{sqltext::monthAmount(101, QDate(2024, 12, 17))}
                                << QStringList{QStringLiteral("select coalesce(sum(cena::numeric*(kol_vo-brak)), 0) from accounts_dep.smena where w_id=101 and data"
             ">=to_date('01.12.2024', 'DD.MM.YYYY') and data<to_date('01.01.2025', 'DD.MM.YYYY')")};
        QTest::newRow("deleteEntry") << QStringList{sqltext::deleteEntry(9)}
                                << QStringList{QStringLiteral("delete from accounts_dep.smena where id=9")};
        QTest::newRow("confirm") << QStringList{sqltext::confirm()}
                                << QStringList{QStringLiteral("update accounts_dep.smena set ok=:ok where id=:id")};
        QTest::newRow("copySource") << sqltext::copySource() << QStringList{
            QStringLiteral("select s.id, s.w_id, s.o_id, oper.i_id, s.kol_vo, s.time, s.color, oper.naimen, izdel.marka, vid_ope"
             "r.vid,"),
            QStringLiteral("(select min(norm.price) from accounts_dep.norm where norm.o_id=s.o_id)::numeric as base,"),
            QStringLiteral("k.s_caption as fio"),
            QStringLiteral("from accounts_dep.smena s left join accounts_dep.oper on oper.id=s.o_id"),
            QStringLiteral("left join accounts_dep.izdel on izdel.id=oper.i_id left join accounts_dep.vid_oper on vid_oper.id=op"
             "er.vid"),
            QStringLiteral("left join (select distinct on (pk.k) pk.k, pk.s_caption from (select p.id as k, p.id, p.s_caption fr"
             "om cmn_contractor.person p union all select case when p.s_code ~ '^[[:space:]]*[0-9]{1,15}[[:space:]"
             "]*$' then p.s_code::t_id end, p.id, p.s_caption from cmn_contractor.person p where p.s_code ~ '^[[:s"
             "pace:]]*[0-9]{1,15}[[:space:]]*$') pk order by pk.k, pk.id) k on k.k=s.w_id"),
            QStringLiteral("where s.data=:data and s.smena=:smena"),
            QStringLiteral("order by fio, izdel.marka, vid_oper.vid, oper.naimen, s.color, s.id")};
        QTest::newRow("workerKeys") << QStringList{sqltext::workerKeys()}
                                << QStringList{QStringLiteral("select p.id as k, p.id, p.s_caption from cmn_contractor.person p union all select case when p.s_code"
             " ~ '^[[:space:]]*[0-9]{1,15}[[:space:]]*$' then p.s_code::t_id end, p.id, p.s_caption from cmn_contr"
             "actor.person p where p.s_code ~ '^[[:space:]]*[0-9]{1,15}[[:space:]]*$'")};
        // Many entries at once: two records numbered 4 and 7 of a batch, in two months.
        entry::Record r2 = r;
        r2.w_id = 102;
        r2.date = QDate(2024, 4, 30);
        const sqltext::NumberedRecords batch{{4, r}, {7, r2}};
        QTest::newRow("batchChecks") << QStringList{sqltext::batchChecks(batch)}
                                << QStringList{QStringLiteral("select b.n, exists (select 1 from accounts_dep.smena s where s.w_id=b.w_id and s.o_id=b.o_id and s.i"
             "_id=b.i_id and s.data=b.data and s.smena=b.smena and s.color=b.color) as dup, coalesce(m.amount, 0):"
             ":text as amount from unnest('{4,7}'::integer[], '{101,102}'::integer[], '{1,1}'::integer[], '{2,2}':"
             ":integer[], '{12.5,12.5}'::double precision[], '{8,8}'::integer[], '{1,1}'::integer[], '{2024-03-05,"
             "2024-04-30}'::date[], '{1,1}'::integer[], '{3,3}'::integer[], '{5,5}'::integer[]) as b(n, w_id, i_id"
             ", o_id, cena, kol_vo, brak, data, smena, color, time) left join (select s.w_id, date_trunc('month', "
             "s.data)::date as first, sum(s.cena::numeric*(s.kol_vo-s.brak)) as amount from accounts_dep.smena s w"
             "here s.data>=to_date('01.03.2024', 'DD.MM.YYYY') and s.data<to_date('01.05.2024', 'DD.MM.YYYY') and "
             "s.w_id in (101,102) group by 1, 2) m on m.w_id=b.w_id and m.first=date_trunc('month', b.data)::date "
             "order by b.n")};
        QTest::newRow("batchInsert") << QStringList{sqltext::batchInsert(batch, QDate(2024, 3, 6))}
                                << QStringList{QStringLiteral("insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, vvod,"
             "ok, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) select b.w_id, b.i_id, b.o_i"
             "d, b.cena, b.kol_vo, b.brak, b.data, b.smena, b.color, b.time, '06.03.2024'::timestamp, 'no', 0, 0, "
             "0, 0, 0, 0 from unnest('{4,7}'::integer[], '{101,102}'::integer[], '{1,1}'::integer[], '{2,2}'::inte"
             "ger[], '{12.5,12.5}'::double precision[], '{8,8}'::integer[], '{1,1}'::integer[], '{2024-03-05,2024-"
             "04-30}'::date[], '{1,1}'::integer[], '{3,3}'::integer[], '{5,5}'::integer[]) as b(n, w_id, i_id, o_i"
             "d, cena, kol_vo, brak, data, smena, color, time) order by b.n returning id, w_id, o_id, i_id, color,"
             " data, smena")};
        QTest::newRow("batchPostDate") << QStringList{sqltext::batchPostDate(QDate(2024, 3, 5), {{101, 1}, {102, 4}})}
                                << QStringList{QStringLiteral("with s as (select e.w_id, e.smena, coalesce(sum(e.time), 0) as tim from accounts_dep.smena e where e"
             ".data=to_date('05.03.2024', 'DD.MM.YYYY') and (e.w_id, e.smena) in (values (101,1),(102,4)) group by"
             " e.w_id, e.smena), u as (update accounts_dep.h_tabel h set d5=s.tim from s where h.w_id=s.w_id and h"
             ".smena=s.smena and h.month=3 and h.year=2024 returning h.w_id, h.smena) insert into accounts_dep.h_t"
             "abel(smena, w_id, month, year, d5) select s.smena, s.w_id, 3, 2024, s.tim from s where not exists (s"
             "elect 1 from u where u.w_id=s.w_id and u.smena=s.smena)")};
        QTest::newRow("importOperations") << sqltext::importOperations() << QStringList{
            QStringLiteral("select oper.id, oper.i_id, oper.naimen, izdel.marka, vid_oper.vid, min(norm.price)::numeric as cena"),
            QStringLiteral("from accounts_dep.oper join accounts_dep.izdel on oper.i_id=izdel.id"),
            QStringLiteral("join accounts_dep.vid_oper on oper.vid=vid_oper.id"),
            QStringLiteral("left join accounts_dep.norm on norm.o_id=oper.id"),
            QStringLiteral("group by oper.id, oper.i_id, oper.naimen, izdel.marka, vid_oper.vid")};
        QTest::newRow("timesheetCount") << QStringList{sqltext::timesheetCount(overtime)}
                                << QStringList{QStringLiteral("select count(w_id) as cnt from accounts_dep.h_tabel where w_id=101 and smena=4 and month=3 and year="
             "2024")};
        QTest::newRow("daySum") << QStringList{sqltext::daySum(overtime)}
                                << QStringList{QStringLiteral("select sum(time) as tim from accounts_dep.smena where w_id=101 and smena=4 and data=to_date('05.03.2"
             "024', 'DD.MM.YYYY') group by w_id, smena, data")};
        QTest::newRow("deleteMonth") << QStringList{sqltext::deleteMonth(3, 2024)}
                                << QStringList{QStringLiteral("delete from accounts_dep.h_tabel where month=3 and year=2024")};
        QTest::newRow("insertMonth") << QStringList{sqltext::insertMonth(12, 2024)}
                                << QStringList{QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d1, d2, d3, d4, d5, d6, d7, d8, d9, d10, "
             "d11, d12, d13, d14, d15, d16, d17, d18, d19, d20, d21, d22, d23, d24, d25, d26, d27, d28, d29, d30, "
             "d31) select smena, w_id, 12, 2024, max(tim) filter (where day=1), max(tim) filter (where day=2), max"
             "(tim) filter (where day=3), max(tim) filter (where day=4), max(tim) filter (where day=5), max(tim) f"
             "ilter (where day=6), max(tim) filter (where day=7), max(tim) filter (where day=8), max(tim) filter ("
             "where day=9), max(tim) filter (where day=10), max(tim) filter (where day=11), max(tim) filter (where"
             " day=12), max(tim) filter (where day=13), max(tim) filter (where day=14), max(tim) filter (where day"
             "=15), max(tim) filter (where day=16), max(tim) filter (where day=17), max(tim) filter (where day=18)"
             ", max(tim) filter (where day=19), max(tim) filter (where day=20), max(tim) filter (where day=21), ma"
             "x(tim) filter (where day=22), max(tim) filter (where day=23), max(tim) filter (where day=24), max(ti"
             "m) filter (where day=25), max(tim) filter (where day=26), max(tim) filter (where day=27), max(tim) f"
             "ilter (where day=28), max(tim) filter (where day=29), max(tim) filter (where day=30), max(tim) filte"
             "r (where day=31) from (select smena, w_id, extract(day from data)::integer as day, sum(time) as tim "
             "from accounts_dep.smena where data>=to_date('01.12.2024', 'DD.MM.YYYY') and data<to_date('01.01.2025"
             "', 'DD.MM.YYYY') and w_id is not null and smena is not null group by smena, w_id, day) d group by sm"
             "ena, w_id")};
        QTest::newRow("registerSql") << sqltext::registerSql() << QStringList{
            QStringLiteral("select distinct vo.vid, p.fio, i.s_caption, (f.cnt*f.price) as summ,  f.* "),
            QStringLiteral("from accounts_dep.fatigue f, cmn_classifier.item i, accounts_dep.person p,accounts_dep.vid_oper vo, "
             "accounts_dep.oper o "),
            QStringLiteral("where f.id_nom =i.id and p.id=f.id_p and vo.id = f.id_o and o.i_id >=7777 and o.vid >=7777 and f.d_d"
             "ate = :d_date"),
            QStringLiteral("order by p.fio")};
        QTest::newRow("typeWorkSql") << sqltext::typeWorkSql() << QStringList{
            QStringLiteral("select vo.id, vo.vid, n.price, (n.price*:cnt) as summ from accounts_dep.vid_oper vo,accounts_dep.nor"
             "m n, accounts_dep.oper o "),
            QStringLiteral("where n.o_id =o.id and o.vid=vo.id and (vo.id = 7777 or vo.id = 7778)")};
        QTest::newRow("auxDelete") << QStringList{sqltext::auxDelete(42)}
                                << QStringList{QStringLiteral("delete from accounts_dep.fatigue where id=42")};
        QTest::newRow("productDuplicateA") << QStringList{sqltext::productDuplicate(true)}
                                << QStringList{QStringLiteral("select count(*) as cnt from accounts_dep.izdel where upper(marka)=:marka")};
        QTest::newRow("productDuplicateC") << QStringList{sqltext::productDuplicate(false)}
                                << QStringList{QStringLiteral("select count(*) as cnt from accounts_dep.izdel where upper(marka)=:marka and id<>:id")};
        QTest::newRow("productInsert") << QStringList{sqltext::productInsert()}
                                << QStringList{QStringLiteral("INSERT INTO cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa, id_class_item)VA"
             "LUES(:s_caption, '', 6, :massa, :id_class_item)")};
        QTest::newRow("productUpdate") << QStringList{sqltext::productUpdate()}
                                << QStringList{QStringLiteral("UPDATE cmn_gds_and_srv.gds_and_srv SET s_caption=:s_caption, s_description='', id_msm_bs=6, massa=:m"
             "assa, id_class_item=:id_class_item where id=:id")};
        QTest::newRow("productEntries") << QStringList{sqltext::productEntries()}
                                << QStringList{QStringLiteral("select count(*) as cnt from accounts_dep.smena s where s.i_id =:id_ii and s.\"data\">=:dt")};
        QTest::newRow("productOpers") << QStringList{sqltext::productOpers()}
                                << QStringList{QStringLiteral("select count(*) as cnt from accounts_dep.oper o where o.i_id =:id_ii")};
        QTest::newRow("productEntryMonths") << QStringList{sqltext::productEntryMonths(3)}
                                << QStringList{QStringLiteral("select distinct extract(year from data)::int as y, extract(month from data)::int as m from accounts_"
             "dep.smena s where s.i_id =3 and data is not null")};
        QTest::newRow("productEntryDays") << QStringList{sqltext::productEntryDays(3)}
                                << QStringList{QStringLiteral("select distinct w_id, smena, data from accounts_dep.smena s where s.i_id =3 and w_id is not null and"
             " smena is not null and data is not null")};
        QTest::newRow("productDeleteEntries") << QStringList{sqltext::productDeleteEntries(3)}
                                << QStringList{QStringLiteral("delete from accounts_dep.smena s where s.i_id =3")};
        QTest::newRow("productDeleteNorms") << QStringList{sqltext::productDeleteNorms(3)}
                                << QStringList{QStringLiteral("delete from accounts_dep.norm n where n.o_id in (select o.id from accounts_dep.oper o where o.i_id ="
             "3)")};
        QTest::newRow("productDeleteOpers") << QStringList{sqltext::productDeleteOpers(3)}
                                << QStringList{QStringLiteral("delete from accounts_dep.oper o where o.i_id =3")};
        QTest::newRow("productDelete") << QStringList{sqltext::productDelete(3)}
                                << QStringList{QStringLiteral("delete from cmn_gds_and_srv.gds_and_srv  where id=3")};
        QTest::newRow("opTypeDuplicateA") << QStringList{sqltext::opTypeDuplicate(true)}
                                << QStringList{QStringLiteral("select count(*) as cnt from accounts_dep.vid_oper where upper(vid)=:vid")};
        QTest::newRow("opTypeDuplicateC") << QStringList{sqltext::opTypeDuplicate(false)}
                                << QStringList{QStringLiteral("select count(*) as cnt from accounts_dep.vid_oper where upper(vid)=:vid and id<>:id")};
        QTest::newRow("opTypeInsert") << QStringList{sqltext::opTypeInsert()}
                                << QStringList{QStringLiteral("insert into accounts_dep.vid_oper(vid) values(:vid)")};
        QTest::newRow("opTypeUpdate") << QStringList{sqltext::opTypeUpdate()}
                                << QStringList{QStringLiteral("update accounts_dep.vid_oper set vid=:vid where id=:id")};
        QTest::newRow("opTypeDelete") << QStringList{sqltext::opTypeDelete()}
                                << QStringList{QStringLiteral("delete from accounts_dep.vid_oper where id=:id")};
        QTest::newRow("pricedOpDuplicateA") << QStringList{sqltext::pricedOpDuplicate(2, 1, 5)}
                                << QStringList{QStringLiteral("select count(ID) as cnt from accounts_dep.OPER where vid=2 and naimen=1 and i_id=5")};
        QTest::newRow("pricedOpDuplicateC") << QStringList{sqltext::pricedOpDuplicate(2, 1, 5, 7)}
                                << QStringList{QStringLiteral("select count(*) as cnt from accounts_dep.OPER where vid=2 and naimen=1 and i_id=5 and id<>7")};
        QTest::newRow("pricedOpInsert") << QStringList{sqltext::pricedOpInsert(2, 1, 5)}
                                << QStringList{QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new)values (2, 1, 5, 0) returning id")};
        QTest::newRow("pricedOpUpdate") << QStringList{sqltext::pricedOpUpdate(2, 1, 5, 7)}
                                << QStringList{QStringLiteral("update accounts_dep.oper set vid=2, naimen=1,  i_id=5 where id=7")};
        QTest::newRow("storedEntry") << QStringList{sqltext::storedEntry(9, false), sqltext::storedEntry(9, true)}
            << QStringList{QStringLiteral("select w_id, i_id, o_id, cena, kol_vo, brak, time, color, data, smena from accounts_dep.smena where id=9"),
                           QStringLiteral("select w_id, i_id, o_id, cena, kol_vo, brak, time, color, data, smena from accounts_dep.smena where id=9 for update")};
        QTest::newRow("closedMonthUsing") << QStringList{sqltext::closedMonthUsing(7, 2, 1, 5)}
            << QStringList{QStringLiteral("select pl.month, pl.year from accounts_dep.period_lock pl, accounts_dep.oper o where o.id=7 "
                                          "and (o.vid is distinct from 2 or o.naimen is distinct from 1 or o.i_id is distinct from 5) "
                                          "and exists (select 1 from accounts_dep.smena s where s.o_id=o.id and "
                                          "s.data>=make_date(pl.year, pl.month, 1) and s.data<make_date(pl.year, pl.month, 1) + "
                                          "interval '1 month') order by pl.year, pl.month limit 1")};
        QTest::newRow("pricedOpDelete") << QStringList{sqltext::pricedOpDelete()}
                                << QStringList{QStringLiteral("delete from accounts_dep.oper where id=:id")};
        QTest::newRow("normInsert") << QStringList{sqltext::normInsert()}
                                << QStringList{QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) values(:o_id, :norma, :prize, :price) retur"
             "ning id")};
        QTest::newRow("normUpdate") << QStringList{sqltext::normUpdate()}
                                << QStringList{QStringLiteral("update accounts_dep.norm set o_id=:o_id, norma=:norma, prize=:prize, price=:price where id=:id")};
        QTest::newRow("normDelete") << QStringList{sqltext::normDelete()}
                                << QStringList{QStringLiteral("delete from accounts_dep.norm where id=:id")};
        QTest::newRow("workerInsert") << QStringList{sqltext::workerInsert()}
                                << QStringList{QStringLiteral("INSERT INTO accounts_dep.person (fio, s_staffpos_hl)VALUES(:fio, :staffpos) returning id")};
        QTest::newRow("workerUpdate") << QStringList{sqltext::workerUpdate(7)}
                                << QStringList{QStringLiteral("UPDATE accounts_dep.person SET fio=:fio, s_staffpos_hl=:staffpos where accounts_dep.person.id=7 retu"
             "rning id")};
        QTest::newRow("workerDelete") << QStringList{sqltext::workerDelete(7)}
                                << QStringList{QStringLiteral("delete from accounts_dep.person where id =7")};
    }
    void texts() {
        QFETCH(QStringList, actual);
        QFETCH(QStringList, expected);
        QCOMPARE(actual.size(), expected.size());
        for (int i = 0; i < actual.size(); ++i) QCOMPARE(actual[i], expected[i]);
    }

    // The values the statements write in place.
    void formatters() {
        QCOMPARE(sqltext::number(-12), QStringLiteral("-12"));
        QCOMPARE(sqltext::dateText(QDate(2024, 3, 5)), QStringLiteral("05.03.2024"));
        QCOMPARE(sqltext::toDate(QDate(2024, 12, 31)), QStringLiteral("to_date('31.12.2024', 'DD.MM.YYYY')"));
        QCOMPARE(sqltext::rateText(QStringLiteral("150,500")), QStringLiteral("150.5"));
        QCOMPARE(sqltext::rateText(QVariant(2.25)), QStringLiteral("2.25"));
        QCOMPARE(sqltext::rateText(QStringLiteral("150.00")), QStringLiteral("150"));
        QCOMPARE(sqltext::rateText(QVariant()), QString());
    }

    // Every function the catalogue declares has its row above: a statement added to the
    // catalogue without its exact text fails here.
    void everyStatementHasItsText() {
        QFile header(QStringLiteral(MIRN_SOURCE_DIR "/domain/sqltext.h"));
        QFile self(QStringLiteral(MIRN_SOURCE_DIR "/tests/rules/test_rules_sqltext.cpp"));
        QVERIFY(header.open(QIODevice::ReadOnly) && self.open(QIODevice::ReadOnly));
        const QString tests = QString::fromUtf8(self.readAll());
        static const QRegularExpression decl(QStringLiteral("^(?:QString|QStringList) (\\w+)\\("),
                                             QRegularExpression::MultilineOption);
        QStringList declared, missing;
        for (auto it = decl.globalMatch(QString::fromUtf8(header.readAll())); it.hasNext();) {
            const QString name = it.next().captured(1);
            declared << name;
            if (!tests.contains(QStringLiteral("sqltext::") + name + QLatin1Char('('))) missing << name;
        }
        QVERIFY(declared.size() > 40);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
    }
};

QTEST_APPLESS_MAIN(TestRulesSqltext)
#include "test_rules_sqltext.moc"
