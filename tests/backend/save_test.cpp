#include "tests/backend/backend_fixture.h"

#include <QSqlQuery>

namespace zavek::backend::testing {
namespace {

const QString kOfficer = QStringLiteral("NW00123");
const QString kAdd = QStringLiteral("ADD");
const QString kDel = QStringLiteral("DEL");

class SaveTest : public BackendFixture {
protected:
    MessageData send(const MessageData& m) { return RequestProcessor(db_).process(m); }
    // Sends a request that must be refused and checks that nothing was stored.
    MessageData refused(const MessageData& m) {
        const QString before = dump();
        const MessageData reply = send(m);
        EXPECT_FALSE(reply.errorText.isEmpty());
        EXPECT_EQ(dump(), before);
        return reply;
    }
};

TEST_F(SaveTest, AddedAndRemovedGroupsAreStoredAndAudited) {
    const MessageData reply =
        send(save(kOfficer, {{QStringLiteral("CFU"), kAdd}, {QStringLiteral("CFR"), kDel}}));
    EXPECT_TRUE(reply.errorText.isEmpty()) << reply.errorText.toStdString();
    EXPECT_EQ(codes(reply), (std::vector<QString>{QStringLiteral("BIS"), QStringLiteral("CFU")}));
    EXPECT_EQ(auditRows(kAdd), 1);
    EXPECT_EQ(auditRows(kDel), 1);
}

TEST_F(SaveTest, SwitchingAgencyIsAccepted) {
    const MessageData reply =
        send(save(kOfficer, {{QStringLiteral("BIS"), kDel}, {QStringLiteral("CUS"), kAdd}}));
    EXPECT_TRUE(reply.errorText.isEmpty()) << reply.errorText.toStdString();
    EXPECT_EQ(codes(reply), (std::vector<QString>{QStringLiteral("CFR"), QStringLiteral("CUS")}));
}

TEST_F(SaveTest, SaveWithTwoAgenciesIsRefused) {
    const MessageData reply = refused(save(kOfficer, {{QStringLiteral("CUS"), kAdd}}));
    EXPECT_EQ(reply.errorText, QStringLiteral("An officer must belong to exactly one agency; this "
                                              "change would leave NW00123 with 2. Tick exactly one "
                                              "agency and save again."));
    EXPECT_EQ(codes(reply), (std::vector<QString>{QStringLiteral("BIS"), QStringLiteral("CFR")}));
}

TEST_F(SaveTest, SaveWithoutAgencyIsRefused) {
    const MessageData reply = refused(save(kOfficer, {{QStringLiteral("BIS"), kDel}}));
    EXPECT_TRUE(reply.errorText.contains(QLatin1String("exactly one agency")));
}

TEST_F(SaveTest, DuplicateAddAndAbsentDeleteChangeNothing) {
    const QString before = dump();
    const MessageData reply =
        send(save(kOfficer, {{QStringLiteral("CFR"), kAdd}, {QStringLiteral("WAP"), kDel}}));
    EXPECT_TRUE(reply.errorText.isEmpty());
    EXPECT_EQ(dump(), before);
}

TEST_F(SaveTest, PasswordResetIsStoredAndAudited) {
    const MessageData reply = send(save(kOfficer, {}, true));
    EXPECT_TRUE(reply.errorText.isEmpty()) << reply.errorText.toStdString();
    QSqlQuery q(db_);
    ASSERT_TRUE(q.exec(
        QStringLiteral("SELECT PWD_HASH, MUST_CHANGE_PWD FROM OFFICER WHERE INSP_ID = 'NW00123'")));
    ASSERT_TRUE(q.next());
    EXPECT_TRUE(q.value(0).isNull());
    EXPECT_EQ(q.value(1).toInt(), 1);
    EXPECT_EQ(auditRows(QStringLiteral("RESET")), 1);
}

TEST_F(SaveTest, SaveNamingNoOfficerIsRefused) {
    const MessageData reply = refused(save(kOfficer, {}));
    EXPECT_TRUE(reply.errorText.contains(QLatin1String("nothing was saved")));
}

TEST_F(SaveTest, TwoOfficersInOneSaveAreRefused) {
    MessageData m = save(kOfficer, {{QStringLiteral("CFU"), kAdd}});
    m.tables[0].table.rows.push_back({QStringLiteral("WAP"), QStringLiteral("NW00999"), kAdd});
    refused(m);
}

TEST_F(SaveTest, BlanksAroundTheIdentifierAreIgnored) {
    MessageData m = save(kOfficer, {{QStringLiteral("CFU"), kAdd}});
    m.tables[0].table.rows.push_back({QStringLiteral("WAP"), QStringLiteral(" NW00123 "), kAdd});
    EXPECT_TRUE(send(m).errorText.isEmpty());
}

TEST_F(SaveTest, UnknownActionIsRefused) {
    refused(save(kOfficer, {{QStringLiteral("CFU"), QStringLiteral("add")}}));
}

TEST_F(SaveTest, CodeOfAnotherRegionIsRefusedWithCurrentTable) {
    const MessageData reply = refused(save(kOfficer, {{QStringLiteral("ELA"), kAdd}}));
    EXPECT_EQ(codes(reply).size(), 2u);
}

TEST_F(SaveTest, OfficerOfAnotherRegionIsRefusedWithoutTable) {
    const MessageData reply =
        refused(save(QStringLiteral("SE00200"), {{QStringLiteral("ELA"), kAdd}}));
    EXPECT_EQ(reply.table(QStringLiteral("OFFICERGROUP")), nullptr);
}

TEST_F(SaveTest, MissingFieldIsRefused) {
    MessageData m = save(kOfficer, {{QStringLiteral("CFU"), kAdd}});
    m.tables[0].table.rows[0][2] = QVariant();
    refused(m);
}

TEST_F(SaveTest, ExpiredSessionChangesNothing) {
    exec(QStringLiteral("UPDATE ADMIN_SESSION SET EXPIRES_AT = '2000-01-01T00:00:00.000Z'"));
    refused(save(kOfficer, {{QStringLiteral("CFU"), kAdd}}));
}

TEST_F(SaveTest, FailureMidSaveRollsBackEarlierRows) {
    exec(
        QStringLiteral("CREATE TRIGGER REFUSE_WAP BEFORE INSERT ON OFFICER_GROUP WHEN NEW.GRP_CD = "
                       "'WAP' BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    const MessageData reply =
        refused(save(kOfficer, {{QStringLiteral("CFU"), kAdd}, {QStringLiteral("WAP"), kAdd}}));
    EXPECT_EQ(codes(reply), (std::vector<QString>{QStringLiteral("BIS"), QStringLiteral("CFR")}));
}

} // namespace
} // namespace zavek::backend::testing
