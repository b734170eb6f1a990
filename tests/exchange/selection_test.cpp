#include "tests/exchange/exchange_fixture.h"

namespace zavek::testing {
namespace {

using platform::AnswerCancel;
using platform::AnswerNo;
using platform::AnswerYes;

class OfficerSelection : public ExchangeTest {};

TEST_F(OfficerSelection, PickingAnOfficerSendsOneRetrievalRequest) {
    pick(QStringLiteral(" NW001 "), QStringLiteral("Ann Smith"));

    ASSERT_EQ(transport->sent().size(), 1u);
    const MessageData& m = lastSent();
    EXPECT_EQ(m.messageType, 2);
    EXPECT_EQ(m.replyTo, state.documentIdentity);
    EXPECT_EQ(m.clientVersion, QStringLiteral("1.0"));
    EXPECT_EQ(m.sessionId, QStringLiteral("session-1"));
    EXPECT_EQ(m.messageId, state.msMessageId);
    EXPECT_TRUE(m.tables.empty());
    ASSERT_EQ(m.criteria.size(), 1u);
    EXPECT_EQ(m.criteria[0], (Criteria{QStringLiteral("QUILLMOR"), QStringLiteral("key:INSP_ID"),
                                       QStringLiteral("="), QStringLiteral("NW001")}));
    // Kept as received, sent trimmed.
    EXPECT_EQ(state.msInspId, QStringLiteral(" NW001 "));
}

TEST_F(OfficerSelection, RequestOutstandingShowsBusyStateUntilTheReply) {
    pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));

    EXPECT_EQ(host.status(), QStringLiteral("Requesting Security Group for Ann Smith"));
    EXPECT_EQ(fake.pointer.Shape(), platform::PointerHourglass);
    EXPECT_EQ(host.toolbar.back(), (ToolbarCall{7, false, QStringLiteral("SEC1")}));
    EXPECT_TRUE(state.mbRetrievalRequest);
    EXPECT_FALSE(state.mbTimedOut);

    deliver();
    EXPECT_EQ(fake.pointer.Shape(), platform::PointerDefault);
}

TEST_F(OfficerSelection, ClientVersionFollowsTheComponentVersion) {
    fake.component.setVersion(1, 12);
    pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
    EXPECT_EQ(lastSent().clientVersion, QStringLiteral("1.12"));
}

TEST_F(OfficerSelection, PickingTheShownOfficerAgainReloadsWithoutAsking) {
    stored[QStringLiteral("NW001")] = {QStringLiteral("CFR"), QStringLiteral("BIS")};
    pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
    deliver();
    tick(0, QStringLiteral("CFU"), true);
    const auto statuses = host.statuses.size();

    pick(QStringLiteral(" NW001"), QStringLiteral("Ann Smith"));

    EXPECT_EQ(transport->sent().size(), 1u);
    EXPECT_TRUE(fake.messageBox.shown().empty());
    EXPECT_FALSE(checked(0, QStringLiteral("CFU"))) << "pending edit dropped by the reload";
    EXPECT_TRUE(checked(0, QStringLiteral("CFR")));
    EXPECT_EQ(host.statuses.size(), statuses);
}

TEST_F(OfficerSelection, SwitchingWithoutEditsAsksNothing) {
    pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
    deliver();
    pick(QStringLiteral("NW002"), QStringLiteral("Bo Lee"));
    EXPECT_TRUE(fake.messageBox.shown().empty());
    EXPECT_EQ(transport->sent().size(), 2u);
}

class SwitchingWithPendingEdits : public ExchangeTest {
protected:
    void SetUp() override {
        stored[QStringLiteral("NW001")] = {QStringLiteral("CFR"), QStringLiteral("BIS")};
        stored[QStringLiteral("NW002")] = {QStringLiteral("WAP"), QStringLiteral("CUS")};
        pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
        deliver();
        firstMessageId = state.msMessageId;
        tick(0, QStringLiteral("CFU"), true);
        transport->clearSent();
    }
    QString firstMessageId;
};

