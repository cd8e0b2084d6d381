#include "domain/shift_copy.h"

#include "domain/db.h"

namespace mirn {

namespace entry {

QDate previousWorkingDay(const QDate& date) {
    QDate d = date.addDays(-1);
    while (d.dayOfWeek() == Qt::Saturday || d.dayOfWeek() == Qt::Sunday) d = d.addDays(-1);
    return d;
}

QList<CopiedEntry> CopyResult::copied() const {
    QList<CopiedEntry> out;
    for (int i = 0; i < entries.size(); ++i)
        if (items[i].saved()) out << entries[i];
    return out;
}

QList<CopiedEntry> CopyResult::skipped() const {
    QList<CopiedEntry> out;
    for (int i = 0; i < entries.size(); ++i)
        if (!items[i].saved()) out << entries[i];
    return out;
}

CopyResult copyShift(const ShiftRef& from, const ShiftRef& to, bool dayOff, const Db& db) {
    Query q(db);
    q.SQL = sqltext::copySource();
    q.setParam(QStringLiteral("data"), from.date);
    q.setParam(QStringLiteral("smena"), from.shift);
    q.open();

    QList<CopiedEntry> all;
    QList<Record> records;  // the entries that can be priced, for the store
    QList<int> recordOf;    // the index in `all` of each of them
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
        if (e.reason.isEmpty()) {
            records << r;
            recordOf << int(all.size());
        }
        all << e;
    }

    CopyResult result;
    for (const CopiedEntry& e : all)
        result.items << (e.reason.isEmpty() ? Result::ok() : Result::refuse(Status::Invalid, e.reason));
    if (!records.isEmpty()) {
        const BatchResult stored = EntryStore(db).insertAll(records, /*skipRefused=*/true);
        for (qsizetype k = 0; k < stored.items.size(); ++k) {
            result.items[recordOf[k]] = stored.items[k];
            if (!stored.items[k].saved()) all[recordOf[k]].reason = stored.items[k].message;
        }
        result.stored = stored.stored;
    }
    result.entries = all;
    return result;
}

QString skippedLine(const CopiedEntry& e) {
    QString colour;
    if (e.record.color == 1) colour = QStringLiteral(", грунт");
    else if (e.record.color > 1) colour = QStringLiteral(", цвет %1").arg(e.record.color);
    return QStringLiteral("%1, %2%3: %4").arg(e.worker, e.operation, colour, e.reason);
}

QString copySummary(const CopyResult& r) {
    const QList<CopiedEntry> skipped = r.skipped();
    QString text = QStringLiteral("Скопировано позиций: %1.").arg(r.copied().size());
    if (skipped.isEmpty()) return text;
    text += QStringLiteral("\n\nПропущено позиций: %1:").arg(skipped.size());
    for (const CopiedEntry& e : skipped) text += QStringLiteral("\n") + skippedLine(e);
    return text;
}

}  // namespace entry

}  // namespace mirn
