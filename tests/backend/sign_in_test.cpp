#include "tests/backend/backend_fixture.h"

#include "backend/password.h"
#include "backend/sql.h"

#include <QRegularExpression>

#include <sodium.h>

#include <array>
#include <functional>

namespace zavek::backend::testing {
namespace {

using namespace Qt::StringLiterals;
using Fixture = BackendFixture;
const QString kWrong = QStringLiteral("wrong");

QString storedHash(Fixture& f) {
    return scalar(f.db_, u"SELECT PWD_HASH FROM ADMINISTRATOR WHERE ADMIN_ID = 'admin'"_s)
        .toString();
}

TEST_F(BackendFixture, PasswordsAreArgon2idWithAtLeastTheInteractiveLimits) {
    for (const QString& hash : {hashPassword(QStringLiteral("x")), dummyHash()}) {
        const auto m = QRegularExpression(QStringLiteral(R"(^\$argon2id\$v=19\$m=(\d+),t=(\d+),)"))
                           .match(hash);
        ASSERT_TRUE(m.hasMatch()) << hash.toStdString();
        EXPECT_GE(m.captured(1).toULongLong() * 1024, crypto_pwhash_MEMLIMIT_INTERACTIVE);
        EXPECT_GE(m.captured(2).toULongLong(), crypto_pwhash_OPSLIMIT_INTERACTIVE);
    }
    // The unknown-name path verifies against a hash that costs what a real one costs.
    EXPECT_EQ(dummyHash().section(u'$', 0, 3), storedHash(*this).section(u'$', 0, 3));
    EXPECT_FALSE(verifyPassword(dummyHash(), QStringLiteral("secret")));
    const std::pair<int, int> delays[] = {{1, 0},    {9, 0},    {10, 1},   {11, 2},    {14, 16},
                                          {19, 512}, {20, 900}, {45, 900}, {1000, 900}};
    for (const auto& [failures, seconds] : delays)
        EXPECT_EQ(lockout_limits::delaySeconds(failures), seconds) << failures << " failures";
}

// Ten failures lock the name whatever the password, then the delay doubles; alike for a known
// and an unknown name, so that an attacker cannot tell them apart. Ends with the token of a
// sign-in after the lockout is lifted.
QString lockedOutThenLifted(Fixture& f, const QString& name, const QString& password) {
    for (int i = 1; i <= 10; ++i)
        EXPECT_EQ(f.signIn(name, kWrong), Authenticator::refusalText()) << "failure " << i;
    EXPECT_EQ(f.signIn(name, password), QStringLiteral("Too many failed sign-ins for this name. "
                                                       "Wait 1 second and sign in again, or ask "
                                                       "an operator to lift the lockout."));
    for (const int wait : {1, 2}) {
        f.clock_.advance(wait);
        EXPECT_EQ(f.signIn(name, kWrong), Authenticator::refusalText());
        EXPECT_TRUE(f.signIn(name, password).contains(u"Wait %1 seconds"_s.arg(2 * wait)));
    }
    EXPECT_EQ(f.auditRows(QStringLiteral("SIGN_IN_FAILED")), 15);
    EXPECT_EQ(f.auditRows(QStringLiteral("LOCKED_OUT")), 3);
    EXPECT_EQ(scalar(f.db_,
                     u"SELECT COUNT(*) FROM AUDIT_LOG WHERE ADMIN_ID = ? AND AUDIT_TIME <> ''"_s,
                     {name})
                  .toInt(),
              18);
    EXPECT_EQ(listLockouts(f.db_).size(), 1u);
    EXPECT_EQ(listLockouts(f.db_).at(0).failures, 12);
    EXPECT_TRUE(liftLockout(f.db_, name, QStringLiteral("operator"), f.clock_));
    EXPECT_FALSE(liftLockout(f.db_, name, QStringLiteral("operator"), f.clock_));
    EXPECT_EQ(f.auditRows(QStringLiteral("LOCKOUT_LIFTED")), 1);
    f.signIn(name, password);
    return f.signedIn.token;
}

// The fixture's session after `minutes` idle, or in use every ten minutes for that long.
QString after(Fixture& f, int minutes, bool inUse) {
    for (int i = 0; i < (inUse ? minutes / 10 : 1); ++i) {
        f.clock_.advance(inUse ? 10 * 60 : minutes * 60);
        if (inUse)
            f.send(f.retrieval("NW00123"));
    }
    return f.session_.token;
}

QString secondSignInForgetsTheFailures(Fixture& f) {
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 9; ++i)
            f.signIn(QStringLiteral("admin"), kWrong);
        EXPECT_EQ(f.signIn(QStringLiteral("admin"), QStringLiteral("secret")), QString());
        EXPECT_TRUE(listLockouts(f.db_).empty());
    }
    return f.signedIn.token;
}

