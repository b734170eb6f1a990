#pragma once
#include "common/error_logger.h"
#include "common/message.h"
#include "common/message_bus.h"
#include "common/transport.h"

#include <QCoreApplication>
#include <QObject>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace zavek::testing {

inline constexpr int kWaitMs = 5000;

// A fresh loopback transport on this thread's bus, and a record of every listener event.
class BusTest : public ::testing::Test {
protected:
    void SetUp() override {
        transport = std::make_shared<LoopbackTransport>();
        transport->setResponder(
            [](const MessageData& request) { return LoopbackTransport::replyTo(request); });
        MessageBus::Instance().setTransport(transport);
        MessageBus::Instance().setTimeoutMs(30000);
        ReplyStore::Instance().clear();
        ErrorLogger::Instance().clearRecent();
        context = std::make_unique<QObject>();
        QObject::connect(KelbListener::Instance(), &KelbListener::DataReady, context.get(),
                         [this](const QString& recipient) {
                             readies.push_back(recipient);
                             if (onDataReady)
                                 onDataReady(recipient);
                         });
        QObject::connect(KelbListener::Instance(), &KelbListener::MsgTimeout, context.get(),
                         [this](const QVariant& id) { timeouts.push_back(id.toString()); });
    }

    void TearDown() override {
        context.reset();
        // Replies still queued for this test must not reach the next one.
        QCoreApplication::processEvents();
        MessageBus::Instance().setTransport(nullptr);
        MessageBus::Instance().setTimeoutMs(30000);
        ReplyStore::Instance().clear();
    }

    static KelbMessage request(const QString& recipient, std::int32_t type = 2) {
        KelbMessage m;
        m.ReplyTo(recipient);
        m.ClientVersion(QStringLiteral("1.0"));
        m.MessageType(type);
        m.SessionId(QStringLiteral("SESSION-1"));
        return m;
    }

    bool waitForReadies(std::size_t n) {
        return QTest::qWaitFor([&] { return readies.size() >= n; }, kWaitMs);
    }

    std::shared_ptr<LoopbackTransport> transport;
    std::unique_ptr<QObject> context;
    std::vector<QString> readies;
    std::vector<QString> timeouts;
    std::function<void(const QString&)> onDataReady;
};

} // namespace zavek::testing
