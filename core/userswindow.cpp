#include "core/userswindow.h"

#include "domain/connection.h"
#include "domain/db.h"
#include "domain/session.h"
#include "gui/ui.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

namespace mirn {

namespace users {

const QList<Group>& groups() {
    static const QList<Group> g{{QStringLiteral("mirn_viewer"), QStringLiteral("Просмотр")},
                                {QStringLiteral("mirn_foremen"), QStringLiteral("Бригадир")},
                                {QStringLiteral("mirn_goods"), QStringLiteral("Готовая продукция")},
                                {QStringLiteral("mirn_admin"), QStringLiteral("Администратор")}};
    return g;
}

QString groupCaption(const QString& name) {
    for (const Group& g : groups())
        if (g.name == name) return g.caption;
    return name;
}

bool available() { return connection::current().accounts && session().role == Role::Administrator; }

}  // namespace users

namespace {
// The server's own sentence, without the driver's wrapping ("ERROR:  …\n(22023) QPSQL: …").
QString serverSentence(const DbError& e) {
    QString text = e.serverText().section(QLatin1Char('\n'), 0, 0).trimmed();
    for (const QString& prefix : {QStringLiteral("ERROR:"), QStringLiteral("ОШИБКА:")})
        if (text.startsWith(prefix)) text = text.mid(prefix.size()).trimmed();
    return text;
}
}  // namespace

PersonDialog::PersonDialog(const QString& title, int fields, QWidget* parent) : QDialog(parent), fields_(fields) {
    setWindowTitle(title);
    FullNameEdit = new QLineEdit(this);
    LoginEdit = new QLineEdit(this);
    GroupBox = new QComboBox(this);
    for (const users::Group& g : users::groups()) GroupBox->addItem(g.caption, g.name);
    PasswordEdit = new QLineEdit(this);
    PasswordEdit->setEchoMode(QLineEdit::Password);
    RepeatEdit = new QLineEdit(this);
    RepeatEdit->setEchoMode(QLineEdit::Password);
    auto* form = new QFormLayout;
    if (fields & FullName) form->addRow(QStringLiteral("ФИО:"), FullNameEdit);
    if (fields & Login) form->addRow(QStringLiteral("Пользователь:"), LoginEdit);
    if (fields & GroupField) form->addRow(QStringLiteral("Роль:"), GroupBox);
    if (fields & Password) {
        form->addRow(QStringLiteral("Пароль:"), PasswordEdit);
        form->addRow(QStringLiteral("Пароль ещё раз:"), RepeatEdit);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{FullNameEdit, LoginEdit, GroupBox, PasswordEdit, RepeatEdit})
        if (form->indexOf(w) < 0) w->hide();
    OkButton = new QPushButton(QStringLiteral("Сохранить"), this);
    OkButton->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    connect(OkButton, &QPushButton::clicked, this, &PersonDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(cancel);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(form);
    lay->addLayout(buttons);
}

QString PersonDialog::group() const { return GroupBox->currentData().toString(); }

void PersonDialog::accept() {
    // What the server would refuse anyway is said here, before anything is asked.
    if ((fields_ & FullName) && FullNameEdit->text().trimmed().isEmpty()) {
        ui::error(QStringLiteral("Укажите ФИО."));
        return;
    }
    if ((fields_ & Login) && LoginEdit->text().trimmed().isEmpty()) {
        ui::error(QStringLiteral("Укажите имя пользователя."));
        return;
    }
    if ((fields_ & Password) && PasswordEdit->text().isEmpty()) {
        ui::error(QStringLiteral("Укажите пароль."));
        return;
    }
    if ((fields_ & Password) && PasswordEdit->text() != RepeatEdit->text()) {
        ui::error(QStringLiteral("Пароли не совпадают."));
        return;
    }
    QDialog::accept();
}

UsersWindow::UsersWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Пользователи"));
    Grid = new QTableWidget(0, 4, this);
    Grid->setHorizontalHeaderLabels(
        {QStringLiteral("ФИО"), QStringLiteral("Пользователь"), QStringLiteral("Роль"), QStringLiteral("Состояние")});
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid->verticalHeader()->hide();
    Grid->horizontalHeader()->setStretchLastSection(true);
    AddButton = new QPushButton(QStringLiteral("Добавить"), this);
    GroupButton = new QPushButton(QStringLiteral("Сменить роль"), this);
    DisableButton = new QPushButton(QStringLiteral("Отключить"), this);
    PasswordButton = new QPushButton(QStringLiteral("Новый пароль"), this);
    CloseButton = new QPushButton(QStringLiteral("Закрыть"), this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {AddButton, GroupButton, DisableButton, PasswordButton}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(Grid, 1);
    lay->addLayout(buttons);
    resize(640, 360);

    connect(AddButton, &QPushButton::clicked, this, ui::guard([this] { AddClick(); }));
    connect(GroupButton, &QPushButton::clicked, this, ui::guard([this] { GroupClick(); }));
    connect(DisableButton, &QPushButton::clicked, this, ui::guard([this] { DisableClick(); }));
    connect(PasswordButton, &QPushButton::clicked, this, ui::guard([this] { PasswordClick(); }));
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(Grid, &QTableWidget::itemSelectionChanged, this, [this] { updateButtons(); });
    reload();
}

void UsersWindow::showModal(QWidget* parent) {
    UsersWindow w(parent);
    ui::execModal(&w);
}

void UsersWindow::reload() {
    const QString keep = login();
    Query q;
    q.SQL = {QStringLiteral("select login, full_name, grp, enabled from accounts_dep.account_list order by full_name, login")};
    q.open();
    Grid->setRowCount(q.recordCount());
    int select = q.recordCount() > 0 ? 0 : -1;
    for (int r = 0; r < q.recordCount(); ++r) {
        const QString l = q.value(r, 0).toString();
        const bool on = q.value(r, 3).toBool();
        const QString cells[] = {q.value(r, 1).toString(), l, users::groupCaption(q.value(r, 2).toString()),
                                 on ? QStringLiteral("действует") : QStringLiteral("отключен")};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 3) item->setData(Qt::UserRole, on);
            Grid->setItem(r, c, item);
        }
        if (l == keep) select = r;
    }
    Grid->resizeColumnsToContents();
    Grid->horizontalHeader()->setStretchLastSection(true);
    if (select >= 0) Grid->selectRow(select);
    updateButtons();
}

