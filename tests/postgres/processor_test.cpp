#include "backend/authenticator.h"
#include "backend/demo_data.h"
#include "backend/request_processor.h"
#include "backend/schema.h"
#include "tests/postgres/requests.h"
#include "tests/postgres/test_database.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

#include <optional>

namespace zavek::testing {
namespace {

class PostgresProcessor : public ::testing::Test {
protected:
    TestDatabase database{Engine::Postgres};
    std::optional<Connection> connection;
    QString session;
    QStringList agencies;
    QStringList groups;
    const QString officer = QStringLiteral("PGT001");

    void SetUp() override {
        ZAVEK_REQUIRE_DATABASE(database);
        connection.emplace(database.location());
        backend::migrate(db());
        backend::seedDemoData(db());
        agencies = catalogueCodes(db(), QStringLiteral("NW"), QStringLiteral("A"));
        groups = catalogueCodes(db(), QStringLiteral("NW"), QStringLiteral("P"));
        ASSERT_GE(agencies.size(), 2);
        ASSERT_GE(groups.size(), 2);
        addOfficer(db(), officer, {agencies[0], groups[0]});
        session = backend::Authenticator(db())
                      .signIn(QString::fromLatin1(backend::kDemoAdminId),
                              QString::fromLatin1(backend::kDemoAdminPassword))
                      .token;
    }
    QSqlDatabase& db() { return connection->db(); }
};

TEST_F(PostgresProcessor, RetrievalAnswersWithTheOfficersMemberships) {
    backend::RequestProcessor processor(db());
    const MessageData reply = processor.process(retrievalRequest(session, officer));
    EXPECT_TRUE(reply.errorText.isEmpty()) << reply.errorText.toStdString();
    EXPECT_EQ(heldInReply(reply), (std::set<QString>{agencies[0], groups[0]}));
}

TEST_F(PostgresProcessor, SaveAppliesEveryChangeAndAuditsEachOne) {
    backend::RequestProcessor processor(db());
    const QString messageId = newMessageId();
    const MessageData reply = processor.process(saveRequest(
        session, officer,
        {{agencies[0], "DEL"}, {agencies[1], "ADD"}, {groups[0], "DEL"}, {groups[1], "ADD"}},
        messageId));
    EXPECT_TRUE(reply.errorText.isEmpty()) << reply.errorText.toStdString();
    const std::set<QString> expected{agencies[1], groups[1]};
    EXPECT_EQ(storedMemberships(db(), officer), expected);
    EXPECT_EQ(heldInReply(reply), expected);
    EXPECT_EQ(auditRows(db(), officer, messageId), 4);

    QSqlQuery q(db());
    q.prepare(QStringLiteral("SELECT ADMIN_ID, GRP_CD, ACTION FROM AUDIT_LOG WHERE INSP_ID = ? "
                             "ORDER BY AUDIT_ID"));
    q.addBindValue(officer);
    ASSERT_TRUE(q.exec());
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), QString::fromLatin1(backend::kDemoAdminId));
    EXPECT_EQ(q.value(1).toString(), agencies[0]);
    EXPECT_EQ(q.value(2).toString(), QStringLiteral("DEL"));
}

TEST_F(PostgresProcessor, ASaveLeavingTwoAgenciesChangesNothingAndSaysWhy) {
    backend::RequestProcessor processor(db());
    const QString messageId = newMessageId();
    const MessageData reply = processor.process(
        saveRequest(session, officer, {{agencies[1], "ADD"}, {groups[1], "ADD"}}, messageId));
    EXPECT_TRUE(reply.errorText.contains(QStringLiteral("exactly one agency")))
        << reply.errorText.toStdString();
    EXPECT_EQ(storedMemberships(db(), officer), (std::set<QString>{agencies[0], groups[0]}));
    EXPECT_EQ(auditRows(db(), officer, messageId), 0);
}

} // namespace
} // namespace zavek::testing
