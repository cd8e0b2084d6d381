#include "journal/entry_save.h"

#include "core/datamodule.h"
#include "core/ui.h"
#include "journal/entry_rules.h"

#include <algorithm>

namespace entry {

namespace sql {

namespace {
QString n(qint64 v) { return QString::number(v); }
QString toDate(const QDate& d) { return QStringLiteral("to_date('") + dateText(d) + QStringLiteral("', 'DD.MM.YYYY')"); }
QString sameEntry(const Record& r) {
    return QStringLiteral("select count(id) as cnt from accounts_dep.SMENA where w_id=") + n(r.w_id) +
           QStringLiteral(" and o_id=") + n(r.o_id) + QStringLiteral(" and i_id=") + n(r.i_id) +
           QStringLiteral(" and data=") + toDate(r.date) + QStringLiteral(" and smena=") + n(r.shift);
}
QString monthRow(const Day& d) {
    return QStringLiteral(" where w_id=") + n(d.w_id) + QStringLiteral(" and smena=") + n(d.shift) +
           QStringLiteral(" and month=") + n(d.date.month()) + QStringLiteral(" and year=") + n(d.date.year());
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
           priceText(r.cena) + QStringLiteral(",") + n(r.kol_vo) + QStringLiteral(", ") + n(r.brak) +
           QStringLiteral(", to_date('") + dateText(r.date) + QStringLiteral("', 'DD.MM.YYYY HH24:MI:SS'), ") +
           n(r.shift) + QStringLiteral(", ") + n(r.color) + QStringLiteral(", ") + n(r.time) + QStringLiteral(", '") +
           dateText(enteredOn) + QStringLiteral("', '") + QStringLiteral("no") + QStringLiteral("', 0, ") +
           QStringLiteral("0") + QStringLiteral(", ") + QStringLiteral("0") + QStringLiteral(", ") +
           QStringLiteral("0") + QStringLiteral(", ") + QStringLiteral("0") + QStringLiteral(", ") +
           QStringLiteral("0") + QStringLiteral(")");
}

QString update(int id, const Record& r, const QDate& enteredOn) {
    return QStringLiteral("update accounts_dep.SMENA set w_id=") + n(r.w_id) + QStringLiteral(", i_id=") +
           n(r.i_id) + QStringLiteral(", o_id=") + n(r.o_id) + QStringLiteral(", cena=") + priceText(r.cena) +
           QStringLiteral(", kol_vo=") + n(r.kol_vo) + QStringLiteral(", brak=") + n(r.brak) +
           QStringLiteral(", data=") + toDate(r.date) + QStringLiteral(", smena=") + n(r.shift) +
           QStringLiteral(", color=") + n(r.color) + QStringLiteral(", time=") + n(r.time) +
           QStringLiteral(", vvod='") + dateText(enteredOn) + QStringLiteral("', prize=0, id_doc=") +
           QStringLiteral("0") + QStringLiteral(", id_doc_item=") + QStringLiteral("0") +
           QStringLiteral(", f_gds_qty_use=") + QStringLiteral("0") + QStringLiteral(", id_gds_use=") +
           QStringLiteral("0") + QStringLiteral(", id_cons_use=") + QStringLiteral("0") +
           QStringLiteral(" where id=") + n(id);
}

QString deleteEntry(int id) { return QStringLiteral("delete from accounts_dep.smena where id=") + n(id); }

QString timesheetCount(const Day& d) {
    return QStringLiteral("select count(w_id) as cnt from accounts_dep.h_tabel") + monthRow(d);
}

QString daySum(const Day& d) {
    return QStringLiteral("select sum(time) as tim from accounts_dep.smena where w_id=") + n(d.w_id) +
           QStringLiteral(" and smena=") + n(d.shift) + QStringLiteral(" and data=") + toDate(d.date) +
           QStringLiteral(" group by w_id, smena, data");
}

QString timesheetInsert(const Day& d, int tim) {
    return QStringLiteral("insert into accounts_dep.h_tabel(smena, w_id, month, year, d") + n(d.date.day()) +
           QStringLiteral(") ") + QStringLiteral("values(") + n(d.shift) + QStringLiteral(", ") + n(d.w_id) +
           QStringLiteral(", ") + n(d.date.month()) + QStringLiteral(", ") + n(d.date.year()) +
           QStringLiteral(", ") + n(tim) + QStringLiteral(")");
}

QString timesheetUpdate(const Day& d, int tim) {
    return QStringLiteral("update accounts_dep.h_tabel set d") + n(d.date.day()) + QStringLiteral("=") + n(tim) +
           monthRow(d);
}

QString lock(qint64 key) { return QStringLiteral("select pg_advisory_xact_lock(") + n(key) + QStringLiteral(")"); }

}  // namespace sql

qint64 lockKey(const Day& d) {
    // A fixed tag in the top byte keeps these keys apart from any other advisory lock.
    const quint64 tag = 0x3A;
    const quint64 month = quint64(d.date.year() * 12 + d.date.month() - 1) & 0xFFFFF;
    const quint64 key = (tag << 56) | (quint64(quint32(d.w_id)) << 24) | (quint64(d.shift & 0xF) << 20) | month;
    return qint64(key);
}

EntryStore::EntryStore(Parts parts) : p_(std::move(parts)) {}

EntryStore::Parts EntryStore::shared(Command& smenaIU) {
    Parts p;
    p.control = &dm().Control;
    p.smenaIU = &smenaIU;
    p.hTabelIns = &dm().H_Tabel_ins;
    p.delSmena = &dm().DelSmena;
    p.report = [](const QString& message) { ui::error(message); };
    return p;
}

void EntryStore::lock(QList<Day> days) {
    // Always in ascending key order, so two saves that both move an entry between
    // the same two months cannot wait for each other.
    QList<qint64> keys;
    for (const Day& d : days) keys << lockKey(d);
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    for (qint64 k : keys) {
        Command c(p_.connection);
        c.SQL = QStringList{sql::lock(k)};
        c.exec();
    }
}

int EntryStore::scalar(const QString& sql, const QString& field) {
    Query& control = *p_.control;
    control.close();
    control.clearParams();
    control.SQL.clear();
    control.SQL << sql;
    control.open();
    const int v = control.asInt(field);  // no row: 0
    control.close();
    return v;
}

void EntryStore::postDay(const Day& d, bool insertMissing) {
    const int cnt = insertMissing ? scalar(sql::timesheetCount(d), QStringLiteral("cnt")) : 1;
    const int tim = scalar(sql::daySum(d), QStringLiteral("tim"));
    Command& ins = *p_.hTabelIns;
    ins.clearParams();
    ins.SQL = QStringList{cnt == 0 ? sql::timesheetInsert(d, tim) : sql::timesheetUpdate(d, tim)};
    ins.exec();
}

// The duplicate is refused after the transaction has been rolled back, so that no
// lock is held while the message box waits for the user.
EntryStore::Outcome EntryStore::insert(const Record& r) {
    {
        Transaction t(p_.connection);
        lock({r.day()});
        if (scalar(sql::duplicateCheck(r), QStringLiteral("cnt")) == 0) {
            if (afterCheck) afterCheck();
            p_.smenaIU->clearParams();
            p_.smenaIU->SQL = QStringList{sql::insert(r, QDate::currentDate())};
            p_.smenaIU->exec();
            postDay(r.day(), true);
            t.commit();
            return Outcome::Saved;
        }
    }
    p_.report(kDuplicateEntry);
    return Outcome::Duplicate;
}

EntryStore::Outcome EntryStore::update(int id, const Record& r, const Day& previous) {
    {
        Transaction t(p_.connection);
        lock({r.day(), previous});
        if (scalar(sql::duplicateCheck(r, id), QStringLiteral("cnt")) == 0) {
            if (afterCheck) afterCheck();
            p_.smenaIU->clearParams();
            p_.smenaIU->SQL = QStringList{sql::update(id, r, QDate::currentDate())};
            p_.smenaIU->exec();
            postDay(r.day(), true);
            // The day the entry left would otherwise keep its hours.
            if (!(previous == r.day())) postDay(previous, false);
            t.commit();
            return Outcome::Saved;
        }
    }
    p_.report(kDuplicateEntry);
    return Outcome::Duplicate;
}

void EntryStore::remove(int id, const Day& day) {
    Transaction t(p_.connection);
    lock({day});
    p_.delSmena->clearParams();
    p_.delSmena->SQL = QStringList{sql::deleteEntry(id)};
    p_.delSmena->exec();
    postDay(day, false);
    t.commit();
}

}  // namespace entry
