#pragma once
// Shift entries from a file (one row per entry): each row is checked and priced as the
// shift entry dialog checks and prices what a foreman picks and types, then all rows are
// posted in one transaction through EntryStore::insertAll. All or nothing: one refused
// row keeps every row out. Rows are checked on their own as they are added; what needs
// the stored entries (duplicates, the worker's month) is checked for all rows together
// when they are posted, so the work grows with the rows, not with their square.
#include "domain/entry_store.h"

#include <QHash>
#include <QMultiHash>
#include <QSet>
#include <QList>
#include <QString>
#include <QStringList>

namespace mirn {

namespace entry {

// The columns of an import file, in the order the example file lists them.
inline const QStringList kImportColumns = {
    QStringLiteral("date"),     QStringLiteral("shift"),   QStringLiteral("worker"),
    QStringLiteral("mark"),     QStringLiteral("operation"), QStringLiteral("kind"),
    QStringLiteral("quantity"), QStringLiteral("rejects"), QStringLiteral("hours"),
    QStringLiteral("colour"),   QStringLiteral("dayoff")};

struct ImportRefusal {
    int line = 0;  // the file's line the row starts on; 0 for the file as a whole
    QString reason;
};

class EntryImport {
public:
    explicit EntryImport(Db db = {});

    // The header row: every column of kImportColumns exactly once, in any order, and no
    // other. False (with the refusal recorded) otherwise; rows are then not read.
    bool setHeader(int line, const QStringList& names);

    // Checks and prices one row; it becomes a record or a refusal.
    void addRow(int line, const QStringList& fields);

    // Posts every record in one transaction when no row was refused; one item per record.
    // Not stored when a row was refused before or by the store (another client saved the
    // same entry meanwhile): then nothing is, and refusals() names every refused line.
    BatchResult post();

    // Told how far the checks and the store are (done of total); answering false
    // gives the import up: post() throws Cancelled and nothing is stored.
    std::function<bool(qsizetype done, qsizetype total)> progress;

    const QList<Record>& records() const { return records_; }
    const QList<ImportRefusal>& refusals() const { return refusals_; }

private:
    struct Operation {
        int o_id = 0;
        int i_id = 0;
        double basePrice = 0;  // the lowest norm price, as the schema stores it
        bool priced = false;   // it has norm rows with a price
    };
    std::optional<QString> check(const QStringList& fields, Record* r);
    std::optional<QString> findWorker(const QString& text, int* w_id);
    std::optional<QString> findOperation(const QString& mark, const QString& type, int kind, Operation* op);
    // "Месяц закрыт: март 2030", as the database and the client say it.
    static QString closedMonthText(const QDate& day);
    void sortRefusals();

    Db db_;
    QHash<QString, int> column_;  // column name -> index in a row
    bool headerOk_ = false;
    QList<Record> records_;
    QList<int> lines_;  // the line of each record
    QList<ImportRefusal> refusals_;
    QHash<QString, bool> closedMonth_;     // "yyyy-MM" -> closed
    std::optional<QMultiHash<QString, Operation>> operations_;  // "MARK\nTYPE\nkind" -> operation
    std::optional<QSet<qint64>> workers_;  // every person id and worker number
};

}  // namespace entry

}  // namespace mirn
