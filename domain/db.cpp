#include "domain/db.h"

#include "domain/connection.h"

#include <algorithm>

#include <QCollator>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <atomic>
#include <cmath>

namespace mirn {

Q_LOGGING_CATEGORY(lcDb, "mirn.db")

namespace {
std::atomic<long> roundTrips_{0};

// Statements slower than this go to the support log with their duration.
constexpr qint64 kSlowMs = 500;

// Open transactions on the shared connection: a statement inside one is never
// repeated after a reconnect (the server has rolled the transaction back).
int g_txDepth = 0;
// The shared connection was found dead; the next statement reconnects first.
bool g_lost = false;

// A transaction on a connection: none, begun on the client only (its BEGIN goes with
// the next statement sent), or begun on the server.
enum class Tx { None, Pending, Begun };
QMutex g_txMutex;
QHash<QString, Tx> g_tx;

Tx txState(const QString& connection) {
    QMutexLocker lock(&g_txMutex);
    return g_tx.value(connection, Tx::None);
}
void setTxState(const QString& connection, Tx state) {
    QMutexLocker lock(&g_txMutex);
    if (state == Tx::None) g_tx.remove(connection);
    else g_tx.insert(connection, state);
}
// Whether the server has the connection's transaction (a COMMIT or ROLLBACK is owed);
// the connection has none afterwards.
bool takeBegun(const QString& connection) {
    QMutexLocker lock(&g_txMutex);
    return g_tx.take(connection) == Tx::Begun;
}
constexpr QLatin1StringView kBegin("BEGIN; ");

// The value as the driver writes it into its EXECUTE: quoted and escaped by its own
// formatter, NULL for an empty value of any type.
bool nullValue(const QVariant& v) {
    if (v.isNull()) return true;
    switch (v.typeId()) {
    case QMetaType::QString: return static_cast<const QString*>(v.constData())->isNull();
    case QMetaType::QByteArray: return static_cast<const QByteArray*>(v.constData())->isNull();
    case QMetaType::QDate: return static_cast<const QDate*>(v.constData())->isNull();
    case QMetaType::QTime: return static_cast<const QTime*>(v.constData())->isNull();
    case QMetaType::QDateTime: return static_cast<const QDateTime*>(v.constData())->isNull();
    default: return false;
    }
}

QString literal(const QVariant& v, const QSqlDriver* driver) {
    QSqlField f(QString(), v.metaType());
    if (nullValue(v)) f.clear();
    else f.setValue(v);
    return driver->formatValue(f);
}

bool placeholderChar(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'_';
}

QString inlineParams(const QString& sql, const std::vector<std::pair<QString, QVariant>>& params,
                     const QSqlDriver* driver) {
    if (params.empty()) return sql;
    QString out;
    out.reserve(sql.size() + 16 * qsizetype(params.size()));
    QChar quote;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n;) {
        const QChar ch = sql.at(i);
        if (!quote.isNull()) {
            if (ch == quote) quote = QChar();
            out += ch;
            ++i;
            continue;
        }
        if (ch == u':' && (i == 0 || sql.at(i - 1) != u':') && i + 1 < n && placeholderChar(sql.at(i + 1))) {
            qsizetype end = i + 2;
            while (end < n && placeholderChar(sql.at(end))) ++end;
            const QStringView name = QStringView(sql).sliced(i + 1, end - i - 1);
            QVariant value;
            for (const auto& p : params)
                if (p.first == name) {
                    value = p.second;
                    break;
                }
            out += literal(value, driver);
            i = end;
            continue;
        }
        if (ch == u'\'' || ch == u'"' || ch == u'`') quote = ch;
        out += ch;
        ++i;
    }
    return out;
}

QString errorText(const QSqlError& e) {
    const QString db = e.databaseText().trimmed();
    const QString text = db.isEmpty() ? e.text().trimmed() : db;
    // A dropped socket may come back without any text: still say what happened.
    return text.isEmpty() ? QStringLiteral("no connection to the server") : text;
}

// Errors that may mean the connection itself is gone: no SQLSTATE (the socket
// closed), connection exceptions (08…) and server shutdown (57P…).
bool mayBeLost(const QString& state) {
    return state.isEmpty() || state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P"));
}

bool alive(const QSqlDatabase& db) {
    if (!db.isOpen()) return false;
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("select 1"))) return true;
    // An aborted transaction still answers: the connection is there.
    return !mayBeLost(q.lastError().nativeErrorCode());
}

