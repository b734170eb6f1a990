#include "tests/backend/backend_fixture.h"

#include "common/codec.h"

#include <QCborMap>
#include <QCborValue>

namespace zavek::backend::testing {
namespace {

using RetrievalTest = BackendFixture;

TEST_F(RetrievalTest, ReplyListsTheOfficersMemberships) {
    RequestProcessor p(db_);
    const MessageData reply = p.process(retrieval(QStringLiteral(" NW00123 ")));
    EXPECT_TRUE(reply.errorText.isEmpty()) << reply.errorText.toStdString();
    EXPECT_EQ(reply.replyTo, QStringLiteral("doc-1"));
    EXPECT_EQ(reply.messageId, QStringLiteral("msg-1"));
    EXPECT_EQ(codes(reply), (std::vector<QString>{QStringLiteral("BIS"), QStringLiteral("CFR")}));
    EXPECT_EQ(reply.table(QStringLiteral("OFFICERGROUP"))->fields,
              (QStringList{QStringLiteral("INSP_ID"), QStringLiteral("GRP_CD")}));
}

TEST_F(RetrievalTest, UnknownAndOtherRegionOfficerGiveTheSameErrorAndNoTable) {
    RequestProcessor p(db_);
    const MessageData other = p.process(retrieval(QStringLiteral("SE00200")));
    const MessageData unknown = p.process(retrieval(QStringLiteral("SE00200X")));
    EXPECT_FALSE(other.errorText.isEmpty());
    EXPECT_EQ(
        other.errorText,
        QString(unknown.errorText).replace(QLatin1String("SE00200X"), QLatin1String("SE00200")));
    EXPECT_EQ(other.table(QStringLiteral("OFFICERGROUP")), nullptr);
    EXPECT_EQ(unknown.table(QStringLiteral("OFFICERGROUP")), nullptr);
}

TEST_F(RetrievalTest, ExpiredSessionIsRefused) {
    exec(QStringLiteral("UPDATE ADMIN_SESSION SET EXPIRES_AT = '2000-01-01T00:00:00.000Z'"));
    RequestProcessor p(db_);
    const MessageData reply = p.process(retrieval(QStringLiteral("NW00123")));
    EXPECT_EQ(reply.errorText,
              QStringLiteral("Your session has expired. Sign in again to continue."));
    EXPECT_EQ(reply.table(QStringLiteral("OFFICERGROUP")), nullptr);
}

TEST_F(RetrievalTest, UnknownSessionIsRefused) {
    MessageData request = retrieval(QStringLiteral("NW00123"));
    request.sessionId = QStringLiteral("forged");
    const MessageData reply = RequestProcessor(db_).process(request);
    EXPECT_FALSE(reply.errorText.isEmpty());
    EXPECT_TRUE(codes(reply).empty());
}

TEST_F(RetrievalTest, UnknownMessageTypeIsAnError) {
    MessageData request = retrieval(QStringLiteral("NW00123"));
    request.messageType = 9;
    EXPECT_FALSE(RequestProcessor(db_).process(request).errorText.isEmpty());
}

TEST_F(RetrievalTest, MalformedBytesWithoutAddressGetNoReply) {
    EXPECT_TRUE(RequestProcessor(db_).process(QByteArray("\xff\x01garbage", 9)).isEmpty());
}

TEST_F(RetrievalTest, EncodedRequestGetsEncodedReply) {
    const QByteArray bytes =
        RequestProcessor(db_).process(encodeMessage(retrieval(QStringLiteral("NW00123"))));
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
    const QByteArray bytes = RequestProcessor(db_).process(QCborValue(map).toCbor());
    ASSERT_FALSE(bytes.isEmpty());
    const MessageData reply = decodeMessage(bytes);
    EXPECT_EQ(reply.replyTo, QStringLiteral("doc-1"));
    EXPECT_EQ(reply.messageId, QStringLiteral("msg-9"));
    EXPECT_FALSE(reply.errorText.isEmpty());
}

} // namespace
} // namespace zavek::backend::testing
