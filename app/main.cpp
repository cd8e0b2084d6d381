#include "core/application.h"
#include "core/forms.h"
#include "domain/session.h"
#include "journal/tform1.h"

int main(int argc, char** argv) {
    MirnApplication app(argc, argv);
    setupApplication(app);
    const QStringList args = app.arguments();
    const QString arg1 = args.size() > 1 ? args[1] : QString();
    const QString arg2 = args.size() > 2 ? args[2] : QString();
    int rc = 0;
    // The build guard may have ended the application before its loop runs (an older
    // build, found by the sign-in window's first check): then the loop is not started.
    if (forms::form<TForm1>().FormCreate(arg1, arg2) && !app::terminated())
        rc = app.exec();
    forms::destroyAll();
    return app::terminated() ? app::exitCode() : rc;
}