QString UsersWindow::login() const {
    const int r = Grid->currentRow();
    return r >= 0 && Grid->item(r, 1) ? Grid->item(r, 1)->text() : QString();
}

QString UsersWindow::fullName() const {
    const int r = Grid->currentRow();
    return r >= 0 && Grid->item(r, 0) ? Grid->item(r, 0)->text() : QString();
}

bool UsersWindow::enabled() const {
    const int r = Grid->currentRow();
    return r >= 0 && Grid->item(r, 3) && Grid->item(r, 3)->data(Qt::UserRole).toBool();
}

void UsersWindow::updateButtons() {
    const bool chosen = !login().isEmpty();
    for (QPushButton* b : {GroupButton, DisableButton, PasswordButton}) b->setEnabled(chosen);
    DisableButton->setText(chosen && !enabled() ? QStringLiteral("Включить") : QStringLiteral("Отключить"));
}

bool UsersWindow::call(const QString& sql, const QList<QPair<QString, QString>>& params) {
    try {
        Query q;
        q.SQL = {sql};
        for (const auto& p : params) q.setParam(p.first, p.second);
        q.open();
    } catch (const DbError& e) {
        if (e.connectionLost()) throw;
        ui::error(serverSentence(e));
        return false;
    }
    reload();
    return true;
}

void UsersWindow::AddClick() {
    PersonDialog d(QStringLiteral("Новый пользователь"),
                   PersonDialog::FullName | PersonDialog::Login | PersonDialog::GroupField | PersonDialog::Password, this);
    if (ui::execModal(&d) != QDialog::Accepted) return;
    const QString name = d.FullNameEdit->text().trimmed(), l = d.LoginEdit->text().trimmed();
    if (ui::message(QStringLiteral("Добавить пользователя %1 (%2) с ролью «%3»?")
                        .arg(name, l, users::groupCaption(d.group())),
                    QStringLiteral("Подтверждение"), ui::Icon::Question, ui::Buttons::YesNo) != QMessageBox::Yes)
        return;
    if (call(QStringLiteral("select accounts_dep.person_create(:login, :name, :grp, :password)"),
             {{QStringLiteral("login"), l}, {QStringLiteral("name"), name}, {QStringLiteral("grp"), d.group()},
              {QStringLiteral("password"), d.PasswordEdit->text()}})) {
        for (int r = 0; r < Grid->rowCount(); ++r)
            if (Grid->item(r, 1)->text() == l) Grid->selectRow(r);
    }
}

void UsersWindow::GroupClick() {
    if (login().isEmpty()) return;
    PersonDialog d(QStringLiteral("Роль: %1").arg(fullName()), PersonDialog::GroupField, this);
    d.GroupBox->setCurrentText(Grid->item(Grid->currentRow(), 2)->text());
    if (ui::execModal(&d) != QDialog::Accepted) return;
    if (ui::message(QStringLiteral("Назначить пользователю %1 (%2) роль «%3»?")
                        .arg(fullName(), login(), users::groupCaption(d.group())),
                    QStringLiteral("Подтверждение"), ui::Icon::Question, ui::Buttons::YesNo) != QMessageBox::Yes)
        return;
    call(QStringLiteral("select accounts_dep.person_set_group(:login, :grp)"),
         {{QStringLiteral("login"), login()}, {QStringLiteral("grp"), d.group()}});
}

void UsersWindow::DisableClick() {
    if (login().isEmpty()) return;
    const bool on = enabled();
    const QString question = on ? QStringLiteral("Отключить пользователя %1 (%2)? Он не сможет войти в программу.")
                                : QStringLiteral("Включить пользователя %1 (%2)?");
    if (ui::message(question.arg(fullName(), login()), QStringLiteral("Подтверждение"), ui::Icon::Question,
                    ui::Buttons::YesNo) != QMessageBox::Yes)
        return;
    call(on ? QStringLiteral("select accounts_dep.person_disable(:login)")
            : QStringLiteral("select accounts_dep.person_enable(:login)"),
         {{QStringLiteral("login"), login()}});
}

void UsersWindow::PasswordClick() {
    if (login().isEmpty()) return;
    PersonDialog d(QStringLiteral("Новый пароль: %1").arg(fullName()), PersonDialog::Password, this);
    if (ui::execModal(&d) != QDialog::Accepted) return;
    if (ui::message(QStringLiteral("Сменить пароль пользователя %1 (%2)?").arg(fullName(), login()),
                    QStringLiteral("Подтверждение"), ui::Icon::Question, ui::Buttons::YesNo) != QMessageBox::Yes)
        return;
    call(QStringLiteral("select accounts_dep.person_set_password(:login, :password)"),
         {{QStringLiteral("login"), login()}, {QStringLiteral("password"), d.PasswordEdit->text()}});
}

}  // namespace mirn
