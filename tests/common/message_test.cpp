#include "common/failure.h"
#include "common/message.h"
#include "common/record_table.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <set>

using namespace zavek;

TEST(KelbMessageTest, EveryNewMessageHasItsOwnIdentifier) {
    std::set<QString> ids;
    for (int i = 0; i < 2000; ++i)
        ids.insert(KelbMessage().MessageId());
    EXPECT_EQ(ids.size(), 2000u);
}

TEST(KelbMessageTest, IdentifierIsARandomUuid) {
    // Random identifiers need no counter that a restart or a second process would repeat.
    static const QRegularExpression uuid(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$"));
    EXPECT_TRUE(uuid.match(KelbMessage().MessageId()).hasMatch());
}

TEST(KelbMessageTest, HeaderCriteriaAndTablesAreCarried) {
    KelbMessage m;
    m.ReplyTo(QStringLiteral("DOC-1"));
    m.ClientVersion(QStringLiteral("1.0"));
    m.MessageType(2);
    m.SessionId(QStringLiteral("S-9"));
    m.MessageId(QStringLiteral("fixed"));
    KelbCriteria c;
    c.SystemName(QStringLiteral("ZAVEK"));
    c.FieldName(QStringLiteral("INSP_ID"));
    c.Operator(QStringLiteral("="));
    c.Value(QStringLiteral("1001"));
    m.AddCriteria(c);
    RecordTable table;
    table.Source(QStringLiteral("OFFICERGROUP"));
    table.Open();
    table.AddNew();
    table.field(QStringLiteral("ACTION")).SetValue(QStringLiteral("ADD"));
    table.Update();
    m.AddTable(table, QStringLiteral("OFFICERGROUP"));

    const MessageData& d = m.data();
    EXPECT_EQ(d.replyTo, QStringLiteral("DOC-1"));
    EXPECT_EQ(d.clientVersion, QStringLiteral("1.0"));
    EXPECT_EQ(d.messageType, 2);
    EXPECT_EQ(d.sessionId, QStringLiteral("S-9"));
    EXPECT_EQ(m.MessageId(), QStringLiteral("fixed"));
    ASSERT_EQ(d.criteria.size(), 1u);
    EXPECT_EQ(d.criteria[0], (Criteria{QStringLiteral("ZAVEK"), QStringLiteral("INSP_ID"),
                                       QStringLiteral("="), QStringLiteral("1001")}));
    const TableData* carried = d.table(QStringLiteral("officergroup"));
    ASSERT_NE(carried, nullptr);
    EXPECT_EQ(*carried, table.data());
    EXPECT_EQ(d.table(QStringLiteral("SETUP")), nullptr);
}

TEST(KelbMessageTest, TableIsCopiedWhenAttached) {
    KelbMessage m;
    RecordTable table;
    table.Source(QStringLiteral("SETUP"));
    table.Open();
    m.AddTable(table, QStringLiteral("SETUP"));
    table.AddNew();
    EXPECT_EQ(m.data().table(QStringLiteral("SETUP"))->rows.size(), 0u);
}

TEST(KelbMessageTest, UnopenedTableIsRefusedByName) {
    KelbMessage m;
    RecordTable table;
    table.Source(QStringLiteral("SETUP"));
    const auto failure = attempt([&] { m.AddTable(table, QStringLiteral("SETUP")); });
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->description().contains(QStringLiteral("\"SETUP\"")));
    EXPECT_TRUE(m.data().tables.empty());
}