TEST_F(SwitchingWithPendingEdits, YesSavesThePreviousOfficerThenRetrievesTheNewOne) {
    fake.messageBox.queueAnswer(AnswerYes);
    pick(QStringLiteral("NW002"), QStringLiteral("Bo Lee"));

    ASSERT_EQ(transport->sent().size(), 2u);
    const MessageData& save = transport->sent()[0];
    EXPECT_EQ(save.messageType, 3);
    EXPECT_EQ(save.messageId, firstMessageId);
    EXPECT_EQ(rows(save, QStringLiteral("OFFICERGROUP")),
              QStringList{QStringLiteral("CFU|NW001|ADD")});
    EXPECT_EQ(transport->sent()[1].messageType, 2);
    EXPECT_EQ(transport->sent()[1].criteria[0].value, QStringLiteral("NW002"));

    deliver();
    EXPECT_TRUE(checked(0, QStringLiteral("WAP")));
    EXPECT_FALSE(checked(0, QStringLiteral("CFU")));
    EXPECT_EQ(stored[QStringLiteral("NW001")].count(QStringLiteral("CFU")), 1);
}

TEST_F(SwitchingWithPendingEdits, NoDropsTheEditsAndRetrieves) {
    fake.messageBox.queueAnswer(AnswerNo);
    pick(QStringLiteral("NW002"), QStringLiteral("Bo Lee"));
    ASSERT_EQ(transport->sent().size(), 1u);
    EXPECT_EQ(lastSent().messageType, 2);
    deliver();
    EXPECT_FALSE(checked(0, QStringLiteral("CFU")));
    EXPECT_TRUE(checked(1, QStringLiteral("CUS")));
    EXPECT_FALSE(stored[QStringLiteral("NW001")].contains(QStringLiteral("CFU")));
}

TEST_F(SwitchingWithPendingEdits, CancelKeepsEverything) {
    fake.messageBox.queueAnswer(AnswerCancel);
    pick(QStringLiteral("NW002"), QStringLiteral("Bo Lee"));
    EXPECT_TRUE(transport->sent().empty());
    EXPECT_EQ(state.msInspId, QStringLiteral("NW001"));
    EXPECT_EQ(state.msOfficerName, QStringLiteral("Ann Smith"));
    EXPECT_TRUE(checked(0, QStringLiteral("CFU")));
    EXPECT_EQ(host.status(), QStringLiteral("Checking for data changes"));
}

TEST_F(SwitchingWithPendingEdits, SearchingOrClearingDropsEditsWithoutAPrompt) {
    for (const bool searching : {true, false}) {
        if (searching)
            exchange->ZAVEK_OfficerSelect1_Searching();
        else
            exchange->ZAVEK_OfficerSelect1_ClearForm();
        EXPECT_TRUE(fake.messageBox.shown().empty()) << searching;
        EXPECT_TRUE(state.msInspId.isEmpty()) << searching;
        EXPECT_EQ(state.msOfficerName, QStringLiteral("Ann Smith")) << searching;
        EXPECT_EQ(state.msMessageId, firstMessageId) << searching;
        EXPECT_EQ(form.captionText, QStringLiteral("Current Officer : ")) << searching;
        EXPECT_FALSE(checked(0, QStringLiteral("CFU")) || checked(0, QStringLiteral("CFR")));
        EXPECT_FALSE(tag(0, QStringLiteral("CFR")) || rules->DataChanged()) << searching;
        pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
        deliver();
        firstMessageId = state.msMessageId;
        tick(0, QStringLiteral("CFU"), true);
    }
}

