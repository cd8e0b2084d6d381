#pragma once
// "Выгрузка в зарплату": the payroll file of a closed month as a workbook (.xlsx) or a
// CSV for Russian payroll loaders (";", decimal comma, UTF-8 or Windows-1251), each with
// the control block under the data; and the check of such a file.
//
// Both formats hold the same table: the header row of titles, one row per worker, an
// empty row, then the control block (see domain/payroll.h). The SHA-256 of the block is
// taken over the canonical text of the data (payroll::hashOf), which a workbook's cells
// and a CSV's fields give alike, so verify recomputes it from either.
#include "domain/payroll.h"

#include <QString>

#include <optional>

namespace mirn {

namespace papers {

enum class PayrollFormat { Xlsx, Csv };
enum class CsvEncoding { Utf8, Cp1251 };

// "utf-8" / "cp1251" (also "windows-1251"), letter case ignored.
std::optional<CsvEncoding> csvEncodingOf(const QString& name);

// The CSV's bytes: UTF-8 with a byte order mark, or Windows-1251; lines end CRLF. False
// with the reason in *error when a name has a letter Windows-1251 lacks.
bool payrollCsv(const payroll::Export& e, CsvEncoding encoding, QByteArray* bytes, QString* error);

bool writePayrollCsv(const payroll::Export& e, const QString& path, CsvEncoding encoding, QString* error);
// Money with two decimals ("0.00"), hours and days as numbers, names as text.
bool writePayrollXlsx(const payroll::Export& e, const QString& path, QString* error);

// The file's table as verify reads it: fields of a CSV (either encoding), or a workbook's
// first sheet with numbers in their canonical text. Empty with *error when unreadable.
QList<QStringList> readPayrollTable(const QString& path, QString* error);

// What an export did.
struct PayrollOutcome {
    bool done = false;
    QString message;  // the refusal or failure, Russian; empty when done
    QString hash;
    int rows = 0;
    std::vector<payroll::Total> totals;
    bool recorded = false;  // an entry in the history (the extension is installed)
};

// The whole export of a month: refused for an open month where the extension is
// installed, the rows read, the file written and recorded in the history. role names the
// exporter's sign-in role in the control block. Throws DbError on a database failure.
PayrollOutcome exportPayroll(int month, int year, PayrollFormat format, CsvEncoding encoding, const QString& path,
                             const QString& role, const payroll::Settings& settings, const Db& db = {});

}  // namespace papers

}  // namespace mirn
