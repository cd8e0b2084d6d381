#include "domain/payroll.h"

#include "domain/connection.h"
#include "domain/earnings.h"
#include "domain/period.h"

#include <QCryptographicHash>
#include <QDate>
#include <QHash>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>

#include <map>
#include <memory>

namespace mirn {

namespace payroll {
namespace {

struct ColumnInfo {
    Column column;
    const char* key;
    ColumnKind kind;
    const char16_t* title;
};

const ColumnInfo kColumns[] = {
    {Column::TabNo, "tab_no", ColumnKind::Number, u"Таб. №"},
    {Column::Name, "fio", ColumnKind::Text, u"ФИО"},
    {Column::Piece, "piece", ColumnKind::Money, u"Сдельно"},
    {Column::Aux, "aux", ColumnKind::Money, u"Хоз. работы"},
    {Column::Shift1, "shift1", ColumnKind::Hours, u"Часы 1 смена"},
    {Column::Shift2, "shift2", ColumnKind::Hours, u"Часы 2 смена"},
    {Column::Shift3, "shift3", ColumnKind::Hours, u"Часы 3 смена"},
    {Column::Overtime, "overtime", ColumnKind::Hours, u"Часы переработки"},
    {Column::Days, "days", ColumnKind::Number, u"Дней"},
    {Column::Total, "total", ColumnKind::Money, u"Всего начислено"},
};

const ColumnInfo& info(Column c) { return kColumns[int(c)]; }

const Mask kMoney{1, 2, 2};

Decimal valueOf(const Row& r, Column c) {
    switch (c) {
    case Column::TabNo: return Decimal::fromInt(r.tabNo);
    case Column::Piece: return r.piece;
    case Column::Aux: return r.aux;
    case Column::Shift1: return r.hours[0];
    case Column::Shift2: return r.hours[1];
    case Column::Shift3: return r.hours[2];
    case Column::Overtime: return r.hours[3];
    case Column::Days: return Decimal::fromInt(r.days);
    case Column::Total: return r.total;
    case Column::Name: break;
    }
    return {};
}

// A settings value; QSettings hands a value with commas over as a list.
QString text(const QVariant& v) {
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QLatin1Char(','));
    return v.toString().trimmed();
}

Decimal decimalOf(const QVariant& v) { return Decimal::fromVariant(v).value_or(Decimal()); }

std::optional<Decimal> parseCommaDecimal(const QString& s) {
    QString t = s.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    return Decimal::parse(t);
}

}  // namespace

QString columnKey(Column c) { return QString::fromLatin1(info(c).key); }
ColumnKind kindOf(Column c) { return info(c).kind; }
QString defaultTitle(Column c) { return QString::fromUtf16(info(c).title); }

std::optional<Column> columnOfKey(const QString& key) {
    for (const ColumnInfo& i : kColumns)
        if (key.trimmed() == QLatin1String(i.key)) return i.column;
    return std::nullopt;
}

QString Settings::codeOf(Column c) const {
    switch (c) {
    case Column::Piece: return pieceCode;
    case Column::Aux: return auxCode;
    case Column::Total: return totalCode;
    default: return {};
    }
}

QString Settings::titleOf(int index) const {
    if (index < titles.size() && !titles[index].isEmpty()) return titles[index];
    const Column c = columns[size_t(index)];
    const QString code = codeOf(c);
    return code.isEmpty() ? defaultTitle(c) : QStringLiteral("%1 (%2)").arg(defaultTitle(c), code);
}

Settings readSettings(const QString& userFile, const QStringList& systemFiles, QStringList* problems) {
    std::vector<std::unique_ptr<QSettings>> files;
    QStringList all{userFile};
    all += systemFiles;
    for (const QString& f : all) {
        if (f.isEmpty()) continue;
        files.push_back(std::make_unique<QSettings>(f, QSettings::IniFormat));
        files.back()->beginGroup(QStringLiteral("payroll"));
    }
    auto get = [&](const QString& key) -> std::optional<QString> {
        for (const auto& s : files)
            if (s->contains(key)) return text(s->value(key));
        return std::nullopt;
    };
    auto complain = [&](const QString& what) {
        if (problems) *problems << QStringLiteral("[payroll] ") + what;
    };
    Settings out;
    // A code goes into the control block's "Столбцы" line, where these would split it.
    auto code = [&](const QString& key, QString& target) {
        const auto v = get(key);
        if (!v) return;
        if (v->isEmpty() || v->contains(QRegularExpression(QStringLiteral("[;,=\\s]"))))
            complain(QStringLiteral("%1=%2: код начисления — непустой, без пробелов, «;», «,» и «=»; оставлен %3")
                         .arg(key, *v, target));
        else
            target = *v;
    };
    code(QStringLiteral("piece_code"), out.pieceCode);
    code(QStringLiteral("aux_code"), out.auxCode);
    code(QStringLiteral("total_code"), out.totalCode);
    if (const auto v = get(QStringLiteral("columns"))) {
        std::vector<Column> cols;
        QSet<int> seen;
        bool ok = !v->isEmpty();
        for (const QString& k : v->split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const auto c = columnOfKey(k);
            if (!c || seen.contains(int(*c))) {
                ok = false;
                break;
            }
            seen.insert(int(*c));
            cols.push_back(*c);
        }
        if (ok && !cols.empty())
            out.columns = cols;
        else
            complain(QStringLiteral("columns=%1: столбцы — ключи через запятую, каждый один раз, из: "
                                    "tab_no, fio, piece, aux, shift1, shift2, shift3, overtime, days, total; "
                                    "оставлен порядок по умолчанию")
                         .arg(*v));
    }
    for (const Column c : out.columns) out.titles << get(QStringLiteral("title_") + columnKey(c)).value_or(QString());
    if (const auto v = get(QStringLiteral("encoding"))) {
        const QString e = v->toLower();
        if (e == QLatin1String("utf-8") || e == QLatin1String("cp1251"))
            out.encoding = e;
        else
            complain(QStringLiteral("encoding=%1: кодировка — utf-8 или cp1251; оставлена utf-8").arg(*v));
    }
    return out;
}

Settings readSettings(QStringList* problems) {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    return readSettings(connection::userSettingsFile(env), connection::systemSettingsFiles(env), problems);
}

std::vector<Row> rows(int month, int year, const Db& db) {
    const QDate first(year, month, 1);
    if (!first.isValid()) throw DbError(QStringLiteral("Нет такого месяца: %1.%2").arg(month).arg(year));
    Query q(db);
    const QueryCloser closer(q);
    q.SQL = earnings::statementSql();
    q.setParam(QStringLiteral("data1"), first);
    q.setParam(QStringLiteral("data2"), first.addMonths(1));
    q.setParam(QStringLiteral("worker"), 0);
    q.open();

    struct Acc {
        Row row;
        Decimal piece, aux;  // unrounded, as the statement adds them
        QSet<QDate> days;
    };
    std::vector<Acc> acc;
    QHash<int, size_t> byTabNo;
    const int fTab = q.fieldIndex(QStringLiteral("tab_no")), fFio = q.fieldIndex(QStringLiteral("fio")),
              fSection = q.fieldIndex(QStringLiteral("section")), fDate = q.fieldIndex(QStringLiteral("data")),
              fShift = q.fieldIndex(QStringLiteral("smena")), fHours = q.fieldIndex(QStringLiteral("hours")),
              fSum = q.fieldIndex(QStringLiteral("summa"));
    for (int r = 0; r < q.recordCount(); ++r) {
        const int tab = toInt(q.value(r, fTab));
        auto it = byTabNo.find(tab);
        if (it == byTabNo.end()) {
            it = byTabNo.insert(tab, acc.size());
            Acc a;
            a.row.tabNo = tab;
            a.row.name = q.value(r, fFio).toString().trimmed();
            acc.push_back(a);
        }
        Acc& a = acc[*it];
        const Decimal sum = decimalOf(q.value(r, fSum));
        (toInt(q.value(r, fSection)) == 1 ? a.piece : a.aux) += sum;
        // The statement's hours by shift add up both sections by their shift.
        const int shift = toInt(q.value(r, fShift));
        if (shift >= 1 && shift <= 4) a.row.hours[size_t(shift - 1)] += decimalOf(q.value(r, fHours));
        a.days.insert(q.value(r, fDate).toDate());
    }
    std::vector<Row> out;
    out.reserve(acc.size());
    for (Acc& a : acc) {
        a.row.piece = a.piece.rounded(2);
        a.row.aux = a.aux.rounded(2);
        a.row.total = (a.piece + a.aux).rounded(2);
        a.row.days = int(a.days.size());
        out.push_back(a.row);
    }
    return out;
}

QString refusal(int month, int year, const Db& db) {
    if (!period::detect(db)) return {};
    if (period::PeriodStore(db).isClosed(month, year)) return {};
    return QStringLiteral("Месяц не закрыт: %1. В зарплату выгружается только закрытый месяц — "
                          "сначала закройте его в табеле («Закрыть месяц»).")
        .arg(period::monthCaption(month, year));
}

QString Exporter::text() const {
    QStringList parts{login};
    if (!role.isEmpty()) parts << role;
    if (!fullName.isEmpty()) parts << fullName;
    return parts.join(QStringLiteral(", "));
}

Exporter exporter(const QString& role, const Db& db) {
    Query q(db);
    const QueryCloser closer(q);
    q.setText(QStringLiteral("select session_user::text as login, to_regclass('accounts_dep.account') is not null as accounts"));
    q.open();
    Exporter out{q.asString(QStringLiteral("login")), role, {}};
    if (q.field(QStringLiteral("accounts")).toBool()) {
        Query a(db);
        const QueryCloser closeA(a);
        a.setText(QStringLiteral("select full_name from accounts_dep.account where login = session_user"));
        a.open();
        if (!a.isEmpty()) out.fullName = a.value(0, 0).toString();
    }
    return out;
}

QString columnList(const Settings& s) {
    QStringList parts;
    for (const Column c : s.columns) {
        const QString code = s.codeOf(c);
        parts << (code.isEmpty() ? columnKey(c) : columnKey(c) + QLatin1Char('=') + code);
    }
    return parts.join(QLatin1Char(','));
}

std::optional<std::vector<std::pair<Column, QString>>> parseColumnList(const QString& list) {
    std::vector<std::pair<Column, QString>> out;
    for (const QString& part : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const auto c = columnOfKey(part.section(QLatin1Char('='), 0, 0));
        if (!c) return std::nullopt;
        out.emplace_back(*c, part.section(QLatin1Char('='), 1).trimmed());
    }
    if (out.empty()) return std::nullopt;
    return out;
}

QString cellText(ColumnKind kind, Decimal value) {
    return kind == ColumnKind::Money ? kMoney.format(value, QStringLiteral(",")) : value.toString(QStringLiteral(","));
}

QString quoted(const QString& field) {
    if (!field.contains(QLatin1Char(';')) && !field.contains(QLatin1Char('"')) && !field.contains(QLatin1Char('\n')) &&
        !field.contains(QLatin1Char('\r')))
        return field;
    QString f = field;
    f.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + f + QLatin1Char('"');
}

QList<QStringList> dataFields(const Export& e) {
    QList<QStringList> rows;
    for (const Row& r : e.rows) {
        QStringList f;
        for (const Column c : e.settings.columns) f << (c == Column::Name ? r.name : cellText(kindOf(c), valueOf(r, c)));
        rows << f;
    }
    return rows;
}

QStringList dataLines(const Export& e) {
    QStringList lines;
    QStringList header;
    for (int i = 0; i < int(e.settings.columns.size()); ++i) header << quoted(e.settings.titleOf(i));
    lines << header.join(QLatin1Char(';'));
    const auto& cols = e.settings.columns;
    for (QStringList f : dataFields(e)) {
        for (size_t c = 0; c < cols.size(); ++c)
            if (cols[c] == Column::Name) f[qsizetype(c)] = quoted(f[qsizetype(c)]);
        lines << f.join(QLatin1Char(';'));
    }
    return lines;
}

QString hashOf(const QString& columns, const QStringList& lines) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(columns.toUtf8());
    h.addData("\n");
    for (const QString& l : lines) {
        h.addData(l.toUtf8());
        h.addData("\n");
    }
    return QString::fromLatin1(h.result().toHex());
}

