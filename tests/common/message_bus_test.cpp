#include "tests/common/bus_fixture.h"

#include "common/codec.h"
#include "common/failure.h"

#include <QElapsedTimer>
#include <QThread>

#include <mutex>
#include <thread>

using namespace zavek;
using namespace zavek::testing;

namespace {

// Answers every request from a thread of its own, as a back end on a worker would.
class ThreadedTransport final : public ITransport {
public:
    ~ThreadedTransport() override {
        for (auto& t : threads_)
            t.join();
    }
    void send(const QByteArray& request) override {
        threads_.emplace_back([this, request] {
            const MessageData reply = LoopbackTransport::replyTo(decodeMessage(request));
            const QByteArray bytes = encodeMessage(reply);
            std::lock_guard lock(mutex_);
            if (sink_)
                sink_(bytes);
        });
    }
    void setReplySink(std::function<void(const QByteArray&)> sink) override {
        std::lock_guard lock(mutex_);
        sink_ = std::move(sink);
    }

private:
    std::mutex mutex_;
    std::function<void(const QByteArray&)> sink_;
    std::vector<std::thread> threads_;
};

QString lastLogged() {
    const auto& recent = ErrorLogger::Instance().recent();
    return recent.empty() ? QString() : recent.back().description;
}

} // namespace

TEST_F(BusTest, SendHandsOverACopyAndReturnsBeforeTheReply) {
    KelbMessage m = request(QStringLiteral("DOC-1"));
    m.Send();
    EXPECT_TRUE(readies.empty());
    m.ReplyTo(QStringLiteral("CHANGED-AFTER-SEND"));

    ASSERT_EQ(transport->sent().size(), 1u);
    EXPECT_EQ(transport->sent()[0].replyTo, QStringLiteral("DOC-1"));
    EXPECT_EQ(transport->sent()[0].messageId, m.MessageId());
    EXPECT_EQ(transport->sent()[0].messageType, 2);
    EXPECT_EQ(transport->sent()[0].sessionId, QStringLiteral("SESSION-1"));
    ASSERT_TRUE(waitForReadies(1));
    EXPECT_EQ(readies[0], QStringLiteral("DOC-1"));
}

TEST_F(BusTest, ReplyFromAnotherThreadIsAnnouncedOnTheUiThread) {
    auto threaded = std::make_shared<ThreadedTransport>();
    MessageBus::Instance().setTransport(threaded);
    std::vector<bool> onUiThread;
    onDataReady = [&](const QString&) {
        onUiThread.push_back(QThread::currentThread() == QCoreApplication::instance()->thread());
    };
    KelbMessage m = request(QStringLiteral("DOC-1"));
    m.Send();
    ASSERT_TRUE(waitForReadies(1));
    EXPECT_EQ(onUiThread, std::vector<bool>{true});
    EXPECT_NE(ReplyStore::Instance().find(QStringLiteral("DOC-1"), m.MessageId()), nullptr);
    MessageBus::Instance().setTransport(nullptr);
}

TEST_F(BusTest, EveryReplyRaisesDataReadyWhateverItsRecipient) {
    request(QStringLiteral("DOC-1")).Send();
    request(QStringLiteral("SOMEONE-ELSE")).Send();
    ASSERT_TRUE(waitForReadies(2));
    EXPECT_EQ(readies,
              (std::vector<QString>{QStringLiteral("DOC-1"), QStringLiteral("SOMEONE-ELSE")}));
}

TEST_F(BusTest, UnansweredRequestTimesOutExactlyOnce) {
    transport->setHolding(true);
    MessageBus::Instance().setTimeoutMs(20);
    KelbMessage m = request(QStringLiteral("DOC-1"));
    m.Send();
    m.Send(); // a save under its retrieval's identifier: answering one leaves the other due
    transport->releaseHeld(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !timeouts.empty(); }, kWaitMs));
    // Several further time-out periods pass without a second announcement.
    QTest::qWait(150);
    EXPECT_EQ(timeouts, std::vector<QString>{m.MessageId()});
    EXPECT_EQ(readies.size(), 1u);
}

TEST_F(BusTest, AnsweredRequestDoesNotTimeOut) {
    MessageBus::Instance().setTimeoutMs(20);
    const std::size_t before = MessageBus::Instance().outstanding();
    request(QStringLiteral("DOC-1")).Send();
    EXPECT_EQ(MessageBus::Instance().outstanding(), before + 1);
    ASSERT_TRUE(waitForReadies(1));
    QTest::qWait(150);
    EXPECT_TRUE(timeouts.empty());
    EXPECT_EQ(MessageBus::Instance().outstanding(), before);
}

