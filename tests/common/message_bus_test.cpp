#include "tests/support/bus_harness.h"

#include "common/codec.h"
#include "common/failure.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>

#include <thread>

using namespace Qt::Literals::StringLiterals;

using namespace zavek;
using namespace zavek::testing;

namespace {

const QString kDoc = u"DOC-1"_s;
using BusTest = BusHarness;

} // namespace

// The reply comes back from another thread, as from a back end on a worker, and is announced
// on the UI thread, for every recipient.
TEST_F(BusTest, SendHandsOverACopyAndTheReplyIsAnnouncedLaterOnTheUiThread) {
    transport->setHolding(true);
    KelbMessage m = request(kDoc);
    m.Send();
    request(u"SOMEONE-ELSE"_s).Send();
    m.ReplyTo(u"CHANGED-AFTER-SEND"_s);
    KelbMessage noId = request(kDoc); // refused clearly, and nothing sent
    noId.MessageId(QString());
    const auto refused = attempt([&] { noId.Send(); });
    EXPECT_TRUE(refused && refused->code() == codes::kInvalidArgument);
    ASSERT_EQ(transport->sent().size(), 2u);
    const MessageData& sent = transport->sent()[0];
    EXPECT_EQ(sent.replyTo + sent.sessionId, u"DOC-1SESSION-1"_s);
    // Random identifiers need no counter that a restart or a second process would repeat.
    static const QRegularExpression uuid(
        "^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$");
    EXPECT_TRUE(sent.messageId == m.MessageId() && uuid.match(m.MessageId()).hasMatch() &&
                m.MessageId() != request(kDoc).MessageId());
    std::vector<bool> onUiThread;
    onDataReady = [&](const QString&) {
        onUiThread.push_back(QThread::currentThread() == QCoreApplication::instance()->thread());
    };
    std::thread([&] { transport->releaseAll(); }).join();
    EXPECT_TRUE(readies.empty());
    ASSERT_TRUE(waitFor(readies, 2));
    EXPECT_EQ(readies, (std::vector<QString>{kDoc, u"SOMEONE-ELSE"_s}));
    EXPECT_EQ(onUiThread, (std::vector<bool>{true, true}));
}

// Each script on a held transport with a 20 ms time-out: "sN" sends message N, "rK" releases the
// K-th held request's reply, "t" waits for one more time-out, "w" for several periods; then the
// messages that timed out, the replies announced, and nothing left outstanding.
TEST_F(BusTest, OnlyARequestLeftUnansweredTimesOutOnceAndALateReplyIsStillDelivered) {
    // clang-format off
    const std::tuple<const char*, const char*, std::vector<int>, std::size_t> cases[] = {
        {"answered, then late, then never answered", "s0 r0 s1 t r0 s2 t w", {1, 2}, 2},
        // A save under its retrieval's identifier: answering one leaves the other due.
        {"two sends under one identifier, one answered", "s0 s0 r0 w", {0}, 1},
        {"the first request's late answer leaves the second due", "s0 t s0 r0 t", {0, 0}, 1}};
    // clang-format on
    transport->setHolding(true);
    MessageBus::Instance().setTimeoutMs(20);
    const std::size_t before = MessageBus::Instance().outstanding();
    for (const auto& [name, script, timedOut, replies] : cases) {
        readies.clear(), timeouts.clear();
        const KelbMessage m[3] = {request(kDoc), request(kDoc), request(kDoc)};
        for (const QString& step : QString(script).split(u' ')) {
            const int n = step.mid(1).toInt();
            if (step[0] == u's')
                KelbMessage(m[n]).Send();
            else if (step[0] == u'r')
                transport->releaseHeld(n);
            else
                ASSERT_TRUE(step[0] == u'w' ? (QTest::qWait(150), true)
                                            : waitFor(timeouts, timeouts.size() + 1))
                    << name << ", " << step.toStdString();
        }
        std::vector<QString> expected;
        for (int i : timedOut)
            expected.push_back(m[i].MessageId());
        EXPECT_EQ(timeouts, expected) << name;
        EXPECT_EQ(readies.size(), replies) << name;
        EXPECT_EQ(MessageBus::Instance().outstanding(), before) << name;
        transport->dropHeld();
    }
}

// Sent again while the first is still due: the time-out counts from the second send.
TEST_F(BusTest, ResendingUnderTheSameIdentifierRestartsItsClock) {
    transport->setHolding(true);
    MessageBus::Instance().setTimeoutMs(1000);
    KelbMessage early = request(kDoc);
    QElapsedTimer clock;
    clock.start();
    early.Send();
    QTest::qWait(300);
    if (!timeouts.empty())
        GTEST_SKIP() << "the machine is too busy to tell the two clocks apart";
    const qint64 resent = clock.elapsed();
    early.Send();
    ASSERT_TRUE(waitFor(timeouts, 1));
    EXPECT_GE(clock.elapsed(), resent + 900); // timers may fire a little early
}

