#include "tests/backend/backend_fixture.h"

#include <QSqlQuery>

#include <functional>

namespace zavek::backend::testing {
namespace {

const QString kOfficer = QStringLiteral("NW00123");
using Codes = std::vector<QString>;
using Changes = std::vector<std::pair<QString, QString>>;

struct GoodSave {
    const char* name;
    Changes changes;
    bool reset;
    Codes stored;  // the officer's memberships afterwards, in the reply too
    int auditRows; // rows of this save in the audit log
};

class SaveTest : public BackendFixture, public ::testing::WithParamInterface<GoodSave> {};

TEST_P(SaveTest, IsStoredAuditedAndShownInTheReply) {
    const GoodSave& c = GetParam();
    const MessageData reply = send(save(kOfficer, c.changes, c.reset));
    EXPECT_TRUE(reply.errorText.isEmpty()) << reply.errorText.toStdString();
    EXPECT_EQ(codes(reply), c.stored);
    EXPECT_EQ(codes(send(retrieval(kOfficer))), c.stored);
    EXPECT_EQ(auditRows(QStringLiteral("ADD")) + auditRows(QStringLiteral("DEL")) +
                  auditRows(QStringLiteral("RESET")),
              c.auditRows);
    QSqlQuery q(db_);
    ASSERT_TRUE(q.exec(
        QStringLiteral("SELECT PWD_HASH, MUST_CHANGE_PWD FROM OFFICER WHERE INSP_ID = 'NW00123'")));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).isNull(), c.reset);
    EXPECT_EQ(q.value(1).toInt(), c.reset ? 1 : 0);
}

const QString kAdd = QStringLiteral("ADD");
const QString kDel = QStringLiteral("DEL");
const QString kBis = QStringLiteral("BIS");
const QString kCfr = QStringLiteral("CFR");
const QString kCfu = QStringLiteral("CFU");
const QString kCus = QStringLiteral("CUS");

INSTANTIATE_TEST_SUITE_P(
    Saves, SaveTest,
    ::testing::Values(
        GoodSave{"AddAndRemove", {{kCfu, kAdd}, {kCfr, kDel}}, false, {kBis, kCfu}, 2},
        GoodSave{"SwitchAgency", {{kBis, kDel}, {kCus, kAdd}}, false, {kCfr, kCus}, 2},
        GoodSave{"DuplicateAddAndAbsentDelete",
                 {{kCfr, kAdd}, {QStringLiteral("WAP"), kDel}},
                 false,
                 {kBis, kCfr},
                 0},
        GoodSave{"PasswordResetOnly", {}, true, {kBis, kCfr}, 1},
        GoodSave{"BlanksAroundCodesAndIdentifier",
                 {{QStringLiteral(" CFU "), kAdd}},
                 false,
                 {kBis, kCfr, kCfu},
                 1}),
    [](const auto& info) { return std::string(info.param.name); });

// A request the back end must refuse: it says why, stores nothing, and shows the officer's
// stored memberships only when the officer is one of the administrator's region.
class BadRequestTest;
struct BadRequest {
    const char* name;
    std::function<MessageData(BadRequestTest&)> make;
    const char* says;
    bool showsStored;
};

class BadRequestTest : public BackendFixture, public ::testing::WithParamInterface<BadRequest> {
public:
    MessageData saveOf(const Changes& changes) const { return save(kOfficer, changes); }
    void execute(const QString& sql) { exec(sql); }
    void advanceClock(qint64 seconds) { clock_.advance(seconds); }
};

TEST_P(BadRequestTest, IsRefusedAndChangesNothing) {
    const BadRequest& c = GetParam();
    const MessageData request = c.make(*this);
    const QString before = dump();
    const MessageData reply = send(request);
    EXPECT_TRUE(reply.errorText.contains(QString::fromUtf8(c.says)))
        << reply.errorText.toStdString();
    EXPECT_EQ(dump(), before);
    if (c.showsStored)
        EXPECT_EQ(codes(reply), (Codes{kBis, kCfr}));
    else
        EXPECT_EQ(reply.table(QStringLiteral("OFFICERGROUP")), nullptr);
}

MessageData withRow(MessageData m, const QString& code, const QString& officer,
                    const QString& action) {
    m.tables[0].table.rows.push_back({code, officer, action});
    return m;
}

INSTANTIATE_TEST_SUITE_P(
    Refused, BadRequestTest,
    ::testing::Values(
        BadRequest{"TwoAgencies",
                   [](auto& f) {
                       return f.saveOf({{kCus, kAdd}});
                   },
                   "this change would leave NW00123 with 2. Tick exactly one agency", true},
        BadRequest{"NoAgency",
                   [](auto& f) {
                       return f.saveOf({{kBis, kDel}});
                   },
                   "would leave NW00123 with none", true},
        BadRequest{"NoChanges", [](auto& f) { return f.saveOf({}); }, "nothing was saved", false},
        BadRequest{"TwoOfficers",
                   [](auto& f) {
                       return withRow(f.saveOf({{kCfu, kAdd}}), QStringLiteral("WAP"),
                                      QStringLiteral("NW00999"), kAdd);
                   },
                   "more than one officer", false},
        BadRequest{"UnknownAction",
                   [](auto& f) {
                       return f.saveOf({{kCfu, QStringLiteral("add")}});
                   },
                   "unknown action \"add\"", false},
        BadRequest{"MissingField",
                   [](auto& f) {
                       MessageData m = f.saveOf({{kCfu, kAdd}});
                       m.tables[0].table.rows[0][2] = QVariant();
                       return m;
                   },
                   "has no ACTION", false},
        BadRequest{"CodeOfAnotherRegion",
                   [](auto& f) {
                       return f.saveOf({{QStringLiteral("ELA"), kAdd}});
                   },
                   "Group ELA does not exist in region NW", true},
        BadRequest{"OfficerOfAnotherRegion",
                   [](auto& f) {
                       return f.save(QStringLiteral("SE00200"), {{QStringLiteral("ELA"), kAdd}});
                   },
                   "SE00200 was not found in your region", false},
        BadRequest{"UnknownMessageType",
                   [](auto& f) {
                       MessageData m = f.saveOf({{kCfu, kAdd}});
                       m.messageType = 9;
                       return m;
                   },
                   "requests of type 9", false},
        BadRequest{"FormulaAsMessageId",
                   [](auto& f) {
                       MessageData m = f.saveOf({{kCfu, kAdd}});
                       m.messageId = QStringLiteral("=HYPERLINK(\"x\")");
                       return m;
                   },
                   "message identifier is missing or malformed", false},
        BadRequest{"ForgedSession",
                   [](auto& f) {
                       MessageData m = f.saveOf({{kCfu, kAdd}});
                       m.sessionId = QString(64, u'a');
                       return m;
                   },
                   "Your session has expired", false},
        BadRequest{"DatabaseRefusesARowMidway",
                   [](auto& f) {
                       f.execute(QStringLiteral(
                           "CREATE TRIGGER REFUSE_WAP BEFORE INSERT ON OFFICER_GROUP WHEN "
                           "NEW.GRP_CD = 'WAP' BEGIN SELECT RAISE(ABORT, 'refused'); END"));
                       return f.saveOf({{kCfu, kAdd}, {QStringLiteral("WAP"), kAdd}});
                   },
                   "The database could not complete the request (refused), so nothing was saved",
                   true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zavek::backend::testing
