#include "core/application.h"

#include "gui/layout.h"
#include "gui/ui.h"
#include "export/excel.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <clocale>

namespace mirn {

MirnApplication::MirnApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool MirnApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const DbError& e) {
        ui::showDbError(e);
    } catch (const std::exception& e) {
        ui::showException(QString::fromUtf8(e.what()));
    } catch (...) {
        ui::showException(QString());
    }
    return false;
}

void setupApplication(QApplication& app) {
    app.setApplicationName(QStringLiteral("mirn"));
    app.setOrganizationName(QStringLiteral("mirn"));
    auto* qt = new QTranslator(&app);
    if (qt->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qt);
    // The workbook writer formats numbers with the C library's locale: keep a point.
    std::setlocale(LC_NUMERIC, "C");
    // The workbook operations' messages are message boxes in the client.
    workbook::setMessenger([](const QString& text, const QString& caption, workbook::NoteKind kind) {
        ui::message(text, caption, kind == workbook::NoteKind::Error ? ui::Icon::Error : ui::Icon::Information);
    });
    // Every workbook written: where it went, and its folder a click away.
    workbook::setFileNotice([](const QString& path, bool opened) { ui::workbookWritten(path, opened); });
    // Windows open where the user left them, never off the screen.
    layout::install();
}

}  // namespace mirn
