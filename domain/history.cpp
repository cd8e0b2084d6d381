#include "domain/history.h"

#include "domain/db.h"

#include <QSqlQuery>
#include <QStringList>
#include <vector>

namespace mirn {

namespace history {
namespace {

// Separators of the server's field list: field, before and after by unit separators,
// one field from the next by record separators (neither occurs in the data).
const QChar kUnit(0x1f);
const QChar kRecord(0x1e);

// The columns of the logged tables the history shows, in the tables' order, with their
// captions. The key, and the columns the department never edits, stay out.
struct Column {
    const char* name;
    const char* caption;
};
struct Table {
    const char* name;
    std::vector<Column> columns;
};
const std::vector<Table>& tables() {
    static const std::vector<Table> t{
        {"smena",
         {{"w_id", "Рабочий"}, {"i_id", "Изделие"}, {"o_id", "Операция"}, {"cena", "Цена"}, {"kol_vo", "Кол-во"},
          {"brak", "Брак"}, {"data", "Дата"}, {"smena", "Смена"}, {"color", "Цвет"}, {"time", "Часы"}, {"ok", "OK"},
          {"vvod", "Заведен"}, {"prize", "Премия (%)"}}},
        {"fatigue",
         {{"id_p", "ФИО"}, {"id_nom", "Номенклатура"}, {"id_o", "Работа"}, {"d_date", "Дата"}, {"i_mnth", "Месяц"},
          {"i_year", "Год"}, {"i_smena", "Смена"}, {"cnt", "Кол-во"}, {"price", "Цена"}}},
        {"norm", {{"o_id", "Операция"}, {"norma", "Норма"}, {"prize", "Премия"}, {"price", "Цена"}}},
        {"oper", {{"vid", "Операция"}, {"naimen", "Вид"}, {"i_id", "Изделие"}, {"cena_new", "Цена"}}},
    };
    return t;
}

// The fields of a change, worked out on the server column by column (plain expressions,
// no set-returning function per row: the report reads tens of thousands of changes):
// for an update the columns whose value differs, for a new or deleted row the columns
// with a value. The list is "column<US>before<US>after" joined by <RS>.
QString fieldsSql() {
    const auto val = [](const QString& side, const QString& k) {
        return QStringLiteral("(c.%1 ->> '%2')").arg(side, k);
    };
    QString out = QStringLiteral("case c.table_name");
    for (const Table& t : tables()) {
        QStringList changed, added, removed;
        for (const Column& col : t.columns) {
            const QString k = QString::fromLatin1(col.name);
            changed << QStringLiteral("case when c.old_row -> '%1' is distinct from c.new_row -> '%1' then '%1' || chr(31) "
                                      "|| coalesce(%2, '') || chr(31) || coalesce(%3, '') end")
                           .arg(k, val(QStringLiteral("old_row"), k), val(QStringLiteral("new_row"), k));
            added << QStringLiteral("case when %2 <> '' then '%1' || chr(31) || chr(31) || %2 end")
                         .arg(k, val(QStringLiteral("new_row"), k));
            removed << QStringLiteral("case when %2 <> '' then '%1' || chr(31) || %2 || chr(31) end")
                           .arg(k, val(QStringLiteral("old_row"), k));
        }
        const auto list = [](const QStringList& pieces) {
            return QStringLiteral("concat_ws(chr(30), ") + pieces.join(QStringLiteral(", ")) + QLatin1Char(')');
        };
        out += QStringLiteral(" when '%1' then case c.action when 'update' then %2 when 'insert' then %3 else %4 end")
                   .arg(QString::fromLatin1(t.name), list(changed), list(added), list(removed));
    }
    return out + QStringLiteral(" end as fields");
}

// A value as the user reads it: dates and times the way the windows show them.
QString display(const QString& v) {
    // 2026-11-05 and 2026-11-05T08:30:00
    if (v.size() >= 10 && v[4] == QLatin1Char('-') && v[7] == QLatin1Char('-') && v[0].isDigit()) {
        QString out = v.mid(8, 2) + QLatin1Char('.') + v.mid(5, 2) + QLatin1Char('.') + v.left(4);
        if (v.size() >= 16 && v[10] == QLatin1Char('T')) out += QLatin1Char(' ') + v.mid(11, 5);
        return out;
    }
    return v;
}

QList<FieldChange> parseFields(const QString& table, const QString& packed) {
    QList<FieldChange> out;
    if (packed.isEmpty()) return out;
    for (const QString& rec : packed.split(kRecord)) {
        const QStringList pieces = rec.split(kUnit);
        if (pieces.size() != 3) continue;
        out.push_back({fieldCaption(table, pieces[0]), display(pieces[1]), display(pieces[2])});
    }
    return out;
}

Change readChange(const QSqlQuery& q) {
    Change c;
    c.id = q.value(0).toLongLong();
    // As milliseconds: far quicker to take apart than the timestamp text, tens of thousands of times.
    c.at = QDateTime::fromMSecsSinceEpoch(q.value(1).toLongLong());
    c.table = q.value(2).toString();
    c.rowId = q.value(3).toLongLong();
    c.kind = q.value(4).toString();
    c.user = q.value(5).toString();
    c.role = q.value(6).toString();
    c.host = q.value(7).toString();
    c.version = q.value(8).toString();
    c.fields = parseFields(c.table, q.value(9).toString());
    c.person = q.value(10).toString();
    c.action = actionText(c.table, c.kind, c.fields);
    return c;
}

// Runs a read forward only: a period's history is long and read once.
class Reader : public Statement {
public:
    using Statement::Statement;
    QSqlQuery read() const { return run(true); }
};

const QString kColumns = QStringLiteral(
    "select c.id, (extract(epoch from c.at) * 1000)::bigint, c.table_name, c.row_id, c.action, coalesce(c.db_user, ''), coalesce(c.client_role, ''), "
    "coalesce(c.client_host, ''), coalesce(c.app_version, ''), ");

// The person's full name by the login, where db/roles.sql keeps the accounts.
QString personSql(const QString& connection) {
    Query q(connection);
    q.SQL = {QStringLiteral("select to_regclass('accounts_dep.account') is not null as present")};
    q.open();
    return q.field(QStringLiteral("present")).toBool()
               ? QStringLiteral(", coalesce((select a.full_name from accounts_dep.account a where a.login = c.db_user), '') ")
               : QStringLiteral(", '' ");
}

}  // namespace

QString whoText(const Change& c) { return c.person.isEmpty() ? c.user : c.person; }

QString fieldCaption(const QString& table, const QString& column) {
    for (const Table& t : tables()) {
        if (table != QLatin1String(t.name)) continue;
        for (const Column& c : t.columns)
            if (column == QLatin1String(c.name)) return QString::fromUtf8(c.caption);
    }
    return column;
}

QString tableCaption(const QString& table) {
    if (table == QLatin1String("smena")) return QStringLiteral("Запись журнала");
    if (table == QLatin1String("fatigue")) return QStringLiteral("Хоз. работы");
    if (table == QLatin1String("norm")) return QStringLiteral("Норма");
    if (table == QLatin1String("oper")) return QStringLiteral("Цена операции");
    return table;
}

QString actionText(const QString& table, const QString& action, const QList<FieldChange>& fields) {
    if (action == QLatin1String("insert")) return QStringLiteral("Добавление");
    if (action == QLatin1String("delete")) return QStringLiteral("Удаление");
    if (table == QLatin1String("smena") && fields.size() == 1 && fields[0].field == fieldCaption(table, QStringLiteral("ok"))) {
        const QString ok = fields[0].after;
        const bool confirmed = ok == QLatin1String("ok") || ok == QStringLiteral("да");
        return confirmed ? QStringLiteral("Подтверждение") : QStringLiteral("Снятие подтверждения");
    }
    return QStringLiteral("Изменение");
}

QString fieldsText(const Change& c) {
    QStringList pieces;
    pieces.reserve(c.fields.size());
    const bool whole = c.kind != QLatin1String("update");
    for (const FieldChange& f : c.fields) {
        if (whole)
            pieces << f.field + QStringLiteral(": ") + (f.after.isEmpty() ? f.before : f.after);
        else
            pieces << f.field + QStringLiteral(": ") + f.before + QStringLiteral(" → ") + f.after;
    }
    return pieces.join(QStringLiteral("; "));
}

QList<Change> rowHistory(const QString& table, qlonglong rowId, const QString& connection) {
    Reader r(connection);
    r.SQL = {kColumns + fieldsSql() + personSql(connection),
             QStringLiteral("from accounts_dep.change_log c where c.table_name = :t and c.row_id = :id "
                            "order by c.at desc, c.id desc")};
    r.setParam(QStringLiteral("t"), table);
    r.setParam(QStringLiteral("id"), rowId);
    QSqlQuery q = r.read();
    QList<Change> out;
    while (q.next()) out.push_back(readChange(q));
    return out;
}

std::vector<Change> periodChanges(const QDate& from, const QDate& to, const QString& connection) {
    Reader r(connection);
    r.SQL = {kColumns + fieldsSql() + personSql(connection),
             QStringLiteral("from accounts_dep.change_log c where c.at >= :from and c.at < :to "
                            "and c.table_name in ('smena', 'norm', 'oper') order by c.at, c.id")};
    r.setParam(QStringLiteral("from"), QDateTime(from, QTime(0, 0)));
    r.setParam(QStringLiteral("to"), QDateTime(to, QTime(0, 0)));
    QSqlQuery q = r.read();
    std::vector<Change> out;
    while (q.next()) out.push_back(readChange(q));
    return out;
}

}  // namespace history

}  // namespace mirn
