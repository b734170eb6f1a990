#include "backend/schema.h"
#include "common/failure.h"
#include "tests/postgres/test_database.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

namespace zavek::testing {
namespace {

class PostgresMigration : public ::testing::Test {
protected:
    TestDatabase database{Engine::Postgres};

    int count(QSqlDatabase& db, const QString& statement) {
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(statement)) << statement.toStdString();
        return q.next() ? q.value(0).toInt() : -1;
    }
};

TEST_F(PostgresMigration, AnEmptyDatabaseGetsEveryTableAndTheCurrentVersion) {
    ZAVEK_REQUIRE_DATABASE(database);
    Connection c(database.location());
    EXPECT_EQ(backend::schemaVersion(c.db()), 0);
    EXPECT_EQ(backend::migrate(c.db()), backend::kSchemaVersion);
    EXPECT_EQ(backend::schemaVersion(c.db()), backend::kSchemaVersion);
    for (const char* table :
         {"VRD_GROUP", "OFFICER", "OFFICER_GROUP", "ADMINISTRATOR", "ADMIN_SESSION", "AUDIT_LOG"})
        EXPECT_EQ(count(c.db(), QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)), 0) << table;
    EXPECT_EQ(count(c.db(), QStringLiteral("SELECT MAX(VERSION) FROM SCHEMA_VERSION")),
              backend::kSchemaVersion);
}

TEST_F(PostgresMigration, MigratingAgainKeepsTheDataAndTheVersion) {
    ZAVEK_REQUIRE_DATABASE(database);
    Connection c(database.location());
    backend::migrate(c.db());
    QSqlQuery insert(c.db());
    ASSERT_TRUE(insert.prepare(QStringLiteral(
        "INSERT INTO VRD_GROUP (REGION, GRP_TYP_CD, GRP_CD, GRP_DES) VALUES (?, ?, ?, ?)")));
    for (const char* v : {"NW", "P", "G1", "Group one"})
        insert.addBindValue(QString::fromLatin1(v));
    ASSERT_TRUE(insert.exec());

    EXPECT_EQ(backend::migrate(c.db()), 0); // nothing left to apply
    EXPECT_EQ(backend::schemaVersion(c.db()), backend::kSchemaVersion);
    EXPECT_EQ(count(c.db(), QStringLiteral("SELECT COUNT(*) FROM VRD_GROUP")), 1);
    EXPECT_EQ(count(c.db(), QStringLiteral("SELECT COUNT(*) FROM SCHEMA_VERSION")),
              backend::kSchemaVersion);
}

TEST_F(PostgresMigration, ADatabaseOfANewerVersionIsRefusedWithOneSentence) {
    ZAVEK_REQUIRE_DATABASE(database);
    Connection c(database.location());
    backend::migrate(c.db());
    QSqlQuery newer(c.db());
    ASSERT_TRUE(newer.prepare(QStringLiteral("INSERT INTO SCHEMA_VERSION (VERSION) VALUES (?)")));
    newer.addBindValue(backend::kSchemaVersion + 1);
    ASSERT_TRUE(newer.exec());

    try {
        backend::migrate(c.db());
        FAIL() << "a newer schema was accepted";
    } catch (const Failure& f) {
        EXPECT_TRUE(f.description().contains(QStringLiteral("newer version")))
            << f.description().toStdString();
        EXPECT_FALSE(f.description().contains(u'\n'));
    }
}

} // namespace
} // namespace zavek::testing
