#include "core/signin.h"

#include "core/buildguard.h"
#include "domain/buildstamp.h"
#include "core/datamodule.h"
#include "gui/forms.h"
#include "domain/session.h"
#include "gui/ui.h"
#include "domain/period.h"
#include "domain/schemaversion.h"
#include "domain/connection.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <utility>

namespace mirn {

TForm23::TForm23() {
    setWindowTitle(QStringLiteral("Авторизация"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    Edit1 = new QLineEdit(this);
    Edit1->setEchoMode(QLineEdit::Password);
    // Each typed character shows as "*", whatever the desktop's style would show.
    Edit1->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    Edit1->setMinimumWidth(220);
    Button1 = new QPushButton(QStringLiteral("Вход"), this);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Отмена"), this);
    Button2->setAutoDefault(false);
    Timer1 = new QTimer(this);
    Timer1->setInterval(5000);

    auto* lay = new QVBoxLayout(this);
    accounts_ = connection::pending();
    if (accounts_) {
        LoginEdit = new QLineEdit(connection::current().user, this);
        LoginEdit->setObjectName(QStringLiteral("LoginEdit"));
        auto* loginLabel = new QLabel(QStringLiteral("Пользователь:"), this);
        loginLabel->setBuddy(LoginEdit);
        lay->addWidget(loginLabel);
        lay->addWidget(LoginEdit);
        auto* passwordLabel = new QLabel(QStringLiteral("Пароль:"), this);
        passwordLabel->setBuddy(Edit1);
        lay->addWidget(passwordLabel);
        // A remembered login: the cursor waits in the password.
        if (!LoginEdit->text().isEmpty()) setFocusProxy(Edit1);
    } else {
        lay->addWidget(new QLabel(QStringLiteral("Код доступа:"), this));
    }
    lay->addWidget(Edit1);
    if (accounts_) {
        RememberBox = new QCheckBox(QStringLiteral("Запомнить пароль"), this);
        RememberBox->setObjectName(QStringLiteral("RememberBox"));
        lay->addWidget(RememberBox);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    lay->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(320, 0)));

    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, ui::guard([this] { Button2Click(); }));
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    if (accounts_) {
        connect(LoginEdit, &QLineEdit::editingFinished, this, [this] { recallPassword(); });
        // A typed password is the person's own: another login does not take it away.
        connect(Edit1, &QLineEdit::textEdited, this, [this] { recalled_ = false; });
        recallPassword();
    }
}

keyring::Account TForm23::accountOf(const QString& login) const {
    const connection::Params& p = connection::current();
    return keyring::Account{p.host, p.port, p.database, login};
}

void TForm23::recallPassword() {
    const QString login = LoginEdit->text().trimmed();
    if (login == lookedUp_) return;
    lookedUp_ = login;
    if (std::exchange(recalled_, false)) {
        Edit1->clear();
        RememberBox->setChecked(false);
    }
    // A password the person typed already is theirs to try.
    if (login.isEmpty() || !Edit1->text().isEmpty()) return;
    const keyring::Result r = keyring::read(accountOf(login));
    noKeyring_ = r.status == keyring::Status::Unavailable;
    if (!r.ok()) return;
    Edit1->setText(r.password);
    RememberBox->setChecked(true);
    recalled_ = true;
}

void TForm23::keepPassword(const QString& login, const QString& password) {
    const keyring::Account a = accountOf(login);
    if (!RememberBox->isChecked()) {
        // Without a keyring nothing was kept there either.
        if (!noKeyring_) keyring::remove(a);
        return;
    }
    // The keyring's own password, unchanged, is there already.
    if (recalled_) return;
    if (keyring::write(a, password).status == keyring::Status::Unavailable)
        ui::message(keyring::kUnavailableText, QStringLiteral("Запомнить пароль"), ui::Icon::Warning);
}

void TForm23::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    checkedOnShow_ = true;
    ui::guard([this] { FormActivate(); })();
}

