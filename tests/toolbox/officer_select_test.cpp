#include "common/failure.h"
#include "common/session_info.h"
#include "toolbox/officer_directory.h"
#include "toolbox/officer_select.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace zavek {
namespace {

class OfficerSelectTest : public ::testing::Test, public IOfficerDirectory {
protected:
    OfficerSearchResult search(const QString& text, const QString& region, int limit) override {
        calls << QStringLiteral("%1|%2|%3").arg(text, region).arg(limit);
        if (failing)
            fail(codes::kDatabase, "The officer search failed: no such table: OFFICER");
        return result;
    }
    void SetUp() override {
        SessionInfo::Instance().establish("S-1", "NORTH", QString());
        select.setDirectory(this, &SessionInfo::Instance());
        select.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&select));
        QObject::connect(&select, &ZAVEK_OfficerSelect::OfficerSelected, &select,
                         [this](const QString& id) { picks << id + '|' + select.OfficerName(); });
    }
    template <typename T = QPushButton> T* child(const char* name) {
        return select.findChild<T*>(name);
    }
    QLineEdit* edit() { return child<QLineEdit>("searchEdit"); }
    QTreeView* view() { return child<QTreeView>("resultView"); }
    QString hint() { return child<QLabel>("hintLabel")->text(); }
    int rows() { return view()->model()->rowCount(); }
    void typeAndSearch(const QString& text) {
        edit()->clear();
        QTest::keyClicks(edit(), text);
        QTest::keyClick(edit(), Qt::Key_Return);
    }
    QPoint row(int r) { return view()->visualRect(view()->model()->index(r, 1)).center(); }

    OfficerSearchResult result{{{"A1001", "Brown, Ann"}, {"B2002", "Clark, Ben"}}};
    bool failing = false;
    QStringList calls, picks; // picks: id|OfficerName while the pick is handled
    ZAVEK_OfficerSelect select;
};

// The session's region is asked; the hint says what was found; Searching is raised with the
// earlier results gone; a failing or missing directory is shown and the control goes on. An
// officer is picked by double-click or Enter (the select button: the end-to-end scenarios), a
// click only selects, and Clear empties the field, the list and the name before it is announced.
TEST_F(OfficerSelectTest, SearchesTheSessionRegionTellsWhatItFoundAndPicksOrClears) {
    QAbstractItemModelTester tester(view()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    typeAndSearch("  clark ");
    EXPECT_EQ(calls.join(' ') + view()->model()->index(1, 1).data().toString(),
              "clark|NORTH|200Clark, Ben");
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, row(1));
    EXPECT_TRUE(picks.isEmpty() && child("selectButton")->isEnabled());
    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, row(1)); // press, release, double
    QTest::mouseRelease(view()->viewport(), Qt::LeftButton, {}, row(1));
    typeAndSearch("a");
    QTest::keyClick(edit(), Qt::Key_Down); // from the field to the first row
    QTest::keyClick(view(), Qt::Key_Enter);
    EXPECT_EQ(picks, (QStringList{"B2002|Clark, Ben", "A1001|Brown, Ann"}));
    EXPECT_EQ(select.property("OfficerName").toString(), "Brown, Ann");
    QStringList whenCleared;
    QObject::connect(&select, &ZAVEK_OfficerSelect::ClearForm, &select, [&] {
        whenCleared << edit()->text() + '|' + QString::number(rows()) + select.OfficerName();
    });
    QTest::mouseClick(child("clearButton"), Qt::LeftButton);
    EXPECT_EQ(whenCleared, QStringList{"|0"});
    EXPECT_FALSE(child("selectButton")->isEnabled());

    int rowsWhenRaised = -1;
    QObject::connect(&select, &ZAVEK_OfficerSelect::Searching, &select,
                     [&] { rowsWhenRaised = rows(); });
    // clang-format off
    const std::tuple<const char*, int, bool, const char*> cases[] = {
        {"one", 1, false, "1 officer found"}, {"none", 0, false, "No officer matches \"none\"."},
        {"many", 200, true,
         "More than 200 officers match; showing the first 200. Refine the search."}};
    // clang-format on
    for (const auto& [text, found, more, says] : cases) {
        result = {std::vector<OfficerRow>(found, {"X", "Officer"}), more};
        typeAndSearch(text);
        EXPECT_EQ(rowsWhenRaised, 0) << text;
        EXPECT_EQ(hint() + QString::number(rows()), says + QString::number(found)) << text;
    }
    failing = true;
    typeAndSearch("a");
    EXPECT_TRUE(hint().contains("no such table: OFFICER") && rows() == 0) << hint().toStdString();
    failing = false;
    QTest::mouseClick(child("searchButton"), Qt::LeftButton);
    EXPECT_EQ(rows(), 200);
    select.setDirectory(nullptr);
    QTest::keyClick(edit(), Qt::Key_Return);
    EXPECT_TRUE(hint().contains("not available")) << hint().toStdString();
}

} // namespace
} // namespace zavek
