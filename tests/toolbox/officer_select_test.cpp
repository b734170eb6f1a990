#include "common/failure.h"
#include "common/session_info.h"
#include "toolbox/officer_directory.h"
#include "toolbox/officer_select.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

namespace zavek {
namespace {

struct SearchCall {
    QString text;
    QString region;
    int limit;
};

class FakeDirectory final : public IOfficerDirectory {
public:
    OfficerSearchResult search(const QString& text, const QString& region, int limit) override {
        calls.push_back({text, region, limit});
        if (failure)
            throw *failure;
        return result;
    }

    OfficerSearchResult result;
    std::optional<Failure> failure;
    std::vector<SearchCall> calls;
};

class OfficerSelectTest : public ::testing::Test {
protected:
    void SetUp() override {
        SessionInfo::Instance().establish(QStringLiteral("S-1"), QStringLiteral("NORTH"),
                                          QString());
        directory_.result.rows = {{QStringLiteral("A1001"), QStringLiteral("Brown, Ann")},
                                  {QStringLiteral("B2002"), QStringLiteral("Clark, Ben")}};
        select_.setDirectory(&directory_);
        select_.resize(743, 289);
        select_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&select_));
    }
    void TearDown() override { SessionInfo::Instance().clear(); }

    template <typename T> T* child(const char* name) {
        auto* widget = select_.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* edit() { return child<QLineEdit>("searchEdit"); }
    QTreeView* view() { return child<QTreeView>("resultView"); }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    QString hint() { return child<QLabel>("hintLabel")->text(); }

    void typeAndSearch(const QString& text) {
        edit()->setFocus();
        QTest::keyClicks(edit(), text);
        QTest::keyClick(edit(), Qt::Key_Return);
    }
    QStringList shownIds() {
        QStringList ids;
        for (int row = 0; row < view()->model()->rowCount(); ++row)
            ids << view()->model()->index(row, 0).data().toString();
        return ids;
    }
    // A real double-click is press, release, double-click, release; QTest sends only the
    // double-click event itself, which a view takes for a fresh press.
    void doubleClickRow(int row) {
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, rowCentre(row));
        QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, rowCentre(row));
        QTest::mouseRelease(view()->viewport(), Qt::LeftButton, {}, rowCentre(row));
    }
    QPoint rowCentre(int row) {
        return view()->visualRect(view()->model()->index(row, 1)).center();
    }

    FakeDirectory directory_;
    ZAVEK_OfficerSelect select_;
};

// --- searching ---

TEST_F(OfficerSelectTest, EnterInTheFieldSearchesTheSessionRegionWithTheTrimmedText) {
    typeAndSearch(QStringLiteral("  clark "));
    ASSERT_EQ(directory_.calls.size(), 1u);
    EXPECT_EQ(directory_.calls[0].text, "clark");
    EXPECT_EQ(directory_.calls[0].region, "NORTH");
    EXPECT_EQ(directory_.calls[0].limit, ZAVEK_OfficerSelect::kResultLimit);
}

TEST_F(OfficerSelectTest, SearchButtonShowsTheResults) {
    edit()->setText(QStringLiteral("a"));
    QTest::mouseClick(button("searchButton"), Qt::LeftButton);
    EXPECT_EQ(shownIds(), (QStringList{"A1001", "B2002"}));
    EXPECT_EQ(view()->model()->index(1, 1).data().toString(), "Clark, Ben");
    EXPECT_EQ(hint(), "2 officers found");
}

TEST_F(OfficerSelectTest, SearchingIsRaisedBeforeTheResultsAreShown) {
    int rowsWhenRaised = -1;
    QObject::connect(&select_, &ZAVEK_OfficerSelect::Searching, &select_,
                     [&] { rowsWhenRaised = view()->model()->rowCount(); });
    typeAndSearch(QStringLiteral("first"));
    EXPECT_EQ(rowsWhenRaised, 0);
    typeAndSearch(QStringLiteral("again"));
    EXPECT_EQ(rowsWhenRaised, 0) << "earlier results must be gone when a new search starts";
    EXPECT_EQ(shownIds().size(), 2);
}

TEST_F(OfficerSelectTest, OneMatchIsReportedInTheSingular) {
    directory_.result.rows.resize(1);
    typeAndSearch(QStringLiteral("brown"));
    EXPECT_EQ(hint(), "1 officer found");
}

TEST_F(OfficerSelectTest, NoMatchNamesTheSearchText) {
    directory_.result.rows.clear();
    typeAndSearch(QStringLiteral("zz"));
    EXPECT_EQ(hint(), "No officer matches \"zz\".");
    EXPECT_TRUE(shownIds().isEmpty());
}

TEST_F(OfficerSelectTest, TooManyMatchesAskForARefinedSearch) {
    directory_.result.rows.assign(ZAVEK_OfficerSelect::kResultLimit,
                                  {QStringLiteral("X"), QStringLiteral("Officer")});
    directory_.result.more = true;
    typeAndSearch(QStringLiteral("o"));
    EXPECT_EQ(hint(), "More than 200 officers match; showing the first 200. Refine the search.");
    EXPECT_EQ(shownIds().size(), 200);
}

