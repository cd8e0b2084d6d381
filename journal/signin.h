#pragma once
// The sign-in window: the application's main window; a typed code selects the role.
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

class TForm23 : public QDialog {
    Q_OBJECT
public:
    TForm23();

    QLineEdit* Edit1;
    QPushButton* Button1;  // "Вход"
    QPushButton* Button2;  // "Отмена"
    QTimer* Timer1;        // armed only by the build guard

    void FormActivate();
    void Button1Click();
    void Button2Click() { close(); }
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override { close(); }

private:
    void openJournal();
    // The check ran when the window was shown; the activation that follows the showing
    // does not run it a second time.
    bool checkedOnShow_ = false;
};
