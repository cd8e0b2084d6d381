// How the client feels at a distance from its server: each user action's time and round
// trips with 0, 1 and 5 ms of round-trip delay between them, put there by a forwarding
// proxy on 127.0.0.1 (bench/delay_proxy.h) that the client connects through. The whole
// client on the demo database, offscreen, driven through its windows' own handlers; the
// proxy's count of round trips stands beside the server's log of the same session.
// Time added by the delay, per round trip and per ms of delay, should come out near 1.
// Usage: bench_network [repetitions] [--statements]  (the latter lists the statements the
// server logged for each action, once)  (needs the test server and MIRN_PG_DIR, see
// scripts/test.sh; the server's log must be $MIRN_PG_DIR/server.log)
#include "delay_proxy.h"

#include "core/datamodule.h"
#include "core/signin.h"
#include "domain/connection.h"
#include "domain/entry_rules.h"
#include "domain/session.h"
#include "gui/forms.h"
#include "gui/preview.h"
#include "journal/tform1.h"
#include "journal/tform11.h"
#include "refbooks/tform4.h"
#include "refbooks/tform5.h"
#include "reports/tform18.h"
#include "support/server_log.h"
#include "support/testdb.h"
#include "timesheet/tform19.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

using namespace mirn;

namespace {
constexpr int kDelaysMs[] = {0, 1, 5};
constexpr int kDelays = 3;

struct Sample {
    double ms = 0;
    long trips = 0;        // as the proxy counted them
    long logged = -1;      // as the server logged them (-1: before the session could be logged)
    long connections = 0;  // opened through the proxy meanwhile
    double serverMs = 0;   // the server's part of the round trips, as the proxy saw it
};

struct Action {
    const char* name;
    std::vector<Sample> samples[kDelays];
};

[[noreturn]] void fail(const QString& what) {
    std::fprintf(stderr, "bench_network: %s\n", qPrintable(what));
    std::fflush(stdout);
    std::exit(1);
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

QString loadAverage() {
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("?");
    return QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 0, 2);
}

// One action at a time: its clock, the proxy's counts and the server's log.
class Stopwatch {
public:
    std::vector<Action> actions;
    bench::DelayProxy* proxy = nullptr;
    testdb::ServerLog* log = nullptr;
    int delay = 0;  // index into kDelaysMs
    bool listStatements = false;

