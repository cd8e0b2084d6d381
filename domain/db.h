#pragma once
// Data access over the one shared connection: static client-side result sets
// (open, read, scroll, filter on the fetched rows, close) and commands.
#include "domain/decimal.h"

#include <QDate>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

class QCollator;
class QSqlDriver;

namespace mirn {

// The name of the one shared connection.
inline const QString kConnectionName = QStringLiteral("ADO_DB");

class Query;

// The connection a store or a statement works on: the application's shared one unless
// named (a second client in a test, a worker thread). A name converts to one, so
// whatever took a connection name takes a Db.
class Db {
public:
    Db() = default;
    Db(QString name) : name_(std::move(name)) {}  // NOLINT: a name is a connection

    QString name() const { return name_.isEmpty() ? kConnectionName : name_; }
    bool isShared() const { return name() == kConnectionName; }
    QSqlDatabase database() const;

    // One statement without parameters, each throwing DbError: run it and return the
    // number of rows it changed; read its first column of its first row (none: 0).
    int exec(const QString& text) const;
    int scalarInt(const QString& text) const;
    Decimal scalarDecimal(const QString& text) const;

private:
    QString name_;
};

// A database statement failed; what() carries the server's message.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& message, QString sqlState = {}, QString statement = {},
                     bool connectionLost = false)
        : std::runtime_error(message.toStdString()), server_(message), state_(std::move(sqlState)),
          statement_(std::move(statement)), lost_(connectionLost) {}

    QString serverText() const { return server_; }
    QString sqlState() const { return state_; }      // SQLSTATE, empty when the server sent none
    QString statement() const { return statement_; }  // the text that failed
    bool connectionLost() const { return lost_; }

    // A Russian sentence naming what could not be read or stored and why, for the
    // user; the server's text goes to the details.
    QString userText() const;

private:
    QString server_;
    QString state_;
    QString statement_;
    bool lost_ = false;
};

// The database refused a write into a closed month (SQLSTATE ML001, db/extension.sql):
// what() is the server's message alone, "Месяц закрыт: ноябрь 2026", as the user is shown it.
class ClosedMonthError : public DbError {
public:
    using DbError::DbError;
};

// A statement whose text is a list of lines joined by line breaks, with named
// parameters (":name"). The values never go into the text the caller builds: the
// driver's own formatter writes each one as a quoted, escaped literal into the text
// sent, as its EXECUTE would carry it, so a statement with parameters is one round
// trip (the driver's binding costs three: prepare, execute, deallocate).
class Statement {
public:
    explicit Statement(Db db = {});
    virtual ~Statement() = default;

    QStringList SQL;  // the text, line by line
    void setText(const QString& text) { SQL = QStringList{text}; }
    QString text() const { return SQL.join(QLatin1Char('\n')); }

    void setParam(const QString& name, const QVariant& value);
    QVariant param(const QString& name) const;
    const std::vector<std::pair<QString, QVariant>>& params() const { return params_; }
    void clearParams() { params_.clear(); }

    QSqlDatabase database() const;
    void setConnectionName(const QString& name) { connection_ = Db(name).name(); }

    // The text as the server is sent it: each placeholder replaced by its value as the
    // driver writes a literal (a name without a value is NULL). Placeholders are found
    // as the driver finds them: a ':' outside '…', "…" and `…`, not after another ':'
    // (a cast), followed by a letter, digit or '_'.
    QString sentText(const QSqlDriver* driver) const;

protected:
    // Runs the text with the current parameters; throws DbError on failure. A tail is
    // sent after the text but is no part of it: logs and errors name the text alone.
    class QSqlQuery run(bool forwardOnly, const QString& tail = {}) const;

private:
    QString connection_;
    std::vector<std::pair<QString, QVariant>> params_;
};

// A command: set its text (and parameters), run it.
class Command : public Statement {
public:
    using Statement::Statement;
    // Returns the number of rows affected.
    int exec();
};

// A query read whole into memory. Positions are 1-based record numbers over the
// rows that pass the filter, as the windows count them; 0 means no current row.
class Query : public QObject, public Statement {
    Q_OBJECT
public:
    using Row = QVector<QVariant>;

    explicit Query(Db db = {}, QObject* parent = nullptr);

    void open();
    void close();
    void reopen() { close(); open(); }
    // Takes the rows another query read (the same text, on another connection or in
    // another thread): this one is then open on them as if it had read them itself, and
    // the other is closed.
    void takeRows(Query& other);
    // Opens on rows read elsewhere (one read split between several queries), with these
    // fields, as if it had read them itself.
    void setRows(QStringList fields, std::vector<Row> rows);

    // Where a query goes back to after its rows were read again: the record number it
    // stood on, or the last row when there are fewer rows now (Nearest); or that number
    // only while there are still as many rows, else the first row (OnlyIfThere).
    enum class KeepRow { Nearest, OnlyIfThere };
    // Remembers the current record number, reads the rows again and goes back to it.
    void reopenKeepingRow(KeepRow how = KeepRow::Nearest) {
        const int rec = recNo();
        reopen();
        returnTo(rec, how);
    }
    // Goes back to a record number remembered before the rows were read again (by this
    // code or by a window it opened); an empty query stays without a row.
    void returnTo(int recNo, KeepRow how = KeepRow::Nearest);
    bool active() const { return active_; }

    // Field access on the current row; names compare case-insensitively.
    int fieldIndex(const QString& name) const;  // -1 when absent
    const QStringList& fieldNames() const { return fields_; }
    QVariant field(const QString& name) const;  // null when no current row
    QString asString(const QString& name) const { return field(name).toString(); }
    int asInt(const QString& name) const;
    double asDouble(const QString& name) const;

