#include "tests/support/screen.h"

namespace zavek::testing {
namespace {

// Start-up passes over a failing step silently; only the stop code ends it, unlogged.
// lists: items in each list.
struct StartCase {
    const char* name;
    void (*setup)(Screen&);
    const char *shell, *lists, *logged;
};
const char* const kReady = "[Loading information] 7- 8- 9- 14- 12- S+ [Ready]";
const StartCase kStarts[] = {
    {"LoadingToReady", [](Screen&) {}, kReady, "3/2", ""},
    {"OrdinaryFailingStepIsPassedOver",
     [](Screen& s) { s.host.shellEnabledFailure = codes::kUnexpected; },
     "[Loading information] 7- 8- 9- 14- 12- [Ready]", "3/2", ""},
    {"FailingCatalogueStillReachesReady", [](Screen& s) { s.db.exec({u"DROP TABLE VRD_GROUP"_s}); },
     kReady, "0/0", "ZAVEK_Security.InitializeListView"},
    {"StopCodeEndsStartUpAtOnce", [](Screen& s) { s.host.shellEnabledFailure = codes::kStop; },
     "[Loading information] 7- 8- 9- 14- 12-", "3/2", ""},
    {"FailingButtonEndsTheToolbarRuleLoggedOnce", [](Screen& s) { s.host.failingButtons = {9}; },
     "[Loading information] 7- 8- S+ [Ready]", "3/2", "ZAVEK_Security.ConfigureToolbar"},
};
class StartUp : public Screen, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartUp, TakesTheShellFromLoadingToReady) {
    const StartCase& c = GetParam();
    c.setup(*this);
    doc->UserDocument_Show();
    EXPECT_EQ(shellLog(), QLatin1String(c.shell));
    EXPECT_EQ(u"%1/%2"_s.arg(items(0).count()).arg(items(1).count()), QLatin1String(c.lists));
    EXPECT_EQ(logSources().join(QLatin1Char(';')), QLatin1String(c.logged));
    for (const LogEntry& entry : ErrorLogger::Instance().recent())
        EXPECT_EQ(entry.exeName + QString::number(entry.eventType), u"SCR.ZAVEK_SecurityAdmin1"_s);
}
INSTANTIATE_TEST_SUITE_P(Show, StartUp, ::testing::ValuesIn(kStarts), kByName);

// Showing again keeps the one listener and refills the lists; a show whose
// catalogue fails midway keeps the lists on screen.
TEST_F(Screen, ASecondShowRefillsTheListsAndKeepsTheListener) {
    doc->UserDocument_Show();
    KelbListener* first = doc->listener();
    doc->UserDocument_Show();
    EXPECT_EQ(doc->listener(), first);
    EXPECT_EQ(items(0).count() * 10 + items(1).count(), 32);
    catalogue("NW,P,CFR,Case File Read;NW,P,G2,NULL");
    doc->UserDocument_Show();
    EXPECT_EQ(items(0).count() * 10 + items(1).count(), 32);
    // One handler per document: a reply is handled once.
    pick(u"NW001"_s);
    host.shellEnabled.clear();
    deliver();
    EXPECT_EQ(host.shellEnabled.size(), 1u);
}

} // namespace
} // namespace zavek::testing
