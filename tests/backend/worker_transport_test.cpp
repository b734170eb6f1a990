#include "tests/backend/backend_fixture.h"

#include "backend/worker_transport.h"
#include "common/codec.h"

#include <QEventLoop>
#include <QTimer>

#include <mutex>

namespace zavek::backend::testing {
namespace {

class WorkerTransportTest : public BackendFixture {
protected:
    // Waits (bounded) for one reply from the worker thread.
    std::optional<MessageData> roundTrip(WorkerTransport& transport, const MessageData& request) {
        std::optional<MessageData> reply;
        QEventLoop loop;
        transport.setReplySink([&](const QByteArray& bytes) {
            QMetaObject::invokeMethod(
                &loop,
                [&, bytes] {
                    reply = decodeMessage(bytes);
                    loop.quit();
                },
                Qt::QueuedConnection);
        });
        transport.send(encodeMessage(request));
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        transport.setReplySink({});
        return reply;
    }
};

TEST_F(WorkerTransportTest, RetrievalTravelsThroughTheWorkerThread) {
    WorkerTransport transport(dir_.filePath(QStringLiteral("t.sqlite")));
    const auto reply = roundTrip(transport, retrieval(QStringLiteral("NW00123")));
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->errorText.isEmpty()) << reply->errorText.toStdString();
    EXPECT_EQ(codes(*reply).size(), 2u);
}

TEST_F(WorkerTransportTest, SlowBackEndStillAnswers) {
    WorkerTransport transport(dir_.filePath(QStringLiteral("t.sqlite")));
    transport.setReplyDelayMs(200);
    const auto reply = roundTrip(transport, save(QStringLiteral("NW00123"),
                                                 {{QStringLiteral("CFU"), QStringLiteral("ADD")}}));
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->errorText.isEmpty()) << reply->errorText.toStdString();
    EXPECT_EQ(codes(*reply).size(), 3u);
}

TEST_F(WorkerTransportTest, StoppedBackEndDropsRequests) {
    WorkerTransport transport(dir_.filePath(QStringLiteral("t.sqlite")));
    transport.setStopped(true);
    QEventLoop loop;
    bool answered = false;
    transport.setReplySink([&](const QByteArray&) { answered = true; });
    transport.send(encodeMessage(retrieval(QStringLiteral("NW00123"))));
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_FALSE(answered);
}

TEST_F(WorkerTransportTest, UnusableDatabaseGivesAnErrorReply) {
    WorkerTransport transport(QStringLiteral("postgresql://nohost"));
    const auto reply = roundTrip(transport, retrieval(QStringLiteral("NW00123")));
    ASSERT_TRUE(reply);
    EXPECT_FALSE(reply->errorText.isEmpty());
}

} // namespace
} // namespace zavek::backend::testing
