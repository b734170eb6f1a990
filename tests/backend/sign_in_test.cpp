#include "tests/backend/backend_fixture.h"

#include "backend/password.h"
#include "common/failure.h"

#include <QRegularExpression>
#include <QSqlQuery>

#include <sodium.h>

#include <functional>

namespace zavek::backend::testing {
namespace {

const QString kAdmin = QStringLiteral("admin");
const QString kRight = QStringLiteral("secret");

class SignInTest : public BackendFixture {
protected:
    // The failure's text, empty when the sign-in worked.
    QString attemptSignIn(const QString& id, const QString& password) {
        const auto failure = attempt([&] { Authenticator(db_, clock_).signIn(id, password); });
        return failure ? failure->description() : QString();
    }
    int count(const QString& sql) {
        QSqlQuery q(db_);
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
        return q.next() ? q.value(0).toInt() : -1;
    }
    QString storedHash() {
        QSqlQuery q(db_);
        q.exec(QStringLiteral("SELECT PWD_HASH FROM ADMINISTRATOR WHERE ADMIN_ID = 'admin'"));
        return q.next() ? q.value(0).toString() : QString();
    }
};

TEST_F(SignInTest, TheHashIsArgon2idWithAtLeastTheInteractiveLimits) {
    for (const QString& hash : {storedHash(), hashPassword(QStringLiteral("x")), dummyHash()}) {
        const auto m = QRegularExpression(QStringLiteral(R"(^\$argon2id\$v=19\$m=(\d+),t=(\d+),)"))
                           .match(hash);
        ASSERT_TRUE(m.hasMatch()) << hash.toStdString();
        EXPECT_GE(m.captured(1).toULongLong() * 1024, crypto_pwhash_MEMLIMIT_INTERACTIVE);
        EXPECT_GE(m.captured(2).toULongLong(), crypto_pwhash_OPSLIMIT_INTERACTIVE);
    }
    // The unknown-name path verifies against a hash that costs what a real one costs.
    EXPECT_EQ(dummyHash().section(u'$', 0, 3), storedHash().section(u'$', 0, 3));
    EXPECT_FALSE(verifyPassword(dummyHash(), kRight));
}

TEST_F(SignInTest, AWeakerStoredHashIsRenewedAtSignInAndAudited) {
    std::array<char, crypto_pwhash_STRBYTES> weak{};
    ASSERT_EQ(
        crypto_pwhash_str_alg(weak.data(), "secret", 6, 1, 8192, crypto_pwhash_ALG_ARGON2ID13), 0);
    exec(QStringLiteral("UPDATE ADMINISTRATOR SET PWD_HASH = '%1'").arg(weak.data()));
    EXPECT_EQ(attemptSignIn(kAdmin, kRight), QString());
    EXPECT_FALSE(needsRehash(storedHash())) << storedHash().toStdString();
    EXPECT_EQ(auditRows(QStringLiteral("PASSWORD_REHASHED")), 1);
    EXPECT_EQ(attemptSignIn(kAdmin, kRight), QString());
    EXPECT_EQ(auditRows(QStringLiteral("PASSWORD_REHASHED")), 1);
}

TEST_F(SignInTest, TheLockoutDelayStartsAtTheTenthFailureAndDoublesToAQuarterHour) {
    const std::pair<int, int> table[] = {{1, 0},    {9, 0},    {10, 1},   {11, 2},    {14, 16},
                                         {19, 512}, {20, 900}, {45, 900}, {1000, 900}};
    for (const auto& [failures, seconds] : table)
        EXPECT_EQ(lockout_limits::delaySeconds(failures), seconds) << failures << " failures";
}

// The same sequence for a known and an unknown name: what an attacker sees must not differ.
class LockoutTest : public SignInTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(LockoutTest, TenFailuresLockTheNameWhateverThePasswordThenTheDelayGrows) {
    const QString name = QString::fromLatin1(GetParam());
    const QString password = name == kAdmin ? kRight : QStringLiteral("anything");
    for (int i = 1; i <= 10; ++i)
        ASSERT_EQ(attemptSignIn(name, QStringLiteral("wrong")), Authenticator::refusalText())
            << "failure " << i;
    const QString locked = attemptSignIn(name, password);
    EXPECT_EQ(locked, QStringLiteral("Too many failed sign-ins for this name. Wait 1 second and "
                                     "sign in again, or ask an operator to lift the lockout."));
    clock_.advance(1);
    EXPECT_EQ(attemptSignIn(name, QStringLiteral("wrong")), Authenticator::refusalText());
    EXPECT_TRUE(attemptSignIn(name, password).contains(QLatin1String("Wait 2 seconds")));
    clock_.advance(2);
    EXPECT_EQ(attemptSignIn(name, QStringLiteral("wrong")), Authenticator::refusalText());
    EXPECT_TRUE(attemptSignIn(name, password).contains(QLatin1String("Wait 4 seconds")));
    EXPECT_EQ(auditRows(QStringLiteral("SIGN_IN_FAILED")), 15);
    EXPECT_EQ(auditRows(QStringLiteral("LOCKED_OUT")), 3);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM AUDIT_LOG WHERE ADMIN_ID = '%1' AND "
                                   "AUDIT_TIME <> ''")
                        .arg(name)),
              18);

    ASSERT_EQ(listLockouts(db_).size(), 1u);
    EXPECT_EQ(listLockouts(db_)[0].failures, 12);
    EXPECT_TRUE(liftLockout(db_, name, QStringLiteral("operator"), clock_));
    EXPECT_FALSE(liftLockout(db_, name, QStringLiteral("operator"), clock_));
    EXPECT_EQ(auditRows(QStringLiteral("LOCKOUT_LIFTED")), 1);
    const QString afterLift = attemptSignIn(name, password);
    EXPECT_EQ(afterLift.isEmpty(), name == kAdmin) << afterLift.toStdString();
}

