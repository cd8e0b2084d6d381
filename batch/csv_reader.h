#pragma once
// Reading a UTF-8 CSV file (comma separated, fields in double quotes may hold commas,
// quotes doubled and line breaks; CRLF or LF; an optional byte order mark) into rows that
// remember the file line they start on, so refusals can name it.
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

// Blank lines are skipped. False with the reason (naming the line) in *error when the
// text is not valid UTF-8 or not well-formed CSV (a stray or unclosed quote).
bool readCsv(const QByteArray& data, QList<CsvRow>* rows, QString* error);

}  // namespace batch

}  // namespace mirn
