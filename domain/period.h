#pragma once
// Closed months (db/extension.sql, when the enterprise has installed it): whether the
// extension is there, whether a month is closed, closing and reopening a month, and the
// client fields the history records for every change made over this connection.
#include "domain/db.h"
#include "domain/result.h"
#include "domain/session.h"

#include <QDate>
#include <QString>

namespace mirn {

namespace period {

// Looks for the extension on the connection and remembers the answer for installed().
bool detect(const Db& db = {});
// The answer of the last detect(); false before any. Without the extension every
// closed-month control stays hidden and nothing here touches the database.
bool installed();
// Whether db/roles.sql is installed too (found by the same detect()): then the month is
// closed and reopened only through the database's functions, which name the login.
bool rolesInstalled();
// Whether period_lock keeps the reason of a close (the extension from version 2, or
// db/roles.sql), found by the same detect().
bool keepsCloseReason();

// The role's name as the history records it ("Администратор").
QString roleName(Role role);
// This build's stamp as the history records it: "YYYYMMDD seconds".
QString appVersion();

// Names this client on its connection, so that the history's triggers record the role,
// the workstation and the version with each change.
void setClientFields(const QString& role, const QString& host, const QString& version,
                     const Db& db = {});

// What sign-in does once the role is known: detect the extension and, with it, set
// the client fields (the workstation is this machine's host name).
void signIn(Role role, const Db& db = {});

// "ноябрь 2026"
QString monthCaption(int month, int year);

// Who closed a month and when ("DD.MM.YYYY HH:MI"), as the banner's tool tip names them.
QString closedByText(const QString& who, const QString& at);

// The sentence of a closed month's banner.
inline const QString kClosedBanner = QStringLiteral("Месяц закрыт");

class PeriodStore {
public:
    explicit PeriodStore(Db db = {});

    // False without the extension, and for no month (year 0).
    bool isClosed(int month, int year) const;
    bool isClosed(const QDate& date) const {
        return date.isValid() && isClosed(date.month(), date.year());
    }
    // "Закрыл: <кто>, DD.MM.YYYY HH:MI"; empty for an open month.
    QString closedBy(int month, int year) const;

    // Closing and reopening are the administrator's alone (role is the signed-in one);
    // closing a closed month or reopening an open one changes nothing. The reason of a
    // close is kept in period_lock and the history; a database that cannot keep it
    // (extension version 1) refuses a close with one. With roles.sql the database also
    // records the reason of a reopen, which then needs one.
    Result close(int month, int year, Role role, const QString& reason = {});
    Result reopen(int month, int year, Role role, const QString& reason = {});

private:
    void monthFunction(const QString& name, int month, int year, const QString& reason) const;
    Db db_;
};

}  // namespace period

}  // namespace mirn
