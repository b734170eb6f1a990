#include "backend/authenticator.h"

#include "common/failure.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <sodium.h>

namespace zavek::backend {

namespace {
constexpr qint64 kSessionSeconds = 8 * 3600;

void ensureSodium() {
    if (sodium_init() < 0)
        fail(codes::kUnexpected, QStringLiteral("The cryptography library failed to start."));
}

QString now() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

void execPrepared(QSqlQuery& q) {
    if (!q.exec())
        fail(codes::kDatabase, q.lastError().text());
}
} // namespace

QString hashPassword(const QString& password) {
    ensureSodium();
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
                              crypto_pwhash_OPSLIMIT_INTERACTIVE,
                              crypto_pwhash_MEMLIMIT_INTERACTIVE,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        fail(codes::kUnexpected, QStringLiteral("Not enough memory to hash the password."));
    return QString::fromLatin1(out);
}

bool verifyPassword(const QString& hash, const QString& password) {
    ensureSodium();
    const QByteArray h = hash.toLatin1();
    const QByteArray p = password.toUtf8();
    return !h.isEmpty() && crypto_pwhash_str_verify(h.constData(), p.constData(),
                                                    static_cast<unsigned long long>(p.size())) == 0;
}

void addAdministrator(QSqlDatabase& db, const QString& id, const QString& name,
                      const QString& region, const QString& password) {
    if (id.trimmed().isEmpty() || region.trimmed().isEmpty())
        fail(codes::kInvalidArgument,
             QStringLiteral("An administrator needs an identifier and a region."));
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO ADMINISTRATOR (ADMIN_ID, ADMIN_NAME, REGION, PWD_HASH)"
                             " VALUES (?, ?, ?, ?)"));
    q.addBindValue(id.trimmed());
    q.addBindValue(name);
    q.addBindValue(region.trimmed().toUpper());
    q.addBindValue(hashPassword(password));
    if (!q.exec())
        fail(codes::kDatabase,
             QStringLiteral("Cannot add administrator %1: %2").arg(id, q.lastError().text()));
}

Authenticator::Authenticator(QSqlDatabase db) : db_(std::move(db)) {}

Session Authenticator::signIn(const QString& adminId, const QString& password) {
    QSqlQuery q(db_);
    q.prepare(QStringLiteral(
        "SELECT ADMIN_NAME, REGION, PWD_HASH FROM ADMINISTRATOR WHERE ADMIN_ID = ?"));
    q.addBindValue(adminId.trimmed());
    execPrepared(q);
    const bool known = q.next();
    // Verify against a real hash even for an unknown name, so both cost the same.
    static const QString decoy = hashPassword(QStringLiteral("decoy-password"));
    const QString hash = known ? q.value(2).toString() : decoy;
    const bool ok = verifyPassword(hash, password) && known;
    if (!ok) {
        QThread::msleep(static_cast<unsigned long>(delayMs_));
        fail(codes::kNotConnected, QString::fromLatin1(kSignInRefused));
    }
    Session session{QString(), adminId.trimmed(), q.value(0).toString(), q.value(1).toString()};
    unsigned char random[32];
    randombytes_buf(random, sizeof random);
    session.token = QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(random), sizeof random).toHex());
    QSqlQuery insert(db_);
    insert.prepare(QStringLiteral("INSERT INTO ADMIN_SESSION (TOKEN, ADMIN_ID, REGION, CREATED_AT,"
                                  " EXPIRES_AT) VALUES (?, ?, ?, ?, ?)"));
    insert.addBindValue(session.token);
    insert.addBindValue(session.adminId);
    insert.addBindValue(session.region);
    insert.addBindValue(now());
    insert.addBindValue(
        QDateTime::currentDateTimeUtc().addSecs(kSessionSeconds).toString(Qt::ISODate));
    execPrepared(insert);
    return session;
}

Session findSession(QSqlDatabase& db, const QString& token) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT S.ADMIN_ID, A.ADMIN_NAME, S.REGION, S.EXPIRES_AT FROM"
                             " ADMIN_SESSION S JOIN ADMINISTRATOR A ON A.ADMIN_ID = S.ADMIN_ID"
                             " WHERE S.TOKEN = ?"));
    q.addBindValue(token);
    execPrepared(q);
    if (!q.next())
        return {};
    // ISO text in UTC compares in time order.
    if (q.value(3).toString() <= now())
        return {};
    return Session{token, q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
}

} // namespace zavek::backend
