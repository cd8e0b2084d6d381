#include "domain/journal_day.h"

#include "domain/period.h"
#include "domain/sqltext.h"

#include <QSqlDatabase>

#include <vector>

namespace mirn {

namespace journalday {
namespace {

// The lock row of the month: who closed it and when, as the banner shows them.
QString monthBranch(const QDate& date, int columns) {
    QStringList nulls;
    for (int i = 0; i < columns; ++i) nulls << QStringLiteral("null");
    return QStringLiteral("select 0, 0, ") + nulls.join(QStringLiteral(", ")) +
           QStringLiteral(", coalesce(closed_by, ''), coalesce(to_char(closed_at, 'DD.MM.YYYY HH24:MI'), '') "
                          "from accounts_dep.period_lock where year = ") +
           sqltext::number(date.year()) + QStringLiteral(" and month = ") + sqltext::number(date.month());
}

const QString kShiftNo = QStringLiteral("shift_no");
const QString kRowNo = QStringLiteral("row_no");
const QString kClosedBy = QStringLiteral("lock_closed_by");
const QString kClosedAt = QStringLiteral("lock_closed_at");

}  // namespace

const QStringList& shiftColumns(int shift) {
    static const QStringList first{
        QStringLiteral("id"),     QStringLiteral("data"),          QStringLiteral("smena"),
        QStringLiteral("i_id"),   QStringLiteral("o_id"),          QStringLiteral("w_id"),
        QStringLiteral("cena"),   QStringLiteral("fio"),           QStringLiteral("marka"),
        QStringLiteral("vid"),    QStringLiteral("nmn"),           QStringLiteral("naimen"),
        QStringLiteral("brak"),   QStringLiteral("kol_vo"),        QStringLiteral("summa"),
        QStringLiteral("prize"),  QStringLiteral("color"),         QStringLiteral("time"),
        QStringLiteral("ok"),     QStringLiteral("vvod"),          QStringLiteral("id_doc"),
        QStringLiteral("id_doc_item"), QStringLiteral("f_gds_qty_use"), QStringLiteral("id_gds_use"),
        QStringLiteral("id_cons_use")};
    static const QStringList others{
        QStringLiteral("data"),   QStringLiteral("smena"),         QStringLiteral("i_id"),
        QStringLiteral("o_id"),   QStringLiteral("w_id"),          QStringLiteral("cena"),
        QStringLiteral("fio"),    QStringLiteral("marka"),         QStringLiteral("vid"),
        QStringLiteral("nmn"),    QStringLiteral("naimen"),        QStringLiteral("kol_vo"),
        QStringLiteral("brak"),   QStringLiteral("summa"),         QStringLiteral("prize"),
        QStringLiteral("id"),     QStringLiteral("color"),         QStringLiteral("time"),
        QStringLiteral("ok"),     QStringLiteral("vvod"),          QStringLiteral("id_doc"),
        QStringLiteral("id_doc_item"), QStringLiteral("f_gds_qty_use"), QStringLiteral("id_gds_use"),
        QStringLiteral("id_cons_use")};
    return shift == 1 ? first : others;
}

QString dayStatement(const Shifts& shifts, const QDate& date, bool withMonth) {
    const QStringList& columns = shiftColumns(1);
    QStringList picked;
    for (const QString& c : columns) picked << QStringLiteral("t.") + c;
    QStringList parts;
    for (int i = 0; i < 4; ++i) {
        // The shift's own text, its rows numbered in the order it gives them.
        QString head = QStringLiteral("select %1").arg(i + 1);
        head += i == 0 ? QStringLiteral(" as ") + kShiftNo + QStringLiteral(", row_number() over () as ") + kRowNo
                       : QStringLiteral(", row_number() over ()");
        head += QStringLiteral(", ") + picked.join(QStringLiteral(", "));
        head += i == 0 ? QStringLiteral(", null::text as ") + kClosedBy + QStringLiteral(", null::text as ") + kClosedAt
                       : QStringLiteral(", null, null");
        parts << head + QStringLiteral(" from (\n") + shifts[size_t(i)]->sentText(shifts[size_t(i)]->database().driver()) + QStringLiteral("\n) t");
    }
    if (withMonth) parts << monthBranch(date, int(columns.size()));
    return parts.join(QStringLiteral("\nunion all\n")) + QStringLiteral("\norder by 1, 2");
}

MonthState openDay(const Shifts& shifts, const QDate& date) {
    for (Query* q : shifts) q->close();
    for (Query* q : shifts) q->setParam(QStringLiteral("data"), date);
    const bool withMonth = period::installed() && date.isValid();
    Query all(Db(shifts[0]->database().connectionName()));
    all.setText(dayStatement(shifts, date, withMonth));
    all.open();

    const int shiftCol = all.fieldIndex(kShiftNo);
    std::vector<std::vector<Query::Row>> rows(4);
    std::vector<std::vector<int>> from(4);  // each shift's columns in the read
    for (int s = 0; s < 4; ++s)
        for (const QString& f : shiftColumns(s + 1)) from[size_t(s)].push_back(all.fieldIndex(f));
    MonthState month;
    for (int r = 0; r < all.recordCount(); ++r) {
        const Query::Row& row = all.row(r);
        const int s = toInt(row[shiftCol]);
        if (s == 0) {
            month.closed = true;
            month.closedBy = period::closedByText(all.value(r, kClosedBy).toString(), all.value(r, kClosedAt).toString());
            continue;
        }
        const std::vector<int>& cols = from[size_t(s - 1)];
        Query::Row out(qsizetype(cols.size()));
        for (size_t c = 0; c < cols.size(); ++c) out[qsizetype(c)] = row[cols[c]];
        rows[size_t(s - 1)].push_back(std::move(out));
    }
    all.close();
    for (int s = 0; s < 4; ++s) shifts[size_t(s)]->setRows(shiftColumns(s + 1), std::move(rows[size_t(s)]));
    return month;
}

MonthState reopenDay(const Shifts& shifts) {
    return openDay(shifts, shifts[0]->param(QStringLiteral("data")).toDate());
}

}  // namespace journalday

}  // namespace mirn