    // Rows that pass the filter.
    int recordCount() const { return int(visible_.size()); }
    bool isEmpty() const { return visible_.empty(); }
    QVariant value(int visibleRow, int column) const;
    QVariant value(int visibleRow, const QString& name) const;
    const Row& row(int visibleRow) const { return rows_[visible_[visibleRow]]; }

    int recNo() const { return current_ + 1; }
    void setRecNo(int recNo);
    void first() { setRecNo(1); }
    void last() { setRecNo(recordCount()); }
    void next();
    void prior();
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    // Moves to the first row whose field equals value; stays put and returns false otherwise.
    bool locate(const QString& name, const QVariant& value);

    // Filter on the fetched rows (no new read); the query then stands on its first
    // row. An empty predicate switches the filter off and keeps the current row.
    void setFilter(std::function<bool(const Query&, const Row&)> pred);
    // "field like 'text%'" (or "'%text%'" when anywhere) matched literally and without
    // regard to letter case; an empty text switches the filter off.
    void setLikeFilter(const QString& name, const QString& text, bool anywhere = false);
    void clearFilter() { setFilter({}); }
    bool filtered() const { return bool(filter_); }

    // Order of the fetched rows by one field, on top of the filter, kept when the query
    // is read again; the row the user stands on stays current. Numbers (numeric text
    // included) compare as numbers, texts by the desktop's collation without regard to
    // letter case, empty values first; equal values keep the order the server gave them.
    // An unknown field or clearSort() brings back the server's order.
    void setSort(const QString& name, Qt::SortOrder order = Qt::AscendingOrder);
    void clearSort() { setSort(QString()); }
    const QString& sortField() const { return sortField_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }

signals:
    void reset();                  // opened, closed or re-filtered
    void currentChanged(int row);  // 0-based visible row, -1 when none

private:
    void applyFilter();
    void applySort();    // order_ from the sort field
    void pickVisible();  // visible_: the rows of order_ that pass the filter
    void moveTo(int visibleRow);

    bool active_ = false;
    QStringList fields_;
    QStringList fieldsLower_;
    std::vector<Row> rows_;
    std::vector<int> order_;    // every row, in the sort order
    std::vector<int> visible_;  // the rows of order_ that pass the filter
    int current_ = -1;
    bool eof_ = true;
    bool bof_ = true;
    std::function<bool(const Query&, const Row&)> filter_;
    QString sortField_;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

// Closes a query on every way out of a scope: the end, a return, a refusal, a throw.
class QueryCloser {
public:
    explicit QueryCloser(Query& q) : q_(q) {}
    ~QueryCloser();
    QueryCloser(const QueryCloser&) = delete;
    QueryCloser& operator=(const QueryCloser&) = delete;

private:
    Query& q_;
};

// Statements sent together as one simple query: one round trip for all of them. The
// server runs them one after the other, each seeing what the ones before it did, and
// stops at the first that fails. Their outcomes are read in order: reading the one that
// failed, or one after it, throws that failure, so a caller that stops at an earlier
// statement's refusal acts exactly as if it had sent them one at a time.
class StatementBatch {
public:
    struct Outcome {
        QStringList fields;
        std::vector<QVector<QVariant>> rows;
        int affected = 0;  // rows a write changed
        bool isEmpty() const { return rows.empty(); }
        QVariant value(int row = 0, int column = 0) const {
            return row < int(rows.size()) && column < rows[size_t(row)].size() ? rows[size_t(row)][column] : QVariant();
        }
    };

    explicit StatementBatch(Db db = {});
    // Adds a statement (its parameters written in as literals); returns its index.
    int add(const QString& text);
    int add(const Statement& statement);
    int size() const { return int(texts_.size()); }

    // Sends them all; a lost connection throws here, a statement's failure when it is read.
    void run();
    const Outcome& at(int i) const;
    // Throws the failure of any statement: call it before committing what they did.
    void check() const;

private:
    QString connection_;
    QStringList texts_;                                         // as written, for logs and errors
    std::vector<std::vector<std::pair<QString, QVariant>>> params_;
    std::vector<Outcome> outcomes_;
    int failedAt_ = -1;  // the first statement that failed (the rest did not run); -1 none
    std::exception_ptr failure_;
};

// Begins a transaction on the connection and rolls it back unless committed. Its BEGIN
// goes with the first statement sent on the connection (one round trip for both); a
// transaction that sent nothing sends no COMMIT or ROLLBACK either.
class Transaction {
public:
    explicit Transaction(Db db = {});
    ~Transaction();
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    QString connection_;
    bool open_ = false;
};

// Round trips to the server so far in this process: a statement (with its parameters
// and any BEGIN sent with it), a batch of statements, a commit or a rollback, each
// once; for benchmarks.
long roundTrips();

// Numbers as the database returns them (numeric comes as exact text).
int toInt(const QVariant& v);
double toDouble(const QVariant& v);
// The number a value holds, if it is one: a finite number, or the exact text numeric
// columns arrive as ("-12.50"); anything else, empty values included, is none.
std::optional<double> numberOf(const QVariant& v);

// Texts as a sorted list orders them: runs of digits by their value, the rest by the
// collation, so that "КР-20" comes before "КР-100". Negative, 0 or positive.
int compareTexts(const QString& a, const QString& b, const QCollator& collator);

}  // namespace mirn