TEST_F(BusTest, LateReplyAfterItsTimeOutIsStillDelivered) {
    transport->setHolding(true);
    MessageBus::Instance().setTimeoutMs(20);
    KelbMessage m = request(QStringLiteral("DOC-1"));
    m.Send();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !timeouts.empty(); }, kWaitMs));
    transport->releaseAll();
    ASSERT_TRUE(waitForReadies(1));
    EXPECT_EQ(readies[0], QStringLiteral("DOC-1"));
    EXPECT_NE(ReplyStore::Instance().find(QStringLiteral("DOC-1"), m.MessageId()), nullptr);
}

TEST_F(BusTest, DroppedReplyLeavesOnlyTheTimeOut) {
    transport->setResponder([](const MessageData&) { return std::optional<MessageData>(); });
    MessageBus::Instance().setTimeoutMs(20);
    request(QStringLiteral("DOC-1")).Send();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !timeouts.empty(); }, kWaitMs));
    EXPECT_TRUE(readies.empty());
}

TEST_F(BusTest, ResendingUnderTheSameIdentifierRestartsItsClock) {
    transport->setHolding(true);
    {
        // Sent again while the first is still due: the time-out counts from the second send.
        MessageBus::Instance().setTimeoutMs(1000);
        KelbMessage early = request(QStringLiteral("DOC-1"));
        QElapsedTimer clock;
        clock.start();
        early.Send();
        QTest::qWait(300);
        if (!timeouts.empty())
            GTEST_SKIP() << "the machine is too busy to tell the two clocks apart";
        const qint64 resent = clock.elapsed();
        early.Send();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !timeouts.empty(); }, kWaitMs));
        EXPECT_GE(clock.elapsed(), resent + 900); // timers may fire a little early
        transport->dropHeld();
        timeouts.clear();
    }
    MessageBus::Instance().setTimeoutMs(20);
    KelbMessage m = request(QStringLiteral("DOC-1"));
    m.Send();
    ASSERT_TRUE(QTest::qWaitFor([&] { return timeouts.size() == 1; }, kWaitMs));
    m.MessageType(3);
    m.Send();
    transport->releaseHeld(0); // the first request's late answer leaves the second one due
    ASSERT_TRUE(QTest::qWaitFor([&] { return timeouts.size() == 2; }, kWaitMs));
    EXPECT_EQ(timeouts[1], m.MessageId());
}

TEST_F(BusTest, NewerReplyReplacesTheOlderUnderTheSameKey) {
    int n = 0;
    transport->setResponder([&n](const MessageData& r) {
        return LoopbackTransport::replyTo(r, QStringLiteral("answer %1").arg(++n));
    });
    KelbMessage m = request(QStringLiteral("DOC-1"));
    m.Send();
    ASSERT_TRUE(waitForReadies(1));
    m.Send();
    ASSERT_TRUE(waitForReadies(2));
    const MessageData* stored = ReplyStore::Instance().find(QStringLiteral("DOC-1"), m.MessageId());
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->errorText, QStringLiteral("answer 2"));
    EXPECT_EQ(ReplyStore::Instance().size(), 1u);
}

TEST_F(BusTest, MalformedBytesAreDroppedAndLogged) {
    KelbMessage m = request(QStringLiteral("DOC-1"));
    transport->setHolding(true);
    m.Send();
    transport->deliverRaw(QByteArray("\xa1\x63not cbor", 10));
    ASSERT_TRUE(QTest::qWaitFor([] { return !ErrorLogger::Instance().recent().empty(); }, kWaitMs));
    EXPECT_TRUE(lastLogged().contains(QStringLiteral("could not be read")))
        << lastLogged().toStdString();
    EXPECT_EQ(ErrorLogger::Instance().recent().back().source,
              QStringLiteral("ZAVEK_COMMON.MessageBus"));
    EXPECT_TRUE(readies.empty());
    EXPECT_EQ(ReplyStore::Instance().size(), 0u);
    // The bus keeps working after the bad bytes.
    transport->releaseAll();
    EXPECT_TRUE(waitForReadies(1));
}

TEST_F(BusTest, ReplyForAnUnknownMessageIsDroppedAndLogged) {
    MessageData stray;
    stray.replyTo = QStringLiteral("DOC-1");
    stray.messageId = QStringLiteral("never-sent");
    transport->deliverRaw(encodeMessage(stray));
    ASSERT_TRUE(QTest::qWaitFor([] { return !ErrorLogger::Instance().recent().empty(); }, kWaitMs));
    EXPECT_TRUE(lastLogged().contains(QStringLiteral("never-sent"))) << lastLogged().toStdString();
    EXPECT_TRUE(readies.empty());
    EXPECT_EQ(ReplyStore::Instance().find(QStringLiteral("DOC-1"), QStringLiteral("never-sent")),
              nullptr);
}

