#include "common/transport.h"

#include "common/codec.h"
#include "common/failure.h"
#include "common/message_bus.h"
#include "common/session_info.h"

#include <QCoreApplication>
#include <QThread>

namespace zavek {

ITransport::~ITransport() = default;

QByteArray ITransport::call(const QByteArray& request, int timeoutMs) {
    Q_UNUSED(request);
    Q_UNUSED(timeoutMs);
    fail(codes::kNotConnected,
         QCoreApplication::translate(
             "zavek::Transport", "This shell's back end answers no direct reads; sign in again."));
}

void ReplySink::set(std::function<void(const QByteArray&)> sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

void ReplySink::deliver(const QByteArray& reply) {
    std::lock_guard lock(mutex_);
    if (sink_)
        sink_(reply);
}

void stopTransportThread(ReplySink& replies, QThread& thread, QObject* worker,
                         std::function<void()> last) {
    replies.set({});
    QMetaObject::invokeMethod(
        worker,
        [&thread, last = std::move(last)] {
            last();
            thread.quit();
        },
        Qt::QueuedConnection);
    thread.wait();
}

MessageData callBackEnd(MessageData request) {
    const std::shared_ptr<ITransport> transport = MessageBus::Instance().transport();
    if (!transport)
        fail(codes::kNotConnected,
             QCoreApplication::translate(
                 "zavek::Transport",
                 "The back end is not connected; sign in again or restart the shell."));
    if (request.sessionId.isEmpty())
        request.sessionId = SessionInfo::Instance().sessionId();
    request.messageId = newMessageId();
    if (request.replyTo.isEmpty())
        request.replyTo = QStringLiteral("ZAVEK_CALL");
    const QByteArray bytes =
        transport->call(encodeMessage(request), MessageBus::Instance().timeoutMs());
    MessageData reply = decodeMessage(bytes);
    if (!reply.errorText.isEmpty())
        fail(codes::kStop, reply.errorText);
    return reply;
}

MessageData LoopbackTransport::replyTo(const MessageData& request, QString errorText) {
    MessageData reply;
    reply.replyTo = request.replyTo;
    reply.messageId = request.messageId;
    reply.messageType = request.messageType;
    reply.sessionId = request.sessionId;
    reply.errorText = std::move(errorText);
    return reply;
}

void LoopbackTransport::send(const QByteArray& request) {
    const MessageData decoded = decodeMessage(request);
    sent_.push_back(decoded);
    if (!responder_)
        return;
    const auto reply = responder_(decoded);
    if (!reply)
        return; // dropped
    const QByteArray bytes = encodeMessage(*reply);
    if (holding_)
        held_.push_back(bytes);
    else if (sink_)
        sink_(bytes);
}

void LoopbackTransport::releaseHeld(std::size_t index) {
    if (index >= held_.size())
        return;
    const QByteArray bytes = held_[index];
    held_.erase(held_.begin() + static_cast<std::ptrdiff_t>(index));
    if (sink_)
        sink_(bytes);
}

void LoopbackTransport::releaseAll() {
    while (!held_.empty())
        releaseHeld(0);
}

void LoopbackTransport::deliverRaw(const QByteArray& bytes) {
    if (sink_)
        sink_(bytes);
}

} // namespace zavek