TEST_F(BusTest, UnreadableUnaskedForOrFailingRepliesAreLoggedAndTheBusGoesOn) {
    const MessageData stray{kDoc, {}, 0, {}, u"never-sent"_s, {}, {}, {}};
    const std::pair<QByteArray, const char*> cases[] = {
        {QByteArray("\xa1\x63not cbor", 10), "could not be read"},
        {encodeMessage(stray), "never-sent"}};
    for (const auto& [bytes, says] : cases) {
        ErrorLogger::Instance().clearRecent();
        transport->deliverRaw(bytes);
        ASSERT_TRUE(
            QTest::qWaitFor([] { return !ErrorLogger::Instance().recent().empty(); }, kWaitMs))
            << says;
        EXPECT_TRUE(lastLogged().contains(QLatin1String(says))) << lastLogged().toStdString();
    }
    EXPECT_TRUE(readies.empty() && ReplyStore::Instance().size() == 0u);
    onDataReady = [](const QString&) { fail(codes::kUnexpected, u"handler broke"_s); };
    request(kDoc).Send();
    ASSERT_TRUE(waitFor(readies, 1));
    EXPECT_EQ(lastLogged(), u"handler broke"_s);
    request(kDoc).Send(); // a failing handler stops nothing
    EXPECT_TRUE(waitFor(readies, 2));
}

// Its tables as a document reads them: the groups and exchange screen tests.
TEST(ReplyStoreTest, KeepsTheMostRecentRepliesByRecipientAndIdentifier) {
    ReplyStore store;
    auto reply = [](int i) {
        return MessageData{"DOC-1", {}, 0, {}, u"id-%1"_s.arg(i), {}, {}, {}};
    };
    auto has = [&](int i) { return store.find(kDoc, u"id-%1"_s.arg(i)) != nullptr; };
    const int limit = static_cast<int>(ReplyStore::kLimit);
    for (int i = 0; i < limit + 10; ++i)
        store.put(reply(i));
    store.put(reply(10)); // replacing a reply makes it the newest
    store.put(reply(limit + 10));
    EXPECT_EQ(store.size(), ReplyStore::kLimit);
    EXPECT_TRUE(!has(9) && has(10) && !has(11) && has(limit + 9) &&
                !store.find(u"DOC-2"_s, u"id-10"_s));
}

namespace {

const QString kSource = u"ZAVEK_Security.moKelbMessage_DataReady"_s;
const QString kSaveError = u"The officer could not be saved: agency missing."_s;

// A save of the previous officer (type 3) and a retrieval of the next one (type 2) are
// outstanding at once; the document always asks by the retrieval's identifier. That the save's
// error reaches the document whichever reply comes first: the exchange's switch cases.
class ReplyCheckerTest : public BusHarness {
protected:
    void SetUp() override {
        BusHarness::SetUp();
        transport->setResponder([](const MessageData& r) {
            return LoopbackTransport::replyTo(r, r.messageType == 3 ? kSaveError : QString());
        });
        transport->setHolding(true);
        save.Send();
        retrieval.Send();
    }
    QString errorFor(const QString& recipient, const QString& id = {}) {
        return ReplyChecker::Instance().GetReplyError(recipient, kSource,
                                                      id.isEmpty() ? retrieval.MessageId() : id);
    }
    KelbMessage save = request(kDoc, 3);
    KelbMessage retrieval = request(kDoc, 2);
};

} // namespace

TEST_F(ReplyCheckerTest, AnnouncementForAnotherRecipientIsNotReported) {
    transport->releaseHeld(1);
    ASSERT_TRUE(waitFor(readies, 1));
    std::vector<QString> seenByDoc;
    onDataReady = [&](const QString&) { seenByDoc.push_back(errorFor(kDoc)); };
    request(u"DOC-2"_s, 3).Send();
    transport->releaseHeld(transport->heldCount() - 1);
    ASSERT_TRUE(waitFor(readies, 2));
    EXPECT_EQ(seenByDoc, std::vector<QString>{QString()});
    // Outside an announcement the reply is found by its own identifier only.
    transport->releaseHeld(0);
    ASSERT_TRUE(waitFor(readies, 3));
    EXPECT_EQ(errorFor(kDoc, save.MessageId()), kSaveError);
    EXPECT_EQ(errorFor(u"DOC-2"_s, save.MessageId()), QString());
}
