#include "keyring/keyring.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>

#include <qt6keychain/keychain.h>

namespace mirn {

namespace keyring {

namespace {

Q_LOGGING_CATEGORY(lcKeyring, "mirn.keyring")

// One service for the client and mirn-batch, so the batch finds what the client kept.
const QString kService = QStringLiteral("mirn");

QString keyOf(const Account& a) {
    return a.login + QLatin1Char('@') + a.host + QLatin1Char(':') + QString::number(a.port) + QLatin1Char('/') +
           a.database;
}

// QtKeychain runs one job at a time: a job that never answered holds every later one,
// which would only wait as long again. From then on the keyring counts as absent.
bool g_stuck = false;

Result unavailable(const QString& why) {
    Result r;
    r.status = Status::Unavailable;
    r.error = why;
    return r;
}

Result run(QKeychain::Job* job, const char* what, int timeoutMs) {
    if (!QCoreApplication::instance() || g_stuck) {
        delete job;
        return unavailable(g_stuck ? QStringLiteral("an earlier request never answered")
                                   : QStringLiteral("no application object"));
    }
    // Never QtKeychain's plain-file store: without a keyring nothing is kept at all.
    job->setInsecureFallback(false);
    job->setAutoDelete(true);
    QEventLoop loop;
    Result r;
    bool done = false;
    // Tied to the loop: a job that answers after the timeout finds nobody listening.
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* j) {
        done = true;
        switch (j->error()) {
        case QKeychain::NoError:
            r.status = Status::Ok;
            if (auto* rj = qobject_cast<QKeychain::ReadPasswordJob*>(j)) r.password = rj->textData();
            break;
        case QKeychain::EntryNotFound:
            // Removing what is not there leaves the keyring as asked.
            r.status = qobject_cast<QKeychain::ReadPasswordJob*>(j) ? Status::NotFound : Status::Ok;
            break;
        default:
            r.status = Status::Unavailable;
            r.error = j->errorString();
            break;
        }
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!done) loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!done) {
        g_stuck = true;
        r = unavailable(QStringLiteral("no answer in %1 ms").arg(timeoutMs));
    }
    if (r.status == Status::Unavailable)
        qCWarning(lcKeyring).noquote() << what << "failed, the keyring is not available:" << r.error;
    return r;
}

}  // namespace

Result read(const Account& a, int timeoutMs) {
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(keyOf(a));
    return run(job, "reading a kept password", timeoutMs);
}

Result write(const Account& a, const QString& password, int timeoutMs) {
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(keyOf(a));
    job->setTextData(password);
    const Result r = run(job, "keeping a password", timeoutMs);
    if (r.ok()) qCInfo(lcKeyring).noquote() << "password kept in the keyring for" << keyOf(a);
    return r;
}

Result remove(const Account& a, int timeoutMs) {
    auto* job = new QKeychain::DeletePasswordJob(kService);
    job->setKey(keyOf(a));
    const Result r = run(job, "removing a kept password", timeoutMs);
    if (r.ok()) qCInfo(lcKeyring).noquote() << "no password kept in the keyring for" << keyOf(a);
    return r;
}

}  // namespace keyring

}  // namespace mirn
