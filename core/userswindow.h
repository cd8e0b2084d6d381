#pragma once
// The administrator's window «Пользователи» (personal accounts, db/roles.sql): the
// persons with their full name, login, role and state; adding one, changing the role,
// switching off and on, a new password — all through the database's person functions,
// each after a question that names the person.
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace mirn {

namespace users {

// The groups of the program as the window names them, strongest last.
struct Group {
    QString name;     // mirn_viewer …
    QString caption;  // «Просмотр» …
};
const QList<Group>& groups();
QString groupCaption(const QString& name);

// The window is for the administrator of a personal account only.
bool available();

}  // namespace users

// What one action asks: the fields it needs, the rest hidden.
class PersonDialog : public QDialog {
    Q_OBJECT
public:
    enum Field { FullName = 1, Login = 2, GroupField = 4, Password = 8 };
    PersonDialog(const QString& title, int fields, QWidget* parent = nullptr);

    QLineEdit* FullNameEdit;
    QLineEdit* LoginEdit;
    QComboBox* GroupBox;  // the group names in item data
    QLineEdit* PasswordEdit;
    QLineEdit* RepeatEdit;
    QPushButton* OkButton;

    QString group() const;

private:
    void accept() override;
    int fields_;
};

class UsersWindow : public QDialog {
    Q_OBJECT
public:
    explicit UsersWindow(QWidget* parent = nullptr);

    QTableWidget* Grid;  // ФИО, Пользователь, Роль, Состояние
    QPushButton* AddButton;
    QPushButton* GroupButton;
    QPushButton* DisableButton;  // «Отключить» or «Включить» for the chosen person
    QPushButton* PasswordButton;
    QPushButton* CloseButton;

    void reload();
    void AddClick();
    void GroupClick();
    void DisableClick();
    void PasswordClick();

    // Shows the window modally.
    static void showModal(QWidget* parent);

private:
    void updateButtons();
    // The chosen row's login and full name; empty when none.
    QString login() const;
    QString fullName() const;
    bool enabled() const;
    // Runs a person function; the server's refusal is shown as it is. True when done.
    bool call(const QString& sql, const QList<QPair<QString, QString>>& params);
};

}  // namespace mirn
