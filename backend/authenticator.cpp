#include "backend/authenticator.h"

#include "backend/password.h"
#include "backend/sql.h"

#include <QDateTime>
#include <QThread>

namespace zavek::backend {

Authenticator::Authenticator(QSqlDatabase db) : db_(std::move(db)) {}

Session Authenticator::signIn(const QString& adminId, const QString& password) {
    QSqlQuery find = prepare(
        db_, QStringLiteral(
                 "SELECT ADMIN_NAME, REGION, PWD_HASH FROM ADMINISTRATOR WHERE ADMIN_ID = ?"));
    run(find, {adminId.trimmed()});
    const bool known = find.next();
    const QString name = known ? find.value(0).toString() : QString();
    const QString region = known ? find.value(1).toString() : QString();
    const QString hash = known ? find.value(2).toString() : QString();
    find.finish();
    if (!known || !verifyPassword(hash, password)) {
        if (failureDelayMs_ > 0)
            QThread::msleep(static_cast<unsigned long>(failureDelayMs_));
        fail(codes::kStop, QStringLiteral("The administrator name or the password is not right. "
                                          "Check both and sign in again."));
    }
    Session session{newSessionToken(), adminId.trimmed(), name, region};
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QSqlQuery insert =
        prepare(db_, QStringLiteral("INSERT INTO ADMIN_SESSION (TOKEN, ADMIN_ID, REGION, "
                                    "CREATED_AT, EXPIRES_AT) VALUES (?, ?, ?, ?, ?)"));
    run(insert, {session.token, session.adminId, session.region, storedTime(now),
                 storedTime(now.addSecs(8 * 60 * 60))});
    return session;
}

void addAdministrator(QSqlDatabase& db, const QString& id, const QString& name,
                      const QString& region, const QString& password) {
    QSqlQuery insert =
        prepare(db, QStringLiteral("INSERT INTO ADMINISTRATOR (ADMIN_ID, ADMIN_NAME, REGION, "
                                   "PWD_HASH) VALUES (?, ?, ?, ?)"));
    run(insert, {id, name, region, hashPassword(password)});
}

} // namespace zavek::backend
