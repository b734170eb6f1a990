#include "tests/document/document_fixture.h"

#include "groups/document_state.h"

#include <QCheckBox>
#include <QLabel>

namespace zavek::testing {
namespace {

class StartUp : public DocumentTest {};

QStringList disabledButtons(const QString& tag) {
    QStringList out;
    for (int id : {7, 8, 9, 14, 12})
        out << QStringLiteral("button:%1:0:%2").arg(id).arg(tag);
    return out;
}

TEST_F(StartUp, TakesTheShellFromLoadingToReady) {
    doc->UserDocument_Show();

    QStringList expected{QStringLiteral("status:Loading information")};
    expected << disabledButtons(QStringLiteral("SEC1"));
    expected << QStringLiteral("shell:1") << QStringLiteral("status:Ready");
    EXPECT_EQ(QStringList(host.log.begin(), host.log.end()), expected);
    EXPECT_EQ(fake.pointer.history(), (std::vector<int>{11, 0}));
    EXPECT_EQ(doc->state().msWindowTag, QStringLiteral("SEC1"));
    EXPECT_EQ(doc->state().msWindowCaption, QStringLiteral("Security Administration"));
    EXPECT_EQ(doc->rules().list(0).count(), 2);
    EXPECT_EQ(doc->rules().list(1).count(), 2);
    EXPECT_EQ(doc->form().caption()->text(), QStringLiteral("Current Officer : "));
    EXPECT_TRUE(ErrorLogger::Instance().recent().empty());
}

TEST_F(StartUp, HostWindowWithoutTagOrCaptionKeepsTheTexts) {
    doc->state().msWindowTag = QStringLiteral("OLDTAG");
    doc->state().msWindowCaption = QStringLiteral("Old caption");
    QObject bareWindow;
    container.setProperty("Parent", QVariant::fromValue<QObject*>(&bareWindow));

    doc->UserDocument_Show();

    EXPECT_EQ(doc->state().msWindowTag, QStringLiteral("OLDTAG"));
    EXPECT_EQ(doc->state().msWindowCaption, QStringLiteral("Old caption"));
    EXPECT_EQ(host.toolbar.front(), (ToolbarCall{7, false, QStringLiteral("OLDTAG")}));
    EXPECT_EQ(host.status(), QStringLiteral("Ready"));
    EXPECT_EQ(doc->rules().list(0).count(), 2);
    EXPECT_TRUE(ErrorLogger::Instance().recent().empty()) << "start-up logs nothing";
}

TEST_F(StartUp, AnOrdinaryFailingStepIsPassedOver) {
    host.shellEnabledFailure = codes::kUnexpected;
    doc->UserDocument_Show();
    EXPECT_EQ(host.status(), QStringLiteral("Ready"));
    EXPECT_EQ(fake.pointer.Shape(), platform::PointerDefault);
    EXPECT_EQ(doc->form().caption()->text(), QStringLiteral("Current Officer : "));
    EXPECT_TRUE(ErrorLogger::Instance().recent().empty());
}

TEST_F(StartUp, TheStopCodeEndsStartUpAtOnceUnlogged) {
    host.shellEnabledFailure = codes::kStop;
    doc->UserDocument_Show();
    EXPECT_EQ(host.status(), QStringLiteral("Loading information"));
    EXPECT_EQ(fake.pointer.Shape(), platform::PointerHourglass) << "the hourglass stays";
    EXPECT_EQ(doc->form().caption()->text(), QStringLiteral("Current Officer :")) << "not cleared";
    EXPECT_EQ(doc->rules().list(0).count(), 2) << "steps before the stop ran";
    EXPECT_TRUE(ErrorLogger::Instance().recent().empty());
}

TEST_F(StartUp, TheStopCodeOnTheFirstStatusStopsBeforeTheToolbar) {
    host.statusFailures[QStringLiteral("Loading information")] = codes::kStop;
    doc->UserDocument_Show();
    EXPECT_TRUE(host.toolbar.empty());
    EXPECT_TRUE(fake.pointer.history().empty());
    EXPECT_EQ(doc->rules().list(0).count(), 0);
}

TEST_F(StartUp, ASecondShowKeepsTheListenerAndHoldsTheCatalogueOnce) {
    doc->UserDocument_Show();
    KelbListener* first = doc->listener();
    doc->UserDocument_Show();
    EXPECT_EQ(doc->listener(), first);
    EXPECT_EQ(doc->rules().list(0).count(), 2);
    EXPECT_EQ(doc->rules().list(1).count(), 2);

    // One handler per document: a reply is handled once.
    doc->exchange().ZAVEK_OfficerSelect1_OfficerSelected(QStringLiteral("NW001"));
    host.shellEnabled.clear();
    deliver();
    EXPECT_EQ(host.shellEnabled.size(), 1u);
}

TEST_F(StartUp, AFailingButtonEndsTheToolbarRuleWithOneLogEntry) {
    host.failingButtons = {9};
    doc->UserDocument_Show();

    std::vector<int> set;
    for (const auto& call : host.toolbar)
        set.push_back(call.button);
    EXPECT_EQ(set, (std::vector<int>{7, 8}));
    ASSERT_EQ(ErrorLogger::Instance().recent().size(), 1u);
    const LogEntry& entry = ErrorLogger::Instance().recent().front();
    EXPECT_EQ(entry.source, QStringLiteral("ZAVEK_Security.ConfigureToolbar"));
    EXPECT_EQ(entry.exeName, QStringLiteral("SCR.ZAVEK_SecurityAdmin"));
    EXPECT_EQ(entry.eventType, 1);
    EXPECT_EQ(host.status(), QStringLiteral("Ready"));

    host.failingButtons.clear();
    host.toolbar.clear();
    doc->BeforeUnload();
    EXPECT_EQ(host.toolbar.size(), 5u);
}

} // namespace
} // namespace zavek::testing
