#pragma once
// The desktop's keyring, for a personal account's password the person asked to keep.
// QtKeychain works asynchronously; each call here waits for its job in a local event
// loop (user input held back meanwhile), so a caller reads like a plain function call.
// Nothing is ever written anywhere but the keyring: without one, the call says so.
#include <QString>

namespace mirn {

namespace keyring {

// Whose password: one login on one database of one server.
struct Account {
    QString host;
    int port = 0;
    QString database;
    QString login;
};

enum class Status {
    Ok,           // read: found; write and remove: done (removing nothing is done too)
    NotFound,     // read only: no password kept for this account
    Unavailable,  // no keyring on this desktop, or it refused or did not answer
};

struct Result {
    Status status = Status::Unavailable;
    QString password;  // read, when Ok
    QString error;     // the keyring's own words, for the support log
    bool ok() const { return status == Status::Ok; }
};

// How long a call waits for the keyring: long enough for the person to unlock it in
// the desktop's own prompt.
inline constexpr int kDefaultTimeoutMs = 60000;

Result read(const Account& a, int timeoutMs = kDefaultTimeoutMs);
Result write(const Account& a, const QString& password, int timeoutMs = kDefaultTimeoutMs);
Result remove(const Account& a, int timeoutMs = kDefaultTimeoutMs);

// What the person is told when a password could not be kept.
inline const QString kUnavailableText =
    QStringLiteral("Пароль не запомнен: хранилище паролей рабочего стола недоступно. "
                   "Пароль нужно будет вводить при каждом входе.");

}  // namespace keyring

}  // namespace mirn
