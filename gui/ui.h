#pragma once
// Message boxes, modal windows and error display in one place: production shows the
// real QMessageBox and runs exec(); tests install hooks and answer without a nested loop.
#include "domain/db.h"

#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

namespace mirn {

namespace ui {

enum class Icon { None, Information, Warning, Error, Question };
// OkOpenFolder: OK and "Открыть папку", which opens the folder of Message::path (the
// button's answer is QMessageBox::Open).
enum class Buttons { Ok, YesNo, OkOpenFolder };

struct Message {
    QString text;
    QString caption;
    Icon icon = Icon::Error;
    Buttons buttons = Buttons::Ok;
    QString details;  // the box's detailed text (the server's own words), empty for none
    QString path;     // the file a notice of a written file is about
};

using MessageHook = std::function<QMessageBox::StandardButton(const Message&)>;
using ModalHook = std::function<int(QDialog*)>;

// Shows a message box (or hands it to the hook). Returns the button pressed.
QMessageBox::StandardButton message(const QString& text, const QString& caption,
                                    Icon icon = Icon::Error, Buttons buttons = Buttons::Ok,
                                    const QString& details = QString());
// Error box with the error icon and OK.
void error(const QString& text, const QString& caption = QStringLiteral("Ошибка"),
           const QString& details = QString());
// A file was written: the text (which names it) with OK and "Открыть папку", which opens
// the folder holding path in the desktop's file manager.
void fileWritten(const QString& text, const QString& caption, const QString& path);
// The notice of a workbook written into path; opened tells whether a spreadsheet program
// took it (one that starts may still fail unseen, so the path is always given).
void workbookWritten(const QString& path, bool opened);
// The text of that notice: "<what> сохранён(а) в файл" and the path, native separators.
QString writtenText(const QString& what, const QString& path);
// Question before a delete: caption "Удаление", Yes/No; true only on Yes.
bool confirmDelete(const QString& text);

// Runs a window modally (or hands it to the hook) and returns its result code.
int execModal(QDialog* dlg);

// The application's standard error display for anything a handler did not catch;
// an error without text still says that the action failed.
void showException(const QString& text);
// A database error: a Russian sentence of what failed, the server's text as details.
void showDbError(const DbError& e);

// Wraps an event handler so that an error escaping it is shown and the application goes on.
template <class F>
auto guard(F f) {
    return [f = std::move(f)](auto&&... args) mutable {
        try {
            // Signals may carry more arguments than the handler takes.
            if constexpr (std::is_invocable_v<F&, decltype(args)...>)
                f(std::forward<decltype(args)>(args)...);
            else
                f();
        } catch (const DbError& e) {
            showDbError(e);
        } catch (const std::exception& e) {
            showException(QString::fromUtf8(e.what()));
        } catch (...) {
            showException(QString());
        }
    };
}

// The same for work nobody asked for (a timer): a lost connection goes to the log
// only, so a dead server does not bring a new box every tick; the user's next
// action says it once.
template <class F>
auto quietGuard(F f) {
    return [f = std::move(f)]() mutable {
        try {
            f();
        } catch (const DbError& e) {
            if (!e.connectionLost()) showDbError(e);
        } catch (const std::exception& e) {
            showException(QString::fromUtf8(e.what()));
        } catch (...) {
            showException(QString());
        }
    };
}

// An editor's layout: its group box above, the save button (default, Enter) and the
// close button (Esc) at the bottom right. Creates the two buttons.
void editorLayout(QDialog* dlg, QWidget* body, QPushButton*& save, const QString& saveCaption,
                  QPushButton*& close, const QString& closeCaption);

// Hourglass cursor for the lifetime of the object.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

namespace testing {
using FolderOpener = std::function<bool(const QString& folder)>;
void setFolderOpener(FolderOpener opener);  // empty restores the desktop's file manager
void setMessageHook(MessageHook hook);  // empty hook restores the real boxes
void setModalHook(ModalHook hook);      // empty hook restores exec()
}  // namespace testing

}  // namespace ui

}  // namespace mirn
