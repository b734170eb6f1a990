#include "backend/demo_data.h"
#include "backend/schema.h"
#include "common/record_table.h"
#include "common/session_info.h"
#include "tests/postgres/test_database.h"

#include <gtest/gtest.h>

namespace zavek::testing {
namespace {

// The catalogue query exactly as the screen sends it, two blanks included.
const QString kCatalogueQuery =
    QStringLiteral("Select * from VRD_GROUP Where REGION='NW'  order by GRP_TYP_CD, GRP_DES");

class CatalogueQueryOnBothDatabases : public ::testing::Test {
protected:
    void TearDown() override { SessionInfo::Instance().clear(); }

    // The rows the query gives, as text, read by upper-case field names.
    std::vector<QStringList> load(Engine engine) {
        TestDatabase database(engine);
        Connection c(database.location());
        backend::migrate(c.db());
        backend::seedDemoData(c.db());
        SessionInfo::Instance().establish(QStringLiteral("session"), QStringLiteral("NW"),
                                          c.name());
        RecordTable table;
        table.Source(kCatalogueQuery);
        table.Open();
        std::vector<QStringList> rows;
        for (table.MoveFirst(); !table.isEof(); table.MoveNext())
            rows.push_back({table.field(QStringLiteral("REGION")).Text(),
                            table.field(QStringLiteral("GRP_TYP_CD")).Text(),
                            table.field(QStringLiteral("GRP_CD")).Text(),
                            table.field(QStringLiteral("GRP_DES")).Text()});
        SessionInfo::Instance().clear();
        return rows;
    }
};

TEST_F(CatalogueQueryOnBothDatabases, PostgresGivesTheSameRowsInTheSameOrderAsSqlite) {
    TestDatabase probe(Engine::Postgres);
    ZAVEK_REQUIRE_DATABASE(probe);
    const auto onSqlite = load(Engine::Sqlite);
    const auto onPostgres = load(Engine::Postgres);
    ASSERT_FALSE(onSqlite.empty());
    EXPECT_EQ(onPostgres, onSqlite);
    EXPECT_EQ(onPostgres.front()[1], QStringLiteral("A")); // agencies first
    EXPECT_EQ(onPostgres.back()[1], QStringLiteral("P"));
}

TEST_F(CatalogueQueryOnBothDatabases, FieldNamesFoldedToLowerCaseAreStillFoundByName) {
    TestDatabase database(Engine::Postgres);
    ZAVEK_REQUIRE_DATABASE(database);
    Connection c(database.location());
    backend::migrate(c.db());
    backend::seedDemoData(c.db());
    SessionInfo::Instance().establish(QStringLiteral("session"), QStringLiteral("NW"), c.name());
    RecordTable table;
    table.Source(kCatalogueQuery);
    table.Open();
    ASSERT_GT(table.recordCount(), 0);
    EXPECT_TRUE(table.data().fields.contains(QStringLiteral("grp_des")));
    table.MoveFirst();
    EXPECT_FALSE(table.field(QStringLiteral("GRP_DES")).Text().isEmpty());
    EXPECT_EQ(table.field(QStringLiteral("REGION")).Text(), QStringLiteral("NW"));
}

} // namespace
} // namespace zavek::testing
