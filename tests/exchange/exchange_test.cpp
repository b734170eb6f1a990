#include "common/codec.h"
#include "groups/document_state.h"
#include "tests/support/screen.h"

namespace zavek::testing {
namespace {

void timeOut(const QString& id) {
    emit KelbListener::Instance()->MsgTimeout(QVariant(id));
}
// After a failed retrieval no officer is shown, and a tick can neither enable Save nor send.
void noOfficer(Screen& s) {
    EXPECT_EQ(s.doc->form().caption()->text(), QStringLiteral("Current Officer : "));
    EXPECT_TRUE(s.doc->state().msInspId.isEmpty() && !s.checked(0, "CFR") && !s.checked(1, "BIS"));
    EXPECT_EQ(s.fake.pointer.Shape(), platform::PointerDefault);
    s.bus.setTransport(s.transport);
    s.transport->clearSent();
    s.tick(0, "CFU", true), s.doc->SaveData(), s.deliver();
    EXPECT_EQ(s.saveButton(), std::optional<bool>(false));
    EXPECT_TRUE(s.transport->sent().empty() && !s.checked(0, "CFU"));
}
void cleared(Screen& s) {
    const DocumentState& d = s.doc->state();
    EXPECT_TRUE(d.msOfficerName == "Ann Smith" && !d.msMessageId.isEmpty() && !s.tag(0, "CFR"));
    noOfficer(s);
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
const char* const kShown = "Ann Smith: CFR BIS";
const Step kSteps[] = {
    {"GoodReplyShowsTheGroups", [](Screen&) {}, "Displaying Security Group for Ann Smith", "", "",
     kShown, nullptr},
    // A late good answer to the failed retrieval is not shown either.
    {"ErrorReplyShowsNoOfficer",
     [](Screen& s) {
         s.retrievalError = QStringLiteral("Officer NW002 was not found.");
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
    // The switch's refused save comes back with Ann Smith although Bo Lee's retrieval failed.
    {"SwitchSaveRefusedThenRetrievalFails",
     [](Screen& s) {
         s.saveError = QStringLiteral("The save was refused.");
         s.retrievalError = QStringLiteral("Officer NW002 was not found.");
         s.tick(0, "WAP", true), s.fake.messageBox.queueAnswer(AnswerYes), s.pick("NW002", "Bo");
     },
     "Search was not successful",
     "35:Security groups have been changed for Ann Smith.\r\n Would you like to save your changes "
     "?|16:The save was refused.\r\n\r\nThe changes for Ann Smith were not saved. Select Ann Smith "
     "again to get them back, then save again.|16:Officer NW002 was not found.",
     "32", ":",
     [](Screen& s) {
         noOfficer(s), s.saveError.clear(), s.retrievalError.clear();
         s.pick("NW001"), s.deliver();
         EXPECT_EQ(s.shown(), QStringLiteral("Ann Smith: CFR WAP* BIS save"));
     }},
    {"TimeOutThenErrorReply",
     [](Screen& s) {
         s.transport->setHolding(true);
         s.transport->setResponder([](const MessageData& r) -> std::optional<MessageData> {
             return LoopbackTransport::replyTo(r, QStringLiteral("The request timed out."));
         });
         s.pick("NW002", "Bo Lee");
         timeOut(QStringLiteral("another-request"));
         EXPECT_FALSE(s.doc->state().mbTimedOut) << "another document's time-out";
         timeOut(s.doc->state().msMessageId);
         EXPECT_TRUE(s.doc->state().mbTimedOut && s.fake.messageBox.shown().empty());
         s.transport->releaseAll();
     },
     "Search timed", "16:The request timed out.", "2", ":", noOfficer},
    {"TimeOutThenGoodReply",
     [](Screen& s) {
         s.transport->setHolding(true), s.pick("NW002", "Bo Lee");
         timeOut(s.doc->state().msMessageId), s.transport->releaseAll();
     },
     "Displaying Security Group for Bo Lee", "", "2", "Bo Lee: CUS", nullptr},
    {"AnotherDocumentsReplyTouchesNothing",
     [](Screen& s) {
         s.doc->form().resetPassword()->setChecked(true), s.host.shellEnabled.clear();
         s.doc->exchange().moKelbMessage_DataReady(QStringLiteral("SomeOtherDocument"));
     },
     kChecking, "", "", "Ann Smith: CFR BIS R save",
     [](Screen& s) { EXPECT_TRUE(s.host.shellEnabled.empty()); }},
    {"NothingChangedCancelsTheSave",
     [](Screen& s) { s.fake.pointer.SetShape(platform::PointerHourglass), s.doc->SaveData(); },
     "Data did not change.  Save request cancelled. ", "", "", kShown,
     [](Screen& s) { EXPECT_EQ(s.host.shellEnabled.back(), true); }},
    {"NoAgencyIsRefused", [](Screen& s) { s.tick(1, "BIS", false), s.doc->SaveData(); }, kChecking,
     "16:Please select an Agency.", "", "Ann Smith: CFR -BIS* save", nullptr},
    {"TwoAgenciesAreRefused", [](Screen& s) { s.tick(1, "CUS", true), s.doc->SaveData(); },
     kChecking, "16:Can not select more than one Agency.", "", "Ann Smith: CFR BIS CUS* save",
     nullptr},
    {"SavingStoresTheShownStateAndTurnsSaveOff",
     [](Screen& s) {
         s.transport->setHolding(true), s.tick(0, "WAP", true), s.doc->SaveData();
         EXPECT_FALSE(s.doc->state().mbRetrievalRequest || s.doc->state().mbTimedOut);
     },
     "Saving Security Group for Ann Smith", "", "3", "Ann Smith: CFR WAP BIS", nullptr},
    {"EditsMadeWhileSavingStayAndTheReplyClearsTheResetBox",
     [](Screen& s) {
         s.doc->form().resetPassword()->setChecked(true);
         s.tick(0, "CFU", true), s.doc->SaveData(), s.tick(0, "WAP", true);
     },
     "Displaying Security Group for Ann Smith", "", "3", "Ann Smith: CFR CFU WAP* BIS save",
     nullptr},
    // Searching or clearing drops the edits without a prompt; the name and message id stay.
    {"SearchingDropsTheEdits",
     [](Screen& s) { s.tick(0, "CFU", true), s.doc->exchange().ZAVEK_OfficerSelect1_Searching(); },
     kChecking, "", "", nullptr, cleared},
    {"ClearingDropsTheEdits",
     [](Screen& s) { s.tick(0, "CFU", true), s.doc->exchange().ZAVEK_OfficerSelect1_ClearForm(); },
     kChecking, "", "", nullptr, cleared},
    {"PickingTheShownOfficerAgainReloadsWithoutAsking",
     [](Screen& s) { s.tick(0, "CFU", true), s.pick(" NW001"); }, kChecking, "", "",
     "Ann Smith: CFR BIS save", nullptr},
    {"SwitchingYesSavesThenRetrieves", [](Screen& s) { switchTo(s, AnswerYes); },
     "Displaying Security Group for Bo", kAskAnn, "32", "Bo: CUS",
     [](Screen& s) {
         EXPECT_EQ(s.rows(s.transport->sent().at(0), QStringLiteral("OFFICERGROUP")),
                   QStringList{QStringLiteral("CFU|NW001|ADD")});
         EXPECT_EQ(s.transport->sent().at(1).criteria.at(0).value, QStringLiteral("NW002"));
         EXPECT_EQ(s.stored[QStringLiteral("NW001")].count(QStringLiteral("CFU")), 1);
     }},
    {"SwitchingNoDropsTheEdits", [](Screen& s) { switchTo(s, AnswerNo); },
     "Displaying Security Group for Bo", kAskAnn, "2", "Bo: CUS",
     [](Screen& s) { EXPECT_FALSE(s.stored[QStringLiteral("NW001")].contains("CFU")); }},
    {"SwitchingCancelKeepsEverything", [](Screen& s) { switchTo(s, AnswerCancel); }, kChecking,
     kAskAnn, "", "Ann Smith: CFR CFU* BIS save",
     [](Screen& s) { EXPECT_EQ(s.doc->state().msInspId, "NW001"); }},
};
class Steps : public Screen, public ::testing::WithParamInterface<Step> {};

TEST_P(Steps, ShowAndSendWhatTheyShould) {
    const Step& c = GetParam();
    doc->UserDocument_Show();
    pick(QStringLiteral("NW001")), deliver(), transport->clearSent();
    c.act(*this);
    deliver();
    QStringList boxes;
    for (const auto& box : fake.messageBox.shown()) {
        boxes << QString::number(box.style) + QLatin1Char(':') + box.text;
        EXPECT_EQ(box.title, QStringLiteral("Security Administration"));
    }
    EXPECT_EQ(host.status(), QString::fromLatin1(c.status));
    EXPECT_EQ(boxes.join(QLatin1Char('|')), QString::fromLatin1(c.boxes));
    QString sent;
    for (const MessageData& m : transport->sent())
        sent += QString::number(m.messageType);
    EXPECT_EQ(sent, QLatin1String(c.sent));
    if (c.shown) {
        EXPECT_EQ(shown(), QLatin1String(c.shown));
    }
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
                        ? QStringLiteral("ours")
                        : QStringLiteral("other")};
    for (const Criteria& c : m.criteria)
        out << QStringList{c.systemName, c.fieldName, c.op, c.value}.join(' ');
    for (const NamedTable& t : m.tables)
        out << t.name + '(' + t.table.fields.join(',') + ')' + Screen::rows(m, t.name).join(';');
    return out.join(QStringLiteral(" / "));
}

TEST_F(Screen, RetrievalAndSaveCarryTheirCriteriaRowsAndAddress) {
    doc->UserDocument_Show();
    fake.component.setVersion(1, 12);
    pick(QStringLiteral(" NW001 "));
    EXPECT_EQ(describe(*this, transport->sent().at(0)),
              "2 / 1.12 / session-1 / ours / QUILLMOR key:INSP_ID = NW001");
    EXPECT_EQ(doc->state().msInspId, QStringLiteral(" NW001 ")) << "kept as received";
    EXPECT_EQ(host.status(), QStringLiteral("Requesting Security Group for Ann Smith"));
    EXPECT_EQ(fake.pointer.Shape(), platform::PointerHourglass);
    EXPECT_TRUE(doc->state().mbRetrievalRequest && !doc->state().mbTimedOut);
    pick(QStringLiteral("NW001")), deliver();
    EXPECT_EQ(fake.pointer.Shape(), platform::PointerDefault);
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
    // Sent without the agency rule, SendData leaves a retrieval's reply a retrieval reply.
    transport->setHolding(false), transport->releaseAll(), deliver();
    pick(QStringLiteral("NW002")), deliver(), pick(QStringLiteral("NW001")), deliver();
    tick(1, "BIS", true), transport->clearSent();
    EXPECT_TRUE(doc->exchange().SendData());
    EXPECT_EQ(rows(transport->sent().at(0), QStringLiteral("OFFICERGROUP")),
              QStringList{"BIS|NW001|ADD"});
    EXPECT_TRUE(doc->state().mbRetrievalRequest);
}

} // namespace
} // namespace zavek::testing
