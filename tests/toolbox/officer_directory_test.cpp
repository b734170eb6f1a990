#include "common/failure.h"
#include "tests/postgres/test_database.h"
#include "toolbox/officer_directory.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

namespace zavek::testing {
namespace {

using OfficerDirectory = ::testing::TestWithParam<Engine>;

// Identifier or name, any letter case, only the region's officers, ordered by name then
// identifier, wildcards and backslashes matching only themselves, at most the limit; a failing
// query or an unknown connection is refused.
TEST_P(OfficerDirectory, FindsTheRegionsOfficersWhoseIdOrNameHoldsTheText) {
    TestDatabase database(GetParam());
    ZAVEK_REQUIRE_DATABASE(database);
    Connection c(database.location());
    QSqlQuery q(c.db());
    ASSERT_TRUE(q.exec("CREATE TABLE OFFICER (INSP_ID VARCHAR(20) PRIMARY KEY, OFFICER_NAME "
                       "VARCHAR(80), REGION VARCHAR(10))"));
    ASSERT_TRUE(q.exec("INSERT INTO OFFICER VALUES ('A1001', 'Brown, Ann', 'N'), ('B2002', "
                       "'Clark, Ben', 'N'), ('ab12', 'Dunn, Carl', 'N'), ('X9', 'Ebert, Dora', "
                       "'N'), ('S1', 'Smith, Sam', 'N'), ('S2', 'Smith, Sue', 'S'), ('P1', '100% "
                       "Sure', 'N'), ('P2', '1000 Sure', 'N'), ('U1', 'A_B\\C', 'N'), ('U2', "
                       "'AXBXC', 'N'), ('C3', 'Young, Ann', 'N'), ('A9', 'Young, Ann', 'N'), "
                       "('Y1', 'Young, Ann', 'S')"));
    // text, region, limit, the identifiers found ("+": and there are more)
    // clang-format off
    const std::tuple<const char*, const char*, int, const char*> cases[] = {
        {"B200", "N", 200, "B2002"}, {"clar", "N", 200, "B2002"}, {"AB1", "N", 200, "ab12"},
        {"eBERT", "N", 200, "X9"}, {"smith", "N", 200, "S1"}, {"", "S", 200, "S2 Y1"},
        {"", "W", 200, ""}, {"100%", "N", 200, "P1"}, {"%", "N", 200, "P1"},
        {"a_b\\c", "N", 200, "U1"}, {"young", "N", 1, "A9+"}, {"young", "N", 2, "A9 C3"}};
    // clang-format on
    SqlOfficerDirectory directory(c.name());
    for (const auto& [text, region, limit, ids] : cases) {
        const OfficerSearchResult result = directory.search(text, region, limit);
        QStringList found;
        for (const OfficerRow& row : result.rows)
            found << row.id;
        EXPECT_EQ(found.join(' ') + (result.more ? "+" : ""), QString(ids))
            << text << " in " << region;
    }
    EXPECT_EQ(directory.search("clar", "N", 200).rows.at(0).name, "Clark, Ben");
    ASSERT_TRUE(q.exec("DROP TABLE OFFICER"));
    const auto failed = attempt([&] { directory.search("x", "N", 200); });
    EXPECT_TRUE(failed && failed->code() == codes::kDatabase);
    const auto unknown =
        attempt([] { SqlOfficerDirectory("no-such-connection").search("", "N", 1); });
    EXPECT_TRUE(unknown && unknown->description().contains("no-such-connection"));
}

ZAVEK_BOTH_DATABASES(OfficerDirectory);

} // namespace
} // namespace zavek::testing