// A statement as the support log keeps it: whole (an insert's values are what support
// needs), on one line, with any password literal masked. Only a runaway text is cut.
constexpr qsizetype kLogStatementMax = 20000;
constexpr qsizetype kLogValueMax = 2000;

QString maskSecrets(QString t) {
    static const QRegularExpression secret(QStringLiteral("(password\\s*=?\\s*)'(?:[^']|'')*'"),
                                           QRegularExpression::CaseInsensitiveOption);
    return t.replace(secret, QStringLiteral("\\1'***'"));
}

QString firstLine(const QString& sql) {
    const QString t = maskSecrets(sql.simplified());
    return t.size() > kLogStatementMax ? t.left(kLogStatementMax) + QStringLiteral("…") : t;
}

// A parameter whose name says it is secret never reaches the log.
bool secretName(const QString& name) {
    const QString n = name.toLower();
    return n.contains(QLatin1String("password")) || n.contains(QLatin1String("passwd"));
}

QString paramsText(const std::vector<std::pair<QString, QVariant>>& params) {
    QStringList out;
    for (const auto& p : params) {
        QString v = p.second.isNull() ? QStringLiteral("null") : p.second.toString();
        if (secretName(p.first)) v = QStringLiteral("***");
        if (v.size() > kLogValueMax) v = v.left(kLogValueMax) + QStringLiteral("…");
        out << p.first + QLatin1Char('=') + v;
    }
    return out.join(QStringLiteral(", "));
}

