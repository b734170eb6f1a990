#include "common/failure.h"
#include "common/session_info.h"
#include "tests/postgres/test_database.h"
#include "toolbox/officer_directory.h"
#include "toolbox/officer_select.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace zavek::testing {
namespace {

using OfficerDirectory = ::testing::TestWithParam<Engine>;

// Identifier or name, any letter case, only the region's officers, ordered by name then
// identifier, wildcards and backslashes matching only themselves, at most the limit; a failing
// query is refused.
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
}

ZAVEK_BOTH_DATABASES(OfficerDirectory);

struct Directory final : IOfficerDirectory {
    OfficerSearchResult search(const QString& text, const QString& region, int limit) override {
        calls << QStringLiteral("%1|%2|%3").arg(text, region).arg(limit);
        if (failing)
            fail(codes::kDatabase, "The officer search failed: no such table: OFFICER");
        return result;
    }
    OfficerSearchResult result{{{"A1001", "Brown, Ann"}, {"B2002", "Clark, Ben"}}};
    bool failing = false;
    QStringList calls;
};

// The session's region is asked; the hint says what was found; Searching is raised with the
// earlier results gone; a failing directory is shown and the control goes on. An officer is
// picked by Enter (double-click: the screen's tests; the select button: end-to-end), a
// click only selects, and Clear empties the field, the list and the name before it is announced.
TEST(OfficerSelect, SearchesTheSessionRegionTellsWhatItFoundAndPicksOrClears) {
    SessionInfo::Instance().establish("S-1", "NORTH", QString());
    Directory directory;
    ZAVEK_OfficerSelect select;
    select.setDirectory(&directory, &SessionInfo::Instance());
    select.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&select));
    QStringList picks; // id|OfficerName while the pick is handled
    QObject::connect(&select, &ZAVEK_OfficerSelect::OfficerSelected, &select,
                     [&](const QString& id) { picks << id + '|' + select.OfficerName(); });
    const auto child = [&](const char* name) { return select.findChild<QWidget*>(name); };
    auto* edit = select.findChild<QLineEdit*>("searchEdit");
    auto* view = select.findChild<QTreeView*>("resultView");
    const auto hint = [&] { return select.findChild<QLabel*>("hintLabel")->text(); };
    const auto rows = [&] { return view->model()->rowCount(); };
    const auto typeAndSearch = [&](const QString& text) {
        edit->setText(text), QTest::keyClick(edit, Qt::Key_Return);
    };
    const QAbstractItemModelTester tester(view->model(),
                                          QAbstractItemModelTester::FailureReportingMode::Fatal);
    typeAndSearch("  clark ");
    EXPECT_EQ(directory.calls.join(' ') + view->model()->index(1, 1).data().toString(),
              "clark|NORTH|200Clark, Ben");
    const QPoint second = view->visualRect(view->model()->index(1, 1)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second);
    EXPECT_TRUE(picks.isEmpty() && child("selectButton")->isEnabled());
    typeAndSearch("a");
    QTest::keyClick(edit, Qt::Key_Down); // from the field to the first row
    QTest::keyClick(view, Qt::Key_Enter);
    EXPECT_EQ(picks, QStringList{"A1001|Brown, Ann"});
    QStringList whenCleared;
    QObject::connect(&select, &ZAVEK_OfficerSelect::ClearForm, &select, [&] {
        whenCleared << edit->text() + '|' + QString::number(rows()) + select.OfficerName();
    });
    QTest::mouseClick(child("clearButton"), Qt::LeftButton);
    EXPECT_EQ(whenCleared, QStringList{"|0"});
    EXPECT_FALSE(child("selectButton")->isEnabled());

    int rowsWhenRaised = -1;
    QObject::connect(&select, &ZAVEK_OfficerSelect::Searching, &select,
                     [&] { rowsWhenRaised = rows(); });
    // text, officers found, more of them, the search fails, the hint and the rows listed
    // clang-format off
    const std::tuple<const char*, int, bool, bool, const char*> cases[] = {
        {"one", 1, false, false, "1 officer found1"}, {"none", 0, false, false, "No officer matches \"none\".0"},
        {"a", 1, false, true, "The officer search failed: no such table: OFFICER Check the connection to the database and search again.0"},
        {"many", 200, true, false, "More than 200 officers match; showing the first 200. Refine the search.200"}};
    // clang-format on
    for (const auto& [text, found, more, fails, says] : cases) {
        directory.result = {std::vector<OfficerRow>(found, {"X", "Officer"}), more};
        directory.failing = fails;
        typeAndSearch(text);
        EXPECT_EQ(rowsWhenRaised, 0) << text;
        EXPECT_EQ(hint() + QString::number(rows()), says) << text;
    }
    QTest::mouseClick(child("searchButton"), Qt::LeftButton);
    EXPECT_EQ(rows(), 200);
}

} // namespace
} // namespace zavek::testing