TEST_F(BusTest, HandlerFailureIsLoggedAndTheNextReplyStillArrives) {
    onDataReady = [](const QString&) { fail(codes::kUnexpected, QStringLiteral("handler broke")); };
    request(QStringLiteral("DOC-1")).Send();
    ASSERT_TRUE(waitForReadies(1));
    EXPECT_EQ(lastLogged(), QStringLiteral("handler broke"));
    EXPECT_EQ(ReplyStore::Instance().announcing(), nullptr);
    onDataReady = {};
    request(QStringLiteral("DOC-1")).Send();
    EXPECT_TRUE(waitForReadies(2));
}

TEST_F(BusTest, SendWithoutATransportFailsClearly) {
    MessageBus::Instance().setTransport(nullptr);
    const auto failure = attempt([] { request(QStringLiteral("DOC-1")).Send(); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), codes::kNotConnected);
    EXPECT_TRUE(failure->description().contains(QStringLiteral("not connected")));
}

TEST_F(BusTest, RequestWithoutAnIdentifierIsRefused) {
    KelbMessage m = request(QStringLiteral("DOC-1"));
    m.MessageId(QString());
    const auto failure = attempt([&] { m.Send(); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), codes::kInvalidArgument);
    EXPECT_TRUE(transport->sent().empty());
}

TEST_F(BusTest, HeldRepliesCanBeReleasedInAnyOrder) {
    transport->setHolding(true);
    request(QStringLiteral("FIRST")).Send();
    request(QStringLiteral("SECOND")).Send();
    ASSERT_EQ(transport->heldCount(), 2u);
    transport->releaseHeld(1);
    transport->releaseHeld(0);
    ASSERT_TRUE(waitForReadies(2));
    EXPECT_EQ(readies, (std::vector<QString>{QStringLiteral("SECOND"), QStringLiteral("FIRST")}));
}

class ReplyStoreTest : public ::testing::Test {
protected:
    static MessageData reply(int i) {
        MessageData m;
        m.replyTo = QStringLiteral("DOC-1");
        m.messageId = QStringLiteral("id-%1").arg(i);
        return m;
    }
    ReplyStore store;
};

TEST_F(ReplyStoreTest, KeepsOnlyTheMostRecentReplies) {
    const int total = static_cast<int>(ReplyStore::kLimit) + 10;
    for (int i = 0; i < total; ++i)
        store.put(reply(i));
    EXPECT_EQ(store.size(), ReplyStore::kLimit);
    EXPECT_EQ(store.find(QStringLiteral("DOC-1"), QStringLiteral("id-9")), nullptr);
    EXPECT_NE(store.find(QStringLiteral("DOC-1"), QStringLiteral("id-10")), nullptr);
    EXPECT_NE(store.find(QStringLiteral("DOC-1"), QStringLiteral("id-%1").arg(total - 1)), nullptr);
}

TEST_F(ReplyStoreTest, ReplacingAReplyMakesItTheNewest) {
    for (int i = 0; i < static_cast<int>(ReplyStore::kLimit); ++i)
        store.put(reply(i));
    store.put(reply(0));
    store.put(reply(static_cast<int>(ReplyStore::kLimit)));
    EXPECT_EQ(store.size(), ReplyStore::kLimit);
    EXPECT_NE(store.find(QStringLiteral("DOC-1"), QStringLiteral("id-0")), nullptr);
    EXPECT_EQ(store.find(QStringLiteral("DOC-1"), QStringLiteral("id-1")), nullptr);
}

TEST_F(ReplyStoreTest, KeyIsRecipientAndIdentifierTogether) {
    MessageData other = reply(1);
    other.replyTo = QStringLiteral("DOC-2");
    store.put(reply(1));
    store.put(other);
    EXPECT_EQ(store.size(), 2u);
    EXPECT_EQ(store.find(QStringLiteral("DOC-3"), QStringLiteral("id-1")), nullptr);
}

TEST_F(ReplyStoreTest, GetTableGivesTheNamedTableOrNothing) {
    MessageData m = reply(1);
    TableData table;
    table.fields << QStringLiteral("CODE");
    table.rows.push_back({QVariant(QStringLiteral("A1"))});
    m.tables.push_back(NamedTable{QStringLiteral("OFFICERGROUP"), table});
    store.put(m);

    auto found = store.GetTable(QStringLiteral("officergroup"), QStringLiteral("DOC-1"),
                                QStringLiteral("id-1"));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->recordCount(), 1);
    EXPECT_EQ(found->field(QStringLiteral("code")).Text(), QStringLiteral("A1"));
    EXPECT_FALSE(
        store.GetTable(QStringLiteral("SETUP"), QStringLiteral("DOC-1"), QStringLiteral("id-1")));
    EXPECT_FALSE(store.GetTable(QStringLiteral("OFFICERGROUP"), QStringLiteral("DOC-1"),
                                QStringLiteral("id-2")));
}