std::vector<Total> totals(const Export& e) {
    std::vector<Total> out;
    for (const Column c : e.settings.columns) {
        if (kindOf(c) != ColumnKind::Money) continue;
        Total t{e.settings.codeOf(c), {}};
        for (const Row& r : e.rows) t.sum += valueOf(r, c);
        out.push_back(t);
    }
    return out;
}

QList<QStringList> controlBlock(const Export& e) {
    QList<QStringList> b;
    b << QStringList{kControlTitle};
    b << QStringList{kMonthLabel, QStringLiteral("%1.%2").arg(e.month, 2, 10, QLatin1Char('0')).arg(e.year)};
    b << QStringList{kAtLabel, e.at.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"))};
    b << QStringList{kWhoLabel, e.who};
    b << QStringList{kColumnsLabel, columnList(e.settings)};
    b << QStringList{kRowsLabel, QString::number(e.rows.size())};
    for (const Total& t : totals(e)) b << QStringList{kTotalLabel + QLatin1Char(' ') + t.code, cellText(ColumnKind::Money, t.sum)};
    b << QStringList{kHashLabel, hashOf(columnList(e.settings), dataLines(e))};
    return b;
}

QString canonicalCell(ColumnKind kind, const QString& raw, bool isNumber) {
    if (!isNumber) return raw;
    const auto d = Decimal::parse(raw);
    if (!d) return raw;
    return kind == ColumnKind::Text ? d->toString(QStringLiteral(",")) : cellText(kind, *d);
}

Verdict verify(const QList<QStringList>& table) {
    Verdict v;
    auto blank = [](const QStringList& r) {
        for (const QString& f : r)
            if (!f.trimmed().isEmpty()) return false;
        return true;
    };
    int control = -1;
    for (int i = 0; i < table.size(); ++i)
        if (!table[i].isEmpty() && table[i].front().trimmed() == kControlTitle) control = i;
    if (control < 1) {
        v.differences << QStringLiteral("нет контрольного блока («%1») — это не выгрузка в зарплату или конец файла утерян")
                             .arg(kControlTitle);
        return v;
    }
    QMap<QString, QString> facts;
    QList<QPair<QString, QString>> recordedTotals;
    for (int i = control + 1; i < table.size(); ++i) {
        if (blank(table[i])) continue;
        const QString label = table[i].value(0).trimmed(), value = table[i].value(1).trimmed();
        if (label.startsWith(kTotalLabel + QLatin1Char(' ')))
            recordedTotals << qMakePair(label.mid(kTotalLabel.size() + 1).trimmed(), value);
        else
            facts.insert(label, value);
    }
    const auto list = parseColumnList(facts.value(kColumnsLabel));
    v.month = facts.value(kMonthLabel);
    v.at = facts.value(kAtLabel);
    v.who = facts.value(kWhoLabel);
    v.recordedHash = facts.value(kHashLabel).toLower();
    if (!list || v.recordedHash.isEmpty()) {
        v.differences << QStringLiteral("контрольный блок поврежден: нет строки «%1» или «%2»").arg(kColumnsLabel, kHashLabel);
        return v;
    }
    v.readable = true;

    int end = control;
    while (end > 0 && blank(table[end - 1])) --end;
    QStringList lines;
    for (int i = 0; i < end; ++i) {
        QStringList f;
        for (const QString& x : table[i]) f << quoted(x);
        lines << f.join(QLatin1Char(';'));
    }
    v.rows = std::max(0, end - 1);
    v.computedHash = hashOf(facts.value(kColumnsLabel), lines);
    if (v.computedHash != v.recordedHash)
        v.differences << QStringLiteral("контрольная сумма данных не совпадает: записана %1, по данным %2")
                             .arg(v.recordedHash, v.computedHash);
    bool ok = false;
    const int recordedRows = facts.value(kRowsLabel).toInt(&ok);
    if (!ok || recordedRows != v.rows)
        v.differences << QStringLiteral("строк данных %1, а в контрольном блоке «%2»").arg(v.rows).arg(facts.value(kRowsLabel));

    const int width = int(list->size());
    for (int i = 1; i < end; ++i)
        if (table[i].size() != width)
            v.differences << QStringLiteral("строка %1: полей %2, а столбцов %3").arg(i + 1).arg(table[i].size()).arg(width);
    for (int c = 0; c < width; ++c) {
        if (kindOf((*list)[size_t(c)].first) != ColumnKind::Money) continue;
        const QString code = (*list)[size_t(c)].second;
        Decimal sum;
        for (int i = 1; i < end; ++i) {
            const auto d = parseCommaDecimal(table[i].value(c));
            if (d)
                sum += *d;
            else
                v.differences << QStringLiteral("строка %1, код %2: «%3» — не сумма").arg(i + 1).arg(code, table[i].value(c));
        }
        const auto it = std::find_if(recordedTotals.begin(), recordedTotals.end(),
                                     [&](const QPair<QString, QString>& t) { return t.first == code; });
        const auto recorded = it == recordedTotals.end() ? std::nullopt : parseCommaDecimal(it->second);
        if (!recorded || *recorded != sum)
            v.differences << QStringLiteral("итог по коду %1: в контрольном блоке «%2», по строкам %3")
                                 .arg(code, it == recordedTotals.end() ? QString() : it->second,
                                      cellText(ColumnKind::Money, sum));
    }
    v.unchanged = v.differences.isEmpty();
    return v;
}

QList<QStringList> splitCsv(const QString& text) {
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quotedField = false;
    bool any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quotedField) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quotedField = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == u'"') {
            quotedField = true;
            any = true;
        } else if (c == u';') {
            row << field;
            field.clear();
            any = true;
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            row << field;
            rows << row;
            row.clear();
            field.clear();
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (any) {
        row << field;
        rows << row;
    }
    return rows;
}

