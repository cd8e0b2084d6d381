#include "batch/commands.h"

#include "batch/csv_reader.h"
#include "domain/connection.h"
#include "domain/db.h"
#include "domain/entry_import.h"
#include "domain/entry_store.h"
#include "domain/month_check.h"
#include "domain/period.h"
#include "domain/session.h"
#include "domain/timesheet_rules.h"
#include "domain/timesheet_service.h"
#include "export/excel.h"
#include "keyring/keyring.h"
#include "papers/change_report.h"
#include "papers/earnings.h"
#include "papers/layouts.h"
#include "papers/payroll_export.h"
#include "papers/price_list.h"
#include "papers/timesheet_export.h"
#include "papers/xls_export.h"

#include <QCommandLineParser>
#include <QDate>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSysInfo>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

namespace mirn {

namespace batch {

namespace {

void say(FILE* to, const QString& text) {
    std::fputs(qUtf8Printable(text + QLatin1Char('\n')), to);
    std::fflush(to);
}
void out(const QString& text) { say(stdout, text); }
void err(const QString& text) { say(stderr, text); }

// A command line the program cannot run: exit 2.
struct UsageError {
    QString message;
};
// Input the program refuses, already explained on stderr: exit 1.
struct RefusedInput {};
// The database cannot do the work asked (for a reason already explained): exit 3.
struct DatabaseCannot {};

QString g_logPath;

// Ctrl+C (SIGINT) during an import: the work stops at its next step and rolls back. A
// second Ctrl+C ends the program at once, as it would without this.
volatile std::sig_atomic_t g_interrupted = 0;
extern "C" void onInterrupt(int) { g_interrupted = 1; }
class Interruptible {
public:
    Interruptible() {
        g_interrupted = 0;
        struct sigaction sa {};
        sa.sa_handler = onInterrupt;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESETHAND | SA_RESTART;
        sigaction(SIGINT, &sa, &before_);
    }
    ~Interruptible() { sigaction(SIGINT, &before_, nullptr); }
    Interruptible(const Interruptible&) = delete;
    Interruptible& operator=(const Interruptible&) = delete;

private:
    struct sigaction before_ {};
};

// What every database failure ends with: where support finds the technical text.
QString seeLog() {
    if (g_logPath.isEmpty()) return {};
    return QStringLiteral("Подробности (текст сервера) — в журнале %1.").arg(QDir::toNativeSeparators(g_logPath));
}

const QString kProgram = QStringLiteral("mirn-batch");

// ------------------------------------------------------------------ options

struct OptionDef {
    QString name;
    QString valueName;
    QString help;
};

const QList<OptionDef> kOptions = {
    {QStringLiteral("month"), QStringLiteral("М"), QStringLiteral("месяц, 1–12")},
    {QStringLiteral("year"), QStringLiteral("Г"), QStringLiteral("год, например 2024")},
    {QStringLiteral("from"), QStringLiteral("ДД.ММ.ГГГГ"), QStringLiteral("первый день периода (входит в период)")},
    {QStringLiteral("to"), QStringLiteral("ДД.ММ.ГГГГ"), QStringLiteral("конец периода (этот день в период не входит)")},
    {QStringLiteral("kind"), QStringLiteral("0|1"),
     QStringLiteral("вид продукции: 0 — готовая продукция, 1 — заготовки; без него — все")},
    {QStringLiteral("worker"), QStringLiteral("НОМЕР"),
     QStringLiteral("расчётный листок одного работника (номер из справочника работников); без него — всех")},
    {QStringLiteral("pdf"), QStringLiteral("ФАЙЛ"), QStringLiteral("куда записать PDF")},
    {QStringLiteral("xlsx"), QStringLiteral("ФАЙЛ"), QStringLiteral("куда записать книгу Excel (.xlsx)")},
    {QStringLiteral("csv"), QStringLiteral("ФАЙЛ"), QStringLiteral("куда записать файл CSV (выгрузка в зарплату)")},
    {QStringLiteral("encoding"), QStringLiteral("utf-8|cp1251"),
     QStringLiteral("кодировка файла CSV выгрузки в зарплату (по умолчанию из [payroll] encoding, иначе utf-8)")},
    {QStringLiteral("db"), QStringLiteral("БАЗА"), QStringLiteral("имя базы данных (по умолчанию mirn_erp)")},
    {QStringLiteral("server"), QStringLiteral("СЕРВЕР"),
     QStringLiteral("адрес сервера PostgreSQL (по умолчанию PGHOST или localhost)")},
};

// What a command was given, checked against what it takes.
class Args {
public:
    Args(const QCommandLineParser& p, QStringList words) : p_(p), words_(std::move(words)) {}

    const QStringList& words() const { return words_; }
    bool has(const QString& name) const { return p_.isSet(name); }
    QString value(const QString& name) const { return p_.value(name).trimmed(); }

    // Refuses options the command does not take and missing required ones.
    void allow(const QString& command, const QStringList& required, const QStringList& optional) const {
        for (const OptionDef& o : kOptions) {
            if (o.name == QLatin1String("db") || o.name == QLatin1String("server")) continue;
            if (has(o.name) && !required.contains(o.name) && !optional.contains(o.name))
                throw UsageError{QStringLiteral("команда «%1» не принимает параметр --%2").arg(command, o.name)};
        }
        for (const QString& r : required)
            if (!has(r)) throw UsageError{QStringLiteral("команде «%1» нужен параметр --%2").arg(command, r)};
    }

