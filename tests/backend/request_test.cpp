#include "tests/backend/backend_fixture.h"

namespace zavek::backend::testing {
namespace {

using Fixture = BackendFixture;

TEST_P(RequestTest, IsCarriedOutOrRefusedAndTheReplySaysWhich) {
    const Request& c = GetParam();
    MessageData request = c.changes ? save(c.officer, c.changes, c.reset) : retrieval(c.officer);
    if (c.edit)
        c.edit(*this, request);
    const QString before = dump();
    const MessageData reply = send(request);
    EXPECT_EQ(reply.errorText.isEmpty(), !c.says) << reply.errorText.toStdString();
    EXPECT_TRUE(reply.errorText.contains(QString::fromUtf8(c.says ? c.says : "")));
    EXPECT_EQ(reply.replyTo + reply.messageId + QString::number(reply.messageType),
              request.replyTo + request.messageId + QString::number(request.messageType));
    const TableData* shown = reply.table(QStringLiteral("OFFICERGROUP"));
    EXPECT_EQ(reply.tables.empty(), !c.shows);
    EXPECT_EQ(shown ? shown->fields.join(u',') + u' ' + codes(reply) : QString(),
              c.shows ? QStringLiteral("INSP_ID,GRP_CD ") + QLatin1String(c.shows) : QString());
    EXPECT_TRUE(!c.says || dump() == before) << "a refusal stored something";
    EXPECT_EQ(scalar(db_, "SELECT GROUP_CONCAT(GRP_CD, ' ') FROM (SELECT GRP_CD FROM "
                          "OFFICER_GROUP WHERE INSP_ID = 'NW00123' ORDER BY GRP_CD)")
                  .toString(),
              QString::fromLatin1(c.says ? "BIS CFR" : c.shows));
    EXPECT_EQ(count("SELECT COUNT(*) FROM AUDIT_LOG WHERE ACTION IN ('ADD', 'DEL', 'RESET')"),
              c.auditRows);
    // Officers whose hash is empty, who must pick a new one, and both.
    EXPECT_EQ(scalar(db_, "SELECT SUM(PWD_HASH IS NULL) || SUM(MUST_CHANGE_PWD = 1) || "
                          "SUM(PWD_HASH IS NULL AND MUST_CHANGE_PWD = 1) FROM OFFICER")
                  .toString(),
              c.reset ? "111" : "000");
}

Edit row(int field, const char* value) {
    return [=](Fixture&, MessageData& m) {
        m.tables[0].table.rows[0][field] = value ? QVariant(value) : QVariant();
    };
}

void history(Fixture&, MessageData& m) {
    m.messageType = message_types::kHistory;
    m.messageId = QStringLiteral("msg-history");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Requests, RequestTest, ::testing::Values(
    Request{"Retrieval", " NW00123 ", nullptr, {}, nullptr, "BIS CFR"},
    Request{"AddAndRemove", "NW00123", "+CFU,-CFR", {}, nullptr, "BIS CFU", 2},
    Request{"SwitchAgency", "NW00123", "-BIS,+CUS", {}, nullptr, "CFR CUS", 2},
    Request{"DuplicateAddAndAbsentDelete", "NW00123", "+CFR,-WAP", {}, nullptr, "BIS CFR", 0},
    Request{"PasswordResetOnly", "NW00123", "", {}, nullptr, "BIS CFR", 1, true},
    Request{"BlanksAroundCodes", "NW00123", "+ CFU ", {}, nullptr, "BIS CFR CFU", 1},
    Request{"TwoAgencies", "NW00123", "+CUS", {}, "this change would leave NW00123 with 2. Tick exactly one agency", "BIS CFR"},
    Request{"NoAgency", "NW00123", "-BIS", {}, "would leave NW00123 with none", "BIS CFR"},
    Request{"NoChanges", "NW00123", "", {}, "nothing was saved", nullptr},
    Request{"TwoOfficers", "NW00123", "+CFU,+WAP", row(1, "NW00999"), "more than one officer", nullptr},
    Request{"UnknownAction", "NW00123", "+CFU", row(2, "add"), "unknown action \"add\"", nullptr},
    Request{"MissingField", "NW00123", "+CFU", row(2, nullptr), "has no ACTION", nullptr},
    Request{"CodeOfAnotherRegion", "NW00123", "+ELA", {}, "Group ELA does not exist in region NW", "BIS CFR"},
    Request{"SaveOfAnotherRegionsOfficer", "SE00200", "+ELA", {}, "Officer SE00200 was not found in your region", nullptr},
    Request{"RetrievalOfAnotherRegionsOfficer", "SE00200", nullptr, {}, "Officer SE00200 was not found in your region", nullptr},
    Request{"RetrievalOfAnUnknownOfficer", "SE00200X", nullptr, {}, "Officer SE00200X was not found in your region", nullptr},
    Request{"HistoryOfAnotherRegionsOfficer", "SE00200", nullptr, history, "Officer SE00200 was not found in your region", nullptr},
    Request{"HistoryOfAnUnknownOfficer", "NW99999", nullptr, history, "Officer NW99999 was not found in your region", nullptr},
    Request{"HistoryWithoutASession", "NW00123", nullptr, [](auto& f, auto& m) { history(f, m); m.sessionId = "no-such-session"; },
        "Your session has expired", nullptr},
    Request{"UnknownMessageType", "NW00123", "+CFU", [](auto&, auto& m) { m.messageType = 9; }, "requests of type 9", nullptr},
    Request{"FormulaAsMessageId", "NW00123", "+CFU", [](auto&, auto& m) { m.messageId = "=HYPERLINK(\"x\")"; }, "message identifier is missing or malformed", nullptr},
    Request{"ForgedSession", "NW00123", "+CFU", [](auto&, auto& m) { m.sessionId = QString(64, u'a'); }, "Your session has expired", nullptr},
    Request{"DatabaseRefusesARowMidway", "NW00123", "+CFU,+WAP", [](Fixture& f, auto&) {
            execute(f.db_, "CREATE TRIGGER REFUSE_WAP BEFORE INSERT ON OFFICER_GROUP WHEN NEW.GRP_CD = 'WAP' BEGIN "
                   "SELECT RAISE(ABORT, 'refused'); END"); },
        "The database could not complete the request (refused), so nothing was saved", "BIS CFR"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

} // namespace
} // namespace zavek::backend::testing
