// mirn-batch: the administrator's front end for scripts and nightly jobs. It runs the
// same domain code, layouts and workbooks as the client, without widgets and without a
// display, and answers with an exit status: 0 done, 1 input refused, 2 usage error,
// 3 no connection (or the database failed the work), 130 an import stopped by Ctrl+C
// (nothing stored).
#include "batch/commands.h"

#include "domain/buildstamp.h"
#include "domain/db.h"
#include "export/xlsx_file.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QProcessEnvironment>
#include <QTranslator>

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <cstdio>
#include <memory>

using namespace mirn;

namespace {

// The support log, beside the client's: the client's own file is not shared, since two
// programs rotating one file would lose lines.
constexpr std::size_t kLogFileSize = 1024 * 1024;
constexpr std::size_t kLogFiles = 2;  // rotated ones, besides the current file
std::shared_ptr<spdlog::logger> g_log;

QString logFilePath() {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QString base = env.value(QStringLiteral("XDG_STATE_HOME"));
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = env.value(QStringLiteral("HOME"), QDir::homePath()) + QStringLiteral("/.local/state");
    return base + QStringLiteral("/mirn/mirn-batch.log");
}

bool openLog(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    try {
        auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(path.toStdString(), kLogFileSize, kLogFiles);
        g_log = std::make_shared<spdlog::logger>("mirn-batch", sink);
        g_log->set_pattern("%Y-%m-%d %H:%M:%S.%e %P %-7l %v");
        g_log->set_level(spdlog::level::info);
        g_log->flush_on(spdlog::level::info);
        return true;
    } catch (const spdlog::spdlog_ex&) {
        g_log.reset();
        return false;
    }
}

// Every message goes to the support log, in the words of the code that wrote it (English,
// with the server's text). Standard error is for the Russian messages of the commands:
// a technical line reaches it only when there is no log to keep it, or when it is fatal.
void messageHandler(QtMsgType type, const QMessageLogContext& ctx, const QString& msg) {
    // Over SSH and from cron there is no session runtime folder; Qt's notice about it says
    // nothing about the work done.
    if (msg.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))) return;
    if (g_log) {
        spdlog::level::level_enum level = spdlog::level::info;
        switch (type) {
        case QtDebugMsg: level = spdlog::level::debug; break;
        case QtInfoMsg: level = spdlog::level::info; break;
        case QtWarningMsg: level = spdlog::level::warn; break;
        case QtCriticalMsg: level = spdlog::level::err; break;
        case QtFatalMsg: level = spdlog::level::critical; break;
        }
        const char* cat = ctx.category && *ctx.category ? ctx.category : "default";
        g_log->log(level, "{}: {}", cat, msg.toStdString());
    }
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    if (g_log && type == QtWarningMsg) return;
    std::fputs(qUtf8Printable(msg + QLatin1Char('\n')), stderr);
}

}  // namespace

int main(int argc, char** argv) {
    // Nothing is ever shown: the offscreen platform needs no display, so the program runs
    // over SSH and from cron; an explicit QT_QPA_PLATFORM still wins.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString log = logFilePath();
    if (openLog(log)) batch::setLogPath(log);
    qInstallMessageHandler(messageHandler);
    QGuiApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("mirn-batch"));
    qInfo().noquote() << "mirn-batch" << buildstamp::dateFromText(buildstamp::compileDate())
                      << buildstamp::timeFromText(buildstamp::compileTime()) << "started, pid"
                      << QCoreApplication::applicationPid() << "|" << app.arguments().mid(1).join(QLatin1Char(' '));
    auto* qt = new QTranslator(&app);
    if (qt->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qt);
    // The workbook writer formats numbers with the C library's locale: keep a point.
    workbook::ensureCNumericLocale();
    const int rc = batch::run(app.arguments());
    qInfo() << "mirn-batch ended with code" << rc;
    if (g_log) g_log->flush();
    return rc;
}
