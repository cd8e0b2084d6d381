#include "domain/sqltext.h"

#include "domain/auxwork.h"
#include "domain/entry_store.h"

#include <algorithm>

namespace mirn {

namespace sqltext {

namespace {
const QString kNmn = QStringLiteral(
    "(SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' ELSE 'Заготовки' END)) as nmn");
const QString kWhere = QStringLiteral(
    "where smena.i_id=izdel.id and smena.o_id=oper.id and (w_id=person.id or s_code::t_id=w_id) and ");

QString dayColumns(int from, int to) {
    QString s;
    for (int d = from; d <= to; ++d) s += QStringLiteral("coalesce(d%1,0)+").arg(d);
    return s;
}
}  // namespace

QString number(qint64 v) { return QString::number(v); }

QString dateText(const QDate& date) { return date.toString(QStringLiteral("dd.MM.yyyy")); }

QString toDate(const QDate& d) { return QStringLiteral("to_date('") + dateText(d) + QStringLiteral("', 'DD.MM.YYYY')"); }

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
    const QString s1 = dayColumns(1, 10), s2 = dayColumns(11, 20), s3 = dayColumns(21, 30);
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

// ---------------------------------------------------------------- shift entries

namespace {
using entry::Record;
const auto n = number;
QString sameEntry(const Record& r) {
    return QStringLiteral("select count(id) as cnt from accounts_dep.SMENA where w_id=") + n(r.w_id) +
           QStringLiteral(" and o_id=") + n(r.o_id) + QStringLiteral(" and i_id=") + n(r.i_id) +
           QStringLiteral(" and data=") + toDate(r.date) + QStringLiteral(" and smena=") + n(r.shift);
}
}  // namespace

QString duplicateCheck(const Record& r) { return sameEntry(r) + QStringLiteral(" and color=") + n(r.color); }

QString duplicateCheck(const Record& r, int excludeId) {
    return sameEntry(r) + QStringLiteral(" and id<>") + n(excludeId) + QStringLiteral(" and color=") + n(r.color);
}

QString insert(const Record& r, const QDate& enteredOn) {
    return QStringLiteral(
               "insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, "
               "vvod,ok, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values(") +
           n(r.w_id) + QStringLiteral(", ") + n(r.i_id) + QStringLiteral(", ") + n(r.o_id) + QStringLiteral(", ") +
           entry::priceText(r.cena) + QStringLiteral(",") + n(r.kol_vo) + QStringLiteral(", ") + n(r.brak) +
           QStringLiteral(", to_date('") + dateText(r.date) + QStringLiteral("', 'DD.MM.YYYY HH24:MI:SS'), ") +
           n(r.shift) + QStringLiteral(", ") + n(r.color) + QStringLiteral(", ") + n(r.time) + QStringLiteral(", '") +
           dateText(enteredOn) + QStringLiteral("', 'no', 0, 0, 0, 0, 0, 0)");
}

QString update(int id, const Record& r, const QDate& enteredOn) {
    return QStringLiteral("update accounts_dep.SMENA set w_id=") + n(r.w_id) + QStringLiteral(", i_id=") +
           n(r.i_id) + QStringLiteral(", o_id=") + n(r.o_id) + QStringLiteral(", cena=") + entry::priceText(r.cena) +
           QStringLiteral(", kol_vo=") + n(r.kol_vo) + QStringLiteral(", brak=") + n(r.brak) +
           QStringLiteral(", data=") + toDate(r.date) + QStringLiteral(", smena=") + n(r.shift) +
           QStringLiteral(", color=") + n(r.color) + QStringLiteral(", time=") + n(r.time) +
           QStringLiteral(", vvod='") + dateText(enteredOn) +
           QStringLiteral("', prize=0, id_doc=0, id_doc_item=0, f_gds_qty_use=0, id_gds_use=0, id_cons_use=0") +
           QStringLiteral(" where id=") + n(id);
}

QString deleteEntry(int id) { return QStringLiteral("delete from accounts_dep.smena where id=") + n(id); }

QString storedEntry(int id, bool lock) {
    return QStringLiteral("select w_id, i_id, o_id, cena, kol_vo, brak, time, color, data, smena from accounts_dep.smena where id=") +
           n(id) + (lock ? QStringLiteral(" for update") : QString());
}

QString confirm() { return QStringLiteral("update accounts_dep.smena set ok=:ok where id=:id"); }

QString monthAmount(int w_id, const QDate& day) {
    const QDate first(day.year(), day.month(), 1);
    // A stored price is a double the client wrote with four decimals at most: as
    // numeric it is that decimal again, and the sum is exact.
    return QStringLiteral("select coalesce(sum(cena::numeric*(kol_vo-brak)), 0) from accounts_dep.smena where w_id=") +
           n(w_id) + QStringLiteral(" and data>=") + toDate(first) + QStringLiteral(" and data<") +
           toDate(first.addMonths(1));
}

QStringList copySource() {
    return {
        QStringLiteral("select s.id, s.w_id, s.o_id, oper.i_id, s.kol_vo, s.time, s.color, oper.naimen, izdel.marka, vid_oper.vid,"),
        QStringLiteral("(select min(norm.price) from accounts_dep.norm where norm.o_id=s.o_id)::numeric as base,"),
        QStringLiteral("k.s_caption as fio"),
        QStringLiteral("from accounts_dep.smena s left join accounts_dep.oper on oper.id=s.o_id"),
        QStringLiteral("left join accounts_dep.izdel on izdel.id=oper.i_id left join accounts_dep.vid_oper on vid_oper.id=oper.vid"),
        // Each key once with the lowest person id it names, worked out once per person
        // rather than once per person for every entry.
        QStringLiteral("left join (select distinct on (pk.k) pk.k, pk.s_caption from (") + workerKeys() +
            QStringLiteral(") pk order by pk.k, pk.id) k on k.k=s.w_id"),
        QStringLiteral("where s.data=:data and s.smena=:smena"),
        QStringLiteral("order by fio, izdel.marka, vid_oper.vid, oper.naimen, s.color, s.id"),
    };
}

QString workerKeys() {
    return QStringLiteral(
        "select p.id as k, p.id, p.s_caption from cmn_contractor.person p union all "
        "select case when p.s_code ~ '^[[:space:]]*[0-9]{1,15}[[:space:]]*$' then p.s_code::t_id end, p.id, p.s_caption "
        "from cmn_contractor.person p where p.s_code ~ '^[[:space:]]*[0-9]{1,15}[[:space:]]*$'");
}

QStringList importOperations() {
    return {QStringLiteral("select oper.id, oper.i_id, oper.naimen, izdel.marka, vid_oper.vid, min(norm.price)::numeric as cena"),
            QStringLiteral("from accounts_dep.oper join accounts_dep.izdel on oper.i_id=izdel.id"),
            QStringLiteral("join accounts_dep.vid_oper on oper.vid=vid_oper.id"),
            QStringLiteral("left join accounts_dep.norm on norm.o_id=oper.id"),
            QStringLiteral("group by oper.id, oper.i_id, oper.naimen, izdel.marka, vid_oper.vid")};
}

// ---------------------------------------------------------------- day postings

namespace {
QString monthRow(const locks::Day& d) {
    return QStringLiteral(" where w_id=") + n(d.w_id) + QStringLiteral(" and smena=") + n(d.shift) +
           QStringLiteral(" and month=") + n(d.date.month()) + QStringLiteral(" and year=") + n(d.date.year());
}
}  // namespace

QString timesheetCount(const locks::Day& d) {
    return QStringLiteral("select count(w_id) as cnt from accounts_dep.h_tabel") + monthRow(d);
}

QString daySum(const locks::Day& d) {
    return QStringLiteral("select sum(time) as tim from accounts_dep.smena where w_id=") + n(d.w_id) +
           QStringLiteral(" and smena=") + n(d.shift) + QStringLiteral(" and data=to_date('") + dateText(d.date) +
           QStringLiteral("', 'DD.MM.YYYY') group by w_id, smena, data");
}

QString timesheetInsert(const locks::Day& d, int tim) {
    return QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d") + n(d.date.day()) +
           QStringLiteral(") ") + QStringLiteral("values(") + n(d.shift) + QStringLiteral(", ") + n(d.w_id) +
           QStringLiteral(", ") + n(d.date.month()) + QStringLiteral(", ") + n(d.date.year()) +
           QStringLiteral(", ") + n(tim) + QStringLiteral(")");
}

QString timesheetUpdate(const locks::Day& d, int tim) {
    return QStringLiteral("update accounts_dep.h_tabel set d") + n(d.date.day()) + QStringLiteral("=") + n(tim) +
           monthRow(d);
}

QString postDay(const locks::Day& d, bool insertMissing) {
    const QString col = QStringLiteral("d") + n(d.date.day());
    // A day without entries sums to no row: 0 hours, as the day's total read on its own.
    const QString tim = QStringLiteral("select coalesce(sum(time), 0) as tim from accounts_dep.smena where w_id=") +
                        n(d.w_id) + QStringLiteral(" and smena=") + n(d.shift) + QStringLiteral(" and data=") +
                        toDate(d.date);
    if (!insertMissing)
        return QStringLiteral("update accounts_dep.h_tabel set ") + col + QStringLiteral("=(") + tim + QStringLiteral(")") +
               monthRow(d);
    // The month's rows updated; none there, one inserted holding only this day.
    return QStringLiteral("with s as (") + tim + QStringLiteral("), u as (update accounts_dep.h_tabel set ") + col +
           QStringLiteral("=(select tim from s)") + monthRow(d) +
           QStringLiteral(" returning 1) insert into accounts_dep.h_tabel(smena, w_id, month, year, ") + col +
           QStringLiteral(") select ") + n(d.shift) + QStringLiteral(", ") + n(d.w_id) + QStringLiteral(", ") +
           n(d.date.month()) + QStringLiteral(", ") + n(d.date.year()) +
           QStringLiteral(", tim from s where not exists (select 1 from u)");
}

QString deleteMonth(int month, int year) {
    return QStringLiteral("delete from accounts_dep.h_tabel where month=") + n(month) + QStringLiteral(" and year=") +
           n(year);
}

QString insertMonth(int month, int year) {
    const QDate first(year, month, 1);
    QString sql = QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year");
    for (int d = 1; d <= 31; ++d) sql += QStringLiteral(", d%1").arg(d);
    sql += QStringLiteral(") select smena, w_id, ") + n(month) + QStringLiteral(", ") + n(year);
    // Summed by day first: the pivot then looks at one row per worker, shift and day
    // rather than at every entry 31 times.
    for (int d = 1; d <= 31; ++d) sql += QStringLiteral(", max(tim) filter (where day=%1)").arg(d);
    // Entries without a worker or shift belong to no row of the timesheet.
    sql += QStringLiteral(" from (select smena, w_id, extract(day from data)::integer as day, sum(time) as tim"
                          " from accounts_dep.smena where data>=to_date('") +
           dateText(first) + QStringLiteral("', 'DD.MM.YYYY') and data<to_date('") + dateText(first.addMonths(1)) +
           QStringLiteral("', 'DD.MM.YYYY') and w_id is not null and smena is not null group by smena, w_id, day) d"
                          " group by smena, w_id");
    return sql;
}

// ---------------------------------------------------------------- many new entries

namespace {
// The records as a derived table b: n, w_id, i_id, o_id, cena, kol_vo, brak, data,
// smena, color, time, with the values insert() writes. One array per column: the server
// reads thousands of rows of them far quicker than as many rows of values.
QString batchTable(const NumberedRecords& rows) {
    QString c[11];
    for (QString& t : c) t.reserve(rows.size() * 8);
    for (const auto& [k, r] : rows) {
        const QString v[11] = {n(k),       n(r.w_id),   n(r.i_id),  n(r.o_id), entry::priceText(r.cena),
                               n(r.kol_vo), n(r.brak),  r.date.toString(Qt::ISODate), n(r.shift), n(r.color),
                               n(r.time)};
        for (int i = 0; i < 11; ++i) {
            if (!c[i].isEmpty()) c[i] += QLatin1Char(',');
            c[i] += v[i];
        }
    }
    static const char* const types[11] = {"integer", "integer", "integer", "integer", "double precision", "integer",
                                          "integer", "date",    "integer", "integer", "integer"};
    QString out = QStringLiteral("unnest(");
    for (int i = 0; i < 11; ++i)
        out += (i ? QStringLiteral(", '{") : QStringLiteral("'{")) + c[i] + QStringLiteral("}'::") + QLatin1String(types[i]) +
               QStringLiteral("[]");
    return out + QStringLiteral(") as b(n, w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time)");
}

QString workerList(const NumberedRecords& rows) {
    QList<int> ids;
    for (const auto& [k, r] : rows) ids << r.w_id;
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    QString out;
    for (int id : ids) {
        if (!out.isEmpty()) out += QLatin1Char(',');
        out += n(id);
    }
    return out;
}
}  // namespace

QString batchChecks(const NumberedRecords& rows) {
    QDate first, last;
    for (const auto& [k, r] : rows) {
        const QDate month(r.date.year(), r.date.month(), 1);
        if (!first.isValid() || month < first) first = month;
        if (!last.isValid() || month > last) last = month;
    }
    // The months' entries are read in one pass over their dates (they lie together), not
    // worker by worker.
    return QStringLiteral("select b.n, exists (select 1 from accounts_dep.smena s where s.w_id=b.w_id and s.o_id=b.o_id "
                          "and s.i_id=b.i_id and s.data=b.data and s.smena=b.smena and s.color=b.color) as dup, "
                          "coalesce(m.amount, 0)::text as amount from ") +
           batchTable(rows) +
           QStringLiteral(" left join (select s.w_id, date_trunc('month', s.data)::date as first, "
                          "sum(s.cena::numeric*(s.kol_vo-s.brak)) as amount from accounts_dep.smena s where s.data>=") +
           toDate(first) + QStringLiteral(" and s.data<") + toDate(last.addMonths(1)) +
           QStringLiteral(" and s.w_id in (") + workerList(rows) +
           QStringLiteral(") group by 1, 2) m on m.w_id=b.w_id and m.first=date_trunc('month', b.data)::date order by b.n");
}

QString batchInsert(const NumberedRecords& rows, const QDate& enteredOn) {
    return QStringLiteral("insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, "
                          "vvod,ok, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) "
                          "select b.w_id, b.i_id, b.o_id, b.cena, b.kol_vo, b.brak, b.data, b.smena, b.color, b.time, '") +
           dateText(enteredOn) + QStringLiteral("'::timestamp, 'no', 0, 0, 0, 0, 0, 0 from ") + batchTable(rows) +
           QStringLiteral(" order by b.n returning id, w_id, o_id, i_id, color, data, smena");
}

QString batchPostDate(const QDate& date, const QList<std::pair<int, int>>& workerShifts) {
    QString pairs;
    for (const auto& [w, s] : workerShifts) {
        if (!pairs.isEmpty()) pairs += QLatin1Char(',');
        pairs += QLatin1Char('(') + n(w) + QLatin1Char(',') + n(s) + QLatin1Char(')');
    }
    const QString col = QStringLiteral("d") + n(date.day()), m = n(date.month()), y = n(date.year());
    // A day whose hours are all empty posts 0, as a single save does.
    return QStringLiteral("with s as (select e.w_id, e.smena, coalesce(sum(e.time), 0) as tim from accounts_dep.smena e "
                          "where e.data=to_date('") +
           dateText(date) + QStringLiteral("', 'DD.MM.YYYY') and (e.w_id, e.smena) in (values ") + pairs +
           QStringLiteral(") group by e.w_id, e.smena), u as (update accounts_dep.h_tabel h set ") + col +
           QStringLiteral("=s.tim from s where h.w_id=s.w_id and h.smena=s.smena and h.month=") + m +
           QStringLiteral(" and h.year=") + y +
           QStringLiteral(" returning h.w_id, h.smena) insert into accounts_dep.h_tabel(smena, w_id, month, year, ") + col +
           QStringLiteral(") select s.smena, s.w_id, ") + m + QStringLiteral(", ") + y +
           QStringLiteral(", s.tim from s where not exists (select 1 from u where u.w_id=s.w_id and u.smena=s.smena)");
}

// ---------------------------------------------------------------- auxiliary work

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

QString insertStatement(const auxwork::Entry& e) {
    return QStringLiteral(
               "INSERT INTO accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price)VALUES(") +
           n(e.id_nom) + QStringLiteral(", ") + n(e.kind) + QStringLiteral(" ,") + n(e.id_p) + QStringLiteral(", '") +
           dateText(e.date) + QStringLiteral("', ") + n(e.date.month()) + QStringLiteral(", ") + n(e.date.year()) +
           QStringLiteral(", ") + n(e.shift) + QStringLiteral(", ") + n(e.hours) + QStringLiteral(", ") + e.rate +
           QStringLiteral(")");
}

QString updateStatement(const auxwork::Entry& e, int id) {
    return QStringLiteral("UPDATE accounts_dep.fatigue SET id_nom=") + n(e.id_nom) + QStringLiteral(", id_o=") +
           n(e.kind) + QStringLiteral(", id_p=") + n(e.id_p) + QStringLiteral(", cnt=") + n(e.hours) +
           QStringLiteral(", price=") + e.rate + QStringLiteral(" where id=") + n(id);
}

QString auxDelete(int id) { return QStringLiteral("delete from accounts_dep.fatigue where id=") + n(id); }

// ---------------------------------------------------------------- products

QString productDuplicate(bool adding) {
    return QStringLiteral("select count(*) as cnt from accounts_dep.izdel where upper(marka)=:marka") +
           (adding ? QString() : QStringLiteral(" and id<>:id"));
}

QString productInsert() {
    return QStringLiteral(
        "INSERT INTO cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa, id_class_item)"
        "VALUES(:s_caption, '', 6, :massa, :id_class_item)");
}

QString productUpdate() {
    return QStringLiteral(
        "UPDATE cmn_gds_and_srv.gds_and_srv SET s_caption=:s_caption, s_description='', id_msm_bs=6, "
        "massa=:massa, id_class_item=:id_class_item where id=:id");
}

QString productEntries() {
    return QStringLiteral("select count(*) as cnt from accounts_dep.smena s where s.i_id =:id_ii and s.\"data\">=:dt");
}

QString productOpers() { return QStringLiteral("select count(*) as cnt from accounts_dep.oper o where o.i_id =:id_ii"); }

QString productEntryMonths(qlonglong id) {
    return QStringLiteral("select distinct extract(year from data)::int as y, extract(month from data)::int as m "
                          "from accounts_dep.smena s where s.i_id =") +
           n(id) + QStringLiteral(" and data is not null");
}

QString productEntryDays(qlonglong id) {
    return QStringLiteral("select distinct w_id, smena, data from accounts_dep.smena s where s.i_id =") + n(id) +
           QStringLiteral(" and w_id is not null and smena is not null and data is not null");
}

QString productDeleteEntries(qlonglong id) { return QStringLiteral("delete from accounts_dep.smena s where s.i_id =") + n(id); }

QString productDeleteNorms(qlonglong id) {
    return QStringLiteral("delete from accounts_dep.norm n where n.o_id in (select o.id from accounts_dep.oper o where o.i_id =") +
           n(id) + QStringLiteral(")");
}

QString productDeleteOpers(qlonglong id) { return QStringLiteral("delete from accounts_dep.oper o where o.i_id =") + n(id); }

QString productDelete(qlonglong id) { return QStringLiteral("delete from cmn_gds_and_srv.gds_and_srv  where id=") + n(id); }

// ---------------------------------------------------------------- operation types

QString opTypeDuplicate(bool adding) {
    return QStringLiteral("select count(*) as cnt from accounts_dep.vid_oper where upper(vid)=:vid") +
           (adding ? QString() : QStringLiteral(" and id<>:id"));
}

QString opTypeInsert() { return QStringLiteral("insert into accounts_dep.vid_oper(vid) values(:vid)"); }

QString opTypeUpdate() { return QStringLiteral("update accounts_dep.vid_oper set vid=:vid where id=:id"); }

QString opTypeDelete() { return QStringLiteral("delete from accounts_dep.vid_oper where id=:id"); }

// ---------------------------------------------------------------- priced operations and norms

QString pricedOpDuplicate(int vid, int kind, int i_id) {
    return QStringLiteral("select count(ID) as cnt from accounts_dep.OPER where vid=") + n(vid) +
           QStringLiteral(" and naimen=") + n(kind) + QStringLiteral(" and i_id=") + n(i_id);
}

QString pricedOpDuplicate(int vid, int kind, int i_id, int excludeId) {
    return QStringLiteral("select count(*) as cnt from accounts_dep.OPER where vid=") + n(vid) +
           QStringLiteral(" and naimen=") + n(kind) + QStringLiteral(" and i_id=") + n(i_id) +
           QStringLiteral(" and id<>") + n(excludeId);
}

QString pricedOpInsert(int vid, int kind, int i_id) {
    return QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new)values (") + n(vid) +
           QStringLiteral(", ") + n(kind) + QStringLiteral(", ") + n(i_id) + QStringLiteral(", 0) returning id");
}

QString pricedOpUpdate(int vid, int kind, int i_id, int id) {
    return QStringLiteral("update accounts_dep.oper set vid=") + n(vid) + QStringLiteral(", naimen=") + n(kind) +
           QStringLiteral(",  i_id=") + n(i_id) + QStringLiteral(" where id=") + n(id);
}

QString pricedOpDelete() { return QStringLiteral("delete from accounts_dep.oper where id=:id"); }

QString closedMonthUsing(int id, int vid, int kind, int i_id) {
    return QStringLiteral("select pl.month, pl.year from accounts_dep.period_lock pl, accounts_dep.oper o where o.id=") + n(id) +
           QStringLiteral(" and (o.vid is distinct from ") + n(vid) + QStringLiteral(" or o.naimen is distinct from ") + n(kind) +
           QStringLiteral(" or o.i_id is distinct from ") + n(i_id) +
           QStringLiteral(") and exists (select 1 from accounts_dep.smena s where s.o_id=o.id and s.data>=make_date(pl.year, "
                          "pl.month, 1) and s.data<make_date(pl.year, pl.month, 1) + interval '1 month') "
                          "order by pl.year, pl.month limit 1");
}

QString normInsert() {
    return QStringLiteral("insert into accounts_dep.norm(o_id, norma, prize, price) "
                          "values(:o_id, :norma, :prize, :price) returning id");
}

QString normUpdate() {
    return QStringLiteral("update accounts_dep.norm set o_id=:o_id, norma=:norma, prize=:prize, price=:price where id=:id");
}

QString normDelete() { return QStringLiteral("delete from accounts_dep.norm where id=:id"); }

// ---------------------------------------------------------------- workers

QString workerInsert() {
    return QStringLiteral("INSERT INTO accounts_dep.person (fio, s_staffpos_hl)VALUES(:fio, :staffpos) returning id");
}

QString workerUpdate(int id) {
    return QStringLiteral("UPDATE accounts_dep.person SET fio=:fio, s_staffpos_hl=:staffpos where "
                          "accounts_dep.person.id=") +
           n(id) + QStringLiteral(" returning id");
}

QString workerDelete(int id) { return QStringLiteral("delete from accounts_dep.person where id =") + n(id); }

}  // namespace sqltext

}  // namespace mirn
