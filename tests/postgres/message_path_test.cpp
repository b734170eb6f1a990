// The screen's requests on their whole way: the common library's message, the bus, the worker
// thread's own PostgreSQL connection and the request processor, and the reply back through the
// reply store.

#include "backend/authenticator.h"
#include "backend/demo_data.h"
#include "backend/schema.h"
#include "backend/worker_transport.h"
#include "common/message_bus.h"
#include "tests/postgres/requests.h"
#include "tests/postgres/test_database.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace zavek::testing {
namespace {

const QString kDocument = QStringLiteral("pg-document");

class PostgresMessagePath : public ::testing::Test {
protected:
    TestDatabase database{Engine::Postgres};
    std::optional<Connection> connection;
    std::shared_ptr<backend::WorkerTransport> transport;
    QString session;
    QStringList agencies;
    QStringList groups;
    const QString officer = QStringLiteral("PGE001");

    void SetUp() override {
        ZAVEK_REQUIRE_DATABASE(database);
        connection.emplace(database.location());
        backend::migrate(connection->db());
        backend::seedDemoData(connection->db());
        agencies = catalogueCodes(connection->db(), QStringLiteral("NW"), QStringLiteral("A"));
        groups = catalogueCodes(connection->db(), QStringLiteral("NW"), QStringLiteral("P"));
        addOfficer(connection->db(), officer, {agencies[0]});
        session = backend::Authenticator(connection->db())
                      .signIn(QString::fromLatin1(backend::kDemoAdminId),
                              QString::fromLatin1(backend::kDemoAdminPassword))
                      .token;
        transport = std::make_shared<backend::WorkerTransport>(database.location());
        MessageBus::Instance().setTransport(transport);
    }
    void TearDown() override {
        MessageBus::Instance().setTransport(nullptr);
        transport.reset();
        ReplyStore::Instance().clear();
    }

    KelbMessage message(std::int32_t type) {
        KelbMessage m;
        m.ReplyTo(kDocument);
        m.ClientVersion(QStringLiteral("1.0.0"));
        m.MessageType(type);
        m.SessionId(session);
        return m;
    }
    std::set<QString> replyCodes(const QString& messageId) {
        std::set<QString> codes;
        auto table =
            ReplyStore::Instance().GetTable(QStringLiteral("OFFICERGROUP"), kDocument, messageId);
        if (!table)
            return codes;
        for (table->MoveFirst(); !table->isEof(); table->MoveNext())
            codes.insert(table->field(QStringLiteral("GRP_CD")).Text());
        return codes;
    }
};

TEST_F(PostgresMessagePath, ARetrievalAndASaveTravelTheBusToTheWorkerAndBack) {
    QSignalSpy ready(KelbListener::Instance(), &KelbListener::DataReady);

    KelbMessage retrieval = message(kRetrievalType);
    KelbCriteria criteria;
    criteria.SystemName(QStringLiteral("QUILLMOR"));
    criteria.FieldName(QStringLiteral("key:INSP_ID"));
    criteria.Operator(QStringLiteral("="));
    criteria.Value(officer);
    retrieval.AddCriteria(criteria);
    retrieval.Send();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.count() == 1; }, 15000));
    EXPECT_EQ(ready.at(0).at(0).toString(), kDocument);
    EXPECT_EQ(replyCodes(retrieval.MessageId()), std::set<QString>{agencies[0]});

    KelbMessage save = message(kSaveType);
    save.MessageId(retrieval.MessageId()); // the screen saves under the retrieval's identifier
    RecordTable changes;
    changes.Source(QStringLiteral("OFFICERGROUP"));
    changes.Open();
    for (const auto& [code, action] :
         std::vector<Change>{{agencies[0], "DEL"}, {agencies[1], "ADD"}, {groups[0], "ADD"}}) {
        changes.AddNew();
        changes.field(QStringLiteral("GRP_CD")).SetValue(code);
        changes.field(QStringLiteral("INSP_ID")).SetValue(officer);
        changes.field(QStringLiteral("ACTION")).SetValue(action);
        changes.Update();
    }
    save.AddTable(changes, QStringLiteral("OFFICERGROUP"));
    save.Send();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ready.count() == 2; }, 15000));

    EXPECT_EQ(
        ReplyChecker::Instance().GetReplyError(kDocument, QStringLiteral("test"), save.MessageId()),
        QString());
    const std::set<QString> expected{agencies[1], groups[0]};
    EXPECT_EQ(replyCodes(save.MessageId()), expected);
    EXPECT_EQ(storedMemberships(connection->db(), officer), expected);
    EXPECT_EQ(auditRows(connection->db(), officer, save.MessageId()), 3);
}

} // namespace
} // namespace zavek::testing