TEST_F(OfficerSelectTest, DirectoryFailureIsShownAndTheControlKeepsWorking) {
    directory_.failure = Failure(codes::kDatabase, QStringLiteral("The officer search failed: "
                                                                  "no such table: OFFICER"));
    typeAndSearch(QStringLiteral("a"));
    EXPECT_THAT(hint().toStdString(), ::testing::HasSubstr("no such table: OFFICER"));
    EXPECT_TRUE(shownIds().isEmpty());

    directory_.failure.reset();
    QTest::keyClick(edit(), Qt::Key_Return);
    EXPECT_EQ(hint(), "2 officers found");
}

TEST_F(OfficerSelectTest, WithoutADirectorySearchingSaysSo) {
    select_.setDirectory(nullptr);
    typeAndSearch(QStringLiteral("a"));
    EXPECT_THAT(hint().toStdString(), ::testing::HasSubstr("not available"));
    EXPECT_TRUE(directory_.calls.empty());
}

// --- clearing ---

TEST_F(OfficerSelectTest, ClearEmptiesFieldAndListThenRaisesClearForm) {
    typeAndSearch(QStringLiteral("a"));
    QString textWhenRaised = QStringLiteral("unset");
    int rowsWhenRaised = -1;
    QObject::connect(&select_, &ZAVEK_OfficerSelect::ClearForm, &select_, [&] {
        textWhenRaised = edit()->text();
        rowsWhenRaised = view()->model()->rowCount();
    });
    QSignalSpy cleared(&select_, &ZAVEK_OfficerSelect::ClearForm);
    QTest::mouseClick(button("clearButton"), Qt::LeftButton);
    EXPECT_EQ(cleared.count(), 1);
    EXPECT_EQ(textWhenRaised, "");
    EXPECT_EQ(rowsWhenRaised, 0);
    EXPECT_FALSE(button("selectButton")->isEnabled());
}

// --- picking ---

class OfficerPickTest : public OfficerSelectTest {
protected:
    void SetUp() override {
        OfficerSelectTest::SetUp();
        QObject::connect(&select_, &ZAVEK_OfficerSelect::OfficerSelected, &select_,
                         [this](const QString& id) {
                             picks_.push_back({id, select_.OfficerName()});
                         });
        typeAndSearch(QStringLiteral("a"));
    }
    std::vector<std::pair<QString, QString>> picks_; // id, OfficerName while handling
};

using Pick = std::pair<QString, QString>;

TEST_F(OfficerPickTest, DoubleClickPicksTheOfficerWithTheNameAlreadySet) {
    doubleClickRow(1);
    EXPECT_THAT(picks_, ::testing::ElementsAre(Pick{"B2002", "Clark, Ben"}));
    EXPECT_EQ(select_.OfficerName(), "Clark, Ben");
    EXPECT_EQ(select_.property("OfficerName").toString(), "Clark, Ben");
}

TEST_F(OfficerPickTest, EnterOnARowPicksIt) {
    view()->setFocus();
    view()->setCurrentIndex(view()->model()->index(0, 0));
    QTest::keyClick(view(), Qt::Key_Return);
    EXPECT_THAT(picks_, ::testing::ElementsAre(Pick{"A1001", "Brown, Ann"}));
}

TEST_F(OfficerPickTest, DownFromTheFieldThenEnterPicksTheFirstRow) {
    QTest::keyClick(edit(), Qt::Key_Down);
    QTest::keyClick(view(), Qt::Key_Down);
    QTest::keyClick(view(), Qt::Key_Enter);
    EXPECT_THAT(picks_, ::testing::ElementsAre(Pick{"B2002", "Clark, Ben"}));
}

TEST_F(OfficerPickTest, SelectButtonIsEnabledOnlyWhileARowIsSelected) {
    EXPECT_FALSE(button("selectButton")->isEnabled());
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, rowCentre(0));
    EXPECT_TRUE(button("selectButton")->isEnabled());
    QTest::keyClick(edit(), Qt::Key_Return);
    EXPECT_FALSE(button("selectButton")->isEnabled()) << "a new search drops the selection";
}

TEST_F(OfficerPickTest, SelectButtonPicksTheSelectedRow) {
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, rowCentre(1));
    QTest::mouseClick(button("selectButton"), Qt::LeftButton);
    EXPECT_THAT(picks_, ::testing::ElementsAre(Pick{"B2002", "Clark, Ben"}));
}

TEST_F(OfficerPickTest, ClickingARowOnlySelectsIt) {
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, rowCentre(0));
    EXPECT_TRUE(picks_.empty());
}

TEST_F(OfficerPickTest, ClearForgetsTheOfficerName) {
    doubleClickRow(0);
    ASSERT_EQ(select_.OfficerName(), "Brown, Ann");
    QTest::mouseClick(button("clearButton"), Qt::LeftButton);
    EXPECT_EQ(select_.OfficerName(), "");
}

} // namespace
} // namespace zavek
