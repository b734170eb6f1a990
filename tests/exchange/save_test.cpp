#include "groups/document_state.h"
#include "tests/support/screen.h"

namespace zavek::testing {
namespace {

// Whatever becomes of a save short of being stored, from the Save button, from Yes on closing
// or from Yes on switching to another officer: the edits stay pending (on a switch, they come
// back with the officer), Save can be pressed again and sends them, the screen says what failed,
// and a close waits for the save's own reply and keeps the window open.
enum class Via { Save, Close, Switch };
struct SaveCase {
    const char* name;
    Via via;
    const char* fault;  // before the save starts: R refused, C refused after another
                        // administrator's save, H held, L held after a pick, U unplugged
    const char* script; // one step each 500 ms of the close wait, or in turn: T time-out of the
                        // save, 0 or 1 release that held reply, A release all, - nothing
    bool reset, stored;
    const char *status, *box; // status null: not checked; box: the start of the one box after
                              // the prompt, null: none
    int passes;               // of the close wait; -1: not checked
};
class SaveFailures : public Screen, public ::testing::WithParamInterface<SaveCase> {};
const char* const kPending =
    "Saving Security Group for Ann Smith failed; your changes are still pending";
const char* const kNoAnswer = "Saving Security Group for Ann Smith got no answer; your changes "
                              "are still pending. Check the connection and save again.";
const SaveCase kSaves[] = {
    {"SaveRefusedWithAReset", Via::Save, "R", "", true, false, kPending, "The save was refused.",
     -1},
    // Another administrator gave the officer CFU meanwhile: shown, with WAP still pending.
    {"SaveRefusedAfterAnotherAdministratorsSave", Via::Save, "C", "", false, false,
     "Saving Security Group for Ann Smith failed; your changes are still pending; the lists show "
     "what is stored now with your changes ticked again",
     "Security groups of Ann Smith were changed", -1},
    {"SaveNeverAnswered", Via::Save, "H", "T", true, false, kNoAnswer, nullptr, -1},
    {"SaveNeverSent", Via::Save, "U", "", false, false, kPending,
     "Saving Security Group for Ann Smith failed: The back end is not connected", -1},
    {"SaveAnsweredAfterItsTimeOut", Via::Save, "H", "TA", false, true,
     "Displaying Security Group for Ann Smith", nullptr, -1},
    {"CloseStoredAtOnce", Via::Close, "", "", false, true, nullptr, nullptr, 1},
    {"CloseTimedOutThenRefused", Via::Close, "RH", "TA", false, false, kPending,
     "The save was refused.", -1},
    {"CloseNeverAnswered", Via::Close, "H", "", false, false, kNoAnswer, nullptr, 5},
    {"CloseNeverSent", Via::Close, "U", "", false, false, "Save failed", nullptr, 0},
    // Stored, but known only from the save's reply, which comes after a late retrieval reply
    // (of Bo, picked and left before his answer came).
    {"CloseAfterALateRetrievalReply", Via::Close, "HL", "0-A", false, true, nullptr, nullptr, 3},
    {"SwitchRefusedBeforeTheNewOfficerArrives", Via::Switch, "RH", "0A", false, false, nullptr,
     "The save was refused.", -1},
    {"SwitchRefusedAfterTheNewOfficerArrives", Via::Switch, "RH", "1A", false, false, nullptr,
     "The save was refused.", -1},
    {"SwitchNeverAnswered", Via::Switch, "RH", "T1", false, false, nullptr,
     "Saving Security Group for Ann Smith got no answer", -1},
    {"SwitchNeverSent", Via::Switch, "U", "", false, false, nullptr,
     "Saving Security Group for Ann Smith failed: ", -1},
};

TEST_P(SaveFailures, KeepTheEditsPendingAndSaySo) {
    const SaveCase& c = GetParam();
    bus.setTimeoutMs(2000);
    doc->UserDocument_Show();
    pick(u"NW001"_s);
    deliver();
    const QByteArray fault = c.fault;
    if (fault.contains('R'))
        saveError = u"The save was refused."_s;
    if (fault.contains('C'))
        saveError = u"Security groups of Ann Smith were changed by someone."_s,
        stored[u"NW001"_s].append(u"CFU"_s);
    if (fault.contains('H'))
        transport->setHolding(true);
    if (fault.contains('L'))
        pick(u"NW002"_s, u"Bo Lee"_s), pick(u"NW001"_s), transport->releaseHeld(1), deliver();
    if (fault.contains('U'))
        bus.setTransport(nullptr);
    tick(0, "WAP", true);
    doc->form().resetPassword()->setChecked(c.reset);
    const QString saveId = doc->state().msMessageId;
    const auto step = [this, &saveId](char s) {
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
        c.via == Via::Save ? doc->SaveData() : pick(u"NW002"_s, u"Bo"_s);
        for (int i = 0; c.script[i]; ++i)
            step(c.script[i]);
    }
    transport->dropHeld(), deliver();

    EXPECT_TRUE(!c.status || host.status() == QLatin1String(c.status))
        << host.status().toStdString();
    const auto& boxes = fake.messageBox.shown();
    ASSERT_EQ(boxes.size(), (c.via == Via::Save ? 0u : 1u) + (c.box ? 1 : 0));
    if (c.box) {
        EXPECT_TRUE(boxes.back().text.startsWith(QString::fromLatin1(c.box)))
            << boxes.back().text.toStdString();
        EXPECT_EQ(boxes.back().style, 16);
    }
    EXPECT_TRUE(c.passes < 0 || fake.events.sleepCount() == c.passes) << fake.events.sleepCount();
    for (int id : {7, 8, 9, 14, 12})
        EXPECT_TRUE(c.via != Via::Close || host.buttonState(id, u"SEC1"_s) == true)
            << "button " << id << " handed back";
    const bool switched = c.via == Via::Switch && !fault.contains('U');
    if (c.stored) {
        EXPECT_TRUE(items(0).item(row(0, "WAP")).tag && !doc->rules().hasChanges());
        return;
    }
    if (switched) {
        // The new officer is shown untouched; the old one's changes come back with them.
        EXPECT_TRUE(boxes.back().text.contains(u"Select Ann Smith again"_s));
        EXPECT_EQ(shown(), u"Bo: CUS"_s);
        EXPECT_FALSE(stored[u"NW001"_s].contains(u"WAP"_s));
        transport->setHolding(false), pick(u"NW001"_s), deliver();
        EXPECT_TRUE(host.status().startsWith(QStringLiteral(
            "Displaying Security Group for Ann Smith; the changes that were not saved")));
    }
    // Only another administrator's save gives CFU; the reset is still asked for.
    EXPECT_EQ(shown(), u"Ann Smith: CFR %1WAP* BIS%2 save"_s.arg(fault.contains('C') ? "CFU " : "",
                                                                 c.reset ? " R" : ""));
    saveError.clear(), transport->setHolding(false), transport->clearSent();
    bus.setTransport(transport);
    doc->SaveData(), deliver();
    ASSERT_EQ(transport->sent().size(), 1u);
    EXPECT_EQ(rows(transport->sent()[0], u"OFFICERGROUP"_s), QStringList{u"WAP|NW001|ADD"_s});
    EXPECT_TRUE(stored[u"NW001"_s].contains(u"WAP"_s));
    EXPECT_FALSE(doc->rules().hasChanges());
}
INSTANTIATE_TEST_SUITE_P(Save, SaveFailures, ::testing::ValuesIn(kSaves), kByName);

} // namespace
} // namespace zavek::testing
