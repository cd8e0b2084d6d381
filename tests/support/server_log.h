#pragma once
// Round trips as the server sees them: every statement the server logs for one session.
// Qt's driver sends a bound statement as PREPARE, EXECUTE and DEALLOCATE, three round
// trips the client's own counters cannot all see; the server's log sees each one.
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace mirn {

namespace testdb {

class ServerLog {
public:
    // Makes the server log every statement of the session behind `db` (the test command
    // lets the fixture's login set log_statement) and starts counting from now.
    explicit ServerLog(QSqlDatabase db);
    ~ServerLog();
    ServerLog(const ServerLog&) = delete;
    ServerLog& operator=(const ServerLog&) = delete;

    // Forgets what was logged so far.
    void mark();
    // The statements logged for the session since the last mark, one per round trip
    // (a simple query of several statements is one), first line of each.
    QStringList statements() const;
    int roundTrips() const { return int(statements().size()); }

private:
    QSqlDatabase db_;
    QString file_;
    QString pid_;
    qint64 offset_ = 0;
};

}  // namespace testdb

}  // namespace mirn