    void start() {
        if (running_) fail(QStringLiteral("an action started inside another"));
        running_ = true;
        if (log) log->mark();
        trips_ = proxy->roundTrips();
        connections_ = proxy->connections();
        server_ = proxy->serverTime();
        timer_.start();
    }
    void stop(const char* name) {
        const double ms = double(timer_.nsecsElapsed()) / 1e6;
        if (!running_) fail(QStringLiteral("an action stopped that never started: ") + QString::fromUtf8(name));
        running_ = false;
        Sample s;
        s.ms = ms;
        s.trips = proxy->roundTrips() - trips_;
        s.connections = proxy->connections() - connections_;
        s.serverMs = double((proxy->serverTime() - server_).count()) / 1e6;
        s.logged = log ? log->roundTrips() : -1;
        Action& a = find(name);
        a.samples[delay].push_back(s);
        if (listStatements && log && delay == 0 && a.samples[delay].size() == 1) {
            std::printf("-- %s: %ld round trips\n", name, s.trips);
            for (const QString& st : log->statements()) std::printf("   %s\n", qPrintable(st.left(150)));
        }
    }

private:
    Action& find(const char* name) {
        for (Action& a : actions)
            if (qstrcmp(a.name, name) == 0) return a;
        actions.push_back(Action{name, {}});
        return actions.back();
    }
    QElapsedTimer timer_;
    bool running_ = false;
    long trips_ = 0;
    long connections_ = 0;
    std::chrono::nanoseconds server_{0};
};

const char* const kStart = "start: connect, sign-in window shown";
const char* const kSignIn = "sign-in (Вход) -> journal on today";
const char* const kDateSwitch = "journal date switch (date box, one day)";
const char* const kAddOpen = "Добавить -> entry dialog shown";
const char* const kAddSave = "new entry saved (Запись)";
const char* const kEditOpen = "Изменить -> entry dialog shown";
const char* const kEditSave = "entry changed (Запись)";
const char* const kBack = "window closed -> journal re-read";
const char* const kDelete = "entry deleted (Удалить, confirmed)";
const char* const kTimesheet = "Табель по времени -> month shown";
const char* const kWorkers = "Справочники/Рабочие -> list shown";
const char* const kReports = "Сводные отчеты -> window shown";
const char* const kPreview = "Отчет по рабочим -> preview shown";

void quiet(const MessageLog& messages, const char* after) {
    if (!messages.messages.isEmpty())
        fail(QStringLiteral("a message after \"%1\": %2 %3")
                 .arg(QString::fromUtf8(after), messages.lastText(), messages.lastDetails()));
}

// A window as exec() would show it: shown and painted.
void showWindow(QDialog* d) {
    d->show();
    QCoreApplication::processEvents();
}

// One run of the client through the proxy: start, sign-in, and every action once.
void runClient(Stopwatch& sw, const QString& db) {
    testdb::stopApp();
    testdb::createDatabase(db, true);
    app::testing::resetTerminated();
    mirn::session().role = Role::None;
    // The client takes the port from PGPORT (its command line gives the host only); the
    // fixture's own connections go straight to the server again afterwards.
    const QByteArray serverPort = qgetenv("PGPORT");
    qputenv("PGPORT", QByteArray::number(sw.proxy->port()));
    sw.start();
    const bool up = forms::form<TForm1>().FormCreate(db, QStringLiteral("127.0.0.1"));
    sw.stop(kStart);
    qputenv("PGPORT", serverPort);
    if (!up) fail(QStringLiteral("the client could not connect through the proxy"));
    if (connection::current().port != sw.proxy->port()) fail(QStringLiteral("the client is not on the proxy's port"));

    std::optional<testdb::ServerLog> log;
    log.emplace(QSqlDatabase::database(kConnectionName));
    sw.log = &*log;
    MessageLog messages;

    sw.start();
    TForm1& f1 = signIn();
    sw.stop(kSignIn);
    quiet(messages, kSignIn);
    if (!dm().Smena1.active()) fail(QStringLiteral("the journal did not open"));

    // The date box stepped a day and back, by its keys, as a user does.
    {
        QDateEdit* box = f1.DateT;
        const QDate today = box->date();
        box->setCurrentSection(QDateTimeEdit::DaySection);
        const int step = today.day() > 1 ? -1 : 1;
        for (const int there : {1, 0}) {
            const bool down = (there == 1) == (step < 0);
            const QDate want = today.addDays(there * step);
            sw.start();
            QTest::keyClick(box, down ? Qt::Key_Down : Qt::Key_Up);
            sw.stop(kDateSwitch);
            quiet(messages, kDateSwitch);
            const QVariant read = dm().Smena1.param(QStringLiteral("data"));
            if (box->date() != want || (read.isValid() && read.toDate() != want))
                fail(QStringLiteral("the date box did not switch the journal to ") + want.toString(Qt::ISODate));
        }
    }

    // A worker without an entry in the shown shift today (no duplicate can be refused) and
    // a priced operation, from the lists the dialog's pickers read.
    Query& shown = dm().shiftQuery(f1.CurrentShift);
    QSet<int> busy;
    for (int r = 0; r < shown.recordCount(); ++r) busy << toInt(shown.value(r, QStringLiteral("w_id")));
    WorkerPick worker;
    {
        Query& w = dm().Workers;
        w.open();
        for (int r = 0; r < w.recordCount() && !worker.id; ++r)
            if (!busy.contains(toInt(w.value(r, QStringLiteral("id")))))
                worker = {toInt(w.value(r, QStringLiteral("id"))), w.value(r, QStringLiteral("fio")).toString().trimmed()};
        w.close();
    }
    std::optional<TForm4::Pick> operation;
    {
        Query& o = dm().Oper;
        o.open();
        for (int r = 0; r < o.recordCount() && !operation; ++r) {
            TForm4::Pick p{toInt(o.value(r, QStringLiteral("id"))), toInt(o.value(r, QStringLiteral("i_id"))),
                           o.value(r, QStringLiteral("cena")), o.value(r, QStringLiteral("MARKA")).toString(),
                           o.value(r, QStringLiteral("VID")).toString(), toInt(o.value(r, QStringLiteral("NAIMEN")))};
            if (!p.basePrice.isNull() && !entry::isPaintOperation(entry::operationDescription(p.marka, p.vid, p.naimen)))
                operation = p;
        }
        o.close();
    }
    if (!worker.id || !operation) fail(QStringLiteral("the demo database has no free worker or priced operation"));

    ModalScript modal([&](QDialog* d) -> int {
        showWindow(d);
        if (auto* f11 = qobject_cast<TForm11*>(d)) {
            const bool isNew = f11->Tag == 1;
            sw.stop(isNew ? kAddOpen : kEditOpen);
            if (isNew) {
                // What the worker and the operation pickers set.
                f11->w_id = worker.id;
                f11->Edit1->setText(worker.fio);
                f11->takeOperation(*operation);
                f11->Edit3->setText(QStringLiteral("3"));
                f11->Edit4->setText(QStringLiteral("0"));
                f11->Edit6->setText(QStringLiteral("1"));
            } else {
                f11->Edit3->setText(QStringLiteral("4"));
            }
            sw.start();
            f11->Button1Click();
            sw.stop(isNew ? kAddSave : kEditSave);
            quiet(messages, isNew ? kAddSave : kEditSave);
            if (f11->result() != QDialog::Accepted) fail(QStringLiteral("the entry dialog did not save"));
            sw.start();
            return QDialog::Accepted;
        }
        if (auto* f19 = qobject_cast<TForm19*>(d)) {
            sw.stop(kTimesheet);
            if (!f19->DataSource1->active()) fail(QStringLiteral("the timesheet shows no month"));
        } else if (qobject_cast<TForm5*>(d)) {
            sw.stop(kWorkers);
            if (dm().Workers.isEmpty()) fail(QStringLiteral("the workers list is empty"));
        } else if (auto* f18 = qobject_cast<TForm18*>(d)) {
            sw.stop(kReports);
            sw.start();
            f18->Button4Click();  // stopped when the preview shows
            quiet(messages, kPreview);
        } else if (auto* preview = qobject_cast<rpt::PagedPreview*>(d)) {
            sw.stop(kPreview);
            if (preview->pageCount() < 1) fail(QStringLiteral("the preview has no page"));
            d->hide();
            return QDialog::Rejected;
        } else {
            fail(QStringLiteral("an unexpected window: ") + QString::fromLatin1(d->metaObject()->className()));
        }
        d->hide();
        sw.start();
        return QDialog::Rejected;
    });

    // A new entry; the journal then stands on today again and shows it.
    sw.start();
    f1.Button1Click();
    sw.stop(kBack);
    quiet(messages, kBack);
    const int id = testdb::scalarInt(QStringLiteral("select max(id) from accounts_dep.smena where w_id = %1").arg(worker.id));
    auto standOnEntry = [&] {
        if (!dm().shiftQuery(f1.CurrentShift).locate(QStringLiteral("id"), id))
            fail(QStringLiteral("the journal does not show the saved entry"));
    };
    standOnEntry();

    sw.start();
    f1.Button2Click();
    sw.stop(kBack);
    quiet(messages, kBack);
    if (testdb::scalarInt(QStringLiteral("select kol_vo from accounts_dep.smena where id = %1").arg(id)) != 4)
        fail(QStringLiteral("the change was not stored"));

    standOnEntry();
    sw.start();
    f1.Button3Click();
    sw.stop(kDelete);
    if (messages.messages.size() != 1) fail(QStringLiteral("the delete asked nothing or said more: ") + messages.lastText());
    messages.clear();
    if (testdb::scalarInt(QStringLiteral("select count(*) from accounts_dep.smena where id = %1").arg(id)) != 0)
        fail(QStringLiteral("the entry was not deleted"));

    for (QAction* menu : {f1.N11, f1.N1, f1.N10}) {
        sw.start();
        menu->trigger();
        sw.stop(kBack);
        quiet(messages, kBack);
    }

    sw.log = nullptr;
    log.reset();  // before the connection goes: it resets what it set
}

// A bare statement's round trip through the proxy: what one round trip costs.
double bareStatementMs() {
    QSqlQuery q(QSqlDatabase::database(kConnectionName));
    std::vector<double> ms;
    for (int i = 0; i < 21; ++i) {
        QElapsedTimer t;
        t.start();
        if (!q.exec(QStringLiteral("select 1"))) fail(QStringLiteral("select 1 failed"));
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return median(ms);
}

QString range(const std::vector<long>& v) {
    if (v.empty()) return QStringLiteral("-");
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    if (*lo < 0) return QStringLiteral("-");
    return *lo == *hi ? QString::number(*lo) : QStringLiteral("%1-%2").arg(*lo).arg(*hi);
}

// Fixed-width columns for a text with Cyrillic letters (printf counts bytes).
QString padded(const QString& s, int width) { return s.leftJustified(width); }
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The windows remember their layout in the user's settings: not this user's.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QApplication app(argc, argv);
    // The client's own log of every statement would bury the table.
    QLoggingCategory::setFilterRules(QStringLiteral("*.info=false\nqt.qpa.*=false"));
    int reps = 5;
    Stopwatch sw;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--statements") == 0) sw.listStatements = true;
        else reps = std::max(1, std::atoi(argv[i]));
    }
    const QString db = testdb::dbName(QStringLiteral("b_network"));
    const std::string serverHost = testdb::host().toStdString();
    const int serverPort = qEnvironmentVariableIsSet("PGPORT") ? qEnvironmentVariableIntValue("PGPORT") : 5432;
    const QString loadBefore = loadAverage();