    int month() const {
        bool ok = false;
        const int m = value(QStringLiteral("month")).toInt(&ok);
        if (!ok || m < 1 || m > 12)
            throw UsageError{QStringLiteral("месяц --month должен быть числом от 1 до 12, а не «%1»")
                                 .arg(value(QStringLiteral("month")))};
        return m;
    }
    int year() const {
        bool ok = false;
        const int y = value(QStringLiteral("year")).toInt(&ok);
        // The timesheet keeps the year in a smallint.
        if (!ok || y < 1900 || y > 9999)
            throw UsageError{QStringLiteral("год --year должен быть числом от 1900 до 9999, а не «%1»")
                                 .arg(value(QStringLiteral("year")))};
        return y;
    }
    QDate date(const QString& name) const {
        const QDate d = QDate::fromString(value(name), QStringLiteral("dd.MM.yyyy"));
        if (!d.isValid())
            throw UsageError{QStringLiteral("дата --%1 должна быть в виде ДД.ММ.ГГГГ, а не «%2»").arg(name, value(name))};
        return d;
    }
    // The product kind filter: -1 for all kinds.
    int kind() const {
        if (!has(QStringLiteral("kind"))) return -1;
        const QString k = value(QStringLiteral("kind"));
        if (k != QLatin1String("0") && k != QLatin1String("1"))
            throw UsageError{QStringLiteral("вид продукции --kind должен быть 0 или 1, а не «%1»").arg(k)};
        return k.toInt();
    }
    // The worker of an earnings statement: 0 for every worker.
    int worker() const {
        if (!has(QStringLiteral("worker"))) return 0;
        bool ok = false;
        const int id = value(QStringLiteral("worker")).toInt(&ok);
        if (!ok || id <= 0)
            throw UsageError{QStringLiteral("номер работника --worker должен быть целым числом больше 0, а не «%1»")
                                 .arg(value(QStringLiteral("worker")))};
        return id;
    }
    // The period [from, to): --to lies after --from, or the paper would be empty.
    std::pair<QDate, QDate> period() const {
        const QDate from = date(QStringLiteral("from")), to = date(QStringLiteral("to"));
        if (to <= from)
            throw UsageError{QStringLiteral("период пуст: конец --to %1 должен быть позже начала --from %2 "
                                            "(день --to в период не входит)")
                                 .arg(value(QStringLiteral("to")), value(QStringLiteral("from")))};
        return {from, to};
    }
    QString file(const QString& name) const {
        const QString f = value(name);
        if (f.isEmpty()) throw UsageError{QStringLiteral("у параметра --%1 не указан файл").arg(name)};
        return f;
    }

private:
    const QCommandLineParser& p_;
    QStringList words_;
};

// ------------------------------------------------------------------ connection

// Where the batch connects: the client's rules (command line, PG* variables, the user's
// and the system's settings files, built-in values).
connection::Params connectionParams(const Args& a) {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QString db = a.value(QStringLiteral("db"));
    QString server = a.value(QStringLiteral("server"));
    // The client takes the database name only together with the server; here either may
    // come alone.
    if (!db.isEmpty() && server.isEmpty()) server = env.value(QStringLiteral("PGHOST"), connection::kDefaultServer);
    if (db.isEmpty() && !server.isEmpty()) db = connection::kDefaultDatabase;
    return connection::resolve(connection::CommandLine{db, server}, env, connection::userSettingsFile(env),
                               connection::systemSettingsFiles(env));
}

// The server's refusal to connect, said in Russian with what to check; the server's own
// words go to the support log.
QString connectFailure(const QString& why) {
    const QString w = why.toLower();
    if (w.contains(QLatin1String("password authentication failed")) || w.contains(QLatin1String("no password supplied")))
        return QStringLiteral("сервер не принял пользователя или пароль. Проверьте PGUSER и PGPASSWORD или "
                              "ключи user и password в mirn.conf");
    if (w.contains(QLatin1String("does not exist")) && w.contains(QLatin1String("database")))
        return QStringLiteral("на сервере нет такой базы данных. Проверьте имя базы (--db, PGDATABASE или ключ "
                              "database в mirn.conf)");
    if (w.contains(QLatin1String("could not translate host name")) || w.contains(QLatin1String("name or service not known")))
        return QStringLiteral("адрес сервера не найден. Проверьте адрес (--server, PGHOST или ключ server в mirn.conf)");
    if (w.contains(QLatin1String("connection refused")))
        return QStringLiteral("сервер не принимает подключения по этому адресу и порту. Проверьте адрес и порт "
                              "(--server, PGHOST, PGPORT) и что сервер PostgreSQL запущен");
    if (w.contains(QLatin1String("timeout")) || w.contains(QLatin1String("timed out")))
        return QStringLiteral("сервер не ответил. Проверьте сеть и адрес сервера");
    if (w.contains(QLatin1String("pg_hba.conf")) || w.contains(QLatin1String("permission denied")))
        return QStringLiteral("сервер не пускает этого пользователя с этого компьютера. Обратитесь к "
                              "администратору базы данных");
    if (w.contains(QLatin1String("ssl")))
        return QStringLiteral("не удалось установить защищённое соединение. Проверьте sslmode и sslrootcert в mirn.conf");
    return QStringLiteral("сервер отказал в подключении. Проверьте настройки подключения");
}

// The history of the database extension records who made each change: this program names
// itself as the client does (role, workstation, program and build).
const QString kBatchRole = QStringLiteral("Пакетный режим");

void connect(const Args& a) {
    connection::Params p = connectionParams(a);
    // Personal accounts: the login of the settings or PGUSER, the password from
    // PGPASSWORD or a password file (libpq's ~/.pgpass too), else the one the client
    // kept in the desktop's keyring; never asked for.
    p.atSignIn = false;
    if (p.accounts && p.user.isEmpty()) {
        err(QStringLiteral("Не указан пользователь: задайте PGUSER или user в разделе [connection] файла настроек."));
        throw kNoConnection;
    }
    QString why;
    bool ok = connection::open(p, &why);
    // With no password given libpq reads the password file itself; only when that has
    // none either does the keyring answer (a script waits for it no longer than 10 s).
    const bool noPassword = !ok && p.accounts && p.password.isEmpty() && why.contains(QLatin1String("no password supplied"));
    if (noPassword) {
        const keyring::Result kept = keyring::read({p.host, p.port, p.database, p.user}, 10000);
        if (kept.ok()) {
            p.password = kept.password;
            p.origins << QStringLiteral("password=keyring");
            ok = connection::open(p, &why);
        }
    }
    if (!ok) {
        err(QStringLiteral("%1: не удалось подключиться к базе данных %2 на сервере %3:%4: %5.")
                .arg(kProgram, p.database, p.host)
                .arg(p.port)
                .arg(noPassword && p.password.isEmpty()
                         ? QStringLiteral("пароль не найден. Задайте PGPASSWORD, строку в файле паролей (~/.pgpass "
                                          "или PGPASSFILE) или войдите в программу с отметкой «Запомнить пароль»")
                         : connectFailure(why)));
        const QString more = seeLog();
        if (!more.isEmpty()) err(more);
        throw kNoConnection;
    }
    if (period::detect())
        period::setClientFields(kBatchRole, QSysInfo::machineHostName(), kProgram + QLatin1Char(' ') + period::appVersion());
    session().role = p.accounts ? roleOfLogin() : Role::None;
}

// "Месяц закрыт: март 2030", as the client says it.
QString closedMonth(int month, int year) {
    return period::kClosedBanner + QStringLiteral(": ") + period::monthCaption(month, year);
}

// Accounts mode: a command the login's role may not run is refused before any work.
void requireRole(bool allowed, const QString& what) {
    if (!connection::current().accounts || allowed) return;
    err(QStringLiteral("%1: %2 — недоступно для роли «%3».").arg(kProgram, what, period::roleName(session().role)));
    throw RefusedInput{};
}

// ------------------------------------------------------------------ outputs

void savePdf(const rpt::PreparedReport& report, const QString& path, const QString& title) {
    if (!rpt::writePdf(report, path, title.trimmed()))
        throw UsageError{QStringLiteral("не удалось записать файл %1").arg(QDir::toNativeSeparators(path))};
    qInfo().noquote() << "export written:" << QFileInfo(path).absoluteFilePath();
    out(QStringLiteral("Записан файл %1").arg(QDir::toNativeSeparators(path)));
}

// Runs one of the client's workbook exports and puts the workbook it writes into path.
// The writer saves a shown workbook into its output folder under a dated name; here that
// folder is a private temporary one and nothing is opened.
void writeWorkbook(const QString& path, const std::function<int()>& fill) {
    QTemporaryDir dir;
    if (!dir.isValid()) throw UsageError{QStringLiteral("не удалось создать временную папку")};
    qputenv("MIRN_WORKBOOK_DIR", QFile::encodeName(dir.path()));
    qputenv("MIRN_WORKBOOK_NO_OPEN", "1");
    QStringList problems;
    workbook::setMessenger([&](const QString& text, const QString&, workbook::NoteKind kind) {
        if (kind == workbook::NoteKind::Error) problems << text;
    });
    const int rows = fill();
    const QString written = workbook::lastWrittenPath();
    if (rows < 0 || written.isEmpty() || !QFileInfo(written).absolutePath().startsWith(QDir(dir.path()).absolutePath())) {
        err(problems.join(QLatin1Char('\n')));
        throw UsageError{QStringLiteral("книга не записана")};
    }
    if (!problems.isEmpty()) err(problems.join(QLatin1Char('\n')));
    QFile::remove(path);
    if (!QFile::rename(written, path))
        throw UsageError{QStringLiteral("не удалось записать файл %1").arg(QDir::toNativeSeparators(path))};
    qInfo().noquote() << "export written:" << QFileInfo(path).absoluteFilePath() << "| data rows" << rows;
    out(QStringLiteral("Записан файл %1 (строк данных: %2)").arg(QDir::toNativeSeparators(path)).arg(rows));
}

// ------------------------------------------------------------------ reports

QString period(const QDate& from, const QDate& to) {
    return from.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" по ") + to.toString(QStringLiteral("dd.MM.yyyy"));
}

struct ReportRequest {
    QDate from, to;  // [from, to)
    int kind = -1;   // product kind filter, -1 all
    QString pdf;
    int worker = 0;  // the earnings statement's worker, 0 all
};

// A production report as the summary reports window runs it: period parameters, the
// product kind filter on the fetched rows, the title, prepare; then the PDF.
template <class Layout>
std::function<void(const ReportRequest&)> productionReport(const QString& titlePrefix) {
    return [titlePrefix](const ReportRequest& r) {
        Layout layout;
        Query& q = layout.query();
        q.setParam(QStringLiteral("data1"), r.from);
        q.setParam(QStringLiteral("data2"), r.to);
        papers::filterKind(q, r.kind);
        q.open();
        const QString title = titlePrefix + period(r.from, r.to);
        layout.QuickRep1.setCaption(QStringLiteral("QRLabel1"), title);
        layout.Prepare();
        q.close();
        savePdf(layout.prepared, r.pdf, title);
    };
}

struct ReportKind {
    QString name;
    QString help;
    std::function<void(const ReportRequest&)> print;
};

// The reports `report KIND` prints; a new kind is one more row.
const QList<ReportKind>& reportKinds() {
    static const QList<ReportKind> kinds = {
        {QStringLiteral("workers"), QStringLiteral("отчет по рабочим"),
         productionReport<papers::TForm16>(QStringLiteral("   Отчет по рабочим за период с "))},
        {QStringLiteral("products"), QStringLiteral("отчет по продукции"),
         productionReport<papers::TForm17>(QStringLiteral("   Отчет по продукции за период с "))},
        {QStringLiteral("detail-workers"), QStringLiteral("детальный отчет по рабочим"),
         productionReport<papers::TForm20>(QStringLiteral("   Детальный отчет по рабочим за период с "))},
        {QStringLiteral("detail-products"), QStringLiteral("детальный отчет по продукции"),
         productionReport<papers::TForm21>(QStringLiteral("   Детальный отчет по продукции за период с "))},
        {QStringLiteral("earnings"), QStringLiteral("расчётные листки (--worker НОМЕР — одного работника)"),
         [](const ReportRequest& r) {
             savePdf(papers::earningsStatement(r.from, r.to, r.worker), r.pdf,
                     QStringLiteral("Расчётный листок ") + papers::EarningsLayout::periodText(r.from, r.to));
         }},
        {QStringLiteral("changes"), QStringLiteral("журнал изменений смен и расценок (нужно расширение базы)"),
         [](const ReportRequest& r) {
             savePdf(papers::changeReport(r.from, r.to), r.pdf, QStringLiteral("Журнал изменений"));
         }},
    };
    return kinds;
}

QStringList reportKindNames() {
    QStringList names;
    for (const ReportKind& k : reportKinds()) names << k.name;
    return names;
}

// ------------------------------------------------------------------ commands

int cmdRebuild(const Args& a) {
    a.allow(QStringLiteral("rebuild"), {QStringLiteral("month"), QStringLiteral("year")}, {});
    const int month = a.month(), year = a.year();
    connect(a);
    requireRole(mayRebuild(session().role), QStringLiteral("перестроение табеля"));
    if (period::PeriodStore().isClosed(month, year)) {
        err(QStringLiteral("%1: %2. Табель закрытого месяца не перестраивается; чтобы перестроить его, "
                           "администратор сначала открывает месяц.")
                .arg(kProgram, closedMonth(month, year)));
        throw RefusedInput{};
    }
    timesheet::Service(QString()).rebuildMonth(month, year);
    out(QStringLiteral("Табель за %1 %2 перестроен").arg(timesheet::monthNames().at(month - 1)).arg(year));
    return kDone;
}

// The month's problems before its close, grouped by kind: exit 0 clean, 1 problems listed.
int cmdCheck(const Args& a) {
    a.allow(QStringLiteral("check"), {QStringLiteral("month"), QStringLiteral("year")}, {});
    const int month = a.month(), year = a.year();
    connect(a);
    const auto problems = monthcheck::check(month, year);
    const QString caption = QStringLiteral("%1 %2").arg(timesheet::monthNames().at(month - 1)).arg(year);
    if (problems.empty()) {
        out(QStringLiteral("Проверка месяца %1: замечаний нет").arg(caption));
        return kDone;
    }
    out(QStringLiteral("Проверка месяца %1: замечаний %2").arg(caption).arg(problems.size()));
    out(monthcheck::report(problems));
    return kRefused;
}

// A worker the earnings statement can be asked for: a person by id or worker number, or
// a worker number the entries or the auxiliary work name.
bool workerKnown(int id) {
    Query q;
    q.setText(QStringLiteral(
        "select exists(select 1 from cmn_contractor.person where id=:n or "
        "(case when s_code ~ '^[[:space:]]*[0-9]{1,15}[[:space:]]*$' then s_code::t_id end)=:n) "
        "or exists(select 1 from accounts_dep.smena where w_id=:n) "
        "or exists(select 1 from accounts_dep.fatigue where id_p=:n)"));
    q.setParam(QStringLiteral("n"), id);
    q.open();
    return !q.isEmpty() && q.value(0, 0).toBool();
}

int cmdReport(const Args& a) {
    if (a.words().size() != 2)
        throw UsageError{QStringLiteral("укажите вид отчета: %1").arg(reportKindNames().join(QStringLiteral(", ")))};
    const QString name = a.words()[1];
    const ReportKind* kind = nullptr;
    for (const ReportKind& k : reportKinds())
        if (k.name == name) kind = &k;
    if (!kind)
        throw UsageError{QStringLiteral("нет отчета «%1»; есть: %2").arg(name, reportKindNames().join(QStringLiteral(", ")))};
    const bool earnings = name == QLatin1String("earnings"), production = !earnings && name != QLatin1String("changes");
    a.allow(QStringLiteral("report ") + name, {QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("pdf")},
            production ? QStringList{QStringLiteral("kind")}
                       : earnings ? QStringList{QStringLiteral("worker")} : QStringList{});
    const auto [from, to] = a.period();
    const ReportRequest r{from, to, a.kind(), a.file(QStringLiteral("pdf")), a.worker()};
    connect(a);
    if (name == QLatin1String("changes") && !period::installed()) {
        err(QStringLiteral("%1: журнал изменений ведёт расширение базы данных «Закрытые месяцы и журнал "
                           "изменений», а в этой базе оно не установлено. Его устанавливает администратор "
                           "базы один раз: psql -v ON_ERROR_STOP=1 -d %2 -f /usr/share/mirn/extension.sql "
                           "(описание — /usr/share/mirn/README.md).")
                .arg(kProgram, connection::current().database));
        throw DatabaseCannot{};
    }
    if (r.worker != 0 && !workerKnown(r.worker))
        throw UsageError{QStringLiteral("работника с номером %1 нет: ни в реестре лиц (по коду или id), ни в "
                                        "сменных записях и хозяйственных работах")
                             .arg(r.worker)};
    kind->print(r);
    return kDone;
}

int cmdTimesheet(const Args& a) {
    a.allow(QStringLiteral("timesheet"), {QStringLiteral("month"), QStringLiteral("year")},
            {QStringLiteral("pdf"), QStringLiteral("xlsx")});
    const bool pdf = a.has(QStringLiteral("pdf")), xlsx = a.has(QStringLiteral("xlsx"));
    if (pdf == xlsx) throw UsageError{QStringLiteral("команде «timesheet» нужен ровно один из параметров --pdf и --xlsx")};
    const int month = a.month(), year = a.year();
    const QString file = a.file(pdf ? QStringLiteral("pdf") : QStringLiteral("xlsx"));
    const QString monthYear = timesheet::monthNames().at(month - 1) + QLatin1Char(' ') + QString::number(year);
    connect(a);
    papers::TForm15 layout;
    if (pdf) {
        // As the timesheet window's "Печать" heads it.
        Query& q = layout.H_Tabel;
        q.setParam(QStringLiteral("mnth"), month);
        q.setParam(QStringLiteral("yea"), year);
        q.open();
        layout.QRLabel33().text = monthYear + QStringLiteral(" г.");
        layout.Prepare();
        q.close();
        savePdf(layout.prepared, file, QStringLiteral("Табель по времени: ") + layout.QRLabel33().text);
    } else {
        writeWorkbook(file, [&] {
            return papers::exportTimesheet(layout.H_Tabel, month, year, monthYear, [](const QString&) {});
        });
    }
    return kDone;
}

// ------------------------------------------------------------------ payroll file

// export payroll: the month's payroll file, only from a closed month where the extension
// is installed; the export goes into the history.
int cmdExportPayroll(const Args& a) {
    a.allow(QStringLiteral("export payroll"), {QStringLiteral("month"), QStringLiteral("year")},
            {QStringLiteral("xlsx"), QStringLiteral("csv"), QStringLiteral("encoding")});
    const int month = a.month(), year = a.year();
    if (a.has(QStringLiteral("xlsx")) == a.has(QStringLiteral("csv")))
        throw UsageError{QStringLiteral("команде «export payroll» нужен один из параметров --xlsx ФАЙЛ или --csv ФАЙЛ")};
    const bool xlsx = a.has(QStringLiteral("xlsx"));
    if (xlsx && a.has(QStringLiteral("encoding")))
        throw UsageError{QStringLiteral("параметр --encoding — только для --csv (книга Excel хранит текст в UTF-8)")};
    const QString file = a.file(xlsx ? QStringLiteral("xlsx") : QStringLiteral("csv"));
    QStringList problems;
    const payroll::Settings settings = payroll::readSettings(&problems);
    for (const QString& p : problems) err(QStringLiteral("%1: %2").arg(kProgram, p));
    const QString encodingName = a.has(QStringLiteral("encoding")) ? a.value(QStringLiteral("encoding")) : settings.encoding;
    const auto encoding = papers::csvEncodingOf(encodingName);
    if (!encoding)
        throw UsageError{QStringLiteral("кодировка --encoding должна быть utf-8 или cp1251, а не «%1»").arg(encodingName)};
    connect(a);
    const QString role = session().role == Role::None ? kBatchRole : period::roleName(session().role);
    const papers::PayrollOutcome r =
        papers::exportPayroll(month, year, xlsx ? papers::PayrollFormat::Xlsx : papers::PayrollFormat::Csv, *encoding,
                              file, role, settings);
    if (!r.done) {
        err(QStringLiteral("%1: %2").arg(kProgram, r.message));
        // An open month is the input's fault; a file that cannot be written is a usage error.
        if (r.message.startsWith(QStringLiteral("Месяц не закрыт"))) throw RefusedInput{};
        throw UsageError{QStringLiteral("файл %1 не записан").arg(QDir::toNativeSeparators(file))};
    }
    QStringList sums;
    for (const payroll::Total& t : r.totals) sums << QStringLiteral("%1 — %2").arg(t.code, payroll::cellText(payroll::ColumnKind::Money, t.sum));
    out(QStringLiteral("Записан файл %1: %2, строк %3")
            .arg(QDir::toNativeSeparators(file), period::monthCaption(month, year))
            .arg(r.rows));
    out(QStringLiteral("Итого по кодам начислений: %1").arg(sums.join(QStringLiteral("; "))));
    out(QStringLiteral("SHA-256 данных: %1").arg(r.hash));
    out(r.recorded ? QStringLiteral("Выгрузка записана в историю изменений.")
                   : QStringLiteral("В истории не записана: в базе нет расширения закрытых месяцев."));
    return kDone;
}

// verify payroll FILE: the hash and the totals recomputed from the file's own rows.
// Exit 0 unchanged, 1 changed; no database needed.
int cmdVerify(const Args& a) {
    if (a.words().size() != 3 || a.words()[1] != QLatin1String("payroll"))
        throw UsageError{QStringLiteral("вызов: %1 verify payroll ФАЙЛ").arg(kProgram)};
    a.allow(QStringLiteral("verify payroll"), {}, {});
    const QString path = a.words()[2];
    QString why;
    const QList<QStringList> table = papers::readPayrollTable(path, &why);
    if (table.isEmpty()) throw UsageError{QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why)};
    const payroll::Verdict v = payroll::verify(table);
    if (v.unchanged) {
        out(QStringLiteral("Файл %1 не изменен: месяц %2, выгружен %3 (%4), строк %5, контрольная сумма и итоги совпадают.")
                .arg(QDir::toNativeSeparators(path), v.month, v.at, v.who)
                .arg(v.rows));
        return kDone;
    }
    out(QStringLiteral("Файл %1 изменен после выгрузки%2:").arg(QDir::toNativeSeparators(path),
        v.readable ? QStringLiteral(" (месяц %1, выгружен %2)").arg(v.month, v.at) : QString()));
    for (const QString& d : v.differences) out(QStringLiteral("  ") + d);
    return kRefused;
}

// ------------------------------------------------------------------ end of the payroll file

int cmdExport(const Args& a) {
    const QString what = a.words().size() == 2 ? a.words()[1] : QString();
    if (what == QLatin1String("payroll")) return cmdExportPayroll(a);
    if (what == QLatin1String("report")) {
        a.allow(QStringLiteral("export report"), {QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("xlsx")},
                {QStringLiteral("kind")});
        const auto [from, to] = a.period();
        const int kind = a.kind();
        const QString file = a.file(QStringLiteral("xlsx"));
        connect(a);
        Query xlsRep;
        xlsRep.SQL = papers::productionReportText();
        papers::filterKind(xlsRep, kind);
        writeWorkbook(file, [&] { return papers::exportProductionReport(xlsRep, from, to, [](const QString&) {}); });
        return kDone;
    }
    if (what == QLatin1String("prices")) {
        a.allow(QStringLiteral("export prices"), {QStringLiteral("xlsx")}, {});
        const QString file = a.file(QStringLiteral("xlsx"));
        connect(a);
        writeWorkbook(file, [] { return papers::exportPriceListWorkbook(); });
        return kDone;
    }
    throw UsageError{QStringLiteral("после «export» укажите report, prices или payroll")};
}

int cmdImport(const Args& a) {
    if (a.words().size() != 3 || a.words()[1] != QLatin1String("entries"))
        throw UsageError{QStringLiteral("вызов: %1 import entries ФАЙЛ.csv").arg(kProgram)};
    a.allow(QStringLiteral("import entries"), {}, {});
    const QString path = a.words()[2];
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw UsageError{QStringLiteral("не удалось открыть файл %1: %2").arg(QDir::toNativeSeparators(path), f.errorString())};
    const QByteArray data = f.readAll();

    QList<CsvRow> rows;
    QString why;
    CsvFormat format;
    if (!readCsv(data, &rows, &why, &format)) {
        err(QStringLiteral("%1: %2").arg(path, why));
        err(QStringLiteral("Файл не загружен, ничего не записано."));
        throw RefusedInput{};
    }
    if (rows.isEmpty()) {
        err(QStringLiteral("%1: файл пуст, нет даже заголовка (%2)").arg(path, entry::kImportColumns.join(QLatin1Char(','))));
        throw RefusedInput{};
    }
    connect(a);
    requireRole(mayAddEntries(session().role), QStringLiteral("загрузка записей"));
    const Interruptible interruptible;
    entry::EntryImport import;
    // A long file says how far it is, once a second, from its first second on.
    QElapsedTimer clock;
    clock.start();
    qint64 told = 0;
    const auto tell = [&](const QString& what) {
        if (clock.elapsed() - told < 1000) return;
        told = clock.elapsed();
        err(what);
    };
    const auto cancelled = [&] {
        err(QStringLiteral("Загрузка прервана (Ctrl+C): ничего не записано."));
        return kCancelled;
    };
    try {
        if (import.setHeader(rows.front().line, rows.front().fields))
            for (int i = 1; i < rows.size(); ++i) {
                if (g_interrupted) throw entry::Cancelled();
                import.addRow(rows[i].line, rows[i].fields);
                tell(QStringLiteral("Проверено строк: %1 из %2").arg(i).arg(rows.size() - 1));
            }
        import.progress = [&](qsizetype done, qsizetype total) {
            tell(QStringLiteral("Проверка и запись: %1%").arg(total == 0 ? 100 : done * 100 / total));
            return !g_interrupted;
        };
        const bool stored = import.post().stored;
        // Stored means committed: a Ctrl+C from here on is too late to take it back.
        if (!stored) {
            for (const entry::ImportRefusal& r : import.refusals()) {
                err(QStringLiteral("%1: строка %2: %3").arg(path).arg(r.line).arg(r.reason));
                // A header not understood may be a separator or encoding not guessed right.
                if (r.line == rows.front().line)
                    err(QStringLiteral("%1: файл прочитан как %2, разделитель полей «%3»")
                            .arg(path, format.encoding, QString(QLatin1Char(format.separator))));
            }
            err(QStringLiteral("Файл не загружен: отвергнуто строк — %1 из %2; ничего не записано.")
                    .arg(import.refusals().size())
                    .arg(rows.size() - 1));
            throw RefusedInput{};
        }
    } catch (const entry::Cancelled&) {
        return cancelled();
    }
    out(QStringLiteral("Загружено записей: %1").arg(import.records().size()));
    return kDone;
}

struct CommandDef {
    QString word;
    std::function<int(const Args&)> run;
};

const QList<CommandDef>& commands() {
    static const QList<CommandDef> list = {
        {QStringLiteral("rebuild"), cmdRebuild}, {QStringLiteral("check"), cmdCheck}, {QStringLiteral("report"), cmdReport},
        {QStringLiteral("timesheet"), cmdTimesheet}, {QStringLiteral("export"), cmdExport},
        {QStringLiteral("import"), cmdImport}, {QStringLiteral("verify"), cmdVerify},
    };
    return list;
}

}  // namespace