void TForm23::changeEvent(QEvent* e) {
    QDialog::changeEvent(e);
    if (e->type() != QEvent::ActivationChange) return;
    if (!isActiveWindow()) {
        checkedOnShow_ = false;
        return;
    }
    // Every activation runs the build guard, except the one that follows the showing.
    if (std::exchange(checkedOnShow_, false)) return;
    ui::guard([this] { FormActivate(); })();
}

void TForm23::FormActivate() {
    // An application already ending (an older build found) checks nothing more.
    if (app::terminated()) return;
    // Accounts mode: no connection before the sign-in; the guard runs right after it.
    if (!connection::pending()) buildguard::check();
    setWindowTitle(buildstamp::signInCaption(buildguard::buildDate(), buildguard::buildTime()));
}

void TForm23::Timer1Timer() { app::terminate(3); }

void TForm23::lockOut() {
    setEnabled(false);
    Timer1->setSingleShot(true);
    Timer1->start();
}

Role TForm23::signInWithAccount() {
    connection::Params p = connection::current();
    const QString login = LoginEdit->text().trimmed();
    if (login.isEmpty() || Edit1->text().isEmpty()) return Role::None;
    p.user = login;
    p.password = Edit1->text();
    p.atSignIn = false;
    QString why;
    if (!connection::open(p, &why)) {
        qInfo().noquote() << "sign-in refused for" << login << ":" << why;
        // Still waiting for a sign-in, with the same server.
        p.user = connection::current().user;
        p.password.clear();
        p.atSignIn = true;
        connection::open(p);
        return Role::None;
    }
    buildguard::check();
    if (app::terminated()) return Role::None;
    const Role role = roleOfLogin();
    if (role == Role::None) {
        qInfo().noquote() << "sign-in refused for" << login << ": in no group of the program";
        p.user = connection::current().user;
        p.password.clear();
        p.atSignIn = true;
        connection::open(p);
    }
    return role;
}

void TForm23::Button1Click() {
    const QString code = Edit1->text().trimmed();
    Role role = Role::None;
    if (accounts_) {
        role = signInWithAccount();
        if (app::terminated()) return;
        // The foremen's code also keeps the journal's confirmation off: the same for their login.
        if (target_) target_->signInAttempt(role == Role::Foremen ? kForemenCode : LoginEdit->text().trimmed());
    } else {
        if (target_) target_->signInAttempt(code);
        role = roleForCode(code);
    }
    auto setOk = [] {
        for (Query* q : {&dm().Smena1, &dm().Smena2, &dm().Smena3, &dm().Smena4})
            q->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
    };
    if (role == Role::None) {
        qInfo() << "sign-in refused: wrong code";
        setOk();
        ui::error(QStringLiteral("Введены неверные данные."));
        return;
    }
    if (accounts_) keepPassword(LoginEdit->text().trimmed(), Edit1->text());
    if (target_) target_->applyRole(role);
    // The summary reports window applies the role's restrictions from here on.
    session().role = role;
    static const char* const names[] = {"none", "viewer", "foremen", "finished goods", "administrator"};
    qInfo() << "signed in as" << names[int(role)];
    // Closed months and history, when the database has them; their controls show from here on.
    period::signIn(role);
    checkSchemaVersion(role);
    setOk();
    openJournal();
}

void TForm23::checkSchemaVersion(Role role) {
    const auto mismatches = schemaversion::check();
    if (mismatches.empty()) return;
    const QString text = schemaversion::message(mismatches);
    qWarning().noquote() << "database scripts differ from this build:" << text;
    // Only the administrator can run the scripts; the others work on as before.
    if (role == Role::Administrator) ui::error(text, QStringLiteral("Версия базы данных"));
}

void TForm23::openJournal() {
    hide();
    if (target_) target_->openAfterSignIn();
    close();
}

void TForm23::closeEvent(QCloseEvent* e) {
    QDialog::closeEvent(e);
    // The sign-in window is the main window: closing it ends the application.
    QCoreApplication::quit();
}

}  // namespace mirn
