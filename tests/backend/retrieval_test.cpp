#include "tests/backend/backend_fixture.h"

#include "common/codec.h"

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