QString helpText() {
    QString reportsList;
    for (const ReportKind& k : reportKinds())
        reportsList += QStringLiteral("      %1 — %2\n").arg(k.name, -16).arg(k.help);
    QString options;
    for (const OptionDef& o : kOptions)
        options += QStringLiteral("  --%1 %2\n      %3\n").arg(o.name, o.valueName, o.help);
    return QStringLiteral(
               "Вызов: mirn-batch КОМАНДА [ПАРАМЕТРЫ] [--db БАЗА] [--server СЕРВЕР]\n"
               "\n"
               "Пакетный режим учета сдельной работы: отчеты, табель, книги Excel и загрузка\n"
               "сменных записей без окон и без дисплея (можно по SSH и из cron).\n"
               "\n"
               "Команды:\n"
               "  rebuild --month М --year Г\n"
               "      перестроить табель по времени за месяц по сменным записям.\n"
               "  check --month М --year Г\n"
               "      проверка месяца перед закрытием: неподтвержденные записи, записи без цены,\n"
               "      расхождения табеля с записями, рабочие, которых не видят табель и отчеты,\n"
               "      часы 0 или больше 24 за день, хоз. работы без часов или расценки.\n"
               "      Код выхода 0 — замечаний нет, 1 — замечания перечислены.\n"
               "  report ВИД --from ДД.ММ.ГГГГ --to ДД.ММ.ГГГГ [--kind 0|1] --pdf ФАЙЛ\n"
               "      отчет за период в PDF (те же макеты, что в окне «Отчеты»). ВИД:\n") +
           reportsList +
           QStringLiteral(
               "  timesheet --month М --year Г (--pdf ФАЙЛ | --xlsx ФАЙЛ)\n"
               "      табель по времени за месяц: печатная форма в PDF или книга Excel.\n"
               "  export report --from ДД.ММ.ГГГГ --to ДД.ММ.ГГГГ [--kind 0|1] --xlsx ФАЙЛ\n"
               "      отчет по продукции за период в книгу Excel (кнопка «Excel» окна «Отчеты»).\n"
               "  export prices --xlsx ФАЙЛ\n"
               "      прайс: все операции с ценами в книгу Excel.\n"
               "  export payroll --month М --year Г (--xlsx ФАЙЛ | --csv ФАЙЛ [--encoding utf-8|cp1251])\n"
               "      выгрузка в зарплату закрытого месяца: строка на работника (таб. №, ФИО,\n"
               "      сдельно, хоз. работы, часы по сменам и переработка, дни, всего) под кодами\n"
               "      начислений из раздела [payroll] mirn.conf; в конце файла — контрольный блок\n"
               "      (месяц, время, кто выгрузил, строк, итоги по кодам, SHA-256 данных).\n"
               "      CSV — «;» и десятичная запятая. Открытый месяц отвергается (код 1).\n"
               "  verify payroll ФАЙЛ\n"
               "      проверить файл выгрузки: контрольная сумма и итоги по строкам файла.\n"
               "      Код выхода 0 — файл не изменен, 1 — изменен (что не сходится — в выводе).\n"
               "  import entries ФАЙЛ.csv\n"
               "      загрузить сменные записи из файла CSV. Каждая строка проверяется и\n"
               "      оценивается, как в окне сменной записи; табель пополняется. Всё или\n"
               "      ничего: при хотя бы одной отвергнутой строке не записывается ничего, а\n"
               "      все отвергнутые строки перечисляются с номерами строк файла.\n"
               "\n"
               "Период --from … --to …: первый день входит, последний (--to) нет; --to позже\n"
               "--from. Каждый параметр указывается один раз.\n"
               "\n"
               "Параметры:\n") +
           options +
           QStringLiteral(
               "  -h, --help\n"
               "      эта справка.\n"
               "Подключение: как у клиента; без --db и --server — база mirn_erp на сервере из\n"
               "PGHOST (или localhost); PGPORT, PGUSER и PGPASSWORD заменяют порт, пользователя\n"
               "и пароль.\n"
               "\n"
               "Файл CSV для import entries — как его сохраняет электронная таблица: UTF-8\n"
               "(с меткой BOM или без) или Windows-1251, разделитель — запятая или точка с\n"
               "запятой (какой стоит в заголовке); целое число может иметь нулевую дробную часть\n"
               "(8,0). Поле с разделителем, кавычкой или переводом строки берется в двойные\n"
               "кавычки (кавычка внутри удваивается), строки оканчиваются LF или CRLF. Файл со\n"
               "смешанными кодировками или разделителями отвергается. Первая строка —\n"
               "заголовок, ровно эти столбцы (в любом порядке):\n"
               "  date,shift,worker,mark,operation,kind,quantity,rejects,hours,colour,dayoff\n"
               "    date      дата смены, ДД.ММ.ГГГГ\n"
               "    shift     смена: 1, 2, 3 или 4 (переработка)\n"
               "    worker    табельный номер рабочего (s_code) или его id в реестре лиц\n"
               "    mark      марка изделия\n"
               "    operation вид операции (например «Покраска»)\n"
               "    kind      вид продукции: 0 — готовая продукция, 1 — заготовки\n"
               "    quantity  количество, целое\n"
               "    rejects   брак, целое\n"
               "    hours     время, часов, целое\n"
               "    colour    цвет: только у операции со словом «КРАСКА» (там обязателен,\n"
               "              1 — грунт); у прочих пусто или 0\n"
               "    dayoff    выходной день: 1 — да (цена вдвое), 0 — нет\n"
               "Цена — наименьшая цена норм операции, ×2 в выходной, ×1,2 в 3-ю смену, ×1,5 в\n"
               "переработку. Операция без норм и повтор уже заведенной записи (или строки\n"
               "выше в файле) отвергаются.\n"
               "Пример файла:\n"
               "  date,shift,worker,mark,operation,kind,quantity,rejects,hours,colour,dayoff\n"
               "  02.03.2024,1,10001,КР-100,Резка,0,120,2,8,,0\n"
               "  02.03.2024,3,10002,КР-150,Покраска порошковая,0,80,0,6,7024,0\n"
               "  03.03.2024,4,10001,\"КР-200\",Гибка,0,15,1,3,0,1\n"
               "\n"
               "Код завершения: 0 — выполнено; 1 — входные данные отвергнуты (ничего не\n"
               "записано; в том числе запись в закрытый месяц); 2 — ошибка вызова (команда,\n"
               "параметры, период, работник, файл не открыть или не записать); 3 — нет\n"
               "подключения к базе данных или база не выполнила работу.\n"
               "Сообщения об ошибках выводятся в stderr; технические подробности — в журнале\n"
               "~/.local/state/mirn/mirn-batch.log.\n");
}

