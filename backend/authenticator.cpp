#include "backend/authenticator.h"

#include "backend/audit.h"
#include "backend/database.h"
#include "backend/password.h"
#include "backend/session_check.h"
#include "backend/sql.h"
#include "common/failure.h"

#include <algorithm>

namespace zavek::backend {

namespace lockout_limits {
int delaySeconds(int failures) {
    if (failures < kFreeFailures)
        return 0;
    const int doublings = std::min(failures - kFreeFailures, 30);
    return static_cast<int>(std::min<long long>(
        static_cast<long long>(kFirstDelaySeconds) << doublings, kMaxDelaySeconds));
}
} // namespace lockout_limits

namespace {

QString waitText(qint64 seconds) {
    if (seconds < 120)
        return seconds == 1 ? Authenticator::tr("1 second")
                            : Authenticator::tr("%1 seconds").arg(seconds);
    return Authenticator::tr("%1 minutes").arg((seconds + 59) / 60);
}

struct FailureRow {
    int failures = 0;
    QDateTime lockedUntil;
};

FailureRow readFailures(const Sql& sql, const QString& name) {
    QSqlQuery q = sql.prepare(
        QStringLiteral("SELECT FAILURES, LOCKED_UNTIL FROM SIGN_IN_FAILURE WHERE ADMIN_ID = ?"));
    sql.run(q, {name});
    FailureRow row;
    if (q.next()) {
        row.failures = q.value(0).toInt();
        if (!q.value(1).isNull())
            row.lockedUntil = readStoredTime(q.value(1));
    }
    return row;
}

} // namespace

Authenticator::Authenticator(QSqlDatabase db, const IClock& clock)
    : db_(std::move(db)), clock_(clock) {}

QString Authenticator::refusalText() {
    return tr("The administrator name or the password is not right. Check both and "
              "sign in again.");
}

Session Authenticator::signIn(const QString& adminId, const QString& password) {
    const QString name = adminId.trimmed();
    const Sql sql(db_);
    const QDateTime now = clock_.now();

    const FailureRow before = readFailures(sql, name);
    if (before.lockedUntil.isValid() && now < before.lockedUntil) {
        runInTransaction(db_, [&] {
            writeAudit(sql, now,
                       {AuditAction::SignInFailed,
                        name,
                        {},
                        {},
                        {},
                        QStringLiteral("refused unchecked: locked until %1")
                            .arg(storedTime(before.lockedUntil))});
        });
        fail(codes::kStop, tr("Too many failed sign-ins for this name. Wait %1 and sign in again, "
                              "or ask an operator to lift the lockout.")
                               .arg(waitText(std::max<qint64>(
                                   1, (now.msecsTo(before.lockedUntil) + 999) / 1000))));
    }

    QSqlQuery find = sql.prepare(QStringLiteral(
        "SELECT ADMIN_NAME, REGION, PWD_HASH FROM ADMINISTRATOR WHERE ADMIN_ID = ?"));
    sql.run(find, {name});
    const bool known = find.next();
    const QString adminName = known ? find.value(0).toString() : QString();
    const QString region = known ? find.value(1).toString() : QString();
    const QString hash = known ? find.value(2).toString() : QString();
    find.finish();
    bool right = false;
    if (known)
        right = verifyPassword(hash, password);
    else
        verifyAgainstDummy(password);

    if (!right) {
        runInTransaction(db_, [&] {
            QSqlQuery count =
                sql.prepare(QStringLiteral("UPDATE SIGN_IN_FAILURE SET FAILURES = FAILURES + 1, "
                                           "LAST_FAILURE_AT = ? WHERE ADMIN_ID = ?"));
            sql.run(count, {storedTime(now), name});
            if (count.numRowsAffected() <= 0) {
                QSqlQuery first =
                    sql.prepare(QStringLiteral("INSERT INTO SIGN_IN_FAILURE (ADMIN_ID, FAILURES, "
                                               "LAST_FAILURE_AT) VALUES (?, 1, ?)"));
                sql.run(first, {name, storedTime(now)});
            }
            const int failures = readFailures(sql, name).failures;
            writeAudit(sql, now,
                       {AuditAction::SignInFailed,
                        name,
                        {},
                        {},
                        {},
                        QStringLiteral("failure %1 in a row").arg(failures)});
            const int delay = lockout_limits::delaySeconds(failures);
            if (delay > 0) {
                const QDateTime until = now.addSecs(delay);
                QSqlQuery lock = sql.prepare(QStringLiteral(
                    "UPDATE SIGN_IN_FAILURE SET LOCKED_UNTIL = ? WHERE ADMIN_ID = ?"));
                sql.run(lock, {storedTime(until), name});
                writeAudit(sql, now,
                           {AuditAction::LockedOut,
                            name,
                            {},
                            {},
                            {},
                            QStringLiteral("locked for %1 s after %2 failed sign-ins in a row")
                                .arg(delay)
                                .arg(failures)});
            }
        });
        fail(codes::kStop, refusalText());
    }

    // Made before the transaction: hashing takes a while and the write lock should not wait.
    const QString renewed = needsRehash(hash) ? hashPassword(password) : QString();
    Session session{newSessionToken(), name, adminName, region};
    runInTransaction(db_, [&] {
        QSqlQuery forget =
            sql.prepare(QStringLiteral("DELETE FROM SIGN_IN_FAILURE WHERE ADMIN_ID = ?"));
        sql.run(forget, {name});
        // What ended sessions were shown is of no further use.
        QSqlQuery views = sql.prepare(
            QStringLiteral("DELETE FROM VIEW_REVISION WHERE TOKEN_HASH NOT IN (SELECT TOKEN_HASH "
                           "FROM ADMIN_SESSION WHERE EXPIRES_AT > ?)"));
        sql.run(views, {storedTime(now)});
        if (!renewed.isEmpty()) {
            QSqlQuery update = sql.prepare(
                QStringLiteral("UPDATE ADMINISTRATOR SET PWD_HASH = ? WHERE ADMIN_ID = ?"));
            sql.run(update, {renewed, name});
            writeAudit(sql, now,
                       {AuditAction::PasswordRehashed,
                        name,
                        {},
                        {},
                        {},
                        QStringLiteral("password hash renewed with argon2id, interactive limits")});
        }
        QSqlQuery insert = sql.prepare(
            QStringLiteral("INSERT INTO ADMIN_SESSION (TOKEN_HASH, ADMIN_ID, REGION, CREATED_AT, "
                           "LAST_SEEN_AT, EXPIRES_AT) VALUES (?, ?, ?, ?, ?, ?)"));
        sql.run(insert, {tokenDigest(session.token), name, region, storedTime(now), storedTime(now),
                         storedTime(now.addSecs(session_limits::kAbsoluteSeconds))});
    });
    return session;
}

void Authenticator::signOut(const QString& token) {
    const Sql sql(db_);
    QSqlQuery views = sql.prepare(QStringLiteral("DELETE FROM VIEW_REVISION WHERE TOKEN_HASH = ?"));
    sql.run(views, {tokenDigest(token)});
    QSqlQuery end = sql.prepare(QStringLiteral("DELETE FROM ADMIN_SESSION WHERE TOKEN_HASH = ?"));
    sql.run(end, {tokenDigest(token)});
}

std::vector<Lockout> listLockouts(QSqlDatabase db) {
    const Sql sql(db);
    QSqlQuery q =
        sql.prepare(QStringLiteral("SELECT ADMIN_ID, FAILURES, LAST_FAILURE_AT, "
                                   "LOCKED_UNTIL FROM SIGN_IN_FAILURE ORDER BY ADMIN_ID"));
    sql.run(q);
    std::vector<Lockout> out;
    while (q.next())
        out.push_back({q.value(0).toString(), q.value(1).toInt(), readStoredTime(q.value(2)),
                       q.value(3).isNull() ? QDateTime() : readStoredTime(q.value(3))});
    return out;
}

bool liftLockout(QSqlDatabase db, const QString& adminId, const QString& actor,
                 const IClock& clock) {
    const Sql sql(db);
    bool lifted = false;
    runInTransaction(db, [&] {
        const FailureRow row = readFailures(sql, adminId);
        QSqlQuery forget =
            sql.prepare(QStringLiteral("DELETE FROM SIGN_IN_FAILURE WHERE ADMIN_ID = ?"));
        sql.run(forget, {adminId});
        lifted = forget.numRowsAffected() > 0;
        if (lifted)
            writeAudit(sql, clock.now(),
                       {AuditAction::LockoutLifted,
                        actor,
                        {},
                        {},
                        {},
                        QStringLiteral("lifted for %1 after %2 failed sign-ins")
                            .arg(adminId)
                            .arg(row.failures)});
    });
    return lifted;
}

void addAdministrator(QSqlDatabase& db, const QString& id, const QString& name,
                      const QString& region, const QString& password, const QString& actor) {
    const QString hash = hashPassword(password);
    const Sql sql(db);
    runInTransaction(db, [&] {
        QSqlQuery insert =
            sql.prepare(QStringLiteral("INSERT INTO ADMINISTRATOR (ADMIN_ID, ADMIN_NAME, REGION, "
                                       "PWD_HASH) VALUES (?, ?, ?, ?)"));
        sql.run(insert, {id, name, region, hash});
        writeAudit(sql, QDateTime::currentDateTimeUtc(),
                   {AuditAction::AdminAdded,
                    actor,
                    {},
                    {},
                    {},
                    QStringLiteral("added %1 (%2) for region %3").arg(id, name, region)});
    });
}

} // namespace zavek::backend
