#include "common/failure.h"
#include "common/session_info.h"
#include "common/shell_services.h"
#include "tests/support/fake_shell_host.h"

#include <gtest/gtest.h>

using namespace zavek;
using namespace zavek::testing;

TEST(ShellServicesWithoutHost, EveryCallFailsSayingNoShellIsAttached) {
    ShellServices::Instance().setHost(nullptr);
    std::int32_t button = 7;
    std::int32_t flag = -1;
    QString tag = QStringLiteral("W1");
    std::int16_t shellFlag = -1;
    for (const auto& call : std::vector<std::function<void()>>{
             [] { ShellServices::Instance().SetStatusText(QStringLiteral("Ready")); },
             [&] { ShellServices::Instance().EnableToolbarButton(button, flag, tag); },
             [&] { ShellServices::Instance().SetShellEnabled(shellFlag); }}) {
        const auto failure = attempt(call);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->code(), codes::kNotConnected);
        EXPECT_TRUE(failure->description().contains(QStringLiteral("No shell")));
    }
}

class ShellServicesTest : public ::testing::Test {
protected:
    FakeShellHost host; // installs itself for the test's life
    ShellServices& services = ShellServices::Instance();
};

TEST_F(ShellServicesTest, StatusTextReachesTheHost) {
    services.SetStatusText(QStringLiteral("Retrieving Officer Jane Doe"));
    EXPECT_EQ(host.statuses, std::vector<QString>{QStringLiteral("Retrieving Officer Jane Doe")});
}

TEST_F(ShellServicesTest, ToolbarFlagsMinusOneAndZeroSetTheWindowsButton) {
    std::int32_t button = 7;
    std::int32_t on = -1;
    std::int32_t off = 0;
    QString tag = QStringLiteral("SEC-3");
    services.EnableToolbarButton(button, on, tag);
    services.EnableToolbarButton(button, off, tag);
    EXPECT_EQ(host.toolbar, (std::vector<ToolbarCall>{{7, true, QStringLiteral("SEC-3")},
                                                      {7, false, QStringLiteral("SEC-3")}}));
}

TEST_F(ShellServicesTest, OtherToolbarFlagsAreRefusedAndNotForwarded) {
    std::int32_t button = 7;
    std::int32_t flag = 1;
    QString tag = QStringLiteral("SEC-3");
    const auto failure = attempt([&] { services.EnableToolbarButton(button, flag, tag); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), codes::kInvalidArgument);
    EXPECT_TRUE(failure->description().contains(QStringLiteral("1")));
    EXPECT_TRUE(host.toolbar.empty());
}

TEST_F(ShellServicesTest, ShellEnabledTakesASixteenBitFlag) {
    std::int16_t on = -1;
    std::int16_t off = 0;
    std::int16_t bad = 2;
    services.SetShellEnabled(on);
    services.SetShellEnabled(off);
    EXPECT_TRUE(attempt([&] { services.SetShellEnabled(bad); }));
    EXPECT_EQ(host.shellEnabled, (std::vector<bool>{true, false}));
}

TEST_F(ShellServicesTest, HostFailureReachesTheCaller) {
    host.failingButtons.insert(9);
    std::int32_t button = 9;
    std::int32_t flag = 0;
    QString tag = QStringLiteral("SEC-3");
    EXPECT_TRUE(attempt([&] { services.EnableToolbarButton(button, flag, tag); }));
}

TEST(SessionInfoTest, HoldsWhatTheSignInEstablished) {
    SessionInfo& session = SessionInfo::Instance();
    session.establish(QStringLiteral("S-77"), QStringLiteral("NORTH"), QStringLiteral("conn"));
    QString id;
    QString region;
    session.SessionId(id);
    session.Region(region);
    EXPECT_EQ(id, QStringLiteral("S-77"));
    EXPECT_EQ(region, QStringLiteral("NORTH"));
    EXPECT_EQ(session.databaseConnection(), QStringLiteral("conn"));
    session.clear();
    session.Region(region);
    EXPECT_TRUE(region.isEmpty());
    EXPECT_TRUE(session.sessionId().isEmpty());
}
