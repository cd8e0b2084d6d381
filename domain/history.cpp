#include "domain/history.h"

#include "domain/db.h"

#include <QHash>
#include <QSqlQuery>
#include <QStringList>

namespace history {
namespace {

// Separators of the server's field list: field, before and after by unit separators,
// one field from the next by record separators (neither occurs in the data).
const QChar kUnit(0x1f);
const QChar kRecord(0x1e);

// The fields of a change, worked out on the server. For an update, the fields whose
// value differs; for a new or deleted row, all of its fields (without the empty ones
// when `skipEmpty`). The key and the columns the department never edits stay out.
QString fieldsSql(bool skipEmpty) {
    return QStringLiteral(
               "(select string_agg(coalesce(o.key, n.key) || chr(31) || coalesce(o.value #>> '{}', '') || chr(31) "
               "|| coalesce(n.value #>> '{}', ''), chr(30) order by coalesce(o.key, n.key)) "
               "from jsonb_each(c.old_row) o full join jsonb_each(c.new_row) n on n.key = o.key "
               "where o.value is distinct from n.value "
               "and coalesce(o.key, n.key) not in ('id', 'id_p_person', 'id_doc', 'id_doc_item', 'f_gds_qty_use', "
               "'id_gds_use', 'id_cons_use')%1) as fields")
        .arg(skipEmpty ? QStringLiteral(" and (c.action = 'update' or coalesce(o.value, n.value) #>> '{}' <> '')")
                       : QString());
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
        const QStringList parts = rec.split(kUnit);
        if (parts.size() != 3) continue;
        out.push_back({fieldCaption(table, parts[0]), display(parts[1]), display(parts[2])});
    }
    return out;
}

Change readChange(const QSqlQuery& q) {
    Change c;
    c.id = q.value(0).toLongLong();
    c.at = q.value(1).toDateTime();
    c.table = q.value(2).toString();
    c.rowId = q.value(3).toLongLong();
    c.kind = q.value(4).toString();
    c.user = q.value(5).toString();
    c.role = q.value(6).toString();
    c.host = q.value(7).toString();
    c.version = q.value(8).toString();
    c.fields = parseFields(c.table, q.value(9).toString());
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
    "select c.id, c.at, c.table_name, c.row_id, c.action, coalesce(c.db_user, ''), coalesce(c.client_role, ''), "
    "coalesce(c.client_host, ''), coalesce(c.app_version, ''), ");

}  // namespace

QString fieldCaption(const QString& table, const QString& column) {
    static const QHash<QString, QString> smena{
        {QStringLiteral("w_id"), QStringLiteral("Рабочий")},   {QStringLiteral("i_id"), QStringLiteral("Изделие")},
        {QStringLiteral("o_id"), QStringLiteral("Операция")},  {QStringLiteral("cena"), QStringLiteral("Цена")},
        {QStringLiteral("kol_vo"), QStringLiteral("Кол-во")},  {QStringLiteral("brak"), QStringLiteral("Брак")},
        {QStringLiteral("data"), QStringLiteral("Дата")},      {QStringLiteral("smena"), QStringLiteral("Смена")},
        {QStringLiteral("color"), QStringLiteral("Цвет")},     {QStringLiteral("time"), QStringLiteral("Часы")},
        {QStringLiteral("ok"), QStringLiteral("OK")},          {QStringLiteral("vvod"), QStringLiteral("Заведен")},
        {QStringLiteral("prize"), QStringLiteral("Премия (%)")},
    };
    static const QHash<QString, QString> fatigue{
        {QStringLiteral("id_nom"), QStringLiteral("Номенклатура")}, {QStringLiteral("id_o"), QStringLiteral("Работа")},
        {QStringLiteral("id_p"), QStringLiteral("ФИО")},            {QStringLiteral("d_date"), QStringLiteral("Дата")},
        {QStringLiteral("i_mnth"), QStringLiteral("Месяц")},        {QStringLiteral("i_year"), QStringLiteral("Год")},
        {QStringLiteral("i_smena"), QStringLiteral("Смена")},       {QStringLiteral("cnt"), QStringLiteral("Кол-во")},
        {QStringLiteral("price"), QStringLiteral("Цена")},
    };
    static const QHash<QString, QString> norm{
        {QStringLiteral("o_id"), QStringLiteral("Операция")}, {QStringLiteral("norma"), QStringLiteral("Норма")},
        {QStringLiteral("prize"), QStringLiteral("Премия")},  {QStringLiteral("price"), QStringLiteral("Цена")},
    };
    static const QHash<QString, QString> oper{
        {QStringLiteral("vid"), QStringLiteral("Операция")}, {QStringLiteral("naimen"), QStringLiteral("Вид")},
        {QStringLiteral("i_id"), QStringLiteral("Изделие")}, {QStringLiteral("cena_new"), QStringLiteral("Цена")},
    };
    const QHash<QString, QString>* map = table == QLatin1String("smena")     ? &smena
                                         : table == QLatin1String("fatigue") ? &fatigue
                                         : table == QLatin1String("norm")    ? &norm
                                         : table == QLatin1String("oper")    ? &oper
                                                                             : nullptr;
    return map ? map->value(column, column) : column;
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
    QStringList parts;
    parts.reserve(c.fields.size());
    const bool whole = c.kind != QLatin1String("update");
    for (const FieldChange& f : c.fields) {
        if (whole)
            parts << f.field + QStringLiteral(": ") + (f.after.isEmpty() ? f.before : f.after);
        else
            parts << f.field + QStringLiteral(": ") + f.before + QStringLiteral(" → ") + f.after;
    }
    return parts.join(QStringLiteral("; "));
}

QList<Change> rowHistory(const QString& table, qlonglong rowId, const QString& connection) {
    Reader r(connection);
    r.SQL = {kColumns + fieldsSql(false),
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
    r.SQL = {kColumns + fieldsSql(true),
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
