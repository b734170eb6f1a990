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

// Signs administrators in and opens their sessions (8 hours).
class Authenticator {
public:
    explicit Authenticator(QSqlDatabase db);
    void setFailureDelayMs(int ms) { failureDelayMs_ = ms; }
    // Unknown administrator and wrong password fail with the same message, after the delay.
    Session signIn(const QString& adminId, const QString& password);

private:
    QSqlDatabase db_;
    int failureDelayMs_ = 1000;
};

void addAdministrator(QSqlDatabase& db, const QString& id, const QString& name,
                      const QString& region, const QString& password);

} // namespace zavek::backend