    // One proxy per delay, all up at once, and the delays taken in turn in every run: a
    // change of the machine's load meanwhile falls on each of them alike.
    std::vector<std::unique_ptr<bench::DelayProxy>> proxies;
    for (const int ms : kDelaysMs)
        proxies.push_back(std::make_unique<bench::DelayProxy>(serverHost, serverPort, std::chrono::milliseconds(ms)));
    // The first start of the windows in a process pays for fonts, styles and caches.
    {
        sw.proxy = proxies[0].get();
        const bool list = std::exchange(sw.listStatements, false);
        runClient(sw, db);
        for (Action& a : sw.actions) a.samples[0].clear();
        sw.listStatements = list;
    }
    std::vector<double> bareRuns[kDelays];
    for (int r = 0; r < reps; ++r) {
        for (int d = 0; d < kDelays; ++d) {
            sw.proxy = proxies[size_t(d)].get();
            sw.delay = d;
            runClient(sw, db);
            bareRuns[d].push_back(bareStatementMs());
        }
        std::fprintf(stderr, "run %d of %d done\n", r + 1, reps);
    }
    testdb::stopApp();
    sw.proxy = nullptr;
    double bare[kDelays] = {};
    bench::DelayProxy::Lateness late[kDelays];
    long connections[kDelays] = {};
    bool realTime = true;
    for (int d = 0; d < kDelays; ++d) {
        bare[d] = median(bareRuns[d]);
        late[d] = proxies[size_t(d)]->lateness();
        connections[d] = proxies[size_t(d)]->connections();
        realTime = realTime && proxies[size_t(d)]->realTime();
    }
    proxies.clear();
    const QString loadAfter = loadAverage();

