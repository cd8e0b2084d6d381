#include "core/application.h"
#include "gui/forms.h"
#include "core/startup.h"
#include "domain/session.h"
#include "journal/tform1.h"

#include <QLoggingCategory>

using namespace mirn;

int main(int argc, char** argv) {
    // --help and --version work without a display: read the command line first.
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    connection::CommandLine cmd;
    if (const int rc = startup::parseCommandLine(args, &cmd); rc >= 0) return rc;

    startup::installLog();
    qInfo().noquote() << "mirn" << startup::versionText() << "started, pid" << QCoreApplication::applicationPid();
    MirnApplication app(argc, argv);
    setupApplication(app);
    int rc = 0;
    // The build guard may have ended the application before its loop runs (an older
    // build, found by the sign-in window's first check): then the loop is not started.
    if (forms::form<TForm1>().FormCreate(cmd.database, cmd.server) && !app::terminated())
        rc = app.exec();
    forms::destroyAll();
    rc = app::terminated() ? app::exitCode() : rc;
    qInfo() << "mirn ended with code" << rc;
    startup::flushLog();
    return rc;
}
