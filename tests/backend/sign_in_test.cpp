#include "tests/backend/backend_fixture.h"

#include "common/failure.h"

#include <QSqlQuery>

namespace zavek::backend::testing {
namespace {

class SignInTest : public BackendFixture {
protected:
    std::optional<Failure> signInFails(const QString& id, const QString& password) {
        Authenticator auth(db_);
        auth.setFailureDelayMs(0);
        return attempt([&] { auth.signIn(id, password); });
    }
};

TEST_F(SignInTest, RightPasswordOpensSessionRow) {
    EXPECT_EQ(session_.token.size(), 64);
    EXPECT_EQ(session_.region, QStringLiteral("NW"));
    EXPECT_EQ(session_.adminName, QStringLiteral("Demo Administrator"));
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT ADMIN_ID FROM ADMIN_SESSION WHERE TOKEN = ?"));
    q.addBindValue(session_.token);
    ASSERT_TRUE(q.exec());
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), QStringLiteral("admin"));
}

TEST_F(SignInTest, WrongPasswordAndUnknownAdministratorGiveTheSameMessage) {
    const auto wrong = signInFails(QStringLiteral("admin"), QStringLiteral("nope"));
    const auto unknown = signInFails(QStringLiteral("nobody"), QStringLiteral("secret"));
    ASSERT_TRUE(wrong);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(wrong->description(), unknown->description());
    EXPECT_FALSE(wrong->description().isEmpty());
}

} // namespace
} // namespace zavek::backend::testing
