#include "domain/month_check.h"

#include "domain/db.h"

#include <QStringList>

#include <algorithm>

namespace mirn {

namespace monthcheck {
namespace {

// The worker's name as the journal finds it: by the register's code, else by its row.
const QString kName = QStringLiteral(
    "coalesce((select min(p.s_caption) from cmn_contractor.person p where p.s_code::t_id=%1),"
    " (select p.s_caption from cmn_contractor.person p where p.id=%1), '')");

QString named(const QString& column) { return kName.arg(column); }

// One statement per kind: rows of id, data, smena, w_id, fio, detail.
struct Source {
    Kind kind;
    QString sql;
};

std::vector<Source> sources() {
    const QString inMonth = QStringLiteral(" s.data>=:d1 and s.data<:d2 ");
    const QString entry = QStringLiteral("select s.id, s.data, s.smena::integer as smena, s.w_id, ") + named(QStringLiteral("s.w_id")) +
                          QStringLiteral(" as fio, ");
    // The timesheet's day cells beside the entries' hours of the same worker, shift and day.
    QString cells = QStringLiteral("select h.w_id, h.smena::integer as smena, c.day::integer as day, sum(c.hours)::integer as hours"
                                   " from accounts_dep.h_tabel h cross join lateral unnest(array[");
    for (int d = 1; d <= 31; ++d) cells += (d > 1 ? QStringLiteral(",") : QString()) + QStringLiteral("h.d%1").arg(d);
    cells += QStringLiteral("]) with ordinality as c(hours, day) where h.month=:m and h.year=:y group by 1, 2, 3");
    const QString hours = QStringLiteral(
        "select s.w_id, s.smena::integer as smena, extract(day from s.data)::integer as day, sum(s.time)::integer as hours"
        " from accounts_dep.smena s where") + inMonth +
        QStringLiteral("and s.w_id is not null and s.smena is not null group by 1, 2, 3");
    return {
        {Kind::Unconfirmed, entry + QStringLiteral("'отметка «' || coalesce(trim(s.ok), '') || '»' as detail"
                                                   " from accounts_dep.smena s where") + inMonth +
                                QStringLiteral("and coalesce(trim(s.ok), '') not in ('ok', 'да')")},
        {Kind::NoPrice, entry + QStringLiteral("case when coalesce(s.cena, 0)=0 then 'цена 0' else 'у операции нет нормы' end"
                                               " as detail from accounts_dep.smena s where") + inMonth +
                            QStringLiteral("and (coalesce(s.cena, 0)=0 or not exists (select 1 from accounts_dep.norm n"
                                           " where n.o_id=s.o_id and n.price is not null))")},
        {Kind::TimesheetDiffers,
         QStringLiteral("select 0 as id, make_date(:y, :m, coalesce(e.day, t.day)) as data, coalesce(e.smena, t.smena) as smena,"
                        " coalesce(e.w_id, t.w_id) as w_id, ") + named(QStringLiteral("coalesce(e.w_id, t.w_id)")) +
             QStringLiteral(" as fio, 'в табеле ' || coalesce(t.hours, 0) || ' ч, по записям ' || coalesce(e.hours, 0) || ' ч'"
                            " as detail from (") + hours + QStringLiteral(") e full join (") + cells +
             QStringLiteral(") t on t.w_id=e.w_id and t.smena=e.smena and t.day=e.day"
                            " where coalesce(e.hours, 0)<>coalesce(t.hours, 0)"
                            " and coalesce(e.day, t.day)<=extract(day from (:d2::date - 1))"
                            // A missing row is its own kind, not 31 differing cells.
                            " and exists (select 1 from accounts_dep.h_tabel h where h.w_id=coalesce(e.w_id, t.w_id)"
                            " and h.smena=coalesce(e.smena, t.smena) and h.month=:m and h.year=:y)")},
        {Kind::NoTimesheetRow,
         QStringLiteral("select 0 as id, min(s.data) as data, s.smena::integer as smena, s.w_id, ") + named(QStringLiteral("s.w_id")) +
             QStringLiteral(" as fio, 'записей ' || count(*) || ', часов ' || coalesce(sum(s.time), 0) as detail"
                            " from accounts_dep.smena s where") + inMonth +
             QStringLiteral("and s.w_id is not null and s.smena is not null and not exists (select 1 from accounts_dep.h_tabel h"
                            " where h.w_id=s.w_id and h.smena=s.smena and h.month=:m and h.year=:y) group by s.w_id, s.smena")},
        {Kind::UnseenWorker,
         QStringLiteral("select min(s.id) as id, min(s.data) as data, 0 as smena, s.w_id, ") + named(QStringLiteral("s.w_id")) +
             QStringLiteral(" as fio, 'записей ' || count(*) || ': нет в табеле и отчетах (нет рабочего с таким кодом)'"
                            " as detail from accounts_dep.smena s where") + inMonth +
             QStringLiteral("and s.w_id is not null and not exists (select 1 from cmn_contractor.person p"
                            " where p.s_code::t_id=s.w_id) group by s.w_id")},
        {Kind::ZeroHours, entry + QStringLiteral("'часов 0' as detail from accounts_dep.smena s where") + inMonth +
                              QStringLiteral("and coalesce(s.time, 0)=0")},
        {Kind::OverDay,
         QStringLiteral("select 0 as id, s.data, 0 as smena, s.w_id, ") + named(QStringLiteral("s.w_id")) +
             QStringLiteral(" as fio, 'за день ' || sum(s.time) || ' ч' as detail from accounts_dep.smena s where") + inMonth +
             QStringLiteral("and s.w_id is not null group by s.w_id, s.data having sum(s.time)>24")},
        {Kind::AuxNoHours,
         QStringLiteral("select f.id, f.d_date as data, f.i_smena as smena, f.id_p::integer as w_id, ") +
             named(QStringLiteral("f.id_p")) +
             QStringLiteral(" as fio, 'часов 0' as detail from accounts_dep.fatigue f"
                            " where f.d_date>=:d1 and f.d_date<:d2 and coalesce(f.cnt, 0)=0")},
        {Kind::AuxNoRate,
         QStringLiteral("select f.id, f.d_date as data, f.i_smena as smena, f.id_p::integer as w_id, ") +
             named(QStringLiteral("f.id_p")) +
             QStringLiteral(" as fio, 'нет расценки' as detail from accounts_dep.fatigue f"
                            " where f.d_date>=:d1 and f.d_date<:d2 and coalesce(f.price, 0)=0")},
    };
}

}  // namespace

QString kindTitle(Kind kind) {
    switch (kind) {
    case Kind::Unconfirmed: return QStringLiteral("Записи не подтверждены");
    case Kind::NoPrice: return QStringLiteral("Записи без цены (цена 0 или у операции нет нормы)");
    case Kind::TimesheetDiffers: return QStringLiteral("Табель расходится с записями");
    case Kind::NoTimesheetRow: return QStringLiteral("Рабочие с записями, но без строки табеля");
    case Kind::UnseenWorker: return QStringLiteral("Рабочие, которых не видят табель и отчеты");
    case Kind::ZeroHours: return QStringLiteral("Записи с 0 часов");
    case Kind::OverDay: return QStringLiteral("Больше 24 часов за день");
    case Kind::AuxNoHours: return QStringLiteral("Хоз. работы с 0 часов");
    case Kind::AuxNoRate: return QStringLiteral("Хоз. работы без расценки");
    }
    return {};
}

std::vector<Problem> check(int month, int year, const QString& connection) {
    const QDate first(year, month, 1);
    if (!first.isValid()) throw DbError(QStringLiteral("Нет такого месяца: %1.%2").arg(month).arg(year));
    std::vector<Problem> out;
    for (const Source& src : sources()) {
        Query q(connection);
        q.SQL = {src.sql + QStringLiteral(" order by data, smena, w_id, id")};
        if (src.sql.contains(QStringLiteral(":d1"))) q.setParam(QStringLiteral("d1"), first);
        if (src.sql.contains(QStringLiteral(":d2"))) q.setParam(QStringLiteral("d2"), first.addMonths(1));
        if (src.sql.contains(QStringLiteral(":m"))) q.setParam(QStringLiteral("m"), month);
        if (src.sql.contains(QStringLiteral(":y"))) q.setParam(QStringLiteral("y"), year);
        q.open();
        for (q.first(); !q.eof(); q.next()) {
            Problem p{src.kind, q.field(QStringLiteral("data")).toDate(), q.asInt(QStringLiteral("smena")),
                      q.asInt(QStringLiteral("w_id")), q.asString(QStringLiteral("fio")).trimmed(),
                      q.asInt(QStringLiteral("id")), q.asString(QStringLiteral("detail"))};
            out.push_back(p);
        }
        q.close();
    }
    return out;
}

QString report(const std::vector<Problem>& problems) {
    QStringList lines;
    for (int k = 0; k < kKindCount; ++k) {
        const Kind kind = Kind(k);
        const auto n = std::count_if(problems.begin(), problems.end(), [kind](const Problem& p) { return p.kind == kind; });
        if (n == 0) continue;
        lines << QStringLiteral("%1: %2").arg(kindTitle(kind)).arg(n);
        for (const Problem& p : problems) {
            if (p.kind != kind) continue;
            QString line = QStringLiteral("  ") + p.date.toString(QStringLiteral("dd.MM.yyyy"));
            if (p.shift > 0) line += QStringLiteral(", смена %1").arg(p.shift);
            line += QStringLiteral(", %1 (%2)").arg(p.worker.isEmpty() ? QStringLiteral("?") : p.worker).arg(p.workerId);
            if (p.entryId > 0) line += (p.auxiliary() ? QStringLiteral(", хоз. работа %1") : QStringLiteral(", запись %1")).arg(p.entryId);
            line += QStringLiteral(": ") + p.detail;
            lines << line;
        }
    }
    return lines.join(u'\n');
}

}  // namespace monthcheck

}  // namespace mirn
