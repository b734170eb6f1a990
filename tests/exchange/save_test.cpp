#include "groups/document_state.h"
#include "tests/support/screen.h"

namespace zavek::testing {
namespace {

// Whatever becomes of a save short of being stored, from the Save button, from Yes on closing
// or from Yes on switching to another officer: the edits stay pending (on a switch, they come
// back with the officer), Save can be pressed again and sends them, the screen says what failed,
// and a close waits for the save's own reply and keeps the window open.
enum class Via { Save, Close, Switch };
class SaveFailures;
struct SaveCase {
    const char* name;
    Via via;
    void (*fault)(SaveFailures&); // before the save starts
    const char* script; // one step each 500 ms of the close wait, or in turn: T time-out of the
                        // save, 0 or 1 release that held reply, A release all, - nothing
    bool reset, stored;
    const char *status, *box; // status null: not checked; box: the start of the one box after
                              // the prompt, null: none
    int passes;               // of the close wait; -1: not checked
};
class SaveFailures : public Screen, public ::testing::WithParamInterface<SaveCase> {
public:
    QString saveId;
};
void refuse(SaveFailures& s) {
    s.saveError = QStringLiteral("The save was refused.");
}
void hold(SaveFailures& s) {
    s.transport->setHolding(true);
}
void refuseHeld(SaveFailures& s) {
    refuse(s), hold(s);
}
void unplug(SaveFailures& s) {
    s.bus.setTransport(nullptr);
}
const char* const kPending =
    "Saving Security Group for Ann Smith failed; your changes are still pending";
const char* const kNoAnswer = "Saving Security Group for Ann Smith got no answer; your changes "
                              "are still pending. Check the connection and save again.";
const SaveCase kSaves[] = {
    {"SaveRefused", Via::Save, refuse, "", false, false, kPending, "The save was refused.", -1},
    {"SaveRefusedWithAReset", Via::Save, refuse, "", true, false, kPending, "The save was refused.",
     -1},
    // Another administrator gave the officer CFU meanwhile: shown, with WAP still pending.
    {"SaveRefusedAfterAnotherAdministratorsSave", Via::Save,
     [](SaveFailures& s) {
         s.saveError = QStringLiteral("Security groups of Ann Smith were changed by someone.");
         s.stored[QStringLiteral("NW001")].append(QStringLiteral("CFU"));
     },
     "", false, false,
     "Saving Security Group for Ann Smith failed; your changes are still pending; the lists show "
     "what is stored now with your changes ticked again",
     "Security groups of Ann Smith were changed", -1},
    {"SaveNeverAnswered", Via::Save, hold, "T", true, false, kNoAnswer, nullptr, -1},
    {"SaveNeverSent", Via::Save, unplug, "", false, false, kPending,
     "Saving Security Group for Ann Smith failed: The back end is not connected", -1},
    {"SaveAnsweredAfterItsTimeOut", Via::Save, hold, "TA", false, true,
     "Displaying Security Group for Ann Smith", nullptr, -1},
    {"CloseStoredAtOnce", Via::Close, [](SaveFailures&) {}, "", false, true, nullptr, nullptr, 1},
    {"CloseRefused", Via::Close, refuse, "", false, false, kPending, "The save was refused.", -1},
    {"CloseTimedOutThenRefused", Via::Close, refuseHeld, "TA", false, false, kPending,
     "The save was refused.", -1},
    {"CloseNeverAnswered", Via::Close, hold, "", false, false, kNoAnswer, nullptr, 5},
    {"CloseNeverSent", Via::Close, unplug, "", false, false, "Save failed", nullptr, 0},
    // Stored, but known only from the save's reply, which comes after a late retrieval reply.
    {"CloseAfterALateRetrievalReply", Via::Close,
     [](SaveFailures& s) { hold(s), s.pick(QStringLiteral("NW002"), QStringLiteral("Bo Lee")); },
     "0-A", false, true, nullptr, nullptr, 3},
    {"SwitchRefusedBeforeTheNewOfficerArrives", Via::Switch, refuseHeld, "0A", false, false,
     nullptr, "The save was refused.", -1},
    {"SwitchRefusedAfterTheNewOfficerArrives", Via::Switch, refuseHeld, "1A", false, false, nullptr,
     "The save was refused.", -1},
    {"SwitchNeverAnswered", Via::Switch, refuseHeld, "T1", false, false, nullptr,
     "Saving Security Group for Ann Smith got no answer", -1},
    {"SwitchNeverSent", Via::Switch, unplug, "", false, false, nullptr,
     "Saving Security Group for Ann Smith failed: ", -1},
};

TEST_P(SaveFailures, KeepTheEditsPendingAndSaySo) {
    const SaveCase& c = GetParam();
    bus.setTimeoutMs(2000);
    doc->UserDocument_Show();
    pick(QStringLiteral("NW001"));
    deliver();
    c.fault(*this);
    tick(0, "WAP", true);
    doc->form().resetPassword()->setChecked(c.reset);
    saveId = doc->state().msMessageId;
    const auto step = [this](char s) {
        if (s == 'T')
            emit KelbListener::Instance()->MsgTimeout(QVariant(saveId));
        if (s == 'A')
            transport->releaseAll();
        if (s == '0' || s == '1')
            transport->releaseHeld(static_cast<std::size_t>(s - '0'));
        deliver();
    };
    transport->clearSent();
    if (c.via != Via::Save)
        fake.messageBox.queueAnswer(AnswerYes);
    if (c.via == Via::Close) {
        for (int i = 0; c.script[i]; ++i)
            fake.events.at(500 * (i + 1), [&step, s = c.script[i]] { step(s); });
        EXPECT_EQ(doc->CloseDocument(), c.stored ? -1 : 0);
    } else {
        c.via == Via::Save ? doc->SaveData() : pick(QStringLiteral("NW002"), QStringLiteral("Bo"));
        for (int i = 0; c.script[i]; ++i)
            step(c.script[i]);
    }
    transport->dropHeld(), deliver();

    if (c.status) {
        EXPECT_EQ(host.status(), QString::fromLatin1(c.status));
    }
    const auto& boxes = fake.messageBox.shown();
    const std::size_t prompts = c.via == Via::Save ? 0 : 1;
    ASSERT_EQ(boxes.size(), prompts + (c.box ? 1 : 0));
    if (c.box) {
        EXPECT_TRUE(boxes.back().text.startsWith(QString::fromLatin1(c.box)))
            << boxes.back().text.toStdString();
        EXPECT_EQ(boxes.back().style, 16);
    }
    if (c.passes >= 0) {
        EXPECT_EQ(fake.events.sleepCount(), c.passes);
    }
    for (int id : {7, 8, 9, 14, 12})
        EXPECT_TRUE(c.via != Via::Close || host.buttonState(id, QStringLiteral("SEC1")) == true)
            << "button " << id << " handed back";
    const bool switched = c.via == Via::Switch && c.fault != unplug;
    if (c.stored) {
        EXPECT_TRUE(tag(0, "WAP") && !doc->rules().hasChanges());
        return;
    }
    if (switched) {
        // The new officer is shown untouched; the old one's changes come back with them.
        EXPECT_TRUE(boxes.back().text.contains(QStringLiteral("Select Ann Smith again")));
        EXPECT_EQ(shown(), QStringLiteral("Bo: CUS"));
        EXPECT_FALSE(stored[QStringLiteral("NW001")].contains(QStringLiteral("WAP")));
        transport->setHolding(false), pick(QStringLiteral("NW001")), deliver();
        EXPECT_TRUE(host.status().startsWith(QStringLiteral(
            "Displaying Security Group for Ann Smith; the changes that were not saved")));
    }
    // Only another administrator's save gives CFU; the reset is still asked for.
    EXPECT_EQ(shown(), QStringLiteral("Ann Smith: CFR %1WAP* BIS%2 save")
                           .arg(c.fault == refuse || c.fault == hold || c.fault == refuseHeld ||
                                        c.fault == unplug
                                    ? ""
                                    : "CFU ",
                                c.reset ? " R" : ""));
    saveError.clear(), transport->setHolding(false), transport->clearSent();
    bus.setTransport(transport);
    doc->SaveData(), deliver();
    ASSERT_EQ(transport->sent().size(), 1u);
    EXPECT_EQ(rows(transport->sent()[0], QStringLiteral("OFFICERGROUP")),
              QStringList{QStringLiteral("WAP|NW001|ADD")});
    EXPECT_TRUE(stored[QStringLiteral("NW001")].contains(QStringLiteral("WAP")));
    EXPECT_FALSE(doc->rules().hasChanges());
}
INSTANTIATE_TEST_SUITE_P(Save, SaveFailures, ::testing::ValuesIn(kSaves), kByName);

} // namespace
} // namespace zavek::testing
