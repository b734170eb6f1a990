#include "tests/document/document_fixture.h"

#include "groups/document_state.h"

#include <QCheckBox>
#include <QLabel>

namespace zavek::testing {
namespace {

using platform::AnswerCancel;
using platform::AnswerNo;
using platform::AnswerYes;

constexpr const char* kStillPending =
    "Saving Security Group for Ann Smith failed; your changes are still pending";
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

// A host that knows only the numbers reaches each operation by them; written out here, not
// taken from the code's constants, so that renumbering one breaks this table.
TEST_F(ClosePrompts, DispatchIdentifiersReachTheOperations) {
    struct Case {
        std::uint32_t id;
        const char* operation;
        std::int32_t answer; // the box's answer, if the operation asks
        std::int16_t result; // as the host reads it; 7: left as it was
        bool sendsSave;
        bool changesRemain;
    };
    const Case cases[] = {
        {0x6003000Du, "SaveData", 0, 7, true, false},
        {0x60030001u, "NeedSave", AnswerNo, 0, false, true},
        {0x6003000Au, "BeforeUnload", 0, 7, false, true},
        {0x6003000Bu, "BeforeUnload_BackupForPersist", 0, 7, false, true},
        {0x60030002u, "(none)", 0, 7, false, true},
        {0x60030000u, "CloseDocument", AnswerNo, -1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        if (!doc->rules().DataChanged())
            tick(0, QStringLiteral("CFU"), !checked(0, QStringLiteral("CFU")));
        ASSERT_TRUE(doc->rules().DataChanged());
        transport->clearSent();
        host.toolbar.clear();
        if (c.answer)
            fake.messageBox.queueAnswer(c.answer);
        std::int16_t result = 7;
        EXPECT_EQ(doc->Invoke(c.id, &result),
                  std::string(c.operation) == "(none)" ? kResultUnknownMember : kResultOk);
        deliver();
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(transport->sent().size(), c.sendsSave ? 1u : 0u);
        if (c.sendsSave) {
            // The back end checks these two on every save.
            EXPECT_EQ(transport->sent().at(0).sessionId, QStringLiteral("session-1"));
            EXPECT_FALSE(transport->sent().at(0).clientVersion.isEmpty());
        }
        EXPECT_EQ(doc->rules().DataChanged(), c.changesRemain);
        if (c.id == 0x6003000Au) {
            EXPECT_TRUE(allFiveEnabledLast(host));
        }
        fake.messageBox.clear();
    }
}

// Yes: the document may close only once its save is stored; otherwise it stays open, every
// edit stays pending, and the five buttons are handed back either way. The wait ends on the
// save's own reply (at least one pass), not on another one.
enum class CloseFault {
    None,
    Refused,
    TimedOutThenRefused,
    Unanswered,
    NotSent,
    RetrievalReplyFirst
};
struct CloseCase {
    const char* name;
    CloseFault fault;
    std::int16_t result;
    const char* status; // null: not checked
    const char* box;    // the reply's box after the prompt; null: none
    int passes;         // of the wait; -1: not checked
};
const CloseCase kCloseCases[] = {
    {"StoredAtOnce", CloseFault::None, -1, nullptr, nullptr, 1},
    {"Refused", CloseFault::Refused, 0, kStillPending, "The save was refused.", -1},
    {"TimedOutThenRefused", CloseFault::TimedOutThenRefused, 0, kStillPending,
     "The save was refused.", -1},
    {"Unanswered", CloseFault::Unanswered, 0,
     "Saving Security Group for Ann Smith got no answer; your changes are still pending. Check "
     "the connection and save again.",
     nullptr, 5},
    {"NotSent", CloseFault::NotSent, 0, "Save failed", nullptr, 0},
    // Stored, but only known when the save's reply comes after a late retrieval reply.
    {"RetrievalReplyFirst", CloseFault::RetrievalReplyFirst, -1, nullptr, nullptr, 4},
};

class CloseWithYes : public ClosePrompts, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseWithYes, KeepsTheDocumentUnlessTheSaveIsStored) {
    const CloseCase& c = GetParam();
    MessageBus::Instance().setTimeoutMs(2000);
    if (c.fault == CloseFault::RetrievalReplyFirst) {
        transport->setHolding(true);
        doc->exchange().ZAVEK_OfficerSelect1_OfficerSelected(QStringLiteral("NW002"));
        fake.events.at(500, [this] { transport->releaseHeld(0); });
        fake.events.at(1500, [this] { transport->releaseAll(); });
    }
    edit();
    if (c.fault == CloseFault::Refused || c.fault == CloseFault::TimedOutThenRefused)
        saveError = QStringLiteral("The save was refused.");
    if (c.fault == CloseFault::TimedOutThenRefused) {
        transport->setHolding(true);
        fake.events.at(500, [this] {
            emit KelbListener::Instance()->MsgTimeout(QVariant(doc->state().msMessageId));
        });
        fake.events.at(1000, [this] { transport->releaseAll(); });
    }
    if (c.fault == CloseFault::Unanswered)
        transport->setResponder([](const MessageData&) { return std::optional<MessageData>(); });
    if (c.fault == CloseFault::NotSent)
        MessageBus::Instance().setTransport(nullptr);
    fake.messageBox.queueAnswer(AnswerYes);

    EXPECT_EQ(doc->CloseDocument(), c.result) << c.name;

    if (c.status) {
        EXPECT_EQ(host.status(), QString::fromLatin1(c.status)) << c.name;
    }
    ASSERT_EQ(fake.messageBox.shown().size(), c.box ? 2u : 1u) << c.name;
    if (c.box) {
        EXPECT_EQ(fake.messageBox.shown()[1].text, QString::fromLatin1(c.box)) << c.name;
    }
    EXPECT_EQ(checked(0, QStringLiteral("CFU")), c.result == 0) << c.name;
    EXPECT_EQ(doc->rules().hasChanges(), c.result == 0) << c.name << ": edits still pending";
    EXPECT_TRUE(allFiveEnabledLast(host)) << c.name;
    if (c.passes >= 0) {
        EXPECT_EQ(fake.events.sleepCount(), c.passes) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Close, CloseWithYes, ::testing::ValuesIn(kCloseCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zavek::testing
