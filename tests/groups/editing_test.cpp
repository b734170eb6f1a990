#include "tests/groups/groups_fixture.h"

namespace zavek::testing {
namespace {

class Editing : public GroupsTest {
protected:
    void SetUp() override {
        rows({QStringLiteral("'NW','P','G1','Alpha'"), QStringLiteral("'NW','P','G2','Beta'"),
              QStringLiteral("'NW','A','A1','Agency One'"),
              QStringLiteral("'NW','A','A2','Agency Two'")});
        rules->InitializeListView();
    }
    void userTicks(GroupListModel& list, int row, bool value) {
        list.setChecked(row, value);
        rules->lvOfficerGroups_Click(&list == &groups ? 0 : 1);
    }
    ToolbarCall lastButton() const { return host.toolbar.back(); }
};

TEST_F(Editing, WithoutAnOfficerATickIsUndoneAndSaveIsOff) {
    userTicks(groups, 0, true);
    EXPECT_FALSE(groups.item(0).checked);
    EXPECT_EQ(lastButton(), (ToolbarCall{7, false, QStringLiteral("TAG")}));
    EXPECT_TRUE(host.statuses.empty()) << "no change test runs without an officer";
}

TEST_F(Editing, WithoutAnOfficerTheResetBoxIsCleared) {
    form.setResetPasswordValue(1);
    EXPECT_EQ(form.value, 0);
    // Re-entered once through its own change: two button calls, both off.
    ASSERT_EQ(host.toolbar.size(), 2u);
    EXPECT_EQ(host.toolbar[0], (ToolbarCall{7, false, QStringLiteral("TAG")}));
    EXPECT_EQ(host.toolbar[1], (ToolbarCall{7, false, QStringLiteral("TAG")}));
}

TEST_F(Editing, WithAnOfficerSaveFollowsTheChanges) {
    state.msInspId = QStringLiteral("NW1");
    userTicks(groups, 0, true);
    EXPECT_EQ(lastButton(), (ToolbarCall{7, true, QStringLiteral("TAG")}));
    EXPECT_EQ(host.status(), QStringLiteral("Checking for data changes"));
    userTicks(groups, 0, false);
    EXPECT_EQ(lastButton(), (ToolbarCall{7, false, QStringLiteral("TAG")}));
}

TEST_F(Editing, TheResetBoxAloneIsAChange) {
    state.msInspId = QStringLiteral("NW1");
    form.setResetPasswordValue(1);
    EXPECT_EQ(lastButton().enabled, true);
    EXPECT_TRUE(rules->DataChanged());
    form.setResetPasswordValue(0);
    EXPECT_EQ(lastButton().enabled, false);
}

TEST_F(Editing, TwoAgenciesRaiseNothingWhileEditing) {
    state.msInspId = QStringLiteral("NW1");
    userTicks(agencies, 0, true);
    userTicks(agencies, 1, true);
    EXPECT_TRUE(fake.messageBox.shown().empty());
    EXPECT_EQ(lastButton().enabled, true);
}

TEST_F(Editing, EmptyListsAndAClearBoxAreUnchanged) {
    groups.clearItems();
    agencies.clearItems();
    EXPECT_FALSE(rules->DataChanged());
}

TEST_F(Editing, CheckGroupsStoreMakesTheShownStateStored) {
    groups.setChecked(1, true);
    rules->CheckGroups(Store);
    EXPECT_TRUE(groups.item(1).tag);
    EXPECT_FALSE(rules->DataChanged());
}

TEST_F(Editing, CheckGroupsClearUnticksAndForgets) {
    groups.setChecked(0, true);
    groups.setTag(0, true);
    agencies.setChecked(1, true);
    rules->CheckGroups(Clear);
    EXPECT_FALSE(groups.item(0).checked || groups.item(0).tag || agencies.item(1).checked);
    EXPECT_FALSE(rules->DataChanged());
}

TEST_F(Editing, CheckGroupsRestoreGoesBackToTheStoredState) {
    groups.setTag(0, true);
    groups.setChecked(1, true);
    rules->CheckGroups(Restore);
    EXPECT_TRUE(groups.item(0).checked);
    EXPECT_FALSE(groups.item(1).checked);
}

TEST_F(Editing, AnUnknownModeChangesNothing) {
    groups.setChecked(0, true);
    rules->CheckGroups(3);
    rules->CheckGroups(-1);
    EXPECT_TRUE(groups.item(0).checked);
    EXPECT_FALSE(groups.item(0).tag);
}

TEST_F(Editing, AFailingChangeTestCountsAsNoChangeAndIsLogged) {
    state.msInspId = QStringLiteral("NW1");
    groups.setChecked(0, true);
    host.failStatus = true;
    EXPECT_FALSE(rules->DataChanged());
    EXPECT_EQ(logSources(), QStringList{QStringLiteral("ZAVEK_Security.DataChanged")});
}

TEST_F(Editing, AFailingButtonLeavesItAsItWasAndIsLogged) {
    state.msInspId = QStringLiteral("NW1");
    host.failingButtons = {7};
    userTicks(groups, 0, true);
    EXPECT_TRUE(host.toolbar.empty());
    EXPECT_EQ(logSources(), QStringList{QStringLiteral("ZAVEK_Security.lvOfficerGroups_Click")});
}

} // namespace
} // namespace zavek::testing
