#include "tests/common/bus_fixture.h"

using namespace zavek;
using namespace zavek::testing;

namespace {
const QString kDoc = QStringLiteral("DOC-1");
const QString kSource = QStringLiteral("ZAVEK_Security.moKelbMessage_DataReady");
const QString kSaveError = QStringLiteral("The officer could not be saved: agency missing.");
} // namespace

// A save of the previous officer (type 3) and a retrieval of the next one (type 2) are
// outstanding at once; the document always asks by the retrieval's identifier.
class ReplyCheckerTest : public BusTest {
protected:
    void SetUp() override {
        BusTest::SetUp();
        transport->setResponder([](const MessageData& r) {
            return LoopbackTransport::replyTo(r, r.messageType == 3 ? kSaveError : QString());
        });
        transport->setHolding(true);
        save = request(kDoc, 3);
        retrieval = request(kDoc, 2);
        save.Send();
        retrieval.Send();
        onDataReady = [this](const QString& recipient) {
            seen.push_back(
                ReplyChecker::Instance().GetReplyError(recipient, kSource, retrieval.MessageId()));
        };
    }

    KelbMessage save;
    KelbMessage retrieval;
    std::vector<QString> seen;
};

TEST_F(ReplyCheckerTest, SaveErrorReachesTheDocumentWhenItArrivesFirst) {
    transport->releaseHeld(0);
    transport->releaseHeld(0);
    ASSERT_TRUE(waitForReadies(2));
    EXPECT_EQ(seen, (std::vector<QString>{kSaveError, QString()}));
}

TEST_F(ReplyCheckerTest, SaveErrorReachesTheDocumentWhenItArrivesLast) {
    transport->releaseHeld(1);
    transport->releaseHeld(0);
    ASSERT_TRUE(waitForReadies(2));
    EXPECT_EQ(seen, (std::vector<QString>{QString(), kSaveError}));
}

TEST_F(ReplyCheckerTest, OutsideAnAnnouncementTheReplyIsFoundByItsIdentifier) {
    transport->releaseAll();
    ASSERT_TRUE(waitForReadies(2));
    const ReplyChecker& checker = ReplyChecker::Instance();
    EXPECT_EQ(checker.GetReplyError(kDoc, kSource, save.MessageId()), kSaveError);
    EXPECT_EQ(checker.GetReplyError(kDoc, kSource, retrieval.MessageId()), QString());
    EXPECT_EQ(checker.GetReplyError(kDoc, kSource, QStringLiteral("unknown")), QString());
    EXPECT_EQ(checker.GetReplyError(QStringLiteral("DOC-2"), kSource, save.MessageId()), QString());
}

TEST_F(ReplyCheckerTest, AnnouncementForAnotherRecipientIsNotReported) {
    transport->releaseHeld(1);
    ASSERT_TRUE(waitForReadies(1));
    KelbMessage foreign = request(QStringLiteral("DOC-2"), 3);
    std::vector<QString> seenByDoc;
    onDataReady = [&](const QString&) {
        seenByDoc.push_back(
            ReplyChecker::Instance().GetReplyError(kDoc, kSource, retrieval.MessageId()));
    };
    foreign.Send();
    transport->releaseHeld(transport->heldCount() - 1);
    ASSERT_TRUE(waitForReadies(2));
    EXPECT_EQ(seenByDoc, std::vector<QString>{QString()});
}

TEST_F(ReplyCheckerTest, NestedAnnouncementHandsTheOuterReplyBack) {
    // The handler of the save reply pumps events (as the close wait does); the retrieval reply
    // is announced inside it. Afterwards the save reply is still the one being announced.
    std::vector<QString> outerAfterPump;
    bool nested = false;
    onDataReady = [&](const QString& recipient) {
        if (nested)
            return;
        nested = true;
        transport->releaseAll();
        QCoreApplication::processEvents();
        outerAfterPump.push_back(
            ReplyChecker::Instance().GetReplyError(recipient, kSource, retrieval.MessageId()));
    };
    transport->releaseHeld(0);
    ASSERT_TRUE(waitForReadies(2));
    EXPECT_EQ(outerAfterPump, std::vector<QString>{kSaveError});
    EXPECT_EQ(ReplyStore::Instance().announcing(), nullptr);
}
