#pragma once
#include <QSqlDatabase>
#include <QString>

namespace zavek::backend {

struct Session {
    QString token;
    QString adminId;
    QString adminName;
    QString region;
};

// The one message for an unknown administrator and a wrong password alike.
inline constexpr const char* kSignInRefused =
    "The administrator identifier or the password is not correct. Check both and try again.";

class Authenticator {
public:
    explicit Authenticator(QSqlDatabase db);
    void setFailureDelayMs(int ms) { delayMs_ = ms; }
    // Opens a session of eight hours; fails with kSignInRefused after a short delay.
    Session signIn(const QString& adminId, const QString& password);

private:
    QSqlDatabase db_;
    int delayMs_ = 1000;
};

// An argon2id hash in the library's self-describing text form.
QString hashPassword(const QString& password);
bool verifyPassword(const QString& hash, const QString& password);
void addAdministrator(QSqlDatabase& db, const QString& id, const QString& name,
                      const QString& region, const QString& password);
// The session of a token, or an empty session when unknown or expired.
Session findSession(QSqlDatabase& db, const QString& token);

} // namespace zavek::backend