// The entry tables whose new rows the support log names by id: an insert that lets the
// database assign the key (no "id" in its column list, no returning clause of its own).
QString entryTableOf(const QString& sql) {
    static const QRegularExpression re(
        QStringLiteral("^\\s*insert\\s+into\\s+accounts_dep\\.(smena|fatigue)\\s*\\(([^)]*)\\)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(sql);
    if (!m.hasMatch()) return {};
    static const QRegularExpression idColumn(QStringLiteral("(^|[\\s,])id\\s*(,|$)"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (idColumn.match(m.captured(2).trimmed()).hasMatch()) return {};
    static const QRegularExpression returning(QStringLiteral("\\breturning\\b"), QRegularExpression::CaseInsensitiveOption);
    if (returning.match(sql).hasMatch()) return {};
    return QStringLiteral("accounts_dep.") + m.captured(1).toLower();
}

bool isWrite(const QString& sql) {
    static const QRegularExpression re(QStringLiteral("^\\s*(insert|update|delete)\\b"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(sql).hasMatch();
}

QString lostText(const QString& cause) {
    const auto& p = connection::current();
    return QStringLiteral("connection to %1:%2 lost: %3").arg(p.host).arg(p.port).arg(cause);
}

// Reopens the shared connection with the parameters it was opened with.
bool reconnect(QString* why) {
    const connection::Params p = connection::current();
    if (p.host.isEmpty()) return false;
    const bool ok = connection::open(p, why);
    if (ok) {
        g_lost = false;
        g_txDepth = 0;
        setTxState(kConnectionName, Tx::None);
        qCInfo(lcDb) << "reconnected";
    }
    return ok;
}

// Before a statement on the shared connection: reconnect when it was lost.
void ensureConnected(const QString& name) {
    if (name != kConnectionName) return;
    const bool open = QSqlDatabase::database(name, false).isOpen();
    if (!g_lost && open) return;
    if (!open && connection::current().host.isEmpty()) return;
    QString why;
    if (!reconnect(&why)) {
        g_lost = true;
        throw DbError(lostText(why), QString(), QString(), true);
    }
}

// After a failed statement: true when the shared connection is gone.
bool checkLost(const QString& name, const QString& state) {
    if (name != kConnectionName || !mayBeLost(state)) return false;
    if (alive(QSqlDatabase::database(name, false))) return false;
    g_lost = true;
    return true;
}

// Tables named for the user: what could not be stored.
QString subject(const QString& sql) {
    static const QRegularExpression re(
        QStringLiteral("(?:insert\\s+into|update|delete\\s+from)\\s+([a-z_]+\\.)?([a-z_]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(sql);
    if (!m.hasMatch()) return {};
    const QString t = m.captured(2).toLower();
    static const QHash<QString, QString> names{
        {QStringLiteral("smena"), QStringLiteral("запись журнала смен")},
        {QStringLiteral("h_tabel"), QStringLiteral("табель")},
        {QStringLiteral("person"), QStringLiteral("данные работника")},
        {QStringLiteral("gds_and_srv"), QStringLiteral("изделие")},
        {QStringLiteral("izdel"), QStringLiteral("изделие")},
        {QStringLiteral("vid_oper"), QStringLiteral("вид операции")},
        {QStringLiteral("oper"), QStringLiteral("расценённую операцию")},
        {QStringLiteral("norm"), QStringLiteral("норму")},
        {QStringLiteral("fatigue"), QStringLiteral("запись хозяйственных работ")},
        {QStringLiteral("ver"), QStringLiteral("версию программы")},
    };
    return names.value(t, QStringLiteral("данные (таблица %1)").arg(t));
}

QString reason(const QString& state) {
    if (state == QLatin1String("22001")) return QStringLiteral("текст длиннее, чем допускает поле");
    if (state == QLatin1String("22003")) return QStringLiteral("число вне допустимого диапазона");
    if (state == QLatin1String("22P02") || state == QLatin1String("22007") || state == QLatin1String("22008"))
        return QStringLiteral("число или дата записаны неверно");
    if (state == QLatin1String("23505")) return QStringLiteral("такая запись уже есть");
    if (state == QLatin1String("23503")) return QStringLiteral("запись связана с другими данными");
    if (state == QLatin1String("23502")) return QStringLiteral("не заполнено обязательное поле");
    if (state == QLatin1String("23514")) return QStringLiteral("значение не проходит проверку базы данных");
    if (state == QLatin1String("40001") || state == QLatin1String("40P01"))
        return QStringLiteral("данные одновременно меняет другой пользователь, повторите действие");
    if (state.startsWith(QLatin1String("42501"))) return QStringLiteral("недостаточно прав");
    return QStringLiteral("сервер базы данных отказал");
}

}  // namespace

long roundTrips() { return roundTrips_; }

QString DbError::userText() const {
    // A closed month's refusal is its own sentence ("Месяц закрыт: ноябрь 2026").
    if (state_ == QLatin1String("ML001")) return server_;
    if (lost_) {
        const auto& p = connection::current();
        return QStringLiteral("Нет связи с сервером базы данных %1 (порт %2). Действие не выполнено; "
                              "когда связь восстановится, повторите его.")
            .arg(p.host)
            .arg(p.port);
    }
    if (isWrite(statement_)) {
        const QString what = subject(statement_);
        static const QRegularExpression del(QStringLiteral("^\\s*delete\\b"), QRegularExpression::CaseInsensitiveOption);
        const QString verb = del.match(statement_).hasMatch() ? QStringLiteral("удалить") : QStringLiteral("сохранить");
        return QStringLiteral("Не удалось %1 %2: %3.").arg(verb, what, reason(state_));
    }
    if (statement_.isEmpty())
        return QStringLiteral("Не удалось выполнить действие с базой данных: %1.").arg(reason(state_));
    return QStringLiteral("Не удалось прочитать данные из базы: %1.").arg(reason(state_));
}

std::optional<double> numberOf(const QVariant& v) {
    if (v.isNull()) return std::nullopt;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (!std::isfinite(d)) return std::nullopt;
        return d;
    }
    case QMetaType::QString: {
        static const QRegularExpression exact(QStringLiteral("^-?\\d+(\\.\\d+)?$"));
        const QString s = v.toString().trimmed();
        if (!exact.match(s).hasMatch()) return std::nullopt;
        return s.toDouble();
    }
    default: return std::nullopt;
    }
}

int toInt(const QVariant& v) {
    if (v.isNull()) return 0;
    switch (v.typeId()) {
    case QMetaType::QString: {
        const QString s = v.toString().trimmed();
        bool ok = false;
        const int i = s.toInt(&ok);
        if (ok) return i;
        return int(s.toDouble());
    }
    default: return v.toInt();
    }
}

double toDouble(const QVariant& v) {
    if (v.isNull()) return 0.0;
    return v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble() : v.toDouble();
}

// ---------------------------------------------------------------- Db

QSqlDatabase Db::database() const { return QSqlDatabase::database(name(), false); }

int Db::exec(const QString& text) const {
    Command c(*this);
    c.setText(text);
    return c.exec();
}

int Db::scalarInt(const QString& text) const {
    Query q(*this);
    q.setText(text);
    q.open();
    return q.isEmpty() ? 0 : toInt(q.value(0, 0));
}

Decimal Db::scalarDecimal(const QString& text) const {
    Query q(*this);
    q.setText(text);
    q.open();
    if (q.isEmpty() || q.value(0, 0).isNull()) return {};
    const auto d = Decimal::fromVariant(q.value(0, 0));
    if (!d) throw DbError(QStringLiteral("not a number: ") + q.value(0, 0).toString(), QString(), text);
    return *d;
}

// ---------------------------------------------------------------- Statement

Statement::Statement(Db db) : connection_(db.name()) {}

void Statement::setParam(const QString& name, const QVariant& value) {
    for (auto& p : params_)
        if (p.first == name) {
            p.second = value;
            return;
        }
    params_.emplace_back(name, value);
}

QVariant Statement::param(const QString& name) const {
    for (const auto& p : params_)
        if (p.first == name) return p.second;
    return {};
}

QSqlDatabase Statement::database() const { return QSqlDatabase::database(connection_, false); }

QString Statement::sentText(const QSqlDriver* driver) const { return inlineParams(text(), params_, driver); }

namespace {
// What a failed statement throws: a closed month's refusal is the trigger's own first
// line, as the user reads it; anything else the server's message.
std::exception_ptr failureOf(const QString& state, const QString& msg, const QString& sql) {
    if (state == QLatin1String("ML001")) {
        QString line = msg.section(QLatin1Char('\n'), 0, 0);
        static const QRegularExpression severity(QStringLiteral("^[A-Z]+:\\s+"));
        return std::make_exception_ptr(ClosedMonthError(line.remove(severity).trimmed(), state, sql));
    }
    return std::make_exception_ptr(DbError(msg, state, sql));
}

// After a lost connection, whether the statements may be sent again on a fresh one: a
// read outside a transaction, or anything whose transaction began with this very send
// (the server has rolled all of it back). A retry inside a transaction keeps it open.
bool retryAfterLoss(int attempt, bool began, bool write, const QString& connection) {
    if (attempt != 0 || !(began || (g_txDepth == 0 && !write))) return false;
    const int depth = g_txDepth;
    QString why;
    if (!reconnect(&why)) return false;
    if (began) {
        g_txDepth = depth;
        setTxState(connection, Tx::Pending);
    }
    return true;
}
}  // namespace

QSqlQuery Statement::run(bool forwardOnly, const QString& tail) const {
    ensureConnected(connection_);
    const QString sql = text();
    const bool write = isWrite(sql);
    // A read, or any statement outside a transaction that found the connection
    // already dead, is tried once more on a fresh connection; a write inside a
    // transaction never is (the server has rolled it back).
    for (int attempt = 0;; ++attempt) {
        QSqlDatabase db = database();
        if (!db.isOpen()) throw DbError(QStringLiteral("Нет подключения к базе данных"), QString(), sql, true);
        // A transaction's BEGIN goes with its first statement, in the same round trip.
        const bool begin = txState(connection_) == Tx::Pending;
        QString sent = params_.empty() ? sql : inlineParams(sql, params_, db.driver());
        if (!tail.isEmpty()) sent += tail;
        if (begin) sent.prepend(kBegin);
        QSqlQuery q(db);
        q.setForwardOnly(forwardOnly);
        q.setNumericalPrecisionPolicy(QSql::HighPrecision);
        QElapsedTimer clock;
        clock.start();
        ++roundTrips_;
        bool ok = q.exec(sent);
        if (ok && begin) ok = q.nextResult();  // past BEGIN's own result
        const qint64 ms = clock.elapsed();
        if (ms > kSlowMs)
            qCWarning(lcDb).noquote() << "slow statement" << ms << "ms:" << firstLine(sql);
        if (ok) {
            if (begin) setTxState(connection_, Tx::Begun);
            if (write)
                qCInfo(lcDb).noquote() << "stored:" << firstLine(sql) << "|" << paramsText(params_) << "| rows"
                                       << q.numRowsAffected() << (g_txDepth ? "(in transaction)" : "");
            return q;
        }
        const QSqlError e = q.lastError();
        const QString state = e.nativeErrorCode();
        const QString msg = errorText(e);
        q = QSqlQuery();
        db = QSqlDatabase();
        if (checkLost(connection_, state)) {
            qCWarning(lcDb).noquote() << lostText(msg) << "| statement:" << firstLine(sql);
            if (retryAfterLoss(attempt, begin, write, connection_)) continue;
            throw DbError(lostText(msg), state, sql, true);
        }
        // The server's transaction is open (and aborted): the rollback ends it.
        if (begin) setTxState(connection_, Tx::Begun);
        qCWarning(lcDb).noquote() << "statement failed:" << state << msg << "| statement:" << firstLine(sql)
                                  << "|" << paramsText(params_);
        std::rethrow_exception(failureOf(state, msg, sql));
    }
}

int Command::exec() {
    // An insert of an entry brings back the key the database gave it, for the support
    // log, in the same round trip (every login that may insert an entry may read it).
    const QString t = text();
    QString table = entryTableOf(t);
    if (t.trimmed().endsWith(QLatin1Char(';')) || t.contains(QLatin1String("--"))) table.clear();  // nothing can follow
    // Read whole (not row by row), so that the count of rows the insert made is there too.
    QSqlQuery q = table.isEmpty() ? run(true) : run(false, QStringLiteral(" returning id"));
    const int rows = q.numRowsAffected();
    if (rows == 1 && !table.isEmpty() && q.next() && !q.value(0).isNull())
        qCInfo(lcDb).noquote() << "new entry id" << q.value(0).toString() << "in" << table;
    q.finish();
    return rows;
}

// ---------------------------------------------------------------- Query

Query::Query(Db db, QObject* parent) : QObject(parent), Statement(std::move(db)) {}

void Query::open() {
    if (active_) return;
    QSqlQuery q = run(true);
    const QSqlRecord rec = q.record();
    fields_.clear();
    fieldsLower_.clear();
    for (int i = 0; i < rec.count(); ++i) {
        fields_ << rec.fieldName(i);
        fieldsLower_ << rec.fieldName(i).toLower();
    }
    rows_.clear();
    const int n = rec.count();
    while (q.next()) {
        Row r(n);
        for (int i = 0; i < n; ++i) r[i] = q.value(i);
        rows_.push_back(std::move(r));
    }
    active_ = true;
    applySort();
    applyFilter();
}

void Query::takeRows(Query& other) {
    close();
    fields_ = std::move(other.fields_);
    fieldsLower_ = std::move(other.fieldsLower_);
    rows_ = std::move(other.rows_);
    other.fields_.clear();
    other.fieldsLower_.clear();
    other.close();
    active_ = true;
    applySort();
    applyFilter();
}

void Query::setRows(QStringList fields, std::vector<Row> rows) {
    close();
    fieldsLower_.clear();
    for (const QString& f : fields) fieldsLower_ << f.toLower();
    fields_ = std::move(fields);
    rows_ = std::move(rows);
    active_ = true;
    applySort();
    applyFilter();
}

void Query::close() {
    if (!active_) return;
    active_ = false;
    rows_.clear();
    order_.clear();
    visible_.clear();
    current_ = -1;
    eof_ = bof_ = true;
    emit reset();
    emit currentChanged(-1);
}

int Query::fieldIndex(const QString& name) const { return fieldsLower_.indexOf(name.toLower()); }

QVariant Query::field(const QString& name) const {
    if (current_ < 0) return {};
    return value(current_, name);
}

int Query::asInt(const QString& name) const { return toInt(field(name)); }
double Query::asDouble(const QString& name) const { return toDouble(field(name)); }

QVariant Query::value(int visibleRow, int column) const {
    if (visibleRow < 0 || visibleRow >= recordCount() || column < 0) return {};
    const Row& r = rows_[visible_[visibleRow]];
    return column < r.size() ? r[column] : QVariant();
}

QVariant Query::value(int visibleRow, const QString& name) const {
    return value(visibleRow, fieldIndex(name));
}

void Query::moveTo(int visibleRow) {
    const int n = recordCount();
    if (n == 0) {
        current_ = -1;
        eof_ = bof_ = true;
    } else {
        current_ = std::clamp(visibleRow, 0, n - 1);
    }
    emit currentChanged(current_);
}

void Query::setRecNo(int recNo) {
    eof_ = bof_ = recordCount() == 0;
    moveTo(recNo - 1);
}

void Query::returnTo(int recNo, KeepRow how) {
    if (isEmpty()) return;
    if (how == KeepRow::OnlyIfThere && (recNo < 1 || recNo > recordCount())) return;
    setRecNo(recNo);
}

QueryCloser::~QueryCloser() { q_.close(); }

void Query::next() {
    if (current_ + 1 >= recordCount()) {
        eof_ = true;
        return;
    }
    bof_ = false;
    moveTo(current_ + 1);
}

void Query::prior() {
    if (current_ <= 0) {
        bof_ = true;
        return;
    }
    eof_ = false;
    moveTo(current_ - 1);
}

bool Query::locate(const QString& name, const QVariant& value) {
    const int col = fieldIndex(name);
    if (col < 0) return false;
    for (int i = 0; i < recordCount(); ++i) {
        const QVariant& v = rows_[visible_[i]][col];
        const bool same = (v.typeId() == QMetaType::QString || value.typeId() == QMetaType::QString)
                              ? v.toString().trimmed() == value.toString().trimmed()
                              : v == value;
        if (same) {
            eof_ = bof_ = false;
            moveTo(i);
            return true;
        }
    }
    return false;
}

void Query::setFilter(std::function<bool(const Query&, const Row&)> pred) {
    const bool off = !pred;
    const int keep = off && current_ >= 0 ? visible_[current_] : -1;
    filter_ = std::move(pred);
    if (!active_) return;
    applyFilter();
    // Every row passes once the filter is off: stay on the row the user stood on.
    if (keep >= 0) {
        const auto at = std::find(visible_.begin(), visible_.end(), keep);
        if (at != visible_.end() && int(at - visible_.begin()) != current_) moveTo(int(at - visible_.begin()));
    }
}

void Query::setSort(const QString& name, Qt::SortOrder order) {
    const int keep = current_ >= 0 ? visible_[current_] : -1;
    sortField_ = name;
    sortOrder_ = order;
    if (!active_) return;
    applySort();
    pickVisible();
    emit reset();
    const auto at = std::find(visible_.begin(), visible_.end(), keep);
    moveTo(at == visible_.end() ? 0 : int(at - visible_.begin()));
}

namespace {
// A value as the sort compares it: empty values, then numbers, then dates, then texts.
struct SortKey {
    enum Kind { Empty, Number, Date, Text } kind = Empty;
    double number = 0;
    QDateTime date;
    QString text;
};

SortKey sortKey(const QVariant& v) {
    SortKey k;
    if (v.isNull()) return k;
    if (const auto n = numberOf(v)) {
        k.kind = SortKey::Number;
        k.number = *n;
        return k;
    }
    switch (v.typeId()) {
    case QMetaType::QDate:
        k.kind = SortKey::Date;
        k.date = v.toDate().startOfDay();
        return k;
    case QMetaType::QDateTime:
        k.kind = SortKey::Date;
        k.date = v.toDateTime();
        return k;
    default: break;
    }
    const QString s = v.toString().trimmed();
    if (s.isEmpty()) return k;
    k.kind = SortKey::Text;
    k.text = s;
    return k;
}

}  // namespace

// Texts compare piece by piece: runs of digits by their value, the rest by the collation,
// so that "КР-20" comes before "КР-100" whatever the desktop's locale.
int compareTexts(const QString& a, const QString& b, const QCollator& collator) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = a.at(i).isDigit(), db = b.at(j).isDigit();
        qsizetype ei = i, ej = j;
        while (ei < a.size() && a.at(ei).isDigit() == da) ++ei;
        while (ej < b.size() && b.at(ej).isDigit() == db) ++ej;
        int c = 0;
        if (da && db) {
            QStringView x = QStringView(a).sliced(i, ei - i), y = QStringView(b).sliced(j, ej - j);
            while (x.size() > 1 && x.front() == u'0') x = x.sliced(1);
            while (y.size() > 1 && y.front() == u'0') y = y.sliced(1);
            c = x.size() != y.size() ? (x.size() < y.size() ? -1 : 1) : x.compare(y);
        } else {
            c = collator.compare(QStringView(a).sliced(i, ei - i), QStringView(b).sliced(j, ej - j));
        }
        if (c != 0) return c < 0 ? -1 : 1;
        i = ei;
        j = ej;
    }
    return i < a.size() ? 1 : (j < b.size() ? -1 : 0);
}

namespace {

int compareKeys(const SortKey& a, const SortKey& b, const QCollator& collator) {
    if (a.kind != b.kind) return a.kind < b.kind ? -1 : 1;
    switch (a.kind) {
    case SortKey::Empty: return 0;
    case SortKey::Number: return a.number < b.number ? -1 : (b.number < a.number ? 1 : 0);
    case SortKey::Date: return a.date < b.date ? -1 : (b.date < a.date ? 1 : 0);
    case SortKey::Text: return compareTexts(a.text, b.text, collator);
    }
    return 0;
}
}  // namespace

void Query::applySort() {
    // The order is worked out once over all rows; the filter only picks from it, so a
    // search key costs no sort keys and no comparisons.
    order_.resize(rows_.size());
    for (size_t i = 0; i < order_.size(); ++i) order_[i] = int(i);
    const int col = sortField_.isEmpty() ? -1 : fieldIndex(sortField_);
    if (col < 0) return;
    std::vector<SortKey> keys(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i) keys[i] = sortKey(col < rows_[i].size() ? rows_[i][col] : QVariant());
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const bool descending = sortOrder_ == Qt::DescendingOrder;
    std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
        const int c = compareKeys(keys[size_t(a)], keys[size_t(b)], collator);
        return descending ? c > 0 : c < 0;
    });
}

void Query::pickVisible() {
    visible_.clear();
    visible_.reserve(order_.size());
    if (!filter_) {
        visible_ = order_;
        return;
    }
    // The rows are tested in the order they are stored (the memory is read straight
    // through), then taken in the sorted order.
    std::vector<char> pass(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i) pass[i] = filter_(*this, rows_[i]) ? 1 : 0;
    for (int i : order_)
        if (pass[size_t(i)]) visible_.push_back(i);
}

void Query::setLikeFilter(const QString& name, const QString& text, bool anywhere) {
    if (text.isEmpty()) {
        clearFilter();
        return;
    }
    const QString needle = text.toLower();
    setFilter([name, needle, anywhere](const Query& q, const Row& r) {
        const int col = q.fieldIndex(name);
        if (col < 0 || col >= r.size()) return false;
        const QString hay = r[col].toString().toLower();
        return anywhere ? hay.contains(needle) : hay.startsWith(needle);
    });
}

void Query::applyFilter() {
    pickVisible();
    eof_ = bof_ = visible_.empty();
    current_ = visible_.empty() ? -1 : 0;
    emit reset();
    emit currentChanged(current_);
}

// ---------------------------------------------------------------- StatementBatch

StatementBatch::StatementBatch(Db db) : connection_(db.name()) {}

int StatementBatch::add(const QString& text) {
    texts_ << text;
    params_.emplace_back();
    return size() - 1;
}

int StatementBatch::add(const Statement& statement) {
    texts_ << statement.text();
    params_.push_back(statement.params());
    return size() - 1;
}

void StatementBatch::run() {
    outcomes_.clear();
    failedAt_ = -1;
    failure_ = nullptr;
    if (texts_.isEmpty()) return;
    ensureConnected(connection_);
    bool write = false;
    for (const QString& t : texts_) write = write || isWrite(t);
    for (int attempt = 0;; ++attempt) {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (!db.isOpen())
            throw DbError(QStringLiteral("Нет подключения к базе данных"), QString(), texts_.value(0), true);
        const bool begin = txState(connection_) == Tx::Pending;
        QStringList tables;  // per statement: the entry table whose new key comes back
        QString sent = begin ? QString(kBegin) : QString();
        for (int i = 0; i < size(); ++i) {
            QString t = inlineParams(texts_[i], params_[size_t(i)], db.driver());
            // As Command::exec does: an entry's insert brings back its new key.
            QString table = entryTableOf(t);
            if (t.trimmed().endsWith(QLatin1Char(';')) || t.contains(QLatin1String("--"))) table.clear();
            if (!table.isEmpty()) t += QStringLiteral(" returning id");
            tables << table;
            if (i > 0) sent += t.contains(QLatin1String("--")) ? QStringLiteral("\n;\n") : QStringLiteral(";\n");
            sent += t;
        }
        // Read row by row: the driver then asks the server nothing more about the columns.
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.setNumericalPrecisionPolicy(QSql::HighPrecision);
        QElapsedTimer clock;
        clock.start();
        ++roundTrips_;
        bool ok = q.exec(sent);
        int index = begin ? -1 : 0;  // the statement whose result q holds
        std::vector<Outcome> got;
        while (ok) {
            if (index >= 0) {
                Outcome o;
                const QSqlRecord rec = q.record();
                for (int c = 0; c < rec.count(); ++c) o.fields << rec.fieldName(c);
                while (q.next()) {
                    QVector<QVariant> row(rec.count());
                    for (int c = 0; c < rec.count(); ++c) row[c] = q.value(c);
                    o.rows.push_back(std::move(row));
                }
                o.affected = q.numRowsAffected();
                if (o.affected <= 0 && !o.rows.empty()) o.affected = int(o.rows.size());
                got.push_back(std::move(o));
            }
            if (++index >= size()) break;
            ok = q.nextResult();
        }
        const qint64 ms = clock.elapsed();
        if (ms > kSlowMs)
            qCWarning(lcDb).noquote() << "slow statement" << ms << "ms:" << firstLine(texts_.join(QStringLiteral("; ")));
        QString state, msg;
        if (!ok) {
            const QSqlError e = q.lastError();
            state = e.nativeErrorCode();
            msg = errorText(e);
            q = QSqlQuery();
            db = QSqlDatabase();
            const int at = std::max(index, 0);
            if (checkLost(connection_, state)) {
                qCWarning(lcDb).noquote() << lostText(msg) << "| statement:" << firstLine(texts_[at]);
                if (retryAfterLoss(attempt, begin, write, connection_)) continue;
                throw DbError(lostText(msg), state, texts_[at], true);
            }
            failedAt_ = at;
            failure_ = failureOf(state, msg, texts_[at]);
        }
        if (begin) setTxState(connection_, Tx::Begun);
        outcomes_ = std::move(got);
        for (int i = 0; i < int(outcomes_.size()); ++i) {
            if (!isWrite(texts_[i])) continue;
            const Outcome& o = outcomes_[size_t(i)];
            qCInfo(lcDb).noquote() << "stored:" << firstLine(texts_[i]) << "|" << paramsText(params_[size_t(i)])
                                   << "| rows" << o.affected << (g_txDepth ? "(in transaction)" : "");
            if (!tables[i].isEmpty() && o.rows.size() == 1 && !o.value().isNull())
                qCInfo(lcDb).noquote() << "new entry id" << o.value().toString() << "in" << tables[i];
        }
        if (failedAt_ >= 0)
            qCWarning(lcDb).noquote() << "statement failed:" << state << msg << "| statement:"
                                      << firstLine(texts_[failedAt_]) << "|" << paramsText(params_[size_t(failedAt_)]);
        return;
    }
}

const StatementBatch::Outcome& StatementBatch::at(int i) const {
    if (failedAt_ >= 0 && i >= failedAt_) std::rethrow_exception(failure_);
    if (i < 0 || i >= int(outcomes_.size())) throw DbError(QStringLiteral("no such statement in the batch"));
    return outcomes_[size_t(i)];
}

void StatementBatch::check() const {
    if (failure_) std::rethrow_exception(failure_);
}

// ---------------------------------------------------------------- Transaction

Transaction::Transaction(Db on) : connection_(on.name()) {
    // A connection known to be lost is opened again now; the BEGIN itself waits for the
    // first statement (a nested transaction is part of the one already there).
    ensureConnected(connection_);
    if (txState(connection_) == Tx::None) setTxState(connection_, Tx::Pending);
    open_ = true;
    if (connection_ == kConnectionName) ++g_txDepth;
}

Transaction::~Transaction() {
    if (!open_) return;
    if (connection_ == kConnectionName) g_txDepth = std::max(0, g_txDepth - 1);
    if (takeBegun(connection_)) {
        ++roundTrips_;
        QSqlDatabase::database(connection_, false).rollback();
    }
    qCInfo(lcDb) << "transaction rolled back";
}

void Transaction::commit() {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (connection_ == kConnectionName) g_txDepth = std::max(0, g_txDepth - 1);
    open_ = false;
    if (!takeBegun(connection_)) {
        qCInfo(lcDb) << "transaction committed";
        return;
    }
    ++roundTrips_;
    if (!db.commit()) {
        const QSqlError e = db.lastError();
        const QString msg = errorText(e);
        db.rollback();
        db = QSqlDatabase();
        const bool lost = checkLost(connection_, e.nativeErrorCode());
        qCWarning(lcDb).noquote() << "commit failed:" << msg;
        throw DbError(lost ? lostText(msg) : msg, e.nativeErrorCode(), QString(), lost);
    }
    qCInfo(lcDb) << "transaction committed";
}

}  // namespace mirn
