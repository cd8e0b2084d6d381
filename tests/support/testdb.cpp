#include "support/testdb.h"

#include "domain/connection.h"
#include "core/datamodule.h"
#include "gui/forms.h"
#include "domain/session.h"
#include "core/signin.h"
#include "journal/tform1.h"

#include <QApplication>
#include <QKeyEvent>

#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace mirn {

namespace testdb {
namespace {
QString env(const char* name, const QString& def = {}) {
    return QProcessEnvironment::systemEnvironment().value(QString::fromLatin1(name), def);
}

// A short-lived connection to the maintenance database for CREATE/DROP DATABASE.
void maintenance(const QStringList& statements) {
    const QString name = QStringLiteral("testdb_maint");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        const auto p = connection::params(QStringLiteral("postgres"), host());
        db.setHostName(p.host);
        db.setPort(p.port);
        db.setDatabaseName(QStringLiteral("postgres"));
        db.setUserName(p.user);
        db.setPassword(p.password);
        if (!db.open())
            throw DbError(QStringLiteral("test server not reachable (run the tests through scripts/test.sh): ") +
                          db.lastError().text());
        for (const QString& s : statements) {
            QSqlQuery q(db);
            if (!q.exec(s)) throw DbError(q.lastError().text());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
}  // namespace

QString host() { return env("PGHOST", QStringLiteral("127.0.0.1")); }

void createDatabase(const QString& name, bool demo) {
    const QString tmpl = demo ? env("MIRN_DEMO_TEMPLATE", QStringLiteral("mirn_demo_tmpl"))
                              : env("MIRN_TEMPLATE", QStringLiteral("mirn_tmpl"));
    connection::closeShared();
    maintenance({QStringLiteral("drop database if exists \"%1\" with (force)").arg(name),
                 QStringLiteral("create database \"%1\" template \"%2\"").arg(name, tmpl)});
}

void openFresh(const QString& name, bool demo) {
    createDatabase(name, demo);
    QString err;
    if (!connection::open(connection::params(name, host()), &err)) throw DbError(err);
}

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

void exec(const QString& sql) {
    Command c;
    c.SQL = QStringList{sql};
    c.exec();
}

QVariant scalar(const QString& sql) {
    Query q;
    q.SQL = QStringList{sql};
    q.open();
    return q.isEmpty() ? QVariant() : q.value(0, 0);
}

int scalarInt(const QString& sql) { return toInt(scalar(sql)); }

int advisoryLocks(bool waitingOnly) {
    return scalarInt(QStringLiteral("select count(*) from pg_locks where locktype='advisory' and database=(select oid "
                                    "from pg_database where datname=current_database())") +
                     (waitingOnly ? QStringLiteral(" and not granted") : QString()));
}

QList<QVariantList> rows(const QString& sql) {
    Query q;
    q.SQL = QStringList{sql};
    q.open();
    QList<QVariantList> out;
    for (int r = 0; r < q.recordCount(); ++r) {
        QVariantList row;
        for (int c = 0; c < q.fieldNames().size(); ++c) row << q.value(r, c);
        out << row;
    }
    return out;
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
