#include "common/failure.h"
#include "toolbox/officer_directory.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zavek {
namespace {

using ::testing::ElementsAre;
using ::testing::Field;

auto id(const char* value) {
    return Field(&OfficerRow::id, QString::fromLatin1(value));
}

// Runs against the server that scripts/with-postgres.sh provides; skipped without one. Each
// test works in a schema of its own so that test binaries can share the server.
class PostgresOfficerDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString url = qEnvironmentVariable("ZAVEK_TEST_POSTGRES");
        if (url.isEmpty())
            GTEST_SKIP() << "ZAVEK_TEST_POSTGRES is not set";
        const QUrl u(url);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
        db.setHostName(u.host());
        db.setPort(u.port(5432));
        db.setUserName(u.userName());
        db.setPassword(u.password());
        db.setDatabaseName(u.path().mid(1));
        ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
        exec(QStringLiteral("CREATE SCHEMA %1").arg(schema_));
        exec(QStringLiteral("SET search_path TO %1").arg(schema_));
        exec(QStringLiteral("CREATE TABLE OFFICER (INSP_ID VARCHAR(20) PRIMARY KEY, "
                            "OFFICER_NAME VARCHAR(80), REGION VARCHAR(10))"));
    }
    void TearDown() override {
        if (QSqlDatabase::contains(name_)) {
            {
                QSqlDatabase db = QSqlDatabase::database(name_, false);
                if (db.isOpen())
                    QSqlQuery(db).exec(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(schema_));
                db.close();
            }
            QSqlDatabase::removeDatabase(name_);
        }
    }

    void exec(const QString& sql) {
        QSqlQuery q(QSqlDatabase::database(name_, false));
        ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    }
    void add(const QString& id, const QString& name, const QString& region = QStringLiteral("N")) {
        QSqlQuery q(QSqlDatabase::database(name_, false));
        ASSERT_TRUE(q.prepare(QStringLiteral(
            "INSERT INTO OFFICER (INSP_ID, OFFICER_NAME, REGION) VALUES (?, ?, ?)")));
        q.addBindValue(id);
        q.addBindValue(name);
        q.addBindValue(region);
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    }
    OfficerSearchResult search(const QString& text, int limit = 200) {
        return directory_.search(text, QStringLiteral("N"), limit);
    }

    QString name_ = QStringLiteral("pg-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QString schema_ =
        QStringLiteral("toolbox_") + QUuid::createUuid().toString(QUuid::Id128).left(16);
    SqlOfficerDirectory directory_{name_};
};

TEST_F(PostgresOfficerDirectoryTest, MatchesIgnoringCaseWithinTheRegionInNameOrder) {
    add("b2", "Young, Ann");
    add("A1", "adams, Zoe");
    add("C3", "Young, Ann", "S");
    EXPECT_THAT(search("YOU").rows, ElementsAre(id("b2")));
    EXPECT_THAT(search("a1").rows, ElementsAre(id("A1")));
    EXPECT_EQ(search("").rows.size(), 2u);
}

TEST_F(PostgresOfficerDirectoryTest, WildcardsAndBackslashMatchLiterally) {
    add("P1", "100% Sure");
    add("P2", "1000 Sure");
    add("U1", "A_B\\C");
    add("U2", "AXBXC");
    EXPECT_THAT(search("100%").rows, ElementsAre(id("P1")));
    EXPECT_THAT(search("a_b\\c").rows, ElementsAre(id("U1")));
}

TEST_F(PostgresOfficerDirectoryTest, StopsAtTheLimitAndSaysMoreExist) {
    for (int i = 0; i < 4; ++i)
        add(QStringLiteral("ID%1").arg(i), QStringLiteral("Officer %1").arg(i));
    const auto result = search("officer", 3);
    EXPECT_THAT(result.rows, ElementsAre(id("ID0"), id("ID1"), id("ID2")));
    EXPECT_TRUE(result.more);
}

TEST_F(PostgresOfficerDirectoryTest, FailingQueryThrowsFailure) {
    exec(QStringLiteral("DROP TABLE OFFICER"));
    EXPECT_THROW(search("x"), Failure);
}

} // namespace
} // namespace zavek
