#include "tests/backend/backend_fixture.h"

#include "backend/sql.h"

#include <functional>

namespace zavek::backend::testing {
namespace {

using Fixture = BackendFixture;
using Edit = std::function<void(Fixture&, MessageData&)>;

// A request the back end carries out: the reply is addressed as the request and shows what is
// stored afterwards, and every stored change has its audit row.
struct Good {
    const char* name;
    const char* changes; // nullptr: a retrieval
    bool reset;
    const char* stored;
    int auditRows;
};

class GoodRequestTest : public Fixture, public ::testing::WithParamInterface<Good> {};

TEST_P(GoodRequestTest, IsStoredAuditedAndShownInTheReply) {
    const Good& c = GetParam();
    const MessageData reply = send(c.changes ? save("NW00123", c.changes, c.reset)
                                             : retrieval(QStringLiteral(" NW00123 ")));
    EXPECT_TRUE(reply.errorText.isEmpty()) << reply.errorText.toStdString();
    EXPECT_EQ(reply.replyTo + reply.messageId, QStringLiteral("doc-1msg-1"));
    ASSERT_NE(reply.table(QStringLiteral("OFFICERGROUP")), nullptr);
    EXPECT_EQ(reply.table(QStringLiteral("OFFICERGROUP"))->fields,
              (QStringList{QStringLiteral("INSP_ID"), QStringLiteral("GRP_CD")}));
    EXPECT_EQ(codes(reply), QString::fromLatin1(c.stored));
    EXPECT_EQ(codes(send(retrieval("NW00123"))), QString::fromLatin1(c.stored));
    EXPECT_EQ(count("SELECT COUNT(*) FROM AUDIT_LOG WHERE ACTION IN ('ADD', 'DEL', 'RESET')"),
              c.auditRows);
    EXPECT_EQ(count("SELECT COUNT(*) FROM OFFICER WHERE PWD_HASH IS NULL OR MUST_CHANGE_PWD = 1"),
              c.reset ? 1 : 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM OFFICER WHERE PWD_HASH IS NULL AND MUST_CHANGE_PWD = 1"),
              c.reset ? 1 : 0);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Requests, GoodRequestTest, ::testing::Values(
    Good{"Retrieval", nullptr, false, "BIS CFR", 0},
    Good{"AddAndRemove", "+CFU,-CFR", false, "BIS CFU", 2},
    Good{"SwitchAgency", "-BIS,+CUS", false, "CFR CUS", 2},
    Good{"DuplicateAddAndAbsentDelete", "+CFR,-WAP", false, "BIS CFR", 0},
    Good{"PasswordResetOnly", "", true, "BIS CFR", 1},
    Good{"BlanksAroundCodes", "+ CFU ", false, "BIS CFR CFU", 1}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Another administrator's transaction gets in the way of the first membership written.
struct Conflict final : IStatementFaults {
    void beforeStatement(const QString& sql) override {
        if (sql.startsWith(QLatin1String("INSERT INTO OFFICER_GROUP")))
            throw SqlFailure(QStringLiteral("could not serialize access"), QStringLiteral("40001"));
    }
};

// A request the back end must refuse: it says why, stores nothing, and shows the officer's
// stored memberships only when the officer is one of the administrator's region.
struct Bad {
    const char* name;
    const char* officer;
    const char* changes; // nullptr: a retrieval
    Edit edit;
    bool showsStored;
    const char* says;
};

class BadRequestTest : public Fixture, public ::testing::WithParamInterface<Bad> {};

TEST_P(BadRequestTest, IsRefusedAndChangesNothing) {
    const Bad& c = GetParam();
    MessageData request = c.changes ? save(c.officer, c.changes) : retrieval(c.officer);
    if (c.edit)
        c.edit(*this, request);
    const QString before = dump();
    const MessageData reply = send(request);
    EXPECT_TRUE(reply.errorText.contains(QString::fromUtf8(c.says)))
        << reply.errorText.toStdString();
    EXPECT_EQ(dump(), before);
    EXPECT_EQ(reply.messageId + QString::number(reply.messageType),
              request.messageId + QString::number(request.messageType));
    if (c.showsStored)
        EXPECT_EQ(codes(reply), QStringLiteral("BIS CFR"));
    else
        EXPECT_TRUE(reply.tables.empty());
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
INSTANTIATE_TEST_SUITE_P(Refused, BadRequestTest, ::testing::Values(
    Bad{"TwoAgencies", "NW00123", "+CUS", {}, true, "this change would leave NW00123 with 2. Tick exactly one agency"},
    Bad{"NoAgency", "NW00123", "-BIS", {}, true, "would leave NW00123 with none"},
    Bad{"NoChanges", "NW00123", "", {}, false, "nothing was saved"},
    Bad{"TwoOfficers", "NW00123", "+CFU,+WAP", row(1, "NW00999"), false, "more than one officer"},
    Bad{"UnknownAction", "NW00123", "+CFU", row(2, "add"), false, "unknown action \"add\""},
    Bad{"MissingField", "NW00123", "+CFU", row(2, nullptr), false, "has no ACTION"},
    Bad{"CodeOfAnotherRegion", "NW00123", "+ELA", {}, true, "Group ELA does not exist in region NW"},
    Bad{"SaveOfAnotherRegionsOfficer", "SE00200", "+ELA", {}, false, "Officer SE00200 was not found in your region"},
    Bad{"RetrievalOfAnotherRegionsOfficer", "SE00200", nullptr, {}, false, "Officer SE00200 was not found in your region"},
    Bad{"RetrievalOfAnUnknownOfficer", "SE00200X", nullptr, {}, false, "Officer SE00200X was not found in your region"},
    Bad{"HistoryOfAnotherRegionsOfficer", "SE00200", nullptr, history, false, "Officer SE00200 was not found in your region"},
    Bad{"HistoryOfAnUnknownOfficer", "NW99999", nullptr, history, false, "Officer NW99999 was not found in your region"},
    Bad{"HistoryWithoutASession", "NW00123", nullptr, [](auto& f, auto& m) { history(f, m); m.sessionId = "no-such-session"; },
        false, "Your session has expired"},
    Bad{"UnknownMessageType", "NW00123", "+CFU", [](auto&, auto& m) { m.messageType = 9; }, false, "requests of type 9"},
    Bad{"FormulaAsMessageId", "NW00123", "+CFU", [](auto&, auto& m) { m.messageId = "=HYPERLINK(\"x\")"; }, false,
        "message identifier is missing or malformed"},
    Bad{"ForgedSession", "NW00123", "+CFU", [](auto&, auto& m) { m.sessionId = QString(64, u'a'); }, false,
        "Your session has expired"},
    Bad{"DatabaseRefusesARowMidway", "NW00123", "+CFU,+WAP", [](Fixture& f, auto&) {
            f.exec("CREATE TRIGGER REFUSE_WAP BEFORE INSERT ON OFFICER_GROUP WHEN NEW.GRP_CD = 'WAP' BEGIN "
                   "SELECT RAISE(ABORT, 'refused'); END"); },
        true, "The database could not complete the request (refused), so nothing was saved"},
    Bad{"AnotherSaveAtTheSameMoment", "NW00123", "+CFU", [](Fixture& f, auto&) { static Conflict c; f.faults_ = &c; },
        true, "Another administrator was saving this officer at the same moment, so nothing was saved; save again."}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

} // namespace
} // namespace zavek::backend::testing
