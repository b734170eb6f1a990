// The screen's requests on their whole way: the common library's message, the bus, the worker
// thread's own PostgreSQL connection and the request processor, and the reply back through the
// reply store.

#include "backend/worker_transport.h"
#include "common/message_bus.h"
#include "tests/postgres/test_database.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace zavek::testing {
namespace {

const QString kDocument = QStringLiteral("pg-document");
const QString kOfficer = QStringLiteral("PGE001");

TEST(PostgresMessagePath, ARetrievalAndASaveTravelTheBusToTheWorkerAndBack) {
    TestDatabase database(Engine::Postgres);
    ZAVEK_REQUIRE_DATABASE(database);
    Connection c(database.location());
    const QString session = seededSession(c.db());
    const QStringList agencies = catalogueCodes(c.db(), QStringLiteral("A"));
    const QString group = catalogueCodes(c.db(), QStringLiteral("P"))[0];
    addOfficer(c.db(), kOfficer, {agencies[0]});
    MessageBus::Instance().setTransport(
        std::make_shared<backend::WorkerTransport>(database.location()));
    QSignalSpy ready(KelbListener::Instance(), &KelbListener::DataReady);
    auto send = [&](KelbMessage& m, std::int32_t type) {
        m.ReplyTo(kDocument);
        m.ClientVersion(QStringLiteral("1.0.0"));
        m.MessageType(type);
        m.SessionId(session);
        m.Send();
        const auto before = ready.count();
        EXPECT_TRUE(QTest::qWaitFor([&] { return ready.count() > before; }, 15000));
        std::set<QString> codes;
        if (auto t = ReplyStore::Instance().GetTable(QStringLiteral("OFFICERGROUP"), kDocument,
                                                     m.MessageId()))
            for (t->MoveFirst(); !t->isEof(); t->MoveNext())
                codes.insert(t->field(QStringLiteral("GRP_CD")).Text());
        return codes;
    };

    KelbMessage retrieval;
    KelbCriteria criteria;
    criteria.SystemName(QStringLiteral("QUILLMOR"));
    criteria.FieldName(QStringLiteral("key:INSP_ID"));
    criteria.Operator(QStringLiteral("="));
    criteria.Value(kOfficer);
    retrieval.AddCriteria(criteria);
    EXPECT_EQ(send(retrieval, kRetrievalType), std::set<QString>{agencies[0]});
    EXPECT_EQ(ready.at(0).at(0).toString(), kDocument);

    KelbMessage save;
    save.MessageId(retrieval.MessageId()); // the screen saves under the retrieval's identifier
    RecordTable changes;
    changes.Source(QStringLiteral("OFFICERGROUP"));
    changes.Open();
    for (const auto& [code, action] :
         std::vector<Change>{{agencies[0], "DEL"}, {agencies[1], "ADD"}, {group, "ADD"}}) {
        changes.AddNew();
        changes.field(QStringLiteral("GRP_CD")).SetValue(code);
        changes.field(QStringLiteral("INSP_ID")).SetValue(kOfficer);
        changes.field(QStringLiteral("ACTION")).SetValue(action);
        changes.Update();
    }
    save.AddTable(changes, QStringLiteral("OFFICERGROUP"));
    const std::set<QString> expected{agencies[1], group};
    EXPECT_EQ(send(save, kSaveType), expected);
    EXPECT_EQ(
        ReplyChecker::Instance().GetReplyError(kDocument, QStringLiteral("test"), save.MessageId()),
        QString());
    EXPECT_EQ(storedMemberships(c.db(), kOfficer), expected);
    EXPECT_EQ(auditRows(c.db(), kOfficer, save.MessageId()), 3);
    MessageBus::Instance().setTransport(nullptr);
    ReplyStore::Instance().clear();
}

} // namespace
} // namespace zavek::testing
