#pragma once
// Passwords are kept only as argon2id hashes.

#include <QString>

namespace zavek::backend {

QString hashPassword(const QString& password);
bool verifyPassword(const QString& hash, const QString& password);
// 64 hexadecimal characters from 32 random bytes.
QString newSessionToken();

} // namespace zavek::backend
