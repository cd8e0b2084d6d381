#include "domain/db.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <atomic>

namespace {
std::atomic<long> roundTrips_{0};

QString errorText(const QSqlError& e) {
    const QString db = e.databaseText().trimmed();
    return db.isEmpty() ? e.text().trimmed() : db;
}

// A closed month's refusal carries its own sentence: the first line of the server's
// text without the severity ("ERROR:  Месяц закрыт: ноябрь 2026").
[[noreturn]] void fail(const QSqlError& e) {
    if (e.nativeErrorCode() == QLatin1String("ML001")) {
        QString line = errorText(e).section(QLatin1Char('\n'), 0, 0);
        static const QRegularExpression severity(QStringLiteral("^[A-Z]+:\\s+"));
        throw ClosedMonthError(line.remove(severity).trimmed());
    }
    throw DbError(errorText(e));
}
}  // namespace

long roundTrips() { return roundTrips_; }

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

// ---------------------------------------------------------------- Statement

Statement::Statement(QString connectionName)
    : connection_(connectionName.isEmpty() ? kConnectionName : std::move(connectionName)) {}

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

QSqlQuery Statement::run(bool forwardOnly) const {
    QSqlDatabase db = database();
    if (!db.isOpen()) throw DbError(QStringLiteral("Нет подключения к базе данных"));
    QSqlQuery q(db);
    q.setForwardOnly(forwardOnly);
    q.setNumericalPrecisionPolicy(QSql::HighPrecision);
    const QString sql = text();
    bool ok;
    if (params_.empty()) {
        roundTrips_ += 1;
        ok = q.exec(sql);
    } else {
        roundTrips_ += 2;  // the driver prepares, then executes
        if (!q.prepare(sql)) fail(q.lastError());
        for (const auto& p : params_) q.bindValue(QLatin1Char(':') + p.first, p.second);
        ok = q.exec();
    }
    if (!ok) fail(q.lastError());
    return q;
}

int Command::exec() {
    QSqlQuery q = run(true);
    return q.numRowsAffected();
}

// ---------------------------------------------------------------- Query

Query::Query(QString connectionName, QObject* parent)
    : QObject(parent), Statement(std::move(connectionName)) {}

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
    applyFilter();
}

void Query::close() {
    if (!active_) return;
    active_ = false;
    rows_.clear();
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
    if (keep >= 0 && keep != visible_[current_]) moveTo(keep);
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
    visible_.clear();
    visible_.reserve(rows_.size());
    for (int i = 0; i < int(rows_.size()); ++i)
        if (!filter_ || filter_(*this, rows_[i])) visible_.push_back(i);
    eof_ = bof_ = visible_.empty();
    current_ = visible_.empty() ? -1 : 0;
    emit reset();
    emit currentChanged(current_);
}

// ---------------------------------------------------------------- Transaction

Transaction::Transaction(QString connectionName)
    : connection_(connectionName.isEmpty() ? kConnectionName : std::move(connectionName)) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    ++roundTrips_;
    if (!db.transaction()) throw DbError(errorText(db.lastError()));
    open_ = true;
}

Transaction::~Transaction() {
    if (!open_) return;
    ++roundTrips_;
    QSqlDatabase::database(connection_, false).rollback();
}

void Transaction::commit() {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    ++roundTrips_;
    if (!db.commit()) {
        const QString msg = errorText(db.lastError());
        db.rollback();
        open_ = false;
        throw DbError(msg);
    }
    open_ = false;
}
