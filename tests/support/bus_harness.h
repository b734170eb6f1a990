#pragma once
// The bus of this thread on a fresh loopback transport, with a record of every listener event.

#include "common/error_logger.h"
#include "common/message.h"
#include "common/message_bus.h"
#include "common/transport.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace zavek::testing {

inline constexpr int kWaitMs = 5000;

class BusHarness : public ::testing::Test {
protected:
    void SetUp() override {
        transport->setResponder([](const MessageData& r) { return LoopbackTransport::replyTo(r); });
        MessageBus::Instance().setTransport(transport);
        MessageBus::Instance().setTimeoutMs(30000);
        ReplyStore::Instance().clear();
        ErrorLogger::Instance().clearRecent();
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
        QCoreApplication::processEvents(); // replies still queued must not reach the next test
        MessageBus::Instance().setTransport(nullptr);
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
    bool waitFor(const std::vector<QString>& events, std::size_t n) {
        return QTest::qWaitFor([&] { return events.size() >= n; }, kWaitMs);
    }
    static QString lastLogged() {
        const auto& recent = ErrorLogger::Instance().recent();
        return recent.empty() ? QString() : recent.back().description;
    }

    std::shared_ptr<LoopbackTransport> transport = std::make_shared<LoopbackTransport>();
    std::unique_ptr<QObject> context = std::make_unique<QObject>();
    std::vector<QString> readies;
    std::vector<QString> timeouts;
    std::function<void(const QString&)> onDataReady;
};

} // namespace zavek::testing
