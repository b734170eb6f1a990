#include "tests/groups/groups_fixture.h"

#include "groups/catalogue_query.h"

namespace zavek::testing {
namespace {

class CatalogueLoad : public GroupsTest {};

TEST(CatalogueQuery, OrdinaryRegionGivesTheExactText) {
    EXPECT_EQ(
        catalogueQuery(QStringLiteral("NW")),
        QStringLiteral("Select * from VRD_GROUP Where REGION='NW'  order by GRP_TYP_CD, GRP_DES"));
}

TEST(CatalogueQuery, QuotesInTheRegionAreDoubled) {
    EXPECT_EQ(catalogueQuery(QStringLiteral("O'BRIEN")),
              QStringLiteral(
                  "Select * from VRD_GROUP Where REGION='O''BRIEN'  order by GRP_TYP_CD, GRP_DES"));
}

TEST_F(CatalogueLoad, RegionIsTrimmedAndUpperCased) {
    rows({QStringLiteral("'NW','P','G1','Alpha'"), QStringLiteral("'nw','P','G2','Lower region'"),
          QStringLiteral("'SE','P','G3','Other region'")});
    rules->InitializeListView();
    EXPECT_EQ(texts(groups), QStringList{QStringLiteral("Alpha/G1")});
}

TEST_F(CatalogueLoad, TypesSortIntoTheirListsInCatalogueOrder) {
    rows({QStringLiteral("'NW','P','G2','Beta'"), QStringLiteral("'NW','A','A1','Agency One'"),
          QStringLiteral("'NW','P','G1','Alpha'"), QStringLiteral("'NW','a','X1','lower a'"),
          QStringLiteral("'NW','p','X2','lower p'"), QStringLiteral("'NW','A ','X3','A and blank'"),
          QStringLiteral("'NW','Q','X4','other'"), QStringLiteral("'NW',NULL,'X5','no type'")});
    rules->InitializeListView();
    EXPECT_EQ(texts(groups), (QStringList{QStringLiteral("Alpha/G1"), QStringLiteral("Beta/G2")}));
    EXPECT_EQ(texts(agencies), QStringList{QStringLiteral("Agency One/A1")});
    for (int r = 0; r < groups.count(); ++r)
        EXPECT_FALSE(groups.item(r).tag || groups.item(r).checked);
    EXPECT_TRUE(logSources().isEmpty());
}

TEST_F(CatalogueLoad, SameCodeInBothTypesAndTwiceInOneGivesEveryItem) {
    rows({QStringLiteral("'NW','P','X','Group X'"), QStringLiteral("'NW','A','X','Agency X'"),
          QStringLiteral("'NW','P','X','Group X again'")});
    rules->InitializeListView();
    EXPECT_EQ(groups.count(), 2);
    EXPECT_EQ(agencies.count(), 1);
}

TEST_F(CatalogueLoad, ColumnWidthsAreSetEvenForAnEmptyCatalogue) {
    rules->InitializeListView();
    EXPECT_EQ(geometry.widths[std::make_pair(0, 1)], 3870);
    EXPECT_EQ(geometry.widths[std::make_pair(0, 2)], 0);
    EXPECT_EQ(geometry.widths[std::make_pair(1, 1)], 3870);
    EXPECT_EQ(geometry.widths[std::make_pair(1, 2)], 0);
    EXPECT_EQ(groups.count(), 0);
}

TEST_F(CatalogueLoad, ANullDescriptionEndsTheLoadKeepingEarlierItems) {
    rows({QStringLiteral("'NW','P','G1','Alpha'"), QStringLiteral("'NW','P','G2',NULL"),
          QStringLiteral("'NW','P','G3','Gamma'")});
    rules->InitializeListView();
    // Ordered by description, the null comes first in SQLite: the load ends at once.
    EXPECT_EQ(groups.count(), 1);
    EXPECT_TRUE(groups.item(0).text.isEmpty()) << "the item keeps what was set before";
    EXPECT_EQ(logSources(), QStringList{QStringLiteral("ZAVEK_Security.InitializeListView")});
}

TEST_F(CatalogueLoad, ANullCodeEndsTheLoad) {
    rows({QStringLiteral("'NW','A','A1','Agency'"), QStringLiteral("'NW','P',NULL,'Beta'"),
          QStringLiteral("'NW','P','G3','Gamma'")});
    rules->InitializeListView();
    EXPECT_EQ(agencies.count(), 1);
    ASSERT_EQ(groups.count(), 1);
    EXPECT_EQ(groups.item(0).text, QStringLiteral("Beta"));
    EXPECT_TRUE(groups.item(0).code.isEmpty());
    EXPECT_EQ(logSources().size(), 1);
}

// A failure ends the load and is logged once, naming what failed; the stop code ends it
// without a word.
TEST_F(CatalogueLoad, AFailureEndsTheLoadAndIsLoggedUnlessItIsTheStopCode) {
    struct Case {
        const char* what;
        std::uint32_t layoutFailure;
        bool dropTable;
        const char* logged; // nullptr: nothing logged
    };
    const Case cases[] = {
        {"stop code while laying out", codes::kStop, false, nullptr},
        {"other failure while laying out", codes::kInvalidArgument, false, "laid out"},
        {"failing query", 0, true, "VRD_GROUP"},
    };
    rows({QStringLiteral("'NW','P','G1','Alpha'")});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ErrorLogger::Instance().clearRecent();
        geometry.failWith = c.layoutFailure;
        if (c.dropTable)
            db.exec({QStringLiteral("DROP TABLE VRD_GROUP")});
        rules->InitializeListView();
        EXPECT_EQ(groups.count(), 0);
        const auto& recent = ErrorLogger::Instance().recent();
        ASSERT_EQ(recent.size(), c.logged ? 1u : 0u);
        if (c.logged) {
            EXPECT_TRUE(recent.back().description.contains(QLatin1String(c.logged)))
                << recent.back().description.toStdString();
        }
    }
}

TEST_F(CatalogueLoad, ARegionWithAQuoteStaysALiteral) {
    SessionInfo::Instance().establish(QStringLiteral("s"), QStringLiteral("o'brien"),
                                      db.connectionName());
    rows({QStringLiteral("'O''BRIEN','P','G1','Quoted region'"),
          QStringLiteral("'NW','P','G2','Other'")});
    rules->InitializeListView();
    EXPECT_EQ(texts(groups), QStringList{QStringLiteral("Quoted region/G1")});
    EXPECT_TRUE(logSources().isEmpty());
}

TEST_F(CatalogueLoad, ASecondShowHoldsTheCatalogueOnce) {
    rows({QStringLiteral("'NW','P','G1','Alpha'"), QStringLiteral("'NW','A','A1','Agency'")});
    rules->InitializeListView();
    groups.setChecked(0, true);
    rules->InitializeListView();
    EXPECT_EQ(groups.count(), 1);
    EXPECT_EQ(agencies.count(), 1);
    EXPECT_FALSE(groups.item(0).checked);
    // A show that fails midway keeps the catalogue on screen.
    rows({QStringLiteral("'NW','P','G2',NULL")});
    rules->InitializeListView();
    EXPECT_EQ(texts(groups), QStringList{QStringLiteral("Alpha/G1")});
}

} // namespace
} // namespace zavek::testing
