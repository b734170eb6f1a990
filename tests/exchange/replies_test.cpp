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
    exchange->moKelbMessage_MsgTimeout(QVariant(QStringLiteral("another-request")));
    EXPECT_FALSE(state.mbTimedOut) << "another document's time-out";
    exchange->moKelbMessage_MsgTimeout(QVariant(state.msMessageId));
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
    exchange->moKelbMessage_MsgTimeout(QVariant(state.msMessageId));
    transport->releaseAll();
    deliver();
    EXPECT_TRUE(checked(0, QStringLiteral("CFR")));
    EXPECT_EQ(host.status(), QStringLiteral("Displaying Security Group for Ann Smith"));
}

TEST_F(Replies, ReplyForAnotherDocumentTouchesNothingHere) {
    pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
    deliver();
    form.setResetPasswordValue(1);
    state.mbReplyReceived = false;
    host.shellEnabled.clear();
    const auto statuses = host.statuses.size();

    exchange->moKelbMessage_DataReady(QStringLiteral("SomeOtherDocument"));

    EXPECT_TRUE(host.shellEnabled.empty());
    EXPECT_EQ(form.reset, 1) << "this document's reset request stays";
    EXPECT_FALSE(state.mbReplyReceived);
    EXPECT_TRUE(checked(0, QStringLiteral("CFR")));
    EXPECT_EQ(host.statuses.size(), statuses);
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

} // namespace
} // namespace zavek::testing
