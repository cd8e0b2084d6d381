#include "core/signin.h"

#include "core/buildguard.h"
#include "domain/buildstamp.h"
#include "core/datamodule.h"
#include "gui/forms.h"
#include "domain/session.h"
#include "gui/ui.h"
#include "domain/period.h"
#include "domain/schemaversion.h"

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
    lay->addWidget(new QLabel(QStringLiteral("Код доступа:"), this));
    lay->addWidget(Edit1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    lay->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(320, 0)));

    connect(Button1, &QPushButton::clicked, this, ui::guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, ui::guard([this] { Button2Click(); }));
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
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
    buildguard::check();
    setWindowTitle(buildstamp::signInCaption(buildguard::buildDate(), buildguard::buildTime()));
}

void TForm23::Timer1Timer() { app::terminate(3); }

void TForm23::lockOut() {
    setEnabled(false);
    Timer1->setSingleShot(true);
    Timer1->start();
}

void TForm23::Button1Click() {
    const QString code = Edit1->text().trimmed();
    if (target_) target_->signInAttempt(code);
    const Role role = roleForCode(code);
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
