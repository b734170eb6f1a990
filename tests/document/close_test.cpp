#include "groups/document_state.h"
#include "tests/support/screen.h"

namespace zavek::testing {
namespace {

// What a host reaches by each dispatch identifier, with Ann Smith shown: the identifiers are
// written out here, not taken from the code, so that renumbering one breaks this table.
// boxes: '?' the save prompt, otherwise the box's text; sent: the types sent; shell: the
// shell's calls, statuses left out; result 7: left as it was.
struct Call {
    const char* name;
    std::uint32_t id;
    void (*edit)(Screen&);
    int answer;
    std::int16_t result;
    const char *boxes, *sent, *shell;
    int pending; // edits left pending; -1: not checked
};
void none(Screen&) {}
void editCfu(Screen& s) {
    s.tick(0, "CFU", true);
}
const char* const kHandBack = "7+ 8+ 9+ 14+ 12+";
const Call kCalls[] = {
    {"CloseUnchanged", 0x60030000u, none, 0, -1, "", "", kHandBack, 0},
    {"NeedSaveUnchanged", 0x60030001u, none, 0, 0, "", "", "", 0},
    {"CloseResetAloneAsks", 0x60030000u,
     [](Screen& s) { s.doc->form().resetPassword()->setChecked(true); }, AnswerCancel, 0, "?", "",
     "", 1},
    {"CloseNoDiscards", 0x60030000u, editCfu, AnswerNo, -1, "?", "", kHandBack, 0},
    {"CloseCancelKeepsAll", 0x60030000u, editCfu, AnswerCancel, 0, "?", "", "", 1},
    // Yes: a click during the close wait is no part of the save, so the window stays with it.
    {"CloseYesKeepsAClickMadeInTheWait", 0x60030000u,
     [](Screen& s) {
         editCfu(s), s.transport->setHolding(true);
         s.fake.events.at(500, [&s] { s.tick(0, "CFR", false); });
         s.fake.events.at(1000, [&s] { s.transport->releaseAll(); });
     },
     AnswerYes, 0, "?", "3", "7+ S+ 7+ 7+ 8+ 9+ 14+ 12+ 7+", 1},
    {"NeedSaveYesSavesWithoutWaiting", 0x60030001u, editCfu, AnswerYes, -1, "?", "3", "7- S+ S+",
     false},
    {"NeedSaveYesWithTwoAgencies", 0x60030001u, [](Screen& s) { s.tick(1, "CUS", true); },
     AnswerYes, -1, "?|Can not select more than one Agency.", "", "S+", 1},
    {"NeedSaveNoKeeps", 0x60030001u, editCfu, AnswerNo, 0, "?", "", "", 1},
    {"NeedSaveCancel", 0x60030001u, editCfu, AnswerCancel, -1, "?", "", "", 1},
    {"BeforeUnloadHandsBack", 0x6003000Au, editCfu, 0, 7, "", "", "7+ 8+ 9+ 14+ 12+ S+", 1},
    {"BackupForPersist", 0x6003000Bu, editCfu, 0, 7, "", "", "", 1},
    {"SaveData", 0x6003000Du, editCfu, 0, 7, "", "3", "7- S+ S+", 0},
    {"UnknownIdentifier", 0x60030002u, editCfu, 0, 7, "", "", "", 1},
};
class Calls : public Screen, public ::testing::WithParamInterface<Call> {};

TEST_P(Calls, ReachTheirOperationAndAnswer) {
    const Call& c = GetParam();
    doc->UserDocument_Show();
    pick(u"NW001"_s);
    deliver();
    c.edit(*this);
    transport->clearSent();
    host.log.clear();
    if (c.answer)
        fake.messageBox.queueAnswer(c.answer);
    fake.pointer.SetShape(platform::PointerHourglass);
    std::int16_t result = 7;
    EXPECT_EQ(doc->Invoke(c.id, &result), c.id == 0x60030002u ? kResultUnknownMember : kResultOk);
    deliver();
    EXPECT_EQ(result, c.result);
    QStringList boxes; // the prompt as '?' only when its text and title are the expected ones
    for (const auto& box : fake.messageBox.shown())
        boxes << (box.style == 35 && box.title == u"Security Administration"_s &&
                          box.text == u"Security groups have been changed for Ann Smith.\r\n Would "
                                      "you like to save your changes ?"_s
                      ? u"?"_s
                      : box.text);
    EXPECT_EQ(boxes.join(QLatin1Char('|')), QString::fromLatin1(c.boxes));
    QString sent;
    for (const MessageData& m : transport->sent()) {
        sent += QString::number(m.messageType);
        // The back end checks these two on every save.
        EXPECT_EQ(m.sessionId + m.clientVersion, u"session-11.0"_s);
    }
    EXPECT_EQ(sent, QLatin1String(c.sent));
    EXPECT_EQ(shellLog(false), QLatin1String(c.shell));
    EXPECT_TRUE(c.pending < 0 || doc->rules().hasChanges() == (c.pending == 1));
    EXPECT_TRUE(c.pending != 1 || saveButton() == true);
    if (c.answer == AnswerYes && c.result == 0) {
        EXPECT_EQ(shown(), u"Ann Smith: -CFR* CFU BIS save"_s);
        EXPECT_EQ(host.status(), QStringLiteral("Saving Security Group for Ann Smith done; the "
                                                "changes made since are still pending. Save "
                                                "them, then close again."));
    }
    EXPECT_TRUE(c.answer != AnswerCancel || c.id != 0x60030001u ||
                fake.pointer.Shape() == platform::PointerDefault);
}
INSTANTIATE_TEST_SUITE_P(Dispatch, Calls, ::testing::ValuesIn(kCalls), kByName);

} // namespace
} // namespace zavek::testing
