// A database made by the first release, on both databases: its audit rows stay, its plain-text
// sessions end, and the widened audit log takes the new actions and refuses unknown ones.

#include "backend/audit.h"
#include "backend/schema.h"
#include "tests/postgres/test_database.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

namespace zavek::testing {
namespace {

using OnBothDatabases = ::testing::TestWithParam<Engine>;

TEST_P(OnBothDatabases, AVersionOneDatabaseUpgradesAndKeepsItsAuditRows) {
    TestDatabase database(GetParam());
    ZAVEK_REQUIRE_DATABASE(database);
    Connection c(database.location());
    ASSERT_EQ(backend::migrate(c.db(), 1), 1);
    QSqlQuery q(c.db());
    ASSERT_TRUE(
        q.exec("INSERT INTO ADMINISTRATOR VALUES ('admin', 'Admin', 'NW', 'h')") &&
        q.exec("INSERT INTO ADMIN_SESSION VALUES ('plain-token', 'admin', 'NW', 'a', 'b')") &&
        q.exec("INSERT INTO AUDIT_LOG (AUDIT_TIME, ADMIN_ID, INSP_ID, GRP_CD, ACTION, MESSAGE_ID) "
               "VALUES ('2026-01-02T03:04:05.000Z', 'admin', 'NW1', 'CFR', 'ADD', 'm-1')"));
    EXPECT_EQ(backend::migrate(c.db()), backend::kSchemaVersion - 1);
    EXPECT_EQ(backend::schemaVersion(c.db()), backend::kSchemaVersion);
    EXPECT_EQ(scalarOf(c.db(),
                       "SELECT COUNT(*) FROM AUDIT_LOG WHERE ADMIN_ID = 'admin' AND ACTION = "
                       "'ADD' AND MESSAGE_ID = 'm-1' AND DETAIL IS NULL"),
              1);
    EXPECT_EQ(scalarOf(c.db(), "SELECT COUNT(*) FROM ADMIN_SESSION"), 0);
    for (const QString& action : backend::auditActionTexts()) // each taken, as the count shows
        scalarOf(c.db(),
                 "INSERT INTO AUDIT_LOG (AUDIT_TIME, ADMIN_ID, ACTION) VALUES ('t', 'admin', ?)",
                 {action});
    EXPECT_FALSE(q.exec(
        "INSERT INTO AUDIT_LOG (AUDIT_TIME, ADMIN_ID, ACTION) VALUES ('t', 'admin', 'DROP')"));
    EXPECT_EQ(scalarOf(c.db(), "SELECT COUNT(*) FROM AUDIT_LOG"),
              int(backend::auditActionTexts().size()) + 1);
}

ZAVEK_BOTH_DATABASES(OnBothDatabases);

} // namespace
} // namespace zavek::testing
