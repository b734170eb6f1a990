#include "tests/backend/backend_fixture.h"

#include "common/codec.h"
#include "common/officer_history.h"

#include <QCborMap>
#include <QCborValue>

namespace zavek::backend::testing {
namespace {

using RetrievalTest = BackendFixture;

TEST_F(RetrievalTest, ReplyListsTheOfficersMemberships) {
    const MessageData reply = send(retrieval(QStringLiteral(" NW00123 ")));
    EXPECT_TRUE(reply.errorText.isEmpty()) << reply.errorText.toStdString();
    EXPECT_EQ(reply.replyTo, QStringLiteral("doc-1"));
    EXPECT_EQ(reply.messageId, QStringLiteral("msg-1"));
    EXPECT_EQ(codes(reply), (std::vector<QString>{QStringLiteral("BIS"), QStringLiteral("CFR")}));
    EXPECT_EQ(reply.table(QStringLiteral("OFFICERGROUP"))->fields,
              (QStringList{QStringLiteral("INSP_ID"), QStringLiteral("GRP_CD")}));
}

TEST_F(RetrievalTest, UnknownAndOtherRegionOfficerGiveTheSameErrorAndNoTable) {
    const MessageData other = send(retrieval(QStringLiteral("SE00200")));
    const MessageData unknown = send(retrieval(QStringLiteral("SE00200X")));
    EXPECT_FALSE(other.errorText.isEmpty());
    EXPECT_EQ(
        other.errorText,
        QString(unknown.errorText).replace(QLatin1String("SE00200X"), QLatin1String("SE00200")));
    EXPECT_EQ(other.table(QStringLiteral("OFFICERGROUP")), nullptr);
    EXPECT_EQ(unknown.table(QStringLiteral("OFFICERGROUP")), nullptr);
}

TEST_F(RetrievalTest, MalformedBytesWithoutAddressGetNoReply) {
    EXPECT_TRUE(RequestProcessor(db_, clock_).process(QByteArray("\xff\x01garbage", 9)).isEmpty());
}

TEST_F(RetrievalTest, EncodedRequestGetsEncodedReply) {
    const QByteArray bytes =
        RequestProcessor(db_, clock_).process(encodeMessage(retrieval(QStringLiteral("NW00123"))));
    const MessageData reply = decodeMessage(bytes);
    EXPECT_TRUE(reply.errorText.isEmpty());
    EXPECT_EQ(codes(reply).size(), 2u);
}

} // namespace
} // namespace zavek::backend::testing

namespace zavek::backend::testing {
namespace {

TEST_F(RetrievalTest, UnreadableRequestWithAddressGetsErrorReply) {
    QCborMap map;
    map.insert(QLatin1String("replyTo"), QStringLiteral("doc-1"));
    map.insert(QLatin1String("messageId"), QStringLiteral("msg-9"));
    map.insert(QLatin1String("messageType"), 2);
    const QByteArray bytes = RequestProcessor(db_, clock_).process(QCborValue(map).toCbor());
    ASSERT_FALSE(bytes.isEmpty());
    const MessageData reply = decodeMessage(bytes);
    EXPECT_EQ(reply.replyTo, QStringLiteral("doc-1"));
    EXPECT_EQ(reply.messageId, QStringLiteral("msg-9"));
    EXPECT_FALSE(reply.errorText.isEmpty());
}

} // namespace
} // namespace zavek::backend::testing

namespace zavek::backend::testing {
namespace {

// Two saves of NW00123 a minute apart; the history of the asked officer, as "who: what".
struct HistoryCase {
    const char* name;
    const char* officer;
    bool signedIn;
    QStringList entries; // newest first; empty: refused as a retrieval of the officer is
};

class HistoryTest : public BackendFixture, public ::testing::WithParamInterface<HistoryCase> {};

TEST_P(HistoryTest, ListsEachSaveNewestFirstOrIsRefusedAsARetrieval) {
    const HistoryCase& c = GetParam();
    ASSERT_TRUE(send(save(QStringLiteral("NW00123"), {{QStringLiteral("CFU"), "ADD"}}))
                    .errorText.isEmpty());
    clock_.advance(60);
    ASSERT_TRUE(send(save(QStringLiteral("NW00123"),
                          {{QStringLiteral("BIS"), "DEL"},
                           {QStringLiteral("CUS"), "ADD"},
                           {QStringLiteral("CFR"), "DEL"}},
                          true))
                    .errorText.isEmpty());
    MessageData request = retrieval(QString::fromLatin1(c.officer));
    if (!c.signedIn)
        request.sessionId = QStringLiteral("no-such-session");
    MessageData asRetrieval = request;
    request.messageType = message_types::kHistory;
    request.messageId = QStringLiteral("msg-history");
    const MessageData reply = send(request);
    EXPECT_EQ(reply.messageType, message_types::kHistory);
    EXPECT_EQ(reply.messageId, QStringLiteral("msg-history"));
    if (c.entries.isEmpty()) {
        EXPECT_FALSE(reply.errorText.isEmpty());
        EXPECT_EQ(reply.errorText, send(asRetrieval).errorText);
        EXPECT_EQ(reply.table(kHistoryTable), nullptr);
        return;
    }
    ASSERT_TRUE(reply.errorText.isEmpty()) << reply.errorText.toStdString();
    const std::vector<HistoryEntry> entries = historyEntries(reply);
    QStringList shown;
    for (const HistoryEntry& e : entries)
        shown << e.administrator + QStringLiteral(": ") + e.changeText();
    EXPECT_EQ(shown, c.entries);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].when.secsTo(entries[0].when), 60);
}

INSTANTIATE_TEST_SUITE_P(
    Officers, HistoryTest,
    ::testing::Values(
        HistoryCase{"OwnRegion",
                    "NW00123",
                    true,
                    {QStringLiteral("Demo Administrator (NW): Agency changed from Border "
                                    "Inspection Service to Customs Enforcement; Case File Read "
                                    "removed; Password reset requested"),
                     QStringLiteral("Demo Administrator (NW): Case File Update added")}},
        HistoryCase{"AnotherRegion", "SE00200", true, {}},
        HistoryCase{"Unknown", "NW99999", true, {}},
        HistoryCase{"NoSession", "NW00123", false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zavek::backend::testing
