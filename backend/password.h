#pragma once
// Passwords are kept only as argon2id hashes.

#include <QString>

namespace zavek::backend {

// argon2id with at least libsodium's interactive limits.
QString hashPassword(const QString& password);
bool verifyPassword(const QString& hash, const QString& password);
// Costs what verifyPassword costs for a real administrator, and fails: an unknown name must
// take as long to refuse as a wrong password.
void verifyAgainstDummy(const QString& password);
// The hash verifyAgainstDummy checks against: nobody's password, hashPassword's parameters.
const QString& dummyHash();
// The hash was made with weaker parameters (or another algorithm) than hashPassword uses.
bool needsRehash(const QString& hash);
// 64 hexadecimal characters from 32 random bytes.
QString newSessionToken();
// What the database keeps of a session token: its BLAKE2b-256 digest, in hexadecimal, so that
// a reader of the table holds no live session.
QString tokenDigest(const QString& token);

} // namespace zavek::backend
