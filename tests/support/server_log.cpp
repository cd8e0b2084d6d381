#include "support/server_log.h"

#include "domain/db.h"

#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSqlError>
#include <QSqlQuery>

namespace mirn {

namespace testdb {
namespace {
QString logFile() {
    const QString dir = QProcessEnvironment::systemEnvironment().value(QStringLiteral("MIRN_PG_DIR"));
    if (dir.isEmpty()) throw DbError(QStringLiteral("MIRN_PG_DIR is not set (run the tests through scripts/test.sh)"));
    return dir + QStringLiteral("/server.log");
}

QString runScalar(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(sql)) throw DbError(q.lastError().text() + QStringLiteral("\n") + sql);
    return q.next() ? q.value(0).toString() : QString();
}
}  // namespace

ServerLog::ServerLog(QSqlDatabase db) : db_(std::move(db)), file_(logFile()) {
    pid_ = runScalar(db_, QStringLiteral("select pg_backend_pid()"));
    runScalar(db_, QStringLiteral("set log_statement = 'all'"));
    mark();
}

ServerLog::~ServerLog() {
    if (db_.isOpen()) QSqlQuery(db_).exec(QStringLiteral("reset log_statement"));
}

void ServerLog::mark() {
    offset_ = QFileInfo(file_).size();
}

QStringList ServerLog::statements() const {
    QFile f(file_);
    if (!f.open(QIODevice::ReadOnly)) throw DbError(QStringLiteral("cannot read the server's log ") + file_);
    f.seek(offset_);
    // A line is "<time> [pid] LOG:  statement: <text>"; a statement's further lines
    // start with a tab and belong to it.
    const QByteArray tag = "[" + pid_.toLatin1() + "] LOG:  ";
    QStringList out;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const qsizetype at = line.indexOf(tag);
        if (at < 0) continue;
        const QByteArray rest = line.mid(at + tag.size());
        if (rest.startsWith("statement: ") || rest.startsWith("execute "))
            out << QString::fromUtf8(rest.mid(rest.indexOf(' ') + 1));
    }
    return out;
}

}  // namespace testdb

}  // namespace mirn
