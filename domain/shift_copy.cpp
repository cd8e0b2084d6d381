#include "domain/shift_copy.h"

#include "domain/db.h"

namespace mirn {

namespace entry {

QDate previousWorkingDay(const QDate& date) {
    QDate d = date.addDays(-1);
    while (d.dayOfWeek() == Qt::Saturday || d.dayOfWeek() == Qt::Sunday) d = d.addDays(-1);
    return d;
}

namespace {
// The source shift's entries with what a new entry needs: the operation's product and
// lowest norm price as they stand now, and the worker's name as the journal finds it
// (by person id or by worker number, codes that are no number skipped).
const QStringList kSourceQuery = {
    QStringLiteral("select s.id, s.w_id, s.o_id, oper.i_id, s.kol_vo, s.time, s.color, oper.naimen, izdel.marka, vid_oper.vid,"),
    QStringLiteral("(select min(norm.price) from accounts_dep.norm where norm.o_id=s.o_id)::numeric as base,"),
    QStringLiteral("(select p.s_caption from cmn_contractor.person p where p.id=s.w_id or"),
    QStringLiteral(" (case when p.s_code ~ '^[[:space:]]*[0-9]{1,15}[[:space:]]*$' then p.s_code::t_id end)=s.w_id"),
    QStringLiteral(" order by p.id limit 1) as fio"),
    QStringLiteral("from accounts_dep.smena s left join accounts_dep.oper on oper.id=s.o_id"),
    QStringLiteral("left join accounts_dep.izdel on izdel.id=oper.i_id left join accounts_dep.vid_oper on vid_oper.id=oper.vid"),
    QStringLiteral("where s.data=:data and s.smena=:smena"),
    QStringLiteral("order by fio, izdel.marka, vid_oper.vid, oper.naimen, s.color, s.id"),
};
}  // namespace

namespace {
// Source entries in the query's order, each priced for the target or with its reason.
QList<CopiedEntry> readSource(const ShiftRef& from, const ShiftRef& to, bool dayOff, const QString& connection) {
    Query q(connection);
    q.SQL = kSourceQuery;
    q.setParam(QStringLiteral("data"), from.date);
    q.setParam(QStringLiteral("smena"), from.shift);
    q.open();

    QList<CopiedEntry> all;
    for (int i = 0; i < q.recordCount(); ++i) {
        auto v = [&](const char* name) { return q.value(i, QLatin1String(name)); };
        CopiedEntry e;
        e.sourceId = toInt(v("id"));
        Record& r = e.record;
        r.w_id = toInt(v("w_id"));
        r.o_id = toInt(v("o_id"));
        r.i_id = toInt(v("i_id"));
        r.kol_vo = toInt(v("kol_vo"));
        r.time = toInt(v("time"));
        r.color = toInt(v("color"));
        r.date = to.date;
        r.shift = to.shift;
        const QString fio = v("fio").toString().trimmed();
        e.worker = fio.isEmpty() ? QString::number(r.w_id) : fio;
        if (v("i_id").isNull()) {
            e.operation = QString::number(r.o_id);
            e.reason = QStringLiteral("операция позиции не найдена");
        } else {
            e.operation = operationDescription(v("marka").toString(), v("vid").toString(), toInt(v("naimen")));
            if (fio.isEmpty())
                e.reason = QStringLiteral("рабочий с номером или кодом %1 не найден").arg(r.w_id);
            else if (v("base").isNull())
                e.reason = QStringLiteral("у операции \"%1\" нет цены: задайте её в списке операций кнопкой \"Цены\"")
                               .arg(e.operation);
            else
                r.cena = finalPrice(toDouble(v("base")), dayOff, to.shift);
        }
        all << e;
    }
    return all;
}

// The entry a copy stored, as the duplicate check tells it apart from every other entry
// of its date and shift.
bool sameKey(const Record& r, int w_id, int o_id, int i_id, int color) {
    return r.w_id == w_id && r.o_id == o_id && r.i_id == i_id && r.color == color;
}

// Stores the entries of `all` that have no reason yet; the refused ones get theirs, the
// stored ones their keys.
void store(QList<CopiedEntry>& all, const QString& connection) {
    QList<Record> records;  // the entries that can be priced, for the store
    QList<int> recordOf;    // the index in `all` of each of them
    for (int i = 0; i < all.size(); ++i)
        if (all[i].reason.isEmpty()) {
            records << all[i].record;
            recordOf << i;
        }
    if (records.isEmpty()) return;
    QStringList reasons;
    const QList<int> refused = EntryStore(connection).insertAll(records, /*skipRefused=*/true, &reasons);
    for (qsizetype k = 0; k < refused.size(); ++k) all[recordOf[refused[k]]].reason = reasons[k];
    // The keys of the stored entries: no two entries of a date and shift share worker,
    // operation, product and colour, so each is found by them.
    QList<std::pair<QDate, int>> shifts;
    for (const Record& r : records)
        if (!shifts.contains(std::pair{r.date, r.shift})) shifts << std::pair{r.date, r.shift};
    for (const auto& [date, shift] : shifts) {
        Query stored(connection);
        stored.setText(QStringLiteral("select id, w_id, o_id, i_id, color from accounts_dep.smena "
                                      "where data=:data and smena=:smena order by id"));
        stored.setParam(QStringLiteral("data"), date);
        stored.setParam(QStringLiteral("smena"), shift);
        stored.open();
        for (int row = 0; row < stored.recordCount(); ++row) {
            auto v = [&](const char* name) { return toInt(stored.value(row, QLatin1String(name))); };
            for (CopiedEntry& e : all)
                if (e.reason.isEmpty() && e.newId == 0 && e.record.date == date && e.record.shift == shift &&
                    sameKey(e.record, v("w_id"), v("o_id"), v("i_id"), v("color")))
                    e.newId = v("id");
        }
    }
}

CopyResult split(const QList<CopiedEntry>& all) {
    CopyResult result;
    for (const CopiedEntry& e : all) (e.reason.isEmpty() ? result.copied : result.skipped) << e;
    return result;
}
}  // namespace

CopyResult previewCopy(const ShiftRef& from, const ShiftRef& to, bool dayOff, const QString& connection) {
    return split(readSource(from, to, dayOff, connection));
}

CopyResult copyEntries(const QList<CopiedEntry>& chosen, const QString& connection) {
    QList<CopiedEntry> all = chosen;
    for (CopiedEntry& e : all) e.newId = 0;
    store(all, connection);
    return split(all);
}

CopyResult copyShift(const ShiftRef& from, const ShiftRef& to, bool dayOff, const QString& connection) {
    QList<CopiedEntry> all = readSource(from, to, dayOff, connection);
    store(all, connection);
    return split(all);
}

Result undoCopy(const QList<CopiedEntry>& copied, const QString& connection) {
    QList<Day> days;
    QStringList ids;
    for (const CopiedEntry& e : copied) {
        if (e.newId == 0) continue;
        if (!days.contains(e.record.day())) days << e.record.day();
        ids << QString::number(e.newId);
    }
    if (ids.isEmpty()) return Result::ok();
    const timesheet::Service timesheet(connection);
    Transaction t(connection);
    timesheet.lockDays(days);
    Query now(connection);
    now.setText(QStringLiteral("select id, w_id, o_id, i_id, cena::text as cena, kol_vo, brak, time, color, data, smena, "
                               "ok from accounts_dep.smena where id in (") +
                ids.join(QLatin1Char(',')) + QStringLiteral(") for update"));
    now.open();
    for (const CopiedEntry& e : copied) {
        if (e.newId == 0) continue;
        const Record& r = e.record;
        const bool found = now.locate(QStringLiteral("id"), e.newId);
        auto v = [&](const char* name) { return now.field(QLatin1String(name)); };
        const bool same = found && toInt(v("w_id")) == r.w_id && toInt(v("o_id")) == r.o_id &&
                          toInt(v("i_id")) == r.i_id && priceText(toDouble(v("cena"))) == priceText(r.cena) &&
                          toInt(v("kol_vo")) == r.kol_vo && toInt(v("brak")) == r.brak && toInt(v("time")) == r.time &&
                          toInt(v("color")) == r.color && v("data").toDate() == r.date &&
                          toInt(v("smena")) == r.shift && v("ok").toString().trimmed() == QLatin1String("no");
        if (!same)
            return Result::refuse(Status::Invalid,
                                  QStringLiteral("Копирование не отменено: позиция \"%1, %2\" %3 после копирования. "
                                                 "Исправьте или удалите позиции по одной.")
                                      .arg(e.worker, e.operation,
                                           found ? QStringLiteral("изменена") : QStringLiteral("удалена")));
    }
    Command del(connection);
    del.setText(QStringLiteral("delete from accounts_dep.smena where id in (") + ids.join(QLatin1Char(',')) +
                QStringLiteral(")"));
    del.exec();
    timesheet.recountDays(days);
    t.commit();
    return Result::ok();
}

QString skippedLine(const CopiedEntry& e) {
    QString colour;
    if (e.record.color == 1) colour = QStringLiteral(", грунт");
    else if (e.record.color > 1) colour = QStringLiteral(", цвет %1").arg(e.record.color);
    return QStringLiteral("%1, %2%3: %4").arg(e.worker, e.operation, colour, e.reason);
}

QString copySummary(const CopyResult& r) {
    QString text = QStringLiteral("Скопировано позиций: %1.").arg(r.copied.size());
    if (r.skipped.isEmpty()) return text;
    text += QStringLiteral("\n\nПропущено позиций: %1:").arg(r.skipped.size());
    for (const CopiedEntry& e : r.skipped) text += QStringLiteral("\n") + skippedLine(e);
    return text;
}

}  // namespace entry

}  // namespace mirn
