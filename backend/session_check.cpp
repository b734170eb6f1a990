#include "backend/session_check.h"

#include "backend/password.h"

namespace zavek::backend {

std::optional<AdminSession> SessionCheck::check(const QString& token) const {
    if (token.trimmed().isEmpty())
        return std::nullopt;
    const QString digest = tokenDigest(token);
    QSqlQuery& q =
        sql_.statement(QStringLiteral("SELECT ADMIN_ID, REGION, LAST_SEEN_AT, EXPIRES_AT "
                                      "FROM ADMIN_SESSION WHERE TOKEN_HASH = ?"));
    sql_.run(q, {digest});
    if (!q.next()) {
        q.finish();
        return std::nullopt;
    }
    AdminSession session{q.value(0).toString(), q.value(1).toString()};
    const QDateTime lastSeen = readStoredTime(q.value(2));
    const QDateTime expires = readStoredTime(q.value(3));
    q.finish();
    const QDateTime now = clock_.now();
    if (!lastSeen.isValid() || !expires.isValid() || now >= expires ||
        now >= lastSeen.addSecs(session_limits::kIdleSeconds))
        return std::nullopt;
    if (lastSeen.secsTo(now) >= session_limits::kTouchSeconds) {
        QSqlQuery& touch =
            sql_.statement(QStringLiteral("UPDATE ADMIN_SESSION SET LAST_SEEN_AT = ? WHERE "
                                          "TOKEN_HASH = ?"));
        sql_.run(touch, {storedTime(now), digest});
    }
    return session;
}

QString SessionCheck::expiredText() {
    return tr("Your session has expired. Sign in again to continue.");
}

} // namespace zavek::backend