QString weakHashRenewedOnce(Fixture& f) {
    std::array<char, crypto_pwhash_STRBYTES> weak{};
    EXPECT_EQ(
        crypto_pwhash_str_alg(weak.data(), "secret", 6, 1, 8192, crypto_pwhash_ALG_ARGON2ID13), 0);
    execute(f.db_, QStringLiteral("UPDATE ADMINISTRATOR SET PWD_HASH = '%1'").arg(weak.data()));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(f.signIn(QStringLiteral("admin"), QStringLiteral("secret")), QString());
        EXPECT_FALSE(needsRehash(storedHash(f))) << storedHash(f).toStdString();
        EXPECT_EQ(f.auditRows(QStringLiteral("PASSWORD_REHASHED")), 1);
    }
    return f.signedIn.token;
}

// What sign-ins, time and use make of access: a save with the token the row's function ends
// with works exactly when the row says.
Edit token(std::function<QString(Fixture&)> make) {
    return [make](Fixture& f, MessageData& m) { m.sessionId = make(f); };
}
const char* const kExpired = "Your session has expired";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Sessions, RequestTest, ::testing::Values(
    Request{"Fresh", "NW00123", "+CFU", token([](Fixture& f) { EXPECT_EQ(f.session_.token.size(), 64); return f.session_.token; }), nullptr, "BIS CFR CFU", 1},
    Request{"Idle29Minutes", "NW00123", "+CFU", token([](Fixture& f) { return after(f, 29, false); }), nullptr, "BIS CFR CFU", 1},
    Request{"Idle30Minutes", "NW00123", "+CFU", token([](Fixture& f) { return after(f, 30, false); }), kExpired, nullptr},
    Request{"InUseForSevenHoursFifty", "NW00123", "+CFU", token([](Fixture& f) { return after(f, 470, true); }), nullptr, "BIS CFR CFU", 1},
    Request{"InUseForEightHours", "NW00123", "+CFU", token([](Fixture& f) { return after(f, 480, true); }), kExpired, nullptr},
    Request{"SignedOut", "NW00123", "+CFU", token([](Fixture& f) { Authenticator(f.db_, f.clock_).signOut(f.session_.token); return f.session_.token; }), kExpired, nullptr},
    // The session table holds no token a reader could use.
    Request{"ItsStoredDigest", "NW00123", "+CFU", token([](Fixture& f) {
        EXPECT_EQ(f.count(u"SELECT COUNT(*) FROM ADMIN_SESSION WHERE '%1' IN (TOKEN_HASH, ADMIN_ID, REGION)"_s.arg(f.session_.token)), 0);
        return tokenDigest(f.session_.token); }), kExpired, nullptr},
    Request{"Forged", "NW00123", "+CFU", token([](Fixture&) { return newSessionToken(); }), kExpired, nullptr},
    Request{"OfAnotherRegionsAdministrator", "NW00123", "+CFU", token([](Fixture& f) {
        addAdministrator(f.db_, "admin.se", "SE", "SE", "se-secret");
        EXPECT_EQ(f.signIn("admin.se", "se-secret"), QString());
        return f.signedIn.token; }), "Officer NW00123 was not found in your region", nullptr},
    Request{"KnownNameLockedOutThenLifted", "NW00123", "+CFU", token([](Fixture& f) { return lockedOutThenLifted(f, "admin", "secret"); }), nullptr, "BIS CFR CFU", 1},
    Request{"UnknownNameLockedOutThenLifted", "NW00123", "+CFU", token([](Fixture& f) { return lockedOutThenLifted(f, "nobody", "any"); }), kExpired, nullptr},
    Request{"ASuccessForgetsEarlierFailures", "NW00123", "+CFU", token(secondSignInForgetsTheFailures), nullptr, "BIS CFR CFU", 1},
    Request{"AWeakerStoredHashIsRenewedOnceAndAudited", "NW00123", "+CFU", token(weakHashRenewedOnce), nullptr, "BIS CFR CFU", 1}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

} // namespace
} // namespace zavek::backend::testing
