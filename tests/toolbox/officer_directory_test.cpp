#include "common/failure.h"
#include "tests/support/temp_database.h"
#include "toolbox/officer_directory.h"

#include <QSqlQuery>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zavek {
namespace {

using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

auto id(const char* value) {
    return Field(&OfficerRow::id, QString::fromLatin1(value));
}

class SqlOfficerDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        db_.exec(
            {QStringLiteral("CREATE TABLE OFFICER (INSP_ID VARCHAR(20) PRIMARY KEY, "
                            "OFFICER_NAME VARCHAR(80), REGION VARCHAR(10), RANK VARCHAR(10))")});
    }

    void add(const QString& id, const QString& name, const QString& region = QStringLiteral("N")) {
        QSqlQuery q(db_.db());
        ASSERT_TRUE(q.prepare(QStringLiteral(
            "INSERT INTO OFFICER (INSP_ID, OFFICER_NAME, REGION, RANK) VALUES (?, ?, ?, 'I')")));
        q.addBindValue(id);
        q.addBindValue(name);
        q.addBindValue(region);
        ASSERT_TRUE(q.exec());
    }

    OfficerSearchResult search(const QString& text, int limit = 200) {
        return directory_.search(text, QStringLiteral("N"), limit);
    }

    testing::TempDatabase db_;
    SqlOfficerDirectory directory_{db_.connectionName()};
};

TEST_F(SqlOfficerDirectoryTest, MatchesPartOfTheIdentifier) {
    add("A1001", "Brown, Ann");
    add("B2002", "Clark, Ben");
    EXPECT_THAT(search("100").rows, ElementsAre(id("A1001")));
}

TEST_F(SqlOfficerDirectoryTest, MatchesPartOfTheNameAndReturnsIt) {
    add("A1001", "Brown, Ann");
    add("B2002", "Clark, Ben");
    const auto result = search("clar");
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.rows[0].id, "B2002");
    EXPECT_EQ(result.rows[0].name, "Clark, Ben");
    EXPECT_FALSE(result.more);
}

TEST_F(SqlOfficerDirectoryTest, IgnoresLetterCaseInTextAndData) {
    add("ab12", "Dunn, Carl");
    add("X9", "Ebert, Dora");
    EXPECT_THAT(search("AB1").rows, ElementsAre(id("ab12")));
    EXPECT_THAT(search("eBERT").rows, ElementsAre(id("X9")));
}

TEST_F(SqlOfficerDirectoryTest, EmptyTextListsEveryOfficerOfTheRegion) {
    add("A1", "Ames, Al");
    add("B2", "Bell, Bo");
    EXPECT_THAT(search("").rows, ElementsAre(id("A1"), id("B2")));
}

TEST_F(SqlOfficerDirectoryTest, OfficersOfOtherRegionsAreNotFound) {
    add("A1", "Smith, Sam", "N");
    add("A2", "Smith, Sue", "S");
    EXPECT_THAT(search("smith").rows, ElementsAre(id("A1")));
    EXPECT_THAT(directory_.search(QString(), QStringLiteral("S"), 200).rows, ElementsAre(id("A2")));
    EXPECT_THAT(directory_.search(QString(), QStringLiteral("W"), 200).rows, IsEmpty());
}

TEST_F(SqlOfficerDirectoryTest, PercentAndUnderscoreMatchOnlyThemselves) {
    add("P1", "100% Sure");
    add("P2", "1000 Sure");
    add("U1", "A_B");
    add("U2", "AXB");
    EXPECT_THAT(search("100%").rows, ElementsAre(id("P1")));
    EXPECT_THAT(search("a_b").rows, ElementsAre(id("U1")));
    EXPECT_THAT(search("%").rows, ElementsAre(id("P1")));
}

TEST_F(SqlOfficerDirectoryTest, BackslashMatchesOnlyItself) {
    add("S1", "Back\\Slash");
    add("S2", "BackXSlash");
    EXPECT_THAT(search("k\\s").rows, ElementsAre(id("S1")));
}

TEST_F(SqlOfficerDirectoryTest, OrdersByNameThenIdentifier) {
    add("C3", "Young, Ann");
    add("B2", "Adams, Zoe");
    add("A9", "Young, Ann");
    EXPECT_THAT(search("").rows, ElementsAre(id("B2"), id("A9"), id("C3")));
}

TEST_F(SqlOfficerDirectoryTest, StopsAtTheLimitAndSaysMoreExist) {
    for (int i = 0; i < 5; ++i)
        add(QStringLiteral("ID%1").arg(i), QStringLiteral("Officer %1").arg(i));
    const auto capped = search("", 3);
    EXPECT_THAT(capped.rows, ElementsAre(id("ID0"), id("ID1"), id("ID2")));
    EXPECT_TRUE(capped.more);
}

TEST_F(SqlOfficerDirectoryTest, ExactlyTheLimitIsNotMore) {
    for (int i = 0; i < 3; ++i)
        add(QStringLiteral("ID%1").arg(i), QStringLiteral("Officer %1").arg(i));
    const auto result = search("", 3);
    EXPECT_EQ(result.rows.size(), 3u);
    EXPECT_FALSE(result.more);
}

TEST_F(SqlOfficerDirectoryTest, FailingQueryThrowsFailureWithTheDatabaseMessage) {
    db_.exec({QStringLiteral("DROP TABLE OFFICER")});
    try {
        search("x");
        FAIL() << "no failure raised";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.code(), codes::kDatabase);
        EXPECT_THAT(failure.description().toStdString(), HasSubstr("no such table"));
    }
}

TEST(SqlOfficerDirectoryConnectionTest, UnknownConnectionThrowsFailureNamingIt) {
    SqlOfficerDirectory directory(QStringLiteral("no-such-connection"));
    try {
        directory.search(QString(), QStringLiteral("N"), 10);
        FAIL() << "no failure raised";
    } catch (const Failure& failure) {
        EXPECT_THAT(failure.description().toStdString(), HasSubstr("no-such-connection"));
    }
}

} // namespace
} // namespace zavek
