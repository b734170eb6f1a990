#include "tests/exchange/exchange_fixture.h"

namespace zavek::testing {
namespace {

class Replies : public ExchangeTest {
protected:
    void SetUp() override {
        stored[QStringLiteral("NW001")] = {QStringLiteral("CFR"), QStringLiteral("BIS")};
    }
};

TEST_F(Replies, GoodReplyShowsTheOfficersGroups) {
    pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
    deliver();
    EXPECT_TRUE(checked(0, QStringLiteral("CFR")));
    EXPECT_TRUE(tag(0, QStringLiteral("CFR")));
    EXPECT_TRUE(checked(1, QStringLiteral("BIS")));
    EXPECT_FALSE(checked(0, QStringLiteral("CFU")));
    EXPECT_EQ(host.status(), QStringLiteral("Displaying Security Group for Ann Smith"));
    EXPECT_EQ(form.captionText, QStringLiteral("Current Officer : Ann Smith"));
    EXPECT_TRUE(state.mbReplyReceived);
    EXPECT_FALSE(state.mbReplyFailed);
    EXPECT_FALSE(rules->DataChanged());
}

TEST_F(Replies, ErrorReplyIsShownToTheAdministrator) {
    transport->setResponder([](const MessageData& r) -> std::optional<MessageData> {
        return LoopbackTransport::replyTo(r, QStringLiteral("Officer NW001 was not found."));
    });
    pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
    deliver();
    ASSERT_EQ(fake.messageBox.shown().size(), 1u);
    EXPECT_EQ(fake.messageBox.shown()[0].text, QStringLiteral("Officer NW001 was not found."));
    EXPECT_EQ(fake.messageBox.shown()[0].style, 16);
    EXPECT_EQ(fake.messageBox.shown()[0].title, QStringLiteral("Security Administration"));
    EXPECT_EQ(host.status(), QStringLiteral("Search was not successful"));
    EXPECT_TRUE(state.mbReplyFailed);
    EXPECT_TRUE(state.mbReplyReceived);
    EXPECT_EQ(fake.pointer.Shape(), platform::PointerDefault);
}

TEST_F(Replies, TimeOutBeforeAnErrorReplyReportsSearchTimed) {
    transport->setHolding(true);
    transport->setResponder([](const MessageData& r) -> std::optional<MessageData> {
        return LoopbackTransport::replyTo(r, QStringLiteral("The request timed out."));
    });
    pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
    exchange->moKelbMessage_MsgTimeout(QVariant());
    EXPECT_TRUE(state.mbTimedOut);
    EXPECT_TRUE(fake.messageBox.shown().empty()) << "a time-out alone shows nothing";
    transport->releaseAll();
    deliver();
    EXPECT_EQ(host.status(), QStringLiteral("Search timed"));
    EXPECT_FALSE(state.mbReplyFailed);
    EXPECT_EQ(fake.messageBox.shown().size(), 1u);
}

TEST_F(Replies, TimeOutBeforeAGoodReplyShowsItAsGood) {
    transport->setHolding(true);
    pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
    exchange->moKelbMessage_MsgTimeout(QVariant());
    transport->releaseAll();
    deliver();
    EXPECT_TRUE(checked(0, QStringLiteral("CFR")));
    EXPECT_EQ(host.status(), QStringLiteral("Displaying Security Group for Ann Smith"));
}

TEST_F(Replies, ReplyForAnotherDocumentOnlyEnablesTheShellAndClearsTheBox) {
    pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
    deliver();
    form.setResetPasswordValue(1);
    state.mbReplyReceived = false;
    host.shellEnabled.clear();

    exchange->moKelbMessage_DataReady(QStringLiteral("SomeOtherDocument"));

    EXPECT_EQ(host.shellEnabled, std::vector<bool>{true});
    EXPECT_EQ(form.reset, 0);
    EXPECT_FALSE(state.mbReplyReceived);
    EXPECT_TRUE(checked(0, QStringLiteral("CFR")));
    EXPECT_EQ(fake.pointer.Shape(), platform::PointerDefault);
}

TEST_F(Replies, GoodReplyToASaveLeavesTheListsAsEdited) {
    pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
    deliver();
    tick(0, QStringLiteral("CFU"), true);
    exchange->SaveData();
    tick(0, QStringLiteral("WAP"), true); // edited again before the reply
    deliver();
    EXPECT_TRUE(checked(0, QStringLiteral("WAP")));
    EXPECT_TRUE(checked(0, QStringLiteral("CFU")));
    EXPECT_EQ(host.status(), QStringLiteral("Displaying Security Group for Ann Smith"));
}

TEST_F(Replies, ResetBoxIsClearedByEveryReply) {
    pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
    deliver();
    form.setResetPasswordValue(1);
    exchange->SaveData();
    deliver();
    EXPECT_EQ(form.reset, 0);
}

// A save of the previous officer and a retrieval of the new one are outstanding together;
// the document asks by the newer identifier.
class OverlappingSaveAndRetrieval : public ExchangeTest {
protected:
    void SetUp() override {
        stored[QStringLiteral("NW001")] = {QStringLiteral("CFR"), QStringLiteral("BIS")};
        stored[QStringLiteral("NW002")] = {QStringLiteral("WAP"), QStringLiteral("CUS")};
        pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
        deliver();
        tick(0, QStringLiteral("CFU"), true);
        saveError = QStringLiteral("The save was refused.");
        transport->setHolding(true);
        fake.messageBox.queueAnswer(platform::AnswerYes);
        pick(QStringLiteral("NW002"), QStringLiteral("Bo Lee"));
        ASSERT_EQ(transport->heldCount(), 2u); // [0] save, [1] retrieval
    }
    void expectErrorShownAndNewOfficerLoaded() {
        ASSERT_EQ(fake.messageBox.shown().size(), 2u); // the prompt, then the error
        EXPECT_EQ(fake.messageBox.shown()[1].text, QStringLiteral("The save was refused."));
        EXPECT_EQ(fake.messageBox.shown()[1].style, 16);
        EXPECT_TRUE(checked(0, QStringLiteral("WAP")));
        EXPECT_TRUE(checked(1, QStringLiteral("CUS")));
        EXPECT_FALSE(checked(0, QStringLiteral("CFR")));
        EXPECT_FALSE(checked(0, QStringLiteral("CFU")));
        EXPECT_FALSE(rules->DataChanged());
    }
};

TEST_F(OverlappingSaveAndRetrieval, SaveErrorFirstStillReachesTheAdministrator) {
    transport->releaseHeld(0);
    deliver();
    transport->releaseHeld(0);
    deliver();
    expectErrorShownAndNewOfficerLoaded();
}

TEST_F(OverlappingSaveAndRetrieval, SaveErrorLastStillReachesTheAdministrator) {
    transport->releaseHeld(1);
    deliver();
    transport->releaseHeld(0);
    deliver();
    EXPECT_EQ(host.status(), QStringLiteral("Search was not successful"));
    expectErrorShownAndNewOfficerLoaded();
}

} // namespace
} // namespace zavek::testing
