#include "backend/password.h"

#include "common/failure.h"

#include <sodium.h>

#include <array>

namespace zavek::backend {

namespace {
void ensureSodium() {
    static const int ready = sodium_init();
    if (ready < 0)
        fail(codes::kUnexpected, QStringLiteral("The cryptography library could not start."));
}
} // namespace

QString hashPassword(const QString& password) {
    ensureSodium();
    const QByteArray utf8 = password.toUtf8();
    std::array<char, crypto_pwhash_STRBYTES> out{};
    if (crypto_pwhash_str_alg(
            out.data(), utf8.constData(), static_cast<unsigned long long>(utf8.size()),
            crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE,
            crypto_pwhash_ALG_ARGON2ID13) != 0)
        fail(codes::kUnexpected,
             QStringLiteral("There was not enough memory to protect the password; close other "
                            "programs and try again."));
    return QString::fromLatin1(out.data());
}

bool verifyPassword(const QString& hash, const QString& password) {
    ensureSodium();
    const QByteArray h = hash.toLatin1();
    const QByteArray utf8 = password.toUtf8();
    if (h.isEmpty())
        return false;
    return crypto_pwhash_str_verify(h.constData(), utf8.constData(),
                                    static_cast<unsigned long long>(utf8.size())) == 0;
}

const QString& dummyHash() {
    static const QString dummy =
        QStringLiteral("$argon2id$v=19$m=65536,t=2,p=1$yLLYQUEXwSwiZkqVpTPx1A$"
                       "JjSQASFfHc7TPjNcO/qec9JTz2tLOg8qp3cmd4FOiCI");
    return dummy;
}

void verifyAgainstDummy(const QString& password) {
    (void)verifyPassword(dummyHash(), password);
}

bool needsRehash(const QString& hash) {
    ensureSodium();
    const QByteArray h = hash.toLatin1();
    return crypto_pwhash_str_needs_rehash(h.constData(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0;
}

QString tokenDigest(const QString& token) {
    ensureSodium();
    const QByteArray bytes = token.trimmed().toUtf8();
    std::array<unsigned char, 32> digest{};
    crypto_generichash(digest.data(), digest.size(),
                       reinterpret_cast<const unsigned char*>(bytes.constData()),
                       static_cast<unsigned long long>(bytes.size()), nullptr, 0);
    std::array<char, 65> hex{};
    sodium_bin2hex(hex.data(), hex.size(), digest.data(), digest.size());
    return QString::fromLatin1(hex.data());
}

QString newSessionToken() {
    ensureSodium();
    std::array<unsigned char, 32> bytes{};
    randombytes_buf(bytes.data(), bytes.size());
    std::array<char, 65> hex{};
    sodium_bin2hex(hex.data(), hex.size(), bytes.data(), bytes.size());
    return QString::fromLatin1(hex.data());
}

} // namespace zavek::backend
