#include "tests/exchange/exchange_fixture.h"

namespace zavek::testing {
namespace {

class SaveRequest : public ExchangeTest {
protected:
    void SetUp() override {
        stored[QStringLiteral("NW001")] = {QStringLiteral("CFR"), QStringLiteral("BIS")};
        pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
        deliver();
        transport->clearSent();
        fake.pointer.SetShape(platform::PointerHourglass);
    }
};

TEST_F(SaveRequest, NothingChangedCancelsTheSave) {
    const auto toolbarCalls = host.toolbar.size();
    exchange->SaveData();
    EXPECT_EQ(host.status(), QStringLiteral("Data did not change.  Save request cancelled. "));
    EXPECT_TRUE(transport->sent().empty());
    EXPECT_TRUE(fake.messageBox.shown().empty());
    EXPECT_EQ(host.toolbar.size(), toolbarCalls);
    EXPECT_EQ(fake.pointer.Shape(), platform::PointerDefault);
    EXPECT_EQ(host.shellEnabled.back(), true);
}

TEST_F(SaveRequest, NoAgencyIsRefused) {
    tick(1, QStringLiteral("BIS"), false);
    exchange->SaveData();
    ASSERT_EQ(fake.messageBox.shown().size(), 1u);
    EXPECT_EQ(fake.messageBox.shown()[0].text, QStringLiteral("Please select an Agency."));
    EXPECT_EQ(fake.messageBox.shown()[0].style, 16);
    EXPECT_TRUE(transport->sent().empty());
    EXPECT_TRUE(tag(1, QStringLiteral("BIS")));
    EXPECT_EQ(host.status(), QStringLiteral("Checking for data changes"));
}

TEST_F(SaveRequest, TwoAgenciesAreRefused) {
    tick(1, QStringLiteral("CUS"), true);
    exchange->SaveData();
    ASSERT_EQ(fake.messageBox.shown().size(), 1u);
    EXPECT_EQ(fake.messageBox.shown()[0].text,
              QStringLiteral("Can not select more than one Agency."));
    EXPECT_TRUE(transport->sent().empty());
}

TEST_F(SaveRequest, ChangeRowsListGroupsThenAgenciesInItemOrder) {
    tick(0, QStringLiteral("WAP"), true);
    tick(0, QStringLiteral("CFR"), false);
    tick(1, QStringLiteral("BIS"), false);
    tick(1, QStringLiteral("CUS"), true);
    exchange->SaveData();

    ASSERT_EQ(transport->sent().size(), 1u);
    const MessageData& m = lastSent();
    EXPECT_EQ(m.messageType, 3);
    EXPECT_EQ(m.messageId, state.msMessageId);
    EXPECT_EQ(m.replyTo, state.documentIdentity);
    EXPECT_TRUE(m.criteria.empty());
    EXPECT_EQ(m.table(QStringLiteral("OFFICERGROUP"))->fields,
              (QStringList{QStringLiteral("GRP_CD"), QStringLiteral("INSP_ID"),
                           QStringLiteral("ACTION")}));
    // Catalogue order is type then description: CFR, CFU, WAP; BIS, CUS.
    EXPECT_EQ(rows(m, QStringLiteral("OFFICERGROUP")),
              (QStringList{QStringLiteral("CFR|NW001|DEL"), QStringLiteral("WAP|NW001|ADD"),
                           QStringLiteral("BIS|NW001|DEL"), QStringLiteral("CUS|NW001|ADD")}));
    EXPECT_EQ(m.table(QStringLiteral("SETUP")), nullptr);
}

TEST_F(SaveRequest, AfterSendingTheStateIsStoredAndSaveIsOff) {
    tick(0, QStringLiteral("WAP"), true);
    exchange->SaveData();
    EXPECT_FALSE(state.mbRetrievalRequest);
    EXPECT_FALSE(state.mbTimedOut);
    EXPECT_EQ(host.toolbar.back(), (ToolbarCall{7, false, QStringLiteral("SEC1")}));
    EXPECT_EQ(host.status(), QStringLiteral("Saving Security Group for Ann Smith"));
    EXPECT_TRUE(tag(0, QStringLiteral("WAP")));

    exchange->SaveData();
    EXPECT_EQ(host.status(), QStringLiteral("Data did not change.  Save request cancelled. "));
    EXPECT_EQ(transport->sent().size(), 1u);
}

TEST_F(SaveRequest, TickedAndClearedAgainGivesNoRow) {
    tick(0, QStringLiteral("WAP"), true);
    tick(0, QStringLiteral("WAP"), false);
    form.setResetPasswordValue(1);
    exchange->SaveData();
    EXPECT_TRUE(rows(lastSent(), QStringLiteral("OFFICERGROUP")).isEmpty());
}

TEST_F(SaveRequest, ResetAloneSendsAnEmptyChangeTableAndOneSetupRow) {
    form.setResetPasswordValue(1);
    exchange->SaveData();
    const MessageData& m = lastSent();
    ASSERT_NE(m.table(QStringLiteral("OFFICERGROUP")), nullptr);
    EXPECT_TRUE(m.table(QStringLiteral("OFFICERGROUP"))->rows.empty());
    EXPECT_EQ(m.table(QStringLiteral("SETUP"))->fields,
              (QStringList{QStringLiteral("INSP_ID"), QStringLiteral("INITIAL"),
                           QStringLiteral("ACTION")}));
    EXPECT_EQ(rows(m, QStringLiteral("SETUP")), QStringList{QStringLiteral("NW001|Y|RESET")});
    EXPECT_EQ(form.reset, 1) << "the reply clears the box, not the send";
}

TEST_F(SaveRequest, SendDataSendsWithoutTheAgencyCheck) {
    tick(1, QStringLiteral("CUS"), true);
    EXPECT_TRUE(exchange->SendData());
    EXPECT_EQ(rows(lastSent(), QStringLiteral("OFFICERGROUP")),
              QStringList{QStringLiteral("CUS|NW001|ADD")});
    EXPECT_TRUE(state.mbRetrievalRequest) << "only SaveData marks the coming reply as a save reply";
}

TEST_F(SaveRequest, FailureBeforeHandOverKeepsTheEditsPending) {
    tick(0, QStringLiteral("WAP"), true);
    MessageBus::Instance().setTransport(nullptr);

    exchange->SaveData();

    EXPECT_TRUE(transport->sent().empty());
    EXPECT_FALSE(tag(0, QStringLiteral("WAP"))) << "the stored state goes back";
    EXPECT_TRUE(rules->DataChanged());
    ASSERT_FALSE(ErrorLogger::Instance().recent().empty());
    EXPECT_EQ(ErrorLogger::Instance().recent().back().source,
              QStringLiteral("ZAVEK_Security.SendData"));
    EXPECT_TRUE(fake.messageBox.shown().empty());
    EXPECT_FALSE(state.mbRetrievalRequest);
    EXPECT_EQ(host.toolbar.back(), (ToolbarCall{7, false, QStringLiteral("SEC1")}));

    MessageBus::Instance().setTransport(transport);
    exchange->SaveData();
    EXPECT_EQ(rows(lastSent(), QStringLiteral("OFFICERGROUP")),
              QStringList{QStringLiteral("WAP|NW001|ADD")});
}

TEST_F(SaveRequest, SendDataFailureIsReportedAsFalse) {
    tick(0, QStringLiteral("WAP"), true);
    MessageBus::Instance().setTransport(nullptr);
    EXPECT_FALSE(exchange->SendData());
    EXPECT_EQ(fake.pointer.Shape(), platform::PointerDefault);
}

TEST_F(SaveRequest, ErrorReplyToASaveIsShown) {
    saveError = QStringLiteral("An officer must belong to exactly one agency.");
    tick(0, QStringLiteral("WAP"), true);
    exchange->SaveData();
    deliver();
    ASSERT_EQ(fake.messageBox.shown().size(), 1u);
    EXPECT_EQ(fake.messageBox.shown()[0].text,
              QStringLiteral("An officer must belong to exactly one agency."));
    EXPECT_EQ(host.status(), QStringLiteral("Search was not successful"));
}

} // namespace
} // namespace zavek::testing
