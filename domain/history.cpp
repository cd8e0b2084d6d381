#include "domain/history.h"

#include "domain/db.h"
#include "domain/decimal.h"

#include <QLocale>
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

// How a logged value reads: a key by the name it stands for, a number as the windows
// write it.
enum class Shown {
    AsIs,
    Worker,     // smena.w_id: the register's person, by worker number or by row, as the journal finds them
    Person,     // fatigue.id_p: the department's list
    Product,    // the product's mark
    Operation,  // smena.o_id: the operation type and the product kind of the priced operation
    PricedOp,   // norm.o_id: the operation's description, "mark; type; kind"
    OpType,     // an operation type's name
    Group,      // fatigue.id_nom: the nomenclature group
    Kind,       // oper.naimen: "Готовая продукция" or "Заготовки"
    Price,      // two to four decimals
    Count,      // pieces, hours: whole, unless the value has a fraction
    Number,     // as exact as stored
};

// The columns of the logged tables the history shows, in the tables' order, with their
// captions. The key, and the columns the department never edits, stay out.
struct Column {
    const char* name;
    const char* caption;
    Shown shown = Shown::AsIs;
};
struct Table {
    const char* name;
    std::vector<Column> columns;
};
const std::vector<Table>& tables() {
    static const std::vector<Table> t{
        {"smena",
         {{"w_id", "Рабочий", Shown::Worker}, {"i_id", "Изделие", Shown::Product},
          {"o_id", "Операция", Shown::Operation}, {"cena", "Цена", Shown::Price}, {"kol_vo", "Кол-во", Shown::Count},
          {"brak", "Брак", Shown::Count}, {"data", "Дата"}, {"smena", "Смена"}, {"color", "Цвет"},
          {"time", "Часы", Shown::Count}, {"ok", "OK"}, {"vvod", "Заведен"}, {"prize", "Премия (%)", Shown::Number}}},
        {"fatigue",
         {{"id_p", "ФИО", Shown::Person}, {"id_nom", "Номенклатура", Shown::Group}, {"id_o", "Работа", Shown::OpType},
          {"d_date", "Дата"}, {"i_mnth", "Месяц"}, {"i_year", "Год"}, {"i_smena", "Смена"},
          {"cnt", "Кол-во", Shown::Count}, {"price", "Цена", Shown::Price}}},
        {"norm",
         {{"o_id", "Операция", Shown::PricedOp}, {"norma", "Норма", Shown::Count}, {"prize", "Премия", Shown::Number},
          {"price", "Цена", Shown::Price}}},
        {"oper",
         {{"vid", "Операция", Shown::OpType}, {"naimen", "Вид", Shown::Kind}, {"i_id", "Изделие", Shown::Product},
          {"cena_new", "Цена", Shown::Price}}},
    };
    return t;
}

// The fields of a change, worked out on the server column by column (plain expressions,
// no set-returning function per row: the report reads tens of thousands of changes):
// for an update the columns whose value differs, for a new or deleted row the columns
// with a value. The list is "column<US>before<US>after" joined by <RS>.
// The server's text of a key's name; %1 is the key's text. Null where the key names
// nothing (any more): the key itself is shown then.
QString nameSql(Shown shown) {
    const QString kind = QStringLiteral("case when o.naimen = 0 then 'Готовая продукция' else 'Заготовки' end");
    switch (shown) {
    case Shown::Worker:
        // The journal's match (w_id=person.id or s_code::t_id=w_id), the worker number first.
        return QStringLiteral("(select coalesce(min(p.s_caption) filter (where p.s_code::t_id = (%1)::numeric), "
                              "min(p.s_caption)) from cmn_contractor.person p "
                              "where p.s_code::t_id = (%1)::numeric or p.id = (%1)::numeric::integer)");
    case Shown::Person:
        return QStringLiteral("(select ap.fio from accounts_dep.person ap where ap.id = (%1)::numeric::integer)");
    case Shown::Product:
        return QStringLiteral("(select g.s_caption from cmn_gds_and_srv.gds_and_srv g where g.id = (%1)::numeric)");
    case Shown::Operation:
        return QStringLiteral("(select vo.vid || ' (' || ") + kind +
               QStringLiteral(" || ')' from accounts_dep.oper o join accounts_dep.vid_oper vo on vo.id = o.vid "
                              "where o.id = (%1)::numeric::integer)");
    case Shown::PricedOp:
        return QStringLiteral("(select coalesce(g.s_caption, '') || '; ' || vo.vid || '; ' || ") + kind +
               QStringLiteral(" from accounts_dep.oper o join accounts_dep.vid_oper vo on vo.id = o.vid "
                              "left join cmn_gds_and_srv.gds_and_srv g on g.id = o.i_id where o.id = (%1)::numeric::integer)");
    case Shown::OpType:
        return QStringLiteral("(select vo.vid from accounts_dep.vid_oper vo where vo.id = (%1)::numeric::integer)");
    case Shown::Group:
        return QStringLiteral("(select i.s_caption from cmn_classifier.item i where i.id = (%1)::numeric)");
    case Shown::Kind:
        return QStringLiteral("(case when (%1)::numeric = 0 then 'Готовая продукция' else 'Заготовки' end)");
    default:
        return {};
    }
}

