#pragma once
// The sign-in window: the application's main window; a typed code selects the role.
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "domain/session.h"
#include "keyring/keyring.h"

namespace mirn {

// The window a sign-in opens (the journal). It is told of every attempt, switches off
// by itself what a right code's role may not use, and then shows itself modally.
class SignInTarget {
public:
    virtual ~SignInTarget() = default;
    // Every attempt, right or wrong, with the trimmed code.
    virtual void signInAttempt(const QString& code) = 0;
    virtual void applyRole(Role role) = 0;
    // Shows the window modally and returns when it has closed.
    virtual void openAfterSignIn() = 0;
};

class TForm23 : public QDialog {
    Q_OBJECT
public:
    TForm23();

    QLineEdit* Edit1;      // the code; in accounts mode the password
    QLineEdit* LoginEdit = nullptr;  // accounts mode only: «Пользователь»
    QCheckBox* RememberBox = nullptr;  // accounts mode only: «Запомнить пароль»
    QPushButton* Button1;  // "Вход"
    QPushButton* Button2;  // "Отмена"
    QTimer* Timer1;        // armed only by the build guard

    void FormActivate();
    void Button1Click();
    void Button2Click() { close(); }
    void Timer1Timer();

    void setTarget(SignInTarget* target) { target_ = target; }
    // An older build: switched off at once, and the 5 s timer that ends the application armed.
    void lockOut();

protected:
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override { close(); }

private:
    // [signin] mode=accounts: connects as the typed login; the role is its group's.
    // Role::None (and the error shown) when the login or the password is wrong.
    Role signInWithAccount();
    void openJournal();
    bool accounts_ = false;
    // The password kept in the desktop's keyring for the typed login fills the field
    // (and ticks «Запомнить пароль»); one recalled for another login is taken away.
    void recallPassword();
    // After a sign-in: the keyring keeps the password when asked, forgets it otherwise.
    void keepPassword(const QString& login, const QString& password);
    keyring::Account accountOf(const QString& login) const;
    QString lookedUp_;       // the login the keyring was last asked about
    bool recalled_ = false;  // the password field holds the keyring's password
    bool noKeyring_ = false;  // the last look-up found no keyring to ask
    // Tells the administrator when the database's opt-in scripts are of another version.
    void checkSchemaVersion(Role role);
    // The check ran when the window was shown; the activation that follows the showing
    // does not run it a second time.
    bool checkedOnShow_ = false;
    SignInTarget* target_ = nullptr;
};

}  // namespace mirn
