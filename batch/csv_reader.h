#pragma once
// Reading a CSV file into rows that remember the file line they start on, so refusals
// can name it. The file may be saved as a spreadsheet saves it in any locale: UTF-8
// (with or without a byte order mark) or Windows-1251; comma or semicolon between
// fields, taken from the header line; fields in double quotes may hold the separator,
// quotes doubled and line breaks; CRLF or LF.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace mirn {

namespace batch {

struct CsvRow {
    int line = 0;  // 1-based line of the file the row starts on
    QStringList fields;
};

// What the reader found, for the messages.
struct CsvFormat {
    char separator = ',';
    QString encoding;  // "UTF-8" or "Windows-1251"
};

// Blank lines are skipped. False with the reason (naming the line) in *error when the
// file mixes encodings or separators, or is not well-formed CSV (a stray or unclosed
// quote).
bool readCsv(const QByteArray& data, QList<CsvRow>* rows, QString* error, CsvFormat* format = nullptr);

}  // namespace batch

}  // namespace mirn
