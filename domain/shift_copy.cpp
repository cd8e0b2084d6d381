#include "domain/shift_copy.h"

#include "domain/sqltext.h"

#include "domain/db.h"

namespace mirn {

namespace entry {

QDate previousWorkingDay(const QDate& date) {
    QDate d = date.addDays(-1);
    while (d.dayOfWeek() == Qt::Saturday || d.dayOfWeek() == Qt::Sunday) d = d.addDays(-1);
    return d;
}

namespace {
// Source entries in the query's order, each priced for the target or with its reason.
QList<CopiedEntry> readSource(const ShiftRef& from, const ShiftRef& to, bool dayOff, const Db& db) {
    Query q(db);
    q.SQL = sqltext::copySource();
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

// Stores the entries of `all` that have no reason yet; the refused ones get theirs, the
// stored ones their keys.
void store(QList<CopiedEntry>& all, const Db& db) {
    QList<Record> records;  // the entries that can be priced, for the store
    QList<int> recordOf;    // the index in `all` of each of them
    for (int i = 0; i < all.size(); ++i)
        if (all[i].reason.isEmpty()) {
            records << all[i].record;
            recordOf << i;
        }
    if (records.isEmpty()) return;
    const BatchResult outcome = EntryStore(db).insertAll(records, /*skipRefused=*/true);
    for (qsizetype k = 0; k < outcome.items.size(); ++k) {
        if (!outcome.items[k].saved()) all[recordOf[k]].reason = outcome.items[k].message;
        else all[recordOf[k]].newId = int(outcome.items[k].id);
    }
}

CopyResult split(const QList<CopiedEntry>& all) {
    CopyResult result;
    for (const CopiedEntry& e : all) (e.reason.isEmpty() ? result.copied : result.skipped) << e;
    return result;
}
}  // namespace

CopyResult previewCopy(const ShiftRef& from, const ShiftRef& to, bool dayOff, const Db& db) {
    return split(readSource(from, to, dayOff, db));
}

CopyResult copyEntries(const QList<CopiedEntry>& chosen, const Db& db) {
    QList<CopiedEntry> all = chosen;
    for (CopiedEntry& e : all) e.newId = 0;
    store(all, db);
    return split(all);
}

CopyResult copyShift(const ShiftRef& from, const ShiftRef& to, bool dayOff, const Db& db) {
    QList<CopiedEntry> all = readSource(from, to, dayOff, db);
    store(all, db);
    return split(all);
}

Result undoCopy(const QList<CopiedEntry>& copied, const Db& db) {
    QList<Day> days;
    QStringList ids;
    for (const CopiedEntry& e : copied) {
        if (e.newId == 0) continue;
        if (!days.contains(e.record.day())) days << e.record.day();
        ids << QString::number(e.newId);
    }
    if (ids.isEmpty()) return Result::ok();
    const timesheet::Service timesheet(db);
    Transaction t(db);
    timesheet.lockDays(days);
    Query now(db);
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
    Command del(db);
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
