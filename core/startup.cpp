#include "core/startup.h"

#include "domain/buildstamp.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <cstdio>
#include <memory>

namespace mirn {

#ifndef MIRN_VERSION
#define MIRN_VERSION "0"
#endif

namespace startup {
namespace {
// A few files of a fixed size: enough for weeks of work, small enough to mail.
constexpr std::size_t kLogFileSize = 1024 * 1024;
constexpr std::size_t kLogFiles = 2;  // rotated ones, besides the current file

std::shared_ptr<spdlog::logger> g_log;
QtMessageHandler g_previous = nullptr;

void handler(QtMsgType type, const QMessageLogContext& ctx, const QString& msg) {
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
        if (type == QtFatalMsg) g_log->flush();
    }
    // Standard error keeps only what may need a look; the file has everything.
    if (g_previous && (type != QtInfoMsg && type != QtDebugMsg)) g_previous(type, ctx, msg);
}

QString usage() {
    return QStringLiteral(
        "Использование: mirn [параметры] [база_данных сервер]\n"
        "Клиент учёта сдельных работ производственного отдела.\n"
        "\n"
        "Параметры:\n"
        "  -h, --help     показать эту справку и выйти\n"
        "  -v, --version  показать версию и сборку и выйти\n"
        "\n"
        "Аргументы:\n"
        "  база_данных    имя базы данных (учитывается, только если указан сервер)\n"
        "  сервер         адрес сервера базы данных\n"
        "\n"
        "Подключение берётся (по убыванию старшинства) из командной строки, переменных\n"
        "PGHOST, PGPORT, PGDATABASE, PGUSER, PGPASSWORD, PGPASSFILE, PGSSLMODE, PGSSLROOTCERT,\n"
        "файла пользователя ~/.config/mirn/mirn.conf и системного файла\n"
        "/etc/xdg/mirn/mirn.conf; чего нет нигде, берётся по умолчанию.\n"
        "Журнал для службы поддержки: ~/.local/state/mirn/mirn.log\n");
}

void print(FILE* to, const QString& text) {
    const QByteArray b = text.toLocal8Bit();
    std::fwrite(b.constData(), 1, size_t(b.size()), to);
    std::fflush(to);
}
}  // namespace

QString versionText() {
    const int d = buildstamp::dateFromText(buildstamp::compileDate());
    const int t = buildstamp::timeFromText(buildstamp::compileTime());
    return QStringLiteral(MIRN_VERSION " (сборка %1.%2)").arg(d).arg(t);
}

int parseCommandLine(const QStringList& args, connection::CommandLine* out) {
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("показать эту справку и выйти"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("показать версию и выйти"));
    p.addOption(help);
    p.addOption(version);
    p.addPositionalArgument(QStringLiteral("база_данных"), QStringLiteral("имя базы данных"));
    p.addPositionalArgument(QStringLiteral("сервер"), QStringLiteral("адрес сервера"));
    if (!p.parse(args)) {
        QString why;
        if (!p.unknownOptionNames().isEmpty())
            why = QStringLiteral("mirn: неизвестный параметр «%1»\n").arg(p.unknownOptionNames().first());
        else
            why = QStringLiteral("mirn: неверная командная строка\n");
        print(stderr, why + QLatin1Char('\n') + usage());
        return 2;
    }
    if (p.isSet(help)) {
        print(stdout, usage());
        return 0;
    }
    if (p.isSet(version)) {
        print(stdout, QStringLiteral("mirn ") + versionText() + QLatin1Char('\n'));
        return 0;
    }
    const QStringList pos = p.positionalArguments();
    if (pos.size() > 2) {
        print(stderr, QStringLiteral("mirn: лишний аргумент «%1»\n\n").arg(pos[2]) + usage());
        return 2;
    }
    out->database = pos.value(0);
    out->server = pos.value(1);
    return -1;
}

QString logFilePath(const QProcessEnvironment& env) {
    QString base = env.value(QStringLiteral("XDG_STATE_HOME"));
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = env.value(QStringLiteral("HOME"), QDir::homePath()) + QStringLiteral("/.local/state");
    return base + QStringLiteral("/mirn/mirn.log");
}

void installLog(const QString& path) {
    if (g_log) {
        spdlog::drop(g_log->name());
        g_log.reset();
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    try {
        auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(path.toStdString(), kLogFileSize,
                                                                           kLogFiles);
        g_log = std::make_shared<spdlog::logger>("mirn", sink);
        g_log->set_pattern("%Y-%m-%d %H:%M:%S.%e %P %-7l %v");
        g_log->set_level(spdlog::level::info);
        // Every line reaches the file at once: a killed or crashed client keeps its last words.
        g_log->flush_on(spdlog::level::info);
    } catch (const spdlog::spdlog_ex& e) {
        // No log is no reason to refuse work: say so on standard error and go on.
        std::fprintf(stderr, "mirn: no support log at %s: %s\n", path.toLocal8Bit().constData(), e.what());
        g_log.reset();
    }
    QtMessageHandler before = qInstallMessageHandler(handler);
    if (before != handler) g_previous = before;
}

void flushLog() {
    if (g_log) g_log->flush();
}

}  // namespace startup

}  // namespace mirn