// The previous officer's save, sent by Yes on a switch, fails once the screen shows the new
// officer: the administrator is told whose save failed, and the changes come back when that
// officer is picked again. A save that never leaves stops the switch instead.
enum class SwitchFault { RefusedFirst, RefusedLast, Unanswered, NotSent };
struct SwitchCase {
    const char* name;
    SwitchFault fault;
    const char* box; // the start of the box after the prompt
};
const SwitchCase kSwitchCases[] = {
    {"RefusedBeforeTheNewOfficerArrives", SwitchFault::RefusedFirst, "The save was refused."},
    {"RefusedAfterTheNewOfficerArrives", SwitchFault::RefusedLast, "The save was refused."},
    {"NeverAnswered", SwitchFault::Unanswered, "Saving Security Group for Ann Smith got no answer"},
    {"NeverSent", SwitchFault::NotSent, "Saving Security Group for Ann Smith failed: "},
};

class SwitchFailures : public SwitchingWithPendingEdits,
                       public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchFailures, TellWhoseSaveFailedAndKeepTheChanges) {
    const SwitchCase& c = GetParam();
    saveError = QStringLiteral("The save was refused.");
    transport->setHolding(true);
    if (c.fault == SwitchFault::NotSent)
        MessageBus::Instance().setTransport(nullptr);
    fake.messageBox.queueAnswer(AnswerYes);
    pick(QStringLiteral("NW002"), QStringLiteral("Bo Lee"));
    if (c.fault == SwitchFault::RefusedFirst) {
        transport->releaseHeld(0);
        deliver();
    }
    if (c.fault == SwitchFault::Unanswered) {
        exchange->moKelbMessage_MsgTimeout(QVariant(firstMessageId));
        transport->releaseHeld(1);
        transport->dropHeld();
    }
    transport->releaseAll();
    deliver();

    ASSERT_EQ(fake.messageBox.shown().size(), 2u) << c.name; // the prompt, then the failure
    const auto& prompt = fake.messageBox.shown()[0];
    EXPECT_EQ(prompt.text, QStringLiteral("Security groups have been changed for Ann Smith.\r\n"
                                          " Would you like to save your changes ?"));
    EXPECT_EQ(prompt.style, 35);
    EXPECT_EQ(prompt.title, QStringLiteral("Security Administration"));
    const QString box = fake.messageBox.shown()[1].text;
    EXPECT_TRUE(box.startsWith(QString::fromLatin1(c.box))) << c.name << ": " << box.toStdString();
    EXPECT_EQ(fake.messageBox.shown()[1].style, 16) << c.name;
    if (c.fault == SwitchFault::NotSent) {
        EXPECT_EQ(state.msInspId, QStringLiteral("NW001")) << "the switch did not happen";
        EXPECT_TRUE(checked(0, QStringLiteral("CFU")));
        EXPECT_TRUE(rules->hasChanges());
        return;
    }
    EXPECT_TRUE(box.contains(QStringLiteral("Select Ann Smith again"))) << c.name;
    EXPECT_TRUE(checked(0, QStringLiteral("WAP"))) << c.name;
    EXPECT_FALSE(checked(0, QStringLiteral("CFU"))) << c.name;
    EXPECT_FALSE(rules->hasChanges()) << c.name << ": nothing of Ann's is laid on Bo's lists";
    EXPECT_FALSE(stored[QStringLiteral("NW001")].contains(QStringLiteral("CFU")));

    transport->setHolding(false);
    pick(QStringLiteral("NW001"), QStringLiteral("Ann Smith"));
    deliver();
    EXPECT_TRUE(checked(0, QStringLiteral("CFU"))) << c.name;
    EXPECT_TRUE(checked(0, QStringLiteral("CFR"))) << c.name;
    EXPECT_FALSE(tag(0, QStringLiteral("CFU"))) << c.name;
    EXPECT_EQ(host.buttonState(7, QStringLiteral("SEC1")), std::optional<bool>(true)) << c.name;
    EXPECT_TRUE(host.status().startsWith(QStringLiteral("Displaying Security Group for Ann Smith; "
                                                        "the changes that were not saved")))
        << c.name;
}

INSTANTIATE_TEST_SUITE_P(Switch, SwitchFailures, ::testing::ValuesIn(kSwitchCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zavek::testing
