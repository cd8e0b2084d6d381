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

CopyResult copyShift(const ShiftRef& from, const ShiftRef& to, bool dayOff, const QString& connection) {
    Query q(connection);
    q.SQL = kSourceQuery;
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

    if (!records.isEmpty()) {
        QStringList reasons;
        const QList<int> refused = EntryStore(connection).insertAll(records, /*skipRefused=*/true, &reasons);
        for (qsizetype k = 0; k < refused.size(); ++k) all[recordOf[refused[k]]].reason = reasons[k];
    }
    CopyResult result;
    for (const CopiedEntry& e : all) (e.reason.isEmpty() ? result.copied : result.skipped) << e;
    return result;
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