    std::printf("Round trips and time of each user action through a proxy adding 0 / 1 / 5 ms of round-trip\n"
                "delay; median of %d runs (the date switch twice a run, the return to the journal five times).\n"
                "Load average before %s, after %s.\n\n",
                reps, qPrintable(loadBefore), qPrintable(loadAfter));
    const int nameWidth = 42;
    std::printf("%s %6s %6s %9s %9s %9s   %s\n", qPrintable(padded(QStringLiteral("action"), nameWidth)), "trips",
                "log", "0 ms", "1 ms", "5 ms", "added ms per trip and ms of delay: at 1, at 5");
    bool countsAgree = true;
    for (const Action& a : sw.actions) {
        std::vector<long> trips, logged;
        double ms[kDelays];
        for (int d = 0; d < kDelays; ++d) {
            std::vector<double> t;
            for (const Sample& s : a.samples[d]) {
                t.push_back(s.ms);
                trips.push_back(s.trips);
                logged.push_back(s.logged);
                // The log sees the session's statements only, not a connection's start.
                if (s.logged >= 0 && (s.logged != s.trips || s.connections != 0)) countsAgree = false;
            }
            ms[d] = median(t);
        }
        std::vector<long> sorted = trips;
        std::sort(sorted.begin(), sorted.end());
        const double n = double(sorted[sorted.size() / 2]);
        auto perTrip = [&](int d) {
            return n > 0 ? QString::asprintf("%5.2f", (ms[d] - ms[0]) / (n * kDelaysMs[d])) : QStringLiteral("    -");
        };
        std::printf("%s %6s %6s %9.2f %9.2f %9.2f   %s %s\n", qPrintable(padded(QString::fromUtf8(a.name), nameWidth)),
                    qPrintable(range(trips)), qPrintable(range(logged)), ms[0], ms[1], ms[2], qPrintable(perTrip(1)),
                    qPrintable(perTrip(2)));
    }
    std::printf("\ntrips: counted by the proxy (a client burst answered by the server); log: the statements the\n"
                "server logged for the session (a connection's start is no statement). The two %s.\n",
                countsAgree ? "agree for every logged action" : "DISAGREE somewhere (see the columns)");
    std::printf("A bare statement (select 1) through the proxy:");
    for (int d = 0; d < kDelays; ++d) std::printf(" %.3f ms at %d ms;", bare[d], kDelaysMs[d]);
    for (int d = 1; d < kDelays; ++d) std::printf(" %.3f ms added by %d ms;", bare[d] - bare[0], kDelaysMs[d]);
    std::printf("\nThe proxy's hold (%s), beyond its due time:",
                realTime ? "real-time priority" : "normal priority: no real-time one allowed");
    for (int d = 0; d < kDelays; ++d)
        std::printf(" at %d ms mean %.1f us, max %.1f us over %ld chunks (%ld connections);", kDelaysMs[d],
                    late[d].meanUs, late[d].maxUs, late[d].chunks, connections[d]);
    std::printf("\n");
    // Where a round trip's time goes beyond the delay: the server's answer (as the proxy
    // saw it), and the rest (the client, waking up, the proxy's hold) from the totals.
    std::printf("Per round trip of the actions:");
    double base = 0;
    for (int d = 0; d < kDelays; ++d) {
        double ms = 0, server = 0;
        long trips = 0;
        for (const Action& a : sw.actions)
            for (const Sample& s : a.samples[d]) {
                ms += s.ms;
                server += s.serverMs;
                trips += s.trips;
            }
        if (trips == 0) continue;
        if (d == 0) base = ms / double(trips);
        std::printf(" at %d ms the server %.3f ms, all %.3f ms (%+.3f ms beside 0 ms);", kDelaysMs[d],
                    server / double(trips), ms / double(trips), ms / double(trips) - base);
    }
    std::printf("\n");
    return countsAgree ? 0 : 1;
}
