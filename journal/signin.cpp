#include "journal/signin.h"

#include "domain/buildstamp.h"
#include "core/datamodule.h"
#include "core/forms.h"
#include "domain/session.h"
#include "core/ui.h"
#include "domain/period.h"
#include "journal/tform1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <utility>

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
    TForm1& f1 = forms::form<TForm1>();
    f1.CheckBuildStamp();
    setWindowTitle(buildstamp::signInCaption(f1.BuildDate, f1.BuildTime));
}

void TForm23::Timer1Timer() { app::terminate(3); }

void TForm23::Button1Click() {
    TForm1& f1 = forms::form<TForm1>();
    // The journal opens on the shift chosen there (the last one used, restored at start-up).
    f1.CurrentShift = f1.RadioButton2->isChecked() ? 2 : f1.RadioButton3->isChecked() ? 3 : f1.RadioButton4->isChecked() ? 4 : 1;
    f1.SignInCode = Edit1->text().trimmed();
    const Role role = roleForCode(f1.SignInCode);
    auto setOk = [] {
        for (Query* q : {&dm().Smena1, &dm().Smena2, &dm().Smena3, &dm().Smena4})
            q->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
    };
    switch (role) {
    case Role::Viewer:
        for (QWidget* w : std::initializer_list<QWidget*>{
                 f1.Button1, f1.Button2, f1.Button3, f1.RadioButton1, f1.RadioButton2, f1.RadioButton3,
                 f1.RadioButton4, f1.CBox1, f1.Button8, f1.DBGrid2, f1.DateT})
            w->setEnabled(false);
        f1.N2->setEnabled(false);
        f1.N11->setEnabled(false);
        break;
    case Role::Foremen:
        f1.Button2->setEnabled(false);
        f1.Button3->setEnabled(false);
        f1.N2->setEnabled(false);
        f1.N11->setEnabled(false);
        break;
    case Role::FinishedGoods:
        f1.Button1->setEnabled(false);
        f1.Button2->setEnabled(false);
        f1.Button3->setEnabled(false);
        f1.N2->setEnabled(false);
        f1.N11->setEnabled(false);
        break;
    case Role::Administrator: break;
    case Role::None:
        qInfo() << "sign-in refused: wrong code";
        setOk();
        ui::error(QStringLiteral("Введены неверные данные."));
        return;
    }
    // The summary reports window applies the role's restrictions from here on.
    session().role = role;
    static const char* const names[] = {"none", "viewer", "foremen", "finished goods", "administrator"};
    qInfo() << "signed in as" << names[int(role)];
    // Closed months and history, when the database has them; their controls show from here on.
    period::signIn(role);
    setOk();
    openJournal();
}

void TForm23::openJournal() {
    TForm1& f1 = forms::form<TForm1>();
    hide();
    // The journal shows even when its first read fails; the error has been shown.
    ui::guard([&f1] { f1.FormActivate(); })();
    ui::execModal(&f1);
    close();
}

void TForm23::closeEvent(QCloseEvent* e) {
    QDialog::closeEvent(e);
    // The sign-in window is the main window: closing it ends the application.
    QCoreApplication::quit();
}
