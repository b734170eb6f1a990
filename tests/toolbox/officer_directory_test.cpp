#include "common/failure.h"
#include "tests/postgres/test_database.h"
#include "toolbox/officer_directory.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace zavek::testing {
namespace {

class OfficerDirectory : public ::testing::TestWithParam<Engine> {
protected:
    TestDatabase database{GetParam()};
    std::optional<Connection> connection;

    void SetUp() override {
        ZAVEK_REQUIRE_DATABASE(database);
        connection.emplace(database.location());
        QSqlQuery q(connection->db());
        ASSERT_TRUE(q.exec("CREATE TABLE OFFICER (INSP_ID VARCHAR(20) PRIMARY KEY, "
                           "OFFICER_NAME VARCHAR(80), REGION VARCHAR(10))"));
        for (const auto& [id, name, region] :
             std::initializer_list<std::array<const char*, 3>>{{"A1001", "Brown, Ann", "N"},
                                                               {"B2002", "Clark, Ben", "N"},
                                                               {"ab12", "Dunn, Carl", "N"},
                                                               {"X9", "Ebert, Dora", "N"},
                                                               {"S1", "Smith, Sam", "N"},
                                                               {"S2", "Smith, Sue", "S"},
                                                               {"P1", "100% Sure", "N"},
                                                               {"P2", "1000 Sure", "N"},
                                                               {"U1", "A_B\\C", "N"},
                                                               {"U2", "AXBXC", "N"},
                                                               {"C3", "Young, Ann", "N"},
                                                               {"A9", "Young, Ann", "N"},
                                                               {"Y1", "Young, Ann", "S"}}) {
            q.prepare("INSERT INTO OFFICER (INSP_ID, OFFICER_NAME, REGION) VALUES (?, ?, ?)");
            q.addBindValue(QString::fromUtf8(id));
            q.addBindValue(QString::fromUtf8(name));
            q.addBindValue(QString::fromUtf8(region));
            ASSERT_TRUE(q.exec());
        }
    }
};

// Identifier or name, any letter case, only the region's officers, ordered by name then
// identifier, wildcards and backslashes matching only themselves, at most the limit.
TEST_P(OfficerDirectory, FindsTheRegionsOfficersWhoseIdOrNameHoldsTheText) {
    struct Case {
        const char* text;
        const char* region;
        int limit;
        QStringList ids;
        bool more;
    };
    // clang-format off
    const Case cases[] = {
        {"B200", "N", 200, {"B2002"}, false}, {"clar", "N", 200, {"B2002"}, false},
        {"AB1", "N", 200, {"ab12"}, false}, {"eBERT", "N", 200, {"X9"}, false},
        {"smith", "N", 200, {"S1"}, false}, {"", "S", 200, {"S2", "Y1"}, false},
        {"", "W", 200, {}, false}, {"100%", "N", 200, {"P1"}, false}, {"%", "N", 200, {"P1"}, false},
        {"a_b\\c", "N", 200, {"U1"}, false}, {"young", "N", 200, {"A9", "C3"}, false},
        {"young", "N", 1, {"A9"}, true}, {"young", "N", 2, {"A9", "C3"}, false},
    };
    // clang-format on
    SqlOfficerDirectory directory(connection->name());
    for (const Case& c : cases) {
        const OfficerSearchResult result = directory.search(c.text, c.region, c.limit);
        QStringList ids;
        for (const OfficerRow& row : result.rows)
            ids << row.id;
        EXPECT_EQ(ids, c.ids) << c.text << " in " << c.region;
        EXPECT_EQ(result.more, c.more) << c.text << " in " << c.region;
    }
    EXPECT_EQ(directory.search("clar", "N", 200).rows.at(0).name, u"Clark, Ben"_s);

    QSqlQuery(connection->db()).exec("DROP TABLE OFFICER");
    const auto failure = attempt([&] { directory.search("x", "N", 200); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), codes::kDatabase);
    const auto unknown =
        attempt([] { SqlOfficerDirectory(u"no-such-connection"_s).search("", "N", 1); });
    ASSERT_TRUE(unknown);
    EXPECT_TRUE(unknown->description().contains(u"no-such-connection"_s));
}

ZAVEK_BOTH_DATABASES(OfficerDirectory);

} // namespace
} // namespace zavek::testing
