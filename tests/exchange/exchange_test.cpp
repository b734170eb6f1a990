#include "common/codec.h"
#include "groups/document_state.h"
#include "tests/support/screen.h"

namespace zavek::testing {
namespace {

// After a failed retrieval no officer is shown, and a tick can neither enable Save nor send.
void noOfficer(Screen& s) {
    EXPECT_EQ(s.doc->form().caption()->text(), u"Current Officer : "_s);
    EXPECT_TRUE(s.doc->state().msInspId.isEmpty()); // the row's shown() has no tick
    s.bus.setTransport(s.transport);
    s.transport->clearSent();
    s.tick(0, "CFU", true), s.doc->SaveData(), s.deliver();
    EXPECT_EQ(s.saveButton(), std::optional<bool>(false));
    EXPECT_TRUE(s.transport->sent().empty() && s.shown() == ":");
}
const char* const kChecking = "Checking for data changes";
const char* const kAskAnn = "35:Security groups have been changed for Ann Smith.\r\n Would you "
                            "like to save your changes ?";

// What the administrator sees and what is sent after each step, from Ann Smith (NW001, holding
// CFR and BIS) shown. boxes: "style:text" joined by '|', every one titled with the caption;
// sent: the types of the messages sent; shown: Screen::shown(), null: not checked; check: what
// else must hold.
struct Step {
    const char* name;
    void (*act)(Screen&);
    const char *status, *boxes, *sent, *shown;
    void (*check)(Screen&);
};
void switchTo(Screen& s, int answer) {
    s.tick(0, "CFU", true), s.fake.messageBox.queueAnswer(answer), s.pick("NW002", "Bo");
}
const Step kSteps[] = {
    // A late good answer to the failed retrieval is not shown either.
    {"ErrorReplyShowsNoOfficer",
     [](Screen& s) {
         s.retrievalError = u"Officer NW002 was not found."_s;
         s.pick("NW002", "Bo Lee"), s.deliver();
         s.transport->deliverRaw(encodeMessage(LoopbackTransport::replyTo(s.transport->sent()[0])));
     },
     "Search was not successful", "16:Officer NW002 was not found.", "2", ":", noOfficer},
    {"RetrievalNeverSentShowsNoOfficer",
     [](Screen& s) {
         s.doc->form().resetPassword()->setChecked(true), s.fake.messageBox.queueAnswer(AnswerNo);
         s.bus.setTransport(nullptr), s.pick("NW002", "Bo Lee");
     },
     "Search was not successful: The back end is not connected; sign in again or restart the "
     "shell.",
     kAskAnn, "", ":", noOfficer},
    {"TimeOutThenErrorReply",
     [](Screen& s) {
         s.transport->setHolding(true), s.retrievalError = u"The request timed out."_s;
         s.pick("NW002", "Bo Lee");
         emit KelbListener::Instance()->MsgTimeout(u"another-request"_s);
         EXPECT_FALSE(s.doc->state().mbTimedOut) << "another document's time-out";
         emit KelbListener::Instance()->MsgTimeout(s.doc->state().msMessageId);
         EXPECT_TRUE(s.doc->state().mbTimedOut && s.fake.messageBox.shown().empty());
         s.transport->releaseAll();
     },
     "Search timed", "16:The request timed out.", "2", ":", noOfficer},
    {"TimeOutThenGoodReply",
     [](Screen& s) {
         s.transport->setHolding(true), s.pick("NW002", "Bo Lee");
         emit KelbListener::Instance()->MsgTimeout(s.doc->state().msMessageId),
             s.transport->releaseAll();
     },
     "Displaying Security Group for Bo Lee", "", "2", "Bo Lee: CUS", nullptr},
    // The lists still show Ann's marks until Bo's answer: a tick there is no edit of Bo's.
    {"ATickWhileTheNextOfficerIsRequestedIsUndone",
     [](Screen& s) {
         s.transport->setHolding(true), s.pick("NW002", "Bo Lee");
         s.tick(0, "CFU", true), s.doc->form().resetPassword()->setChecked(true);
         s.doc->SaveData();
         EXPECT_EQ(s.shown(), "Ann Smith: CFR BIS");
         EXPECT_EQ(s.host.status(), "Wait until the security groups of Bo Lee are shown; if "
                                    "they do not come, search and pick the officer again.");
         s.transport->releaseAll();
     },
     "Displaying Security Group for Bo Lee", "", "2", "Bo Lee: CUS", nullptr},
    {"AnotherDocumentsReplyTouchesNothing",
     [](Screen& s) {
         s.doc->form().resetPassword()->setChecked(true), s.host.shellEnabled.clear();
         s.doc->exchange().moKelbMessage_DataReady(u"SomeOtherDocument"_s);
     },
     kChecking, "", "", "Ann Smith: CFR BIS R save",
     [](Screen& s) { EXPECT_TRUE(s.host.shellEnabled.empty()); }},
    {"NothingChangedCancelsTheSave",
     [](Screen& s) { s.fake.pointer.SetShape(platform::PointerHourglass), s.doc->SaveData(); },
     "Data did not change.  Save request cancelled. ", "", "", "Ann Smith: CFR BIS",
     [](Screen& s) { EXPECT_EQ(s.host.shellEnabled.back(), true); }},
    {"NoAgencyIsRefused", [](Screen& s) { s.tick(1, "BIS", false), s.doc->SaveData(); }, kChecking,
     "16:Please select an Agency.", "", "Ann Smith: CFR -BIS* save", nullptr},
    {"TwoAgenciesAreRefused", [](Screen& s) { s.tick(1, "CUS", true), s.doc->SaveData(); },
     kChecking, "16:Can not select more than one Agency.", "", "Ann Smith: CFR BIS CUS* save",
     nullptr},
    {"SavingStoresTheShownStateAndTurnsSaveOff",
     [](Screen& s) { s.transport->setHolding(true), s.tick(0, "WAP", true), s.doc->SaveData(); },
     "Saving Security Group for Ann Smith", "", "3", "Ann Smith: CFR WAP BIS", nullptr},
    {"EditsMadeWhileSavingStayAndTheReplyClearsTheResetBox",
     [](Screen& s) {
         s.doc->form().resetPassword()->setChecked(true);
         s.tick(0, "CFU", true), s.doc->SaveData(), s.tick(0, "WAP", true);
     },
     "Displaying Security Group for Ann Smith", "", "3", "Ann Smith: CFR CFU WAP* BIS save",
     nullptr},
    // Searching (or clearing: the same step) drops the edits without a prompt; the name and the
    // message id stay.
    {"SearchingDropsTheEdits",
     [](Screen& s) { s.tick(0, "CFU", true), s.doc->exchange().ZAVEK_OfficerSelect1_Searching(); },
     kChecking, "", "", nullptr,
     [](Screen& s) {
         EXPECT_TRUE(s.doc->state().msOfficerName == "Ann Smith" &&
                     !s.doc->state().msMessageId.isEmpty() &&
                     s.saveButton() == std::optional<bool>(false));
         noOfficer(s);
     }},
    {"PickingTheShownOfficerAgainReloadsWithoutAsking",
     [](Screen& s) { s.tick(0, "CFU", true), s.pick(" NW001"); }, kChecking, "", "",
     "Ann Smith: CFR BIS save", nullptr},
    {"SwitchingYesSavesThenRetrieves", [](Screen& s) { switchTo(s, AnswerYes); },
     "Displaying Security Group for Bo", kAskAnn, "32", "Bo: CUS",
     [](Screen& s) {
         EXPECT_EQ(s.rows(s.transport->sent().at(0), u"OFFICERGROUP"_s),
                   QStringList{"CFU|NW001|ADD"});
     }},
    {"SwitchingNoDropsTheEdits", [](Screen& s) { switchTo(s, AnswerNo); },
     "Displaying Security Group for Bo", kAskAnn, "2", "Bo: CUS", nullptr},
    {"SwitchingCancelKeepsEverything", [](Screen& s) { switchTo(s, AnswerCancel); }, kChecking,
     kAskAnn, "", "Ann Smith: CFR CFU* BIS save", nullptr},
};
class Steps : public Screen, public ::testing::WithParamInterface<Step> {};

TEST_P(Steps, ShowAndSendWhatTheyShould) {
    const Step& c = GetParam();
    doc->UserDocument_Show();
    pick(u"NW001"_s), deliver(), transport->clearSent();
    c.act(*this);
    deliver();
    QStringList boxes; // a box titled otherwise than with the caption is marked so
    for (const auto& box : fake.messageBox.shown())
        boxes << (box.title == u"Security Administration"_s ? u""_s
                                                            : u"("_s + box.title + u") "_s) +
                     QString::number(box.style) + QLatin1Char(':') + box.text;
    EXPECT_EQ(host.status(), QString::fromLatin1(c.status));
    EXPECT_EQ(boxes.join(QLatin1Char('|')), QString::fromLatin1(c.boxes));
    QString sent;
    for (const MessageData& m : transport->sent())
        sent += QString::number(m.messageType);
    EXPECT_EQ(sent, QLatin1String(c.sent));
    EXPECT_TRUE(!c.shown || shown() == QLatin1String(c.shown)) << shown().toStdString();
    EXPECT_EQ(fake.pointer.Shape(), platform::PointerDefault);
    if (c.check)
        c.check(*this);
}
INSTANTIATE_TEST_SUITE_P(Exchange, Steps, ::testing::ValuesIn(kSteps), kByName);

// A message in one line: type, version, session, whether address and identifier are the
// document's, the criteria, then each table with its fields and rows.
QString describe(Screen& s, const MessageData& m) {
    QStringList out{QString::number(m.messageType), m.clientVersion, m.sessionId,
                    m.replyTo + m.messageId ==
                            s.doc->DocumentIdentity() + s.doc->state().msMessageId
                        ? u"ours"_s
                        : u"other"_s};
    for (const Criteria& c : m.criteria)
        out << QStringList{c.systemName, c.fieldName, c.op, c.value}.join(' ');
    for (const NamedTable& t : m.tables)
        out << t.name + '(' + t.table.fields.join(',') + ')' + Screen::rows(m, t.name).join(';');
    return out.join(u" / "_s);
}

TEST_F(Screen, RetrievalAndSaveCarryTheirCriteriaRowsAndAddress) {
    doc->UserDocument_Show();
    fake.component.setVersion(1, 12);
    pick(u" NW001 "_s);
    EXPECT_EQ(describe(*this, transport->sent().at(0)),
              "2 / 1.12 / session-1 / ours / QUILLMOR key:INSP_ID = NW001");
    EXPECT_EQ(host.status(), u"Requesting Security Group for Ann Smith"_s);
    EXPECT_EQ(fake.pointer.Shape(), platform::PointerHourglass);
    pick(u"NW001"_s), deliver();
    // Groups then agencies, in catalogue order (type, then description).
    tick(0, "WAP", true), tick(0, "CFR", false), tick(1, "BIS", false), tick(1, "CUS", true);
    transport->clearSent(), doc->SaveData();
    EXPECT_EQ(describe(*this, transport->sent().at(0)),
              "3 / 1.12 / session-1 / ours / OFFICERGROUP(GRP_CD,INSP_ID,ACTION)CFR|NW001|DEL;"
              "WAP|NW001|ADD;BIS|NW001|DEL;CUS|NW001|ADD");
    deliver();
    // A reset alone: an empty change table and one set-up row; the reply clears the box.
    tick(0, "CFU", true), tick(0, "CFU", false), doc->form().resetPassword()->setChecked(true);
    transport->clearSent(), transport->setHolding(true), doc->SaveData();
    EXPECT_EQ(describe(*this, transport->sent().at(0)),
              "3 / 1.12 / session-1 / ours / OFFICERGROUP() / "
              "SETUP(INSP_ID,INITIAL,ACTION)NW001|Y|RESET");
    EXPECT_TRUE(doc->form().resetPassword()->isChecked());
    // The close's own send leaves the agency rule out.
    transport->setHolding(false), transport->releaseAll(), deliver();
    tick(1, "BIS", true), transport->clearSent();
    EXPECT_TRUE(doc->exchange().SendData());
    EXPECT_EQ(rows(transport->sent().at(0), u"OFFICERGROUP"_s), QStringList{"BIS|NW001|ADD"});
}

} // namespace
} // namespace zavek::testing
