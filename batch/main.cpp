// mirn-batch: the administrator's front end for scripts and nightly jobs. It runs the
// same domain code, layouts and workbooks as the client, without widgets and without a
// display, and answers with an exit status: 0 done, 1 input refused, 2 usage error,
// 3 no connection (or the database failed the work).
#include "batch/commands.h"

#include "domain/db.h"
#include "export/xlsx_file.h"

#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

using namespace mirn;

namespace {

// Warnings of the libraries go to stderr as they are; chatter does not.
void messageHandler(QtMsgType type, const QMessageLogContext&, const QString& msg) {
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    // Over SSH and from cron there is no session runtime folder; Qt's notice about it says
    // nothing about the work done.
    if (msg.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))) return;
    std::fputs(qUtf8Printable(msg + QLatin1Char('\n')), stderr);
}

}  // namespace

int main(int argc, char** argv) {
    // Nothing is ever shown: the offscreen platform needs no display, so the program runs
    // over SSH and from cron; an explicit QT_QPA_PLATFORM still wins.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(messageHandler);
    QGuiApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("mirn-batch"));
    auto* qt = new QTranslator(&app);
    if (qt->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qt);
    // The workbook writer formats numbers with the C library's locale: keep a point.
    workbook::ensureCNumericLocale();
    return batch::run(app.arguments());
}
