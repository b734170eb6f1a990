#include "tests/document/document_fixture.h"

#include "groups/document_state.h"

#include <QCheckBox>
#include <QLabel>

namespace zavek::testing {
namespace {

using platform::AnswerCancel;
using platform::AnswerNo;
using platform::AnswerYes;

const QString kPrompt = QStringLiteral(
    "Security groups have been changed for Ann Smith.\r\n Would you like to save your changes ?");

bool allFiveEnabledLast(const FakeShellHost& host) {
    for (int id : {7, 8, 9, 14, 12})
        if (host.buttonState(id, QStringLiteral("SEC1")) != std::optional<bool>(true))
            return false;
    return true;
}

class ClosePrompts : public DocumentTest {
protected:
    void SetUp() override {
        stored[QStringLiteral("NW001")] = {QStringLiteral("CFR"), QStringLiteral("BIS")};
        doc->UserDocument_Show();
        showOfficer(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
        host.toolbar.clear();
    }
    void edit() { tick(0, QStringLiteral("CFU"), true); }
};

TEST_F(ClosePrompts, NothingChangedClosesWithoutAPrompt) {
    EXPECT_EQ(doc->CloseDocument(), -1);
    EXPECT_TRUE(fake.messageBox.shown().empty());
    EXPECT_TRUE(allFiveEnabledLast(host));
    EXPECT_EQ(doc->NeedSave(), 0);
    EXPECT_TRUE(fake.messageBox.shown().empty());
}

TEST_F(ClosePrompts, ResetPasswordAloneCountsAsAChange) {
    doc->form().resetPassword()->setChecked(true);
    fake.messageBox.queueAnswer(AnswerCancel);
    fake.messageBox.queueAnswer(AnswerNo);
    doc->CloseDocument();
    doc->NeedSave();
    ASSERT_EQ(fake.messageBox.shown().size(), 2u);
    EXPECT_EQ(fake.messageBox.shown()[0].text, kPrompt);
    EXPECT_EQ(fake.messageBox.shown()[0].style, 35);
    EXPECT_EQ(fake.messageBox.shown()[0].title, QStringLiteral("Security Administration"));
}

TEST_F(ClosePrompts, YesReturnsTrueOnlyAfterTheReplyIsHandled) {
    edit();
    transport->setHolding(true);
    fake.messageBox.queueAnswer(AnswerYes);
    fake.events.at(1500, [this] { transport->releaseAll(); });

    EXPECT_EQ(doc->CloseDocument(), -1);

    EXPECT_GE(fake.events.now(), 1500);
    EXPECT_TRUE(doc->state().mbReplyReceived);
    EXPECT_EQ(transport->sent().back().messageType, 3);
    EXPECT_TRUE(allFiveEnabledLast(host));
}

TEST_F(ClosePrompts, EvenAnImmediateReplyWaitsOnePass) {
    edit();
    fake.messageBox.queueAnswer(AnswerYes);
    EXPECT_EQ(doc->CloseDocument(), -1);
    EXPECT_EQ(fake.events.sleepCount(), 1);
    EXPECT_EQ(fake.events.now(), 500);
}

TEST_F(ClosePrompts, YesWithAnErrorReplyKeepsTheDocumentOpen) {
    edit();
    saveError = QStringLiteral("The save was refused.");
    fake.messageBox.queueAnswer(AnswerYes);
    EXPECT_EQ(doc->CloseDocument(), 0);
    ASSERT_EQ(fake.messageBox.shown().size(), 2u);
    EXPECT_EQ(fake.messageBox.shown()[1].text, QStringLiteral("The save was refused."));
    EXPECT_TRUE(allFiveEnabledLast(host));
}

TEST_F(ClosePrompts, ATimeOutBeforeTheErrorReplyLetsItClose) {
    edit();
    saveError = QStringLiteral("The save was refused.");
    transport->setHolding(true);
    fake.messageBox.queueAnswer(AnswerYes);
    fake.events.at(500, [] { emit KelbListener::Instance()->MsgTimeout(QVariant()); });
    fake.events.at(1000, [this] { transport->releaseAll(); });
    EXPECT_EQ(doc->CloseDocument(), -1);
    EXPECT_EQ(host.status(), QStringLiteral("Search timed"));
}

TEST_F(ClosePrompts, YesWithAFailedSendReportsSaveFailed) {
    edit();
    MessageBus::Instance().setTransport(nullptr);
    fake.messageBox.queueAnswer(AnswerYes);
    EXPECT_EQ(doc->CloseDocument(), 0);
    EXPECT_EQ(host.status(), QStringLiteral("Save failed"));
    EXPECT_TRUE(allFiveEnabledLast(host));
    EXPECT_EQ(fake.events.sleepCount(), 0);
}

TEST_F(ClosePrompts, NoDiscardsTheEditsAndCloses) {
    edit();
    fake.messageBox.queueAnswer(AnswerNo);
    EXPECT_EQ(doc->CloseDocument(), -1);
    EXPECT_FALSE(checked(0, QStringLiteral("CFU")));
    EXPECT_FALSE(checked(0, QStringLiteral("CFR")));
    EXPECT_FALSE(checked(1, QStringLiteral("BIS")));
    EXPECT_TRUE(transport->sent().size() == 1u) << "only the retrieval was ever sent";
    EXPECT_TRUE(allFiveEnabledLast(host));
}

TEST_F(ClosePrompts, CancelKeepsTheDocumentAndTheToolbar) {
    edit();
    host.toolbar.clear();
    fake.messageBox.queueAnswer(AnswerCancel);
    EXPECT_EQ(doc->CloseDocument(), 0);
    EXPECT_TRUE(host.toolbar.empty());
    EXPECT_TRUE(checked(0, QStringLiteral("CFU")));
}

TEST_F(ClosePrompts, AnUnansweredSaveEndsTheWaitAndKeepsTheEdits) {
    MessageBus::Instance().setTimeoutMs(2000);
    edit();
    transport->setResponder([](const MessageData&) { return std::optional<MessageData>(); });
    fake.messageBox.queueAnswer(AnswerYes);

    EXPECT_EQ(doc->CloseDocument(), 0);

    EXPECT_EQ(fake.events.sleepCount(), doc->closeWaitPassLimit());
    EXPECT_EQ(doc->closeWaitPassLimit(), 5);
    EXPECT_TRUE(host.status().startsWith(QStringLiteral("The save was not confirmed")));
    EXPECT_TRUE(checked(0, QStringLiteral("CFU")));
    EXPECT_TRUE(doc->rules().DataChanged()) << "the edits are still pending";
    EXPECT_TRUE(allFiveEnabledLast(host));
}

TEST_F(ClosePrompts, ClicksAreHandledInsideTheWait) {
    edit();
    transport->setHolding(true);
    fake.messageBox.queueAnswer(AnswerYes);
    fake.events.at(500, [this] { tick(0, QStringLiteral("CFR"), false); });
    fake.events.at(1000, [this] { transport->releaseAll(); });
    host.toolbar.clear();
    EXPECT_EQ(doc->CloseDocument(), -1);
    // The click's handler ran during the wait (Save on for the new edit), before the close
    // handed the five buttons back.
    ASSERT_EQ(host.toolbar.size(), 6u);
    EXPECT_EQ(host.toolbar.front(), (ToolbarCall{7, true, QStringLiteral("SEC1")}));
}

TEST_F(ClosePrompts, NeedSaveYesStartsTheSaveWithoutWaiting) {
    edit();
    fake.messageBox.queueAnswer(AnswerYes);
    EXPECT_EQ(doc->NeedSave(), -1);
    EXPECT_EQ(transport->sent().back().messageType, 3);
    EXPECT_EQ(fake.events.sleepCount(), 0);
}

TEST_F(ClosePrompts, NeedSaveYesWithTwoAgenciesStillAnswersTrue) {
    tick(1, QStringLiteral("CUS"), true);
    fake.messageBox.queueAnswer(AnswerYes);
    EXPECT_EQ(doc->NeedSave(), -1);
    ASSERT_EQ(fake.messageBox.shown().size(), 2u);
    EXPECT_EQ(fake.messageBox.shown()[1].text,
              QStringLiteral("Can not select more than one Agency."));
    EXPECT_EQ(transport->sent().size(), 1u);
}

TEST_F(ClosePrompts, NeedSaveNoKeepsTheEdits) {
    edit();
    fake.messageBox.queueAnswer(AnswerNo);
    EXPECT_EQ(doc->NeedSave(), 0);
    EXPECT_TRUE(checked(0, QStringLiteral("CFU")));
    EXPECT_TRUE(doc->rules().DataChanged());
}

TEST_F(ClosePrompts, NeedSaveCancelAnswersTrueWithTheDefaultPointer) {
    edit();
    fake.pointer.SetShape(platform::PointerHourglass);
    fake.messageBox.queueAnswer(AnswerCancel);
    EXPECT_EQ(doc->NeedSave(), -1);
    EXPECT_EQ(fake.pointer.Shape(), platform::PointerDefault);
}

TEST_F(ClosePrompts, BeforeUnloadHandsTheShellBackWithoutAPrompt) {
    edit();
    host.shellEnabled.clear();
    doc->BeforeUnload();
    EXPECT_TRUE(fake.messageBox.shown().empty());
    EXPECT_TRUE(allFiveEnabledLast(host));
    EXPECT_EQ(host.shellEnabled, std::vector<bool>{true});
    doc->BeforeUnload_BackupForPersist();
    EXPECT_TRUE(doc->rules().DataChanged());
}

TEST_F(ClosePrompts, DispatchIdentifiersReachTheOperations) {
    edit();
    std::int16_t result = 7;
    fake.messageBox.queueAnswer(AnswerNo);
    EXPECT_EQ(doc->Invoke(dispid::NeedSave, &result), kResultOk);
    EXPECT_EQ(result, 0);
    fake.messageBox.queueAnswer(AnswerNo);
    EXPECT_EQ(doc->Invoke(dispid::CloseDocument, &result), kResultOk);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(doc->Invoke(0x60030002u, &result), kResultUnknownMember);
}

} // namespace
} // namespace zavek::testing
