#include "timesheet/timesheet.h"

#include "core/datamodule.h"

#include <QHash>
#include <QPair>

#include <algorithm>
#include <vector>

namespace timesheet {

QStringList monthNames() {
    return {QStringLiteral("Январь"), QStringLiteral("Февраль"), QStringLiteral("Март"),
            QStringLiteral("Апрель"), QStringLiteral("Май"),     QStringLiteral("Июнь"),
            QStringLiteral("Июль"),   QStringLiteral("Август"),  QStringLiteral("Сентябрь"),
            QStringLiteral("Октябрь"), QStringLiteral("Ноябрь"), QStringLiteral("Декабрь")};
}

QStringList yearItems(int currentYear) {
    QStringList years;
    for (int y = 2007; y <= currentYear + 1; ++y) years << QString::number(y);
    return years;
}

Period monthPeriod(int month, int year) {
    const QDate first(year, month, 1);
    if (year <= 0 || !first.isValid()) return {};
    return {first, first.addMonths(1)};
}

int daysInMonth(int month, int year) {
    const QDate first(year, month, 1);
    return year > 0 && first.isValid() ? first.daysInMonth() : 0;
}

int firstWeekday(int month, int year) {
    const QDate first(year, month, 1);
    if (year <= 0 || !first.isValid()) return 0;
    return first.dayOfWeek() % 7 + 1;  // Qt counts Monday 1 … Sunday 7
}

bool isWeekend(int day, int w) {
    const int r = (day + w) % 7;
    return r == 1 || r == 2;
}

std::array<DayKind, 31> dayKinds(int month, int year) {
    std::array<DayKind, 31> kinds;
    kinds.fill(DayKind::Beyond);
    const int n = daysInMonth(month, year);
    const int w = firstWeekday(month, year);
    for (int d = 1; d <= n; ++d) kinds[size_t(d - 1)] = isWeekend(d, w) ? DayKind::Weekend : DayKind::Workday;
    return kinds;
}

DayColumn dayColumn(DayKind kind, const QPalette& pal) {
    switch (kind) {
    case DayKind::Weekend: return {kRed, kRed, false};
    case DayKind::Workday: return {pal.color(QPalette::WindowText), pal.color(QPalette::WindowText), false};
    case DayKind::Beyond: break;
    }
    return {pal.color(QPalette::Base), kSilver, true};
}

CellStyle dayCellStyle(const DayColumn& column, const QVariant& value, const QPalette& pal,
                       const QFont& font) {
    CellStyle st;
    st.font = font;
    st.foreground = column.cell;
    const int v = toInt(value);
    if (v == 0) {
        if (!column.red()) st.foreground = kSilver;
        if (column.readOnly) st.foreground = pal.color(QPalette::Base);
    } else if (v == 8) {
        st.font.setBold(true);
        if (!column.red()) st.foreground = pal.color(QPalette::WindowText);
    } else if (v > 8) {
        st.font.setBold(true);
        st.background = kMoneyGreen;
    }
    return st;
}

QString dayQueryText() {
    return QStringLiteral(
        " select smena, w_id, sum(time) as tim from accounts_dep.smena where data=:data group by smena,w_id;");
}

namespace {

// The month's rows are written in statements of this many rows.
constexpr int kRowsPerStatement = 500;

// One row of the month: a worker's hours of one shift, day by day (null: no entries).
struct MonthRow {
    qint64 smena = 0;
    qint64 wId = 0;
    std::array<QVariant, 31> days;
};

// The values are integers read from the database, never text typed by a user.
QString insertStatement(const std::vector<MonthRow>& rows, size_t from, size_t to, const QString& m,
                        const QString& y) {
    QString sql = QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year");
    for (int d = 1; d <= 31; ++d) sql += QStringLiteral(", d%1").arg(d);
    sql += QStringLiteral(") values");
    for (size_t i = from; i < to; ++i) {
        const MonthRow& r = rows[i];
        sql += (i == from ? QStringLiteral("(") : QStringLiteral(", (")) + QString::number(r.smena) +
               QStringLiteral(", ") + QString::number(r.wId) + QStringLiteral(", ") + m + QStringLiteral(", ") + y;
        for (const QVariant& v : r.days)
            sql += QStringLiteral(", ") + (v.isNull() ? QStringLiteral("null") : QString::number(v.toLongLong()));
        sql += QLatin1Char(')');
    }
    return sql;
}

}  // namespace

void rebuildMonth(Query& dt, int month, int year, const std::function<void(int day)>& onDay) {
    const QString m = QString::number(month);
    const QString y = QString::number(year);
    const int days = daysInMonth(month, year);
    dt.SQL = {dayQueryText()};

    Transaction tx;
    Command& del = dm().DelSmena;
    del.clearParams();
    del.SQL = {QStringLiteral("delete from accounts_dep.h_tabel where month=") + m + QStringLiteral(" and year=") + y};
    del.exec();

    // Day by day, the hours of each worker and shift go into the worker's row of that
    // shift, made on its first day with entries; the rows are then stored in a few
    // statements instead of one count query and one insert or update per value.
    std::vector<MonthRow> rows;
    QHash<QPair<qint64, qint64>, size_t> rowOf;
    for (int i = 1; i <= days; ++i) {
        dt.close();
        dt.setParam(QStringLiteral("data"), QDate(year, month, i));
        dt.open();
        for (int r = 0; r < dt.recordCount(); ++r) {
            const QVariant smena = dt.value(r, QStringLiteral("smena"));
            const QVariant wId = dt.value(r, QStringLiteral("w_id"));
            // An entry without worker or shift belongs to no row of the timesheet.
            if (smena.isNull() || wId.isNull()) continue;
            const QPair<qint64, qint64> key(smena.toLongLong(), wId.toLongLong());
            auto it = rowOf.find(key);
            if (it == rowOf.end()) {
                it = rowOf.insert(key, rows.size());
                rows.push_back({key.first, key.second, {}});
            }
            const QVariant tim = dt.value(r, QStringLiteral("tim"));
            rows[*it].days[size_t(i - 1)] = tim.isNull() ? QVariant() : QVariant(tim.toLongLong());
        }
        dt.close();
        if (onDay) onDay(i);
    }

    Command& ins = dm().H_Tabel_ins;
    ins.clearParams();
    for (size_t from = 0; from < rows.size(); from += kRowsPerStatement) {
        ins.SQL = {insertStatement(rows, from, std::min(rows.size(), from + kRowsPerStatement), m, y)};
        ins.exec();
    }
    tx.commit();
}

}  // namespace timesheet
