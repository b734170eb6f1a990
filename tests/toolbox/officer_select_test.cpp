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

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace zavek {
namespace {

class FakeDirectory final : public IOfficerDirectory {
public:
    OfficerSearchResult search(const QString& text, const QString& region, int limit) override {
        calls << u"%1|%2|%3"_s.arg(text, region).arg(limit);
        if (failure)
            throw *failure;
        return result;
    }
    OfficerSearchResult result{{{"A1001", "Brown, Ann"}, {"B2002", "Clark, Ben"}}};
    std::optional<Failure> failure;
    QStringList calls;
};

class OfficerSelectTest : public ::testing::Test {
protected:
    void SetUp() override {
        SessionInfo::Instance().establish(u"S-1"_s, u"NORTH"_s, QString());
        select.setDirectory(&directory);
        select.resize(743, 289);
        select.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&select));
        QObject::connect(&select, &ZAVEK_OfficerSelect::OfficerSelected, &select,
                         [this](const QString& id) { picks << id + u'|' + select.OfficerName(); });
    }
    void TearDown() override { SessionInfo::Instance().clear(); }

    template <typename T> T* child(const char* name) {
        return select.findChild<T*>(QString::fromLatin1(name));
    }
    QLineEdit* edit() { return child<QLineEdit>("searchEdit"); }
    QTreeView* view() { return child<QTreeView>("resultView"); }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    QString hint() { return child<QLabel>("hintLabel")->text(); }
    int rows() { return view()->model()->rowCount(); }
    void typeAndSearch(const QString& text) {
        edit()->setFocus();
        QTest::keyClicks(edit(), text);
        QTest::keyClick(edit(), Qt::Key_Return);
    }
    QPoint rowCentre(int row) {
        return view()->visualRect(view()->model()->index(row, 1)).center();
    }
    void clickRow(int row) {
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, rowCentre(row));
    }

    FakeDirectory directory;
    ZAVEK_OfficerSelect select;
    QStringList picks; // id|OfficerName while the pick is handled
};

TEST_F(OfficerSelectTest, ASearchAsksTheSessionRegionAndTellsWhatItFound) {
    QAbstractItemModelTester tester(view()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    typeAndSearch(u"  clark "_s);
    EXPECT_EQ(directory.calls, QStringList{"clark|NORTH|200"});
    EXPECT_EQ(hint(), "2 officers found");
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(view()->model()->headerData(0, Qt::Horizontal).toString() + u'|' +
                  view()->model()->headerData(1, Qt::Horizontal).toString(),
              "Officer ID|Name");
    EXPECT_EQ(view()->model()->index(1, 0).data().toString() + u'|' +
                  view()->model()->index(1, 1).data().toString(),
              "B2002|Clark, Ben");

    // Searching is raised before the results are shown, the earlier ones gone.
    int rowsWhenRaised = -1;
    QObject::connect(&select, &ZAVEK_OfficerSelect::Searching, &select,
                     [&] { rowsWhenRaised = rows(); });
    struct Case {
        const char* name;
        int found;
        bool more;
        const char* hint;
    };
    const Case cases[] = {
        {"one", 1, false, "1 officer found"},
        {"none", 0, false, "No officer matches \"none\"."},
        {"many", 200, true,
         "More than 200 officers match; showing the first 200. Refine the search."},
        {"two", 2, false, "2 officers found"},
    };
    for (const Case& c : cases) {
        directory.result.rows.assign(c.found, {u"X"_s, u"Officer"_s});
        directory.result.more = c.more;
        edit()->clear();
        typeAndSearch(QString::fromLatin1(c.name));
        EXPECT_EQ(rowsWhenRaised, 0) << c.name;
        EXPECT_EQ(hint(), QString::fromLatin1(c.hint)) << c.name;
        EXPECT_EQ(rows(), c.found) << c.name;
    }
}

TEST_F(OfficerSelectTest, AFailingOrMissingDirectoryIsShownAndTheControlKeepsWorking) {
    directory.failure =
        Failure(codes::kDatabase, u"The officer search failed: no such table: OFFICER"_s);
    typeAndSearch(u"a"_s);
    EXPECT_TRUE(hint().contains("no such table: OFFICER")) << hint().toStdString();
    EXPECT_EQ(rows(), 0);
    directory.failure.reset();
    QTest::mouseClick(button("searchButton"), Qt::LeftButton);
    EXPECT_EQ(hint(), "2 officers found");
    select.setDirectory(nullptr);
    QTest::keyClick(edit(), Qt::Key_Return);
    EXPECT_TRUE(hint().contains("not available")) << hint().toStdString();
    EXPECT_EQ(directory.calls.size(), 2);
}

// Each way of picking, from fresh results; a click only selects.
TEST_F(OfficerSelectTest, AnOfficerIsPickedByDoubleClickEnterOrTheSelectButton) {
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"B2002|Clark, Ben",
         [&] { // a real double-click is press, release, double-click, release
             clickRow(1);
             QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, rowCentre(1));
             QTest::mouseRelease(view()->viewport(), Qt::LeftButton, {}, rowCentre(1));
         }},
        {"A1001|Brown, Ann",
         [&] {
             view()->setFocus();
             view()->setCurrentIndex(view()->model()->index(0, 0));
             QTest::keyClick(view(), Qt::Key_Return);
         }},
        {"B2002|Clark, Ben",
         [&] { // down from the field to the first row, down once more, Enter
             QTest::keyClick(edit(), Qt::Key_Down);
             QTest::keyClick(view(), Qt::Key_Down);
             QTest::keyClick(view(), Qt::Key_Enter);
         }},
        {"B2002|Clark, Ben",
         [&] {
             EXPECT_FALSE(button("selectButton")->isEnabled());
             clickRow(1);
             EXPECT_TRUE(picks.isEmpty());
             ASSERT_TRUE(button("selectButton")->isEnabled());
             QTest::mouseClick(button("selectButton"), Qt::LeftButton);
         }},
    };
    for (const auto& [picked, way] : ways) {
        picks.clear();
        typeAndSearch(u"a"_s);
        way();
        EXPECT_EQ(picks, QStringList{QString::fromLatin1(picked)});
        EXPECT_EQ(select.property("OfficerName").toString(),
                  QString::fromLatin1(picked).section(u'|', 1));
    }
    typeAndSearch(u"a"_s);
    EXPECT_FALSE(button("selectButton")->isEnabled()) << "a new search drops the selection";
}

TEST_F(OfficerSelectTest, ClearEmptiesFieldListAndNameThenRaisesClearForm) {
    typeAndSearch(u"a"_s);
    clickRow(0);
    QTest::mouseClick(button("selectButton"), Qt::LeftButton);
    ASSERT_EQ(select.OfficerName(), "Brown, Ann");
    QStringList whenRaised;
    QObject::connect(&select, &ZAVEK_OfficerSelect::ClearForm, &select,
                     [&] { whenRaised << edit()->text() + u'|' + QString::number(rows()); });
    QTest::mouseClick(button("clearButton"), Qt::LeftButton);
    EXPECT_EQ(whenRaised, QStringList{"|0"});
    EXPECT_EQ(select.OfficerName(), "");
    EXPECT_FALSE(button("selectButton")->isEnabled());
}

} // namespace
} // namespace zavek
