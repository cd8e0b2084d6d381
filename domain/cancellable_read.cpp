#include "domain/cancellable_read.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <atomic>
#include <exception>
#include <memory>

namespace mirn {

Q_LOGGING_CATEGORY(lcRead, "mirn.db")

namespace {
std::atomic<int> g_reads{0};

constexpr int kPollMs = 20;  // how often the caller's thread sees to its windows
// A cancel that reached the server before the statement did is lost: sent again until
// the read has ended.
constexpr int kCancelAgainMs = 200;

// What the two threads share: the server process of the read's connection (0 when it
// has none), whether the user stopped, and the read's own failure.
struct Shared {
    std::atomic<int> pid{0};
    std::atomic<bool> stopped{false};
    std::exception_ptr error;
};

DbError failure(const QSqlError& e, bool connecting) {
    const QString text = e.databaseText().trimmed().isEmpty() ? e.text().trimmed() : e.databaseText().trimmed();
    return DbError(text, e.nativeErrorCode(), QString(), connecting);
}

// In the second thread: the copy of the connection (made there, as a connection belongs to
// the thread that made it), the settings every connection gets, then the statement.
void readOn(const QString& source, const QString& name, Query& rows, Shared& shared) {
    {
        QSqlDatabase db = QSqlDatabase::cloneDatabase(source, name);
        try {
            if (!db.open()) throw failure(db.lastError(), true);
            {
                QSqlQuery s(db);
                // Statements write dates as DD.MM.YYYY text.
                if (!s.exec(QStringLiteral("set DateStyle to 'ISO, DMY'"))) throw failure(s.lastError(), false);
                if (!s.exec(QStringLiteral("select pg_backend_pid()")) || !s.next()) throw failure(s.lastError(), false);
                shared.pid = s.value(0).toInt();
            }
            if (!shared.stopped) rows.open();
        } catch (...) {
            shared.error = std::current_exception();
        }
        shared.pid = 0;
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void cancelOnServer(const QString& source, int pid) {
    try {
        Db(source).exec(QStringLiteral("select pg_cancel_backend(%1)").arg(pid));
    } catch (const DbError& e) {
        // Tried again shortly; the read may well end by itself meanwhile.
        qCWarning(lcRead).noquote() << "cannot cancel the read of process" << pid << ":" << e.serverText();
    }
}
}  // namespace

bool openCancellable(Query& q, const std::function<bool()>& stop) {
    if (q.active()) return true;
    const QString source = q.database().connectionName();
    if (source.isEmpty())
        throw DbError(QStringLiteral("Нет подключения к базе данных"), QString(), q.text(), true);
    const QString name = QStringLiteral("mirn_read_%1").arg(++g_reads);
    Query rows{Db(name)};
    rows.SQL = q.SQL;
    for (const auto& [param, value] : q.params()) rows.setParam(param, value);

    Shared shared;
    std::unique_ptr<QThread> thread(QThread::create([&] { readOn(source, name, rows, shared); }));
    thread->start();
    std::exception_ptr fromStop;
    QElapsedTimer sinceCancel;
    while (!thread->wait(QDeadlineTimer(kPollMs))) {
        if (!shared.stopped) {
            bool now = false;
            try {
                now = stop();
            } catch (...) {
                // The caller gives up in its own way: the read goes all the same.
                fromStop = std::current_exception();
                now = true;
            }
            if (now) shared.stopped = true;
        }
        if (!shared.stopped || (sinceCancel.isValid() && sinceCancel.elapsed() < kCancelAgainMs)) continue;
        if (const int pid = shared.pid) {
            cancelOnServer(source, pid);
            sinceCancel.start();
        }
    }
    if (fromStop) std::rethrow_exception(fromStop);
    if (shared.stopped) {
        qCInfo(lcRead).noquote() << "read stopped by the user:" << q.text().simplified().left(200);
        return false;
    }
    if (shared.error) std::rethrow_exception(shared.error);
    q.takeRows(rows);
    return true;
}

}  // namespace mirn
