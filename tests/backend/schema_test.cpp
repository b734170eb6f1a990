#include "backend/authenticator.h"
#include "backend/database.h"
#include "backend/demo_data.h"
#include "backend/schema.h"
#include "common/failure.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

namespace zavek::backend {
namespace {

class SchemaTest : public ::testing::Test {
protected:
    void SetUp() override {
        name_ = QUuid::createUuid().toString(QUuid::WithoutBraces);
        db_ = openDatabase(dir_.filePath(QStringLiteral("sub/dir/z.sqlite")), name_);
    }
    void TearDown() override {
        db_ = QSqlDatabase();
        closeDatabase(name_);
    }
    int count(const QString& sql) {
        QSqlQuery q(db_);
        EXPECT_TRUE(q.exec(sql));
        q.next();
        return q.value(0).toInt();
    }
    QTemporaryDir dir_;
    QString name_;
    QSqlDatabase db_;
};

TEST_F(SchemaTest, FreshDatabaseReachesCurrentVersion) {
    EXPECT_EQ(migrate(db_), kSchemaVersion);
    EXPECT_EQ(schemaVersion(db_), kSchemaVersion);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM OFFICER_GROUP")), 0);
}

TEST_F(SchemaTest, SecondMigrationChangesNothing) {
    migrate(db_);
    EXPECT_EQ(migrate(db_), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM SCHEMA_VERSION")), kSchemaVersion);
}

TEST_F(SchemaTest, NewerDatabaseIsRefused) {
    migrate(db_);
    QSqlQuery(db_).exec(QStringLiteral("INSERT INTO SCHEMA_VERSION VALUES (99)"));
    const auto failure = attempt([&] { migrate(db_); });
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->description().contains(QLatin1String("was created by a newer version")));
}

TEST_F(SchemaTest, MalformedPostgresAddressIsRefusedWithAdvice) {
    const auto failure = attempt(
        [] { openDatabase(QStringLiteral("postgresql://host-only"), QStringLiteral("pg-bad")); });
    QSqlDatabase::removeDatabase(QStringLiteral("pg-bad"));
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->description().contains(QLatin1String("postgresql://user")));
}

class DemoDataTest : public SchemaTest {};

TEST_F(DemoDataTest, EveryOfficerHasExactlyOneAgency) {
    EXPECT_TRUE(seedDemoData(db_));
    EXPECT_GE(count(QStringLiteral("SELECT COUNT(*) FROM OFFICER")), 200);
    EXPECT_EQ(count(QStringLiteral(
                  "SELECT COUNT(*) FROM OFFICER o WHERE (SELECT COUNT(*) FROM OFFICER_GROUP m JOIN "
                  "VRD_GROUP g ON g.GRP_CD = m.GRP_CD AND g.REGION = o.REGION WHERE m.INSP_ID = "
                  "o.INSP_ID AND g.GRP_TYP_CD = 'A') <> 1")),
              0);
    EXPECT_EQ(
        count(QStringLiteral("SELECT COUNT(*) FROM VRD_GROUP a JOIN VRD_GROUP p ON a.REGION = "
                             "p.REGION AND a.GRP_CD = p.GRP_CD AND a.GRP_TYP_CD <> p.GRP_TYP_CD")),
        0);
}

TEST_F(DemoDataTest, SeedsOnlyOnce) {
    EXPECT_TRUE(seedDemoData(db_));
    const int officers = count(QStringLiteral("SELECT COUNT(*) FROM OFFICER"));
    EXPECT_FALSE(seedDemoData(db_));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM OFFICER")), officers);
}

TEST_F(DemoDataTest, DemoAdministratorCanSignIn) {
    seedDemoData(db_);
    Authenticator auth(db_);
    const Session s =
        auth.signIn(QString::fromLatin1(kDemoAdminId), QString::fromLatin1(kDemoAdminPassword));
    EXPECT_EQ(s.region, QString::fromLatin1(kDemoRegion));
}

} // namespace
} // namespace zavek::backend
