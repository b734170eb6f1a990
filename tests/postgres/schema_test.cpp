#include "backend/audit.h"
#include "backend/schema.h"
#include "backend/sql.h"
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

namespace zavek::testing {
namespace {

class SchemaUpgrade : public ::testing::TestWithParam<Engine> {
protected:
    TestDatabase database{GetParam()};
};

// A database made by the first release: its audit rows stay, its plain-text sessions end, and
// the widened audit log takes the new actions and refuses unknown ones.
TEST_P(SchemaUpgrade, AVersionOneDatabaseUpgradesAndKeepsItsAuditRows) {
    ZAVEK_REQUIRE_DATABASE(database);
    Connection c(database.location());
    ASSERT_EQ(backend::migrate(c.db(), 1), 1);
    for (const char* sql :
         {"INSERT INTO ADMINISTRATOR VALUES ('admin', 'Admin', 'NW', 'h')",
          "INSERT INTO ADMIN_SESSION VALUES ('plain-token', 'admin', 'NW', 'a', 'b')",
          "INSERT INTO AUDIT_LOG (AUDIT_TIME, ADMIN_ID, INSP_ID, GRP_CD, ACTION, MESSAGE_ID) "
          "VALUES ('2026-01-02T03:04:05.000Z', 'admin', 'NW1', 'CFR', 'ADD', 'm-1')"}) {
        QSqlQuery q(c.db());
        ASSERT_TRUE(q.exec(QString::fromLatin1(sql))) << sql;
    }
    EXPECT_EQ(backend::migrate(c.db()), backend::kSchemaVersion - 1);
    EXPECT_EQ(backend::schemaVersion(c.db()), backend::kSchemaVersion);

    QSqlQuery kept(c.db());
    ASSERT_TRUE(kept.exec(QStringLiteral("SELECT AUDIT_ID, AUDIT_TIME, ADMIN_ID, INSP_ID, GRP_CD, "
                                         "ACTION, MESSAGE_ID, DETAIL FROM AUDIT_LOG")));
    ASSERT_TRUE(kept.next());
    EXPECT_EQ(kept.value(2).toString(), QStringLiteral("admin"));
    EXPECT_EQ(kept.value(5).toString(), QStringLiteral("ADD"));
    EXPECT_EQ(kept.value(6).toString(), QStringLiteral("m-1"));
    EXPECT_TRUE(kept.value(7).isNull());
    const int firstId = kept.value(0).toInt();
    EXPECT_FALSE(kept.next());
    QSqlQuery sessions(c.db());
    ASSERT_TRUE(sessions.exec(QStringLiteral("SELECT COUNT(*) FROM ADMIN_SESSION")) &&
                sessions.next());
    EXPECT_EQ(sessions.value(0).toInt(), 0);

    for (const QString& action : backend::auditActionTexts()) {
        QSqlQuery insert(c.db());
        insert.prepare(QStringLiteral("INSERT INTO AUDIT_LOG (AUDIT_TIME, ADMIN_ID, ACTION) "
                                      "VALUES ('t', 'admin', ?)"));
        insert.addBindValue(action);
        EXPECT_TRUE(insert.exec()) << action.toStdString();
    }
    QSqlQuery bogus(c.db());
    EXPECT_FALSE(bogus.exec(QStringLiteral("INSERT INTO AUDIT_LOG (AUDIT_TIME, ADMIN_ID, ACTION) "
                                           "VALUES ('t', 'admin', 'DROP')")));
    QSqlQuery ids(c.db());
    ASSERT_TRUE(ids.exec(QStringLiteral("SELECT MIN(AUDIT_ID) FROM AUDIT_LOG WHERE ACTION <> "
                                        "'ADD'")) &&
                ids.next());
    EXPECT_GT(ids.value(0).toInt(), firstId);
}

INSTANTIATE_TEST_SUITE_P(BothDatabases, SchemaUpgrade,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(engineName(info.param)); });

} // namespace
} // namespace zavek::testing