bool record(const Export& e, const QString& fileName, const QString& hash, const Db& db) {
    if (!period::detect(db)) return false;
    Query probe(db);
    {
        const QueryCloser closer(probe);
        probe.setText(QStringLiteral("select to_regprocedure('accounts_dep.payroll_export_record(integer, integer, text, text,"
                                     " integer, text)') is not null as here"));
        probe.open();
        if (!probe.field(QStringLiteral("here")).toBool()) return false;
    }
    QStringList t;
    for (const Total& x : totals(e)) t << x.code + QLatin1Char('=') + kMoney.format(x.sum, QStringLiteral("."));
    Query q(db);
    const QueryCloser closer(q);
    q.setText(QStringLiteral("select accounts_dep.payroll_export_record(:y, :m, :file, :hash, :rows, :totals) as id"));
    q.setParam(QStringLiteral("y"), e.year);
    q.setParam(QStringLiteral("m"), e.month);
    q.setParam(QStringLiteral("file"), fileName);
    q.setParam(QStringLiteral("hash"), hash);
    q.setParam(QStringLiteral("rows"), int(e.rows.size()));
    q.setParam(QStringLiteral("totals"), t.join(QLatin1Char(';')));
    q.open();
    return true;
}

}  // namespace payroll

}  // namespace mirn
