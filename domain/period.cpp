#include "domain/period.h"

#include "domain/buildstamp.h"
#include "domain/connection.h"
#include "domain/db.h"

#include <QSysInfo>

namespace mirn {

namespace period {
namespace {
bool g_installed = false;
bool g_roles = false;
bool g_reasons = false;

const QString kAdminOnly = QStringLiteral("Закрыть и открыть месяц может только администратор.");
const QString kNoMonth = QStringLiteral("Не выбран год.");
const QString kNoReason = QStringLiteral("Укажите причину, по которой месяц открывается.");
const QString kNoReasonColumn = QStringLiteral(
    "База данных не хранит причину закрытия месяца: выполните шаг обновления db/upgrade/extension-1-2.sql "
    "(см. db/README.md).");
}  // namespace

bool detect(const Db& db) {
    // One read for both: the extension, and whether roles.sql stands beside it (an
    // extension.sql older than schema_version has none).
    Query q(db);
    q.SQL = {QStringLiteral("select to_regclass('accounts_dep.period_lock') is not null as installed, "
                            "to_regclass('accounts_dep.schema_version') is not null as versions, "
                            "exists (select 1 from pg_catalog.pg_attribute where attrelid = "
                            "to_regclass('accounts_dep.period_lock') and attname = 'reason' and not attisdropped) as reasons")};
    q.open();
    g_installed = q.field(QStringLiteral("installed")).toBool();
    g_reasons = g_installed && q.field(QStringLiteral("reasons")).toBool();
    g_roles = false;
    if (g_installed && q.field(QStringLiteral("versions")).toBool()) {
        Query v(db);
        v.SQL = {QStringLiteral("select count(*) as n from accounts_dep.schema_version where component = 'roles'")};
        v.open();
        g_roles = v.asInt(QStringLiteral("n")) > 0;
    }
    return g_installed;
}

bool installed() { return g_installed; }

bool rolesInstalled() { return g_installed && g_roles; }

bool keepsCloseReason() { return g_reasons; }

QString roleName(Role role) {
    switch (role) {
    case Role::Viewer: return QStringLiteral("Просмотр");
    case Role::Foremen: return QStringLiteral("Бригадир");
    case Role::FinishedGoods: return QStringLiteral("Готовая продукция");
    case Role::Administrator: return QStringLiteral("Администратор");
    case Role::None: break;
    }
    return {};
}

QString appVersion() {
    return QStringLiteral("%1 %2")
        .arg(buildstamp::dateFromText(buildstamp::compileDate()))
        .arg(buildstamp::timeFromText(buildstamp::compileTime()));
}

void setClientFields(const QString& role, const QString& host, const QString& version, const Db& db) {
    // Set again on every new connection (a reconnect after a lost one included).
    connection::setSessionFields({{QStringLiteral("mirn.client_role"), role},
                                  {QStringLiteral("mirn.client_host"), host},
                                  {QStringLiteral("mirn.app_version"), version}},
                                 db.name());
}

void signIn(Role role, const Db& db) {
    if (!detect(db)) return;
    setClientFields(roleName(role), QSysInfo::machineHostName(), appVersion(), db);
}

QString monthCaption(int month, int year) {
    static const char* names[] = {"январь", "февраль", "март",     "апрель",  "май",    "июнь",
                                  "июль",   "август",  "сентябрь", "октябрь", "ноябрь", "декабрь"};
    if (month < 1 || month > 12) return {};
    return QStringLiteral("%1 %2").arg(QString::fromUtf8(names[month - 1])).arg(year);
}

QString closedByText(const QString& who, const QString& at) {
    return QStringLiteral("Закрыл: %1, %2").arg(who, at);
}

PeriodStore::PeriodStore(Db db) : db_(std::move(db)) {}

bool PeriodStore::isClosed(int month, int year) const {
    if (!installed() || year == 0) return false;
    Query q(db_);
    q.SQL = {QStringLiteral("select count(*) as n from accounts_dep.period_lock where year = :y and month = :m")};
    q.setParam(QStringLiteral("y"), year);
    q.setParam(QStringLiteral("m"), month);
    q.open();
    return q.asInt(QStringLiteral("n")) > 0;
}

QString PeriodStore::closedBy(int month, int year) const {
    if (!installed() || year == 0) return {};
    Query q(db_);
    q.SQL = {QStringLiteral("select coalesce(closed_by, '') as who, "
                            "coalesce(to_char(closed_at, 'DD.MM.YYYY HH24:MI'), '') as at "
                            "from accounts_dep.period_lock where year = :y and month = :m")};
    q.setParam(QStringLiteral("y"), year);
    q.setParam(QStringLiteral("m"), month);
    q.open();
    if (q.isEmpty()) return {};
    return closedByText(q.asString(QStringLiteral("who")), q.asString(QStringLiteral("at")));
}

// With roles.sql a month is closed and reopened only through the database's functions,
// which take the login and the time on the server and record the change; their result
// (false: nothing to do) needs no answer.
void PeriodStore::monthFunction(const QString& name, int month, int year, const QString& reason) const {
    Query q(db_);
    q.SQL = {QStringLiteral("select accounts_dep.") + name + QStringLiteral("(:y, :m, :reason) as done")};
    q.setParam(QStringLiteral("y"), year);
    q.setParam(QStringLiteral("m"), month);
    q.setParam(QStringLiteral("reason"), reason.trimmed());
    q.open();
}

Result PeriodStore::close(int month, int year, Role role, const QString& reason) {
    if (role != Role::Administrator) return Result::refuse(Status::Invalid, kAdminOnly);
    if (year == 0 || month < 1 || month > 12) return Result::refuse(Status::Incomplete, kNoMonth);
    if (rolesInstalled()) {
        monthFunction(QStringLiteral("close_month"), month, year, reason);
        return Result::ok();
    }
    const QString why = reason.trimmed();
    // A reason the database cannot keep is not dropped silently.
    if (!why.isEmpty() && !keepsCloseReason()) return Result::refuse(Status::Invalid, kNoReasonColumn);
    Command c(db_);
    // Waits for the saves already writing into the month (the extension's lock).
    if (keepsCloseReason()) {
        c.SQL = {QStringLiteral("insert into accounts_dep.period_lock(year, month, closed_by, reason) "
                                "values (:y, :m, :who, nullif(:reason, '')) on conflict (year, month) do nothing")};
        c.setParam(QStringLiteral("reason"), why);
    } else {
        c.SQL = {QStringLiteral("insert into accounts_dep.period_lock(year, month, closed_by) values (:y, :m, :who) "
                                "on conflict (year, month) do nothing")};
    }
    c.setParam(QStringLiteral("y"), year);
    c.setParam(QStringLiteral("m"), month);
    c.setParam(QStringLiteral("who"), roleName(role));
    c.exec();
    return Result::ok();
}

Result PeriodStore::reopen(int month, int year, Role role, const QString& reason) {
    if (role != Role::Administrator) return Result::refuse(Status::Invalid, kAdminOnly);
    if (year == 0 || month < 1 || month > 12) return Result::refuse(Status::Incomplete, kNoMonth);
    if (rolesInstalled()) {
        if (reason.trimmed().isEmpty()) return Result::refuse(Status::Incomplete, kNoReason);
        monthFunction(QStringLiteral("reopen_month"), month, year, reason);
        return Result::ok();
    }
    Command c(db_);
    c.SQL = {QStringLiteral("delete from accounts_dep.period_lock where year = :y and month = :m")};
    c.setParam(QStringLiteral("y"), year);
    c.setParam(QStringLiteral("m"), month);
    c.exec();
    return Result::ok();
}

}  // namespace period

}  // namespace mirn
