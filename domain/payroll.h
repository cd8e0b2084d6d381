#pragma once
// The hand-off of a closed month to the enterprise's payroll system: one row per worker
// with their month's amounts under accrual codes, the file's canonical text, its control
// block and its check. The amounts come from the earnings statement's own query, so the
// file agrees with the statement to the kopeck.
#include "domain/db.h"
#include "domain/decimal.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace mirn {

namespace payroll {

enum class Column { TabNo, Name, Piece, Aux, Shift1, Shift2, Shift3, Overtime, Days, Total };
enum class ColumnKind { Number, Text, Money, Hours };

// The key of a column in the settings and in the control block ("tab_no", "piece", ...).
QString columnKey(Column c);
std::optional<Column> columnOfKey(const QString& key);
ColumnKind kindOf(Column c);
QString defaultTitle(Column c);

// The [payroll] section of mirn.conf (see README): accrual codes of the three amounts,
// the columns in order and their titles.
struct Settings {
    QString pieceCode = QStringLiteral("1010");
    QString auxCode = QStringLiteral("1020");
    QString totalCode = QStringLiteral("1000");
    std::vector<Column> columns{Column::TabNo, Column::Name,     Column::Piece, Column::Aux,  Column::Shift1,
                                Column::Shift2, Column::Shift3, Column::Overtime, Column::Days, Column::Total};
    QStringList titles;      // per entry of columns; empty means the default title
    QString encoding = QStringLiteral("utf-8");  // the dialog's first choice for CSV

    // The accrual code of a money column, empty for the others.
    QString codeOf(Column c) const;
    QString titleOf(int index) const;
};

// Reads [payroll] from the user's file, then the system files, the first that has a key
// winning (as the connection settings). A wrong value is reported in *problems and the
// default kept.
Settings readSettings(const QString& userFile, const QStringList& systemFiles, QStringList* problems = nullptr);
// The same from the standard places of mirn.conf.
Settings readSettings(QStringList* problems = nullptr);

struct Row {
    int tabNo = 0;          // the personnel number (the worker number, s_code)
    QString name;
    Decimal piece;          // rounded to kopecks, as the statement prints it
    Decimal aux;
    std::array<Decimal, 4> hours{};  // shifts 1, 2, 3 and overtime (4)
    int days = 0;           // distinct days with entries or auxiliary work
    Decimal total;          // the statement's "Всего начислено": the unrounded sum, rounded
};

// Every worker with entries or auxiliary work in the month, by name, whichever key the
// journal books them by (worker number or the register's row id). Throws DbError.
std::vector<Row> rows(int month, int year, const Db& db = {});

// Empty when the month may be exported; else the sentence saying why not (an open month
// where the closed-months extension is installed).
QString refusal(int month, int year, const Db& db = {});

// Who is exporting, as the control block names them.
struct Exporter {
    QString login;     // the database user of the session
    QString role;      // the sign-in role as the history names it
    QString fullName;  // the personal account's full name (db/roles.sql), else empty
    QString text() const;
};
Exporter exporter(const QString& role, const Db& db = {});

// One export: what the file holds and the control block's facts.
struct Export {
    int month = 0;
    int year = 0;
    QDateTime at;
    QString who;
    Settings settings;
    std::vector<Row> rows;
};

// The control block's "Столбцы" value: every column's key in order, a money column's with
// its code ("tab_no,fio,piece=1010,..."). verify learns the layout from it.
QString columnList(const Settings& s);

// A value as the CSV writes it: money with two decimals, hours and counts exact, the
// decimal comma, no digit groups.
QString cellText(ColumnKind kind, Decimal value);
// A field quoted where it must be (";", a quote, a line break), quotes doubled.
QString quoted(const QString& field);

// The data rows' cell texts, as the CSV writes them before any quoting (one list a row).
QList<QStringList> dataFields(const Export& e);
// The data lines: the header of titles, then one line per worker, fields joined by ";".
QStringList dataLines(const Export& e);

// SHA-256 (hex, lower case) of the canonical text: the column list, the header and each
// data line, every one followed by a line feed, in UTF-8. The file's encoding, its byte
// order mark, its line ends and its quoting of fields that need none do not enter it.
QString hashOf(const QString& columns, const QStringList& lines);

struct Total {
    QString code;
    Decimal sum;
};
// The sums of the money columns shown, in column order, with their codes.
std::vector<Total> totals(const Export& e);

// The control block under the data, one line per fact, label and value by ";".
// Blocks of both formats carry these labels.
inline const QString kControlTitle = QStringLiteral("Контрольный блок");
inline const QString kMonthLabel = QStringLiteral("Месяц");
inline const QString kAtLabel = QStringLiteral("Выгружено");
inline const QString kWhoLabel = QStringLiteral("Выгрузил");
inline const QString kColumnsLabel = QStringLiteral("Столбцы");
inline const QString kRowsLabel = QStringLiteral("Строк");
inline const QString kTotalLabel = QStringLiteral("Итого");  // "Итого 1010"
inline const QString kHashLabel = QStringLiteral("SHA-256");
QList<QStringList> controlBlock(const Export& e);

// A file read back as a table of fields (CSV split, workbook cells as canonical text);
// what verify found.
struct Verdict {
    bool readable = false;  // a payroll file with its control block
    bool unchanged = false;
    QString month;          // "12.2026"
    QString at;
    QString who;
    int rows = 0;
    QString recordedHash;
    QString computedHash;
    QStringList differences;  // Russian, one per thing that does not agree
};
Verdict verify(const QList<QStringList>& table);
// The canonical text of a workbook cell of the given column (numbers read exactly).
QString canonicalCell(ColumnKind kind, const QString& raw, bool isNumber);
// The columns of a column list ("tab_no,fio,piece=1010"), nullopt when a key is unknown.
std::optional<std::vector<std::pair<Column, QString>>> parseColumnList(const QString& list);

// Splits one CSV text with ";" into rows of fields (quotes as in quoted()).
QList<QStringList> splitCsv(const QString& text);

// Records the export in the history where the extension is installed (a row of
// accounts_dep.payroll_export, logged by the history's trigger). False without it.
bool record(const Export& e, const QString& fileName, const QString& hash, const Db& db = {});

}  // namespace payroll

}  // namespace mirn