void setLogPath(const QString& path) { g_logPath = path; }

int run(const QStringList& arguments) {
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    p.setApplicationDescription(QStringLiteral("Пакетный режим учета сдельной работы"));
    for (const OptionDef& o : kOptions) p.addOption(QCommandLineOption(o.name, o.help, o.valueName));
    p.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("эта справка")));
    try {
        if (!p.parse(arguments)) throw UsageError{p.errorText()};
        // A second value would silently win over the first: say which one is meant.
        for (const OptionDef& o : kOptions) {
            const QStringList given = p.values(o.name);
            if (given.size() > 1)
                throw UsageError{QStringLiteral("параметр --%1 указан %2 раза (%3); укажите его один раз")
                                     .arg(o.name)
                                     .arg(given.size())
                                     .arg(given.join(QStringLiteral(", ")))};
        }
        if (p.isSet(QStringLiteral("help"))) {
            out(helpText());
            return kDone;
        }
        const QStringList words = p.positionalArguments();
        if (words.isEmpty()) throw UsageError{QStringLiteral("не указана команда")};
        for (const CommandDef& c : commands()) {
            if (c.word != words.front()) continue;
            const Args args(p, words);
            if (c.word != QLatin1String("import") && c.word != QLatin1String("report") &&
                c.word != QLatin1String("export") && c.word != QLatin1String("verify") && words.size() > 1)
                throw UsageError{QStringLiteral("лишние слова после «%1»: %2").arg(c.word, words.mid(1).join(u' '))};
            return c.run(args);
        }
        throw UsageError{QStringLiteral("неизвестная команда «%1»").arg(words.front())};
    } catch (const UsageError& e) {
        err(QStringLiteral("%1: %2").arg(kProgram, e.message));
        err(QStringLiteral("Справка: %1 --help").arg(kProgram));
        connection::closeShared();
        return kUsage;
    } catch (const RefusedInput&) {
        connection::closeShared();
        return kRefused;
    } catch (const DatabaseCannot&) {
        connection::closeShared();
        return kNoConnection;
    } catch (Exit code) {
        connection::closeShared();
        return code;
    } catch (const ClosedMonthError& e) {
        // The month lock refused a write: the input (its month), not the database, is at fault.
        err(QStringLiteral("%1: %2. В закрытый месяц ничего не записывается; ничего не записано.")
                .arg(kProgram, QString::fromStdString(e.what())));
        connection::closeShared();
        return kRefused;
    } catch (const DbError& e) {
        err(QStringLiteral("%1: %2").arg(kProgram, e.userText()));
        const QString more = seeLog();
        if (!more.isEmpty()) err(more);
        connection::closeShared();
        return kNoConnection;
    }
}

}  // namespace batch

}  // namespace mirn