INSTANTIATE_TEST_SUITE_P(KnownAndUnknownName, LockoutTest, ::testing::Values("admin", "nobody"));

TEST_F(SignInTest, ASuccessForgetsEarlierFailures) {
    for (int i = 0; i < 9; ++i)
        attemptSignIn(kAdmin, QStringLiteral("wrong"));
    EXPECT_EQ(attemptSignIn(kAdmin, kRight), QString());
    EXPECT_TRUE(listLockouts(db_).empty());
    for (int i = 0; i < 9; ++i)
        attemptSignIn(kAdmin, QStringLiteral("wrong"));
    EXPECT_EQ(attemptSignIn(kAdmin, kRight), QString());
}

// What becomes of a session token with time and use: it works exactly while live.
struct TokenCase {
    const char* name;
    std::function<QString(SignInTest&, zavek::testing::FakeClock&, const Session&)> prepare;
    bool works;
};

class SessionTest : public SignInTest, public ::testing::WithParamInterface<TokenCase> {};

QString usedEveryTenMinutes(SignInTest& t, zavek::testing::FakeClock& clock, const Session& s,
                            int times) {
    for (int i = 0; i < times; ++i) {
        clock.advance(10 * 60);
        t.send(t.retrieval(QStringLiteral("NW00123")));
    }
    return s.token;
}

TEST_P(SessionTest, ARequestWorksExactlyWhileTheSessionIsLive) {
    const TokenCase& c = GetParam();
    const QString token = c.prepare(*this, clock_, session_);
    MessageData request = save(QStringLiteral("NW00123"), {{QStringLiteral("CFU"), "ADD"}});
    request.sessionId = token;
    const QString before = dump();
    const MessageData reply = send(request);
    EXPECT_EQ(reply.errorText.isEmpty(), c.works) << reply.errorText.toStdString();
    if (!c.works) {
        EXPECT_EQ(dump(), before);
        EXPECT_EQ(reply.table(QStringLiteral("OFFICERGROUP")), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, SessionTest,
    ::testing::Values(
        TokenCase{"Fresh", [](auto&, auto&, const Session& s) { return s.token; }, true},
        TokenCase{"Idle29Minutes",
                  [](auto&, auto& clock, const Session& s) {
                      clock.advance(29 * 60);
                      return s.token;
                  },
                  true},
        TokenCase{"Idle30Minutes",
                  [](auto&, auto& clock, const Session& s) {
                      clock.advance(30 * 60);
                      return s.token;
                  },
                  false},
        TokenCase{"InUseForSevenHoursFifty",
                  [](SignInTest& t, auto& clock, const Session& s) {
                      return usedEveryTenMinutes(t, clock, s, 47);
                  },
                  true},
        TokenCase{"InUseForEightHours",
                  [](SignInTest& t, auto& clock, const Session& s) {
                      return usedEveryTenMinutes(t, clock, s, 48);
                  },
                  false},
        TokenCase{"SignedOut",
                  [](SignInTest& t, auto& clock, const Session& s) {
                      Authenticator(t.db_, clock).signOut(s.token);
                      return s.token;
                  },
                  false},
        TokenCase{"ItsStoredDigest",
                  [](auto&, auto&, const Session& s) { return tokenDigest(s.token); }, false},
        TokenCase{"Forged", [](auto&, auto&, const Session&) { return newSessionToken(); }, false},
        TokenCase{"OfAnotherRegionsAdministrator",
                  [](SignInTest& t, auto& clock, const Session&) {
                      addAdministrator(t.db_, QStringLiteral("admin.se"), QStringLiteral("SE"),
                                       QStringLiteral("SE"), QStringLiteral("se-secret"));
                      return Authenticator(t.db_, clock)
                          .signIn(QStringLiteral("admin.se"), QStringLiteral("se-secret"))
                          .token;
                  },
                  false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SignInTest, TheSessionTableHoldsNoTokenAReaderCouldUse) {
    EXPECT_EQ(session_.token.size(), 64);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM ADMIN_SESSION WHERE TOKEN_HASH = '%1'")
                        .arg(tokenDigest(session_.token))),
              1);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM ADMIN_SESSION WHERE TOKEN_HASH = '%1' "
                                   "OR ADMIN_ID = '%1' OR REGION = '%1'")
                        .arg(session_.token)),
              0);
}

} // namespace
} // namespace zavek::backend::testing
