#pragma once
// The change history of db/extension.sql (accounts_dep.change_log): one row's changes
// for the history window, and a period's changes of entries and prices for the change
// report. Which fields changed, and from what to what, is worked out by the server from
// the rows before and after, so only the changed values travel to the client.
#include "domain/db.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

namespace mirn {

namespace history {

struct FieldChange {
    QString field;   // the field's caption ("Кол-во"), or its column name
    // As the user reads it, empty where there was no value (or no row): a key by its name
    // (worker, product mark, operation with its product kind), numbers as the grids write
    // them by the desktop's locale ("1,28", "150,00").
    QString before;
    QString after;
};

struct Change {
    qlonglong id = 0;
    QDateTime at;
    QString table;    // smena, fatigue, norm, oper
    qlonglong rowId = 0;
    QString kind;     // insert, update or delete, as logged
    QString action;   // "Добавление", "Изменение", "Подтверждение", ..., see actionText
    QString user;     // the database user
    QString person;   // the full name of the user's personal account (db/roles.sql); else empty
    QString role;     // the client's sign-in role; empty for a write from outside the client
    QString host;     // the workstation
    QString version;  // the client's build
    QList<FieldChange> fields;
};

// Who made the change as the history shows it: the person's full name where the login
// is a personal account, otherwise the database user.
QString whoText(const Change& c);

// "поле: было → стало; …"; for a new row "поле: значение; …", for a deleted one the same
// with the values it had. A new or deleted row lists only the fields with a value.
QString fieldsText(const Change& c);
// The same, one field a piece.
QStringList fieldLines(const Change& c);

// The action as the user reads it. A change of an entry's confirmation mark alone is a
// confirmation (or its withdrawal).
QString actionText(const QString& table, const QString& action, const QList<FieldChange>& fields);

// The caption of a logged table's column ("kol_vo" -> "Кол-во"); the name itself when
// it has none.
QString fieldCaption(const QString& table, const QString& column);
// The logged table as the user knows it ("smena" -> "Запись журнала").
QString tableCaption(const QString& table);

// A row's changes, newest first. table: smena or fatigue (or norm, oper).
QList<Change> rowHistory(const QString& table, qlonglong rowId, const Db& db = {});

// Every change of entries and prices (smena, norm, oper) from the start of day `from` up
// to the start of day `to` (excluded, as the reports window takes its period), oldest
// first.
std::vector<Change> periodChanges(const QDate& from, const QDate& to, const Db& db = {});

}  // namespace history

}  // namespace mirn