QString fieldsSql() {
    const auto raw = [](const QString& side, const QString& k) {
        return QStringLiteral("(c.%1 ->> '%2')").arg(side, k);
    };
    // A key goes to the client as its name; the rest as stored, for the client to format.
    QString out;
    out = QStringLiteral("case c.table_name");
    for (const Table& t : tables()) {
        QStringList changed, added, removed;
        for (const Column& col : t.columns) {
            const QString k = QString::fromLatin1(col.name);
            const QString name = nameSql(col.shown);
            const auto val = [&](const QString& side, const QString&) {
                const QString v = raw(side, k);
                return name.isEmpty() ? v : QStringLiteral("coalesce(%1, %2)").arg(name.arg(v), v);
            };
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

const Column* columnOf(const QString& table, const QString& column) {
    for (const Table& t : tables()) {
        if (table != QLatin1String(t.name)) continue;
        for (const Column& c : t.columns)
            if (column == QLatin1String(c.name)) return &c;
    }
    return nullptr;
}

// A number as the grids write it, by the desktop's locale: its decimal separator, and digit
// groups except in the C locale. Taken from the stored text exactly, so a price stored as
// 2.4099999999999997 reads 2,41 as in the journal.
QString localNumber(const QString& stored, int minDecimals, int maxDecimals) {
    const auto d = Decimal::parse(stored);
    if (!d) return stored;
    const Mask mask{1, minDecimals, maxDecimals};
    QString digits = mask.format(*d, QStringLiteral("."));
    const QLocale loc;
    QString whole = digits.section(QLatin1Char('.'), 0, 0);
    const QString fraction = digits.section(QLatin1Char('.'), 1);
    const bool grouping = loc.language() != QLocale::C && !(loc.numberOptions() & QLocale::OmitGroupSeparator);
    if (grouping) {
        const qsizetype start = whole.startsWith(QLatin1Char('-')) ? 1 : 0;
        for (qsizetype at = whole.size() - 3; at > start; at -= 3) whole.insert(at, loc.groupSeparator());
    }
    return fraction.isEmpty() ? whole : whole + loc.decimalPoint() + fraction;
}

QString formatted(const QString& v, Shown shown) {
    if (v.isEmpty()) return v;
    switch (shown) {
    case Shown::Price: return localNumber(v, 2, 4);
    case Shown::Count: return localNumber(v, 0, 3);
    case Shown::Number: return localNumber(v, 0, 4);
    default: return v;
    }
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
        const Column* col = columnOf(table, pieces[0]);
        const Shown shown = col ? col->shown : Shown::AsIs;
        out.push_back({fieldCaption(table, pieces[0]), formatted(display(pieces[1]), shown),
                       formatted(display(pieces[2]), shown)});
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
QString personSql(const Db& db) {
    Query q(db);
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

QStringList fieldLines(const Change& c) {
    QStringList pieces;
    pieces.reserve(c.fields.size());
    const bool whole = c.kind != QLatin1String("update");
    for (const FieldChange& f : c.fields) {
        if (whole)
            pieces << f.field + QStringLiteral(": ") + (f.after.isEmpty() ? f.before : f.after);
        else
            pieces << f.field + QStringLiteral(": ") + f.before + QStringLiteral(" → ") + f.after;
    }
    return pieces;
}

QString fieldsText(const Change& c) { return fieldLines(c).join(QStringLiteral("; ")); }

QList<Change> rowHistory(const QString& table, qlonglong rowId, const Db& db) {
    Reader r(db);
    r.SQL = {kColumns + fieldsSql() + personSql(db),
             QStringLiteral("from accounts_dep.change_log c where c.table_name = :t and c.row_id = :id "
                            "order by c.at desc, c.id desc")};
    r.setParam(QStringLiteral("t"), table);
    r.setParam(QStringLiteral("id"), rowId);
    QSqlQuery q = r.read();
    QList<Change> out;
    while (q.next()) out.push_back(readChange(q));
    return out;
}

std::vector<Change> periodChanges(const QDate& from, const QDate& to, const Db& db) {
    Reader r(db);
    r.SQL = {kColumns + fieldsSql() + personSql(db),
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
