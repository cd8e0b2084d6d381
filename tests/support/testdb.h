#pragma once
// The application fixture of the window tests: the database fixture below, the
// application started on the database the way the client starts, and the message
// boxes and modal windows answered.
#include "gui/ui.h"
#include "support/database.h"

#include <QString>
#include <functional>

class QWidget;

namespace mirn {

namespace testdb {

// Gives the database the template's content (see createDatabase) and starts the
// application on it as the client does: the journal window with the data module and
// the connection, the sign-in window. Windows from an earlier start are destroyed first.
void startApp(const QString& name, bool demo = false);
void stopApp();

}  // namespace testdb

class TForm1;

// Signs in with a code (the administrator's by default); the journal's modal
// showing returns at once, leaving the journal open on today.
TForm1& signIn(const QString& code = QStringLiteral("9471"));

// Types text one key event per character (QTest::keyClicks cannot send Cyrillic).
void typeText(QWidget* w, const QString& text);

// Records every message box and answers it (Yes/OK unless told otherwise).
class MessageLog {
public:
    MessageLog();
    ~MessageLog();
    QList<ui::Message> messages;
    QList<QMessageBox::StandardButton> answers;  // taken in order; then Yes/OK
    void clear() { messages.clear(); }
    QString lastText() const { return messages.isEmpty() ? QString() : messages.last().text; }
    QString lastDetails() const { return messages.isEmpty() ? QString() : messages.last().details; }
    // A database error as shown: the server's words in the details under a Russian
    // sentence of what failed; empty when the last box is not such an error.
    QString lastFailure() const {
        // The details hold the server's words, a blank line, then the statement.
        return lastText().startsWith(QStringLiteral("Не удалось")) ? lastDetails().section(QStringLiteral("\n\n"), 0, 0)
                                                                     : QString();
    }
    QStringList texts() const;
};

// Answers modal windows: the handler gets the window and returns its result.
// Without a handler a window is closed at once with Rejected.
class ModalScript {
public:
    using Handler = std::function<int(QDialog*)>;
    explicit ModalScript(Handler h = {});
    ~ModalScript();
    void setHandler(Handler h) { handler_ = std::move(h); }
    QList<QDialog*> shown;

private:
    Handler handler_;
};

}  // namespace mirn
