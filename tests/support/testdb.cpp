#include "support/testdb.h"

#include "domain/connection.h"
#include "core/datamodule.h"
#include "gui/forms.h"
#include "domain/session.h"
#include "core/signin.h"
#include "journal/tform1.h"

#include <QApplication>
#include <QKeyEvent>

namespace mirn {

namespace testdb {

void startApp(const QString& name, bool demo) {
    stopApp();
    createDatabase(name, demo);
    app::testing::resetTerminated();
    session().role = Role::None;
    if (!forms::form<TForm1>().FormCreate(name, host()))
        throw DbError(QStringLiteral("the application could not connect to ") + name);
}

void stopApp() {
    forms::destroyAll();
    connection::closeShared();
}

}  // namespace testdb

MessageLog::MessageLog() {
    ui::testing::setMessageHook([this](const ui::Message& m) {
        messages << m;
        if (!answers.isEmpty()) return answers.takeFirst();
        return m.buttons == ui::Buttons::YesNo ? QMessageBox::Yes : QMessageBox::Ok;
    });
}

MessageLog::~MessageLog() { ui::testing::setMessageHook({}); }

QStringList MessageLog::texts() const {
    QStringList t;
    for (const auto& m : messages) t << m.text;
    return t;
}

ModalScript::ModalScript(Handler h) : handler_(std::move(h)) {
    ui::testing::setModalHook([this](QDialog* d) {
        shown << d;
        return handler_ ? handler_(d) : int(QDialog::Rejected);
    });
}

ModalScript::~ModalScript() { ui::testing::setModalHook({}); }

TForm1& signIn(const QString& code) {
    ModalScript modal;
    TForm23& f23 = forms::form<TForm23>();
    f23.Edit1->setText(code);
    f23.Button1Click();
    return forms::form<TForm1>();
}

void typeText(QWidget* w, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
    }
}

}  // namespace mirn
