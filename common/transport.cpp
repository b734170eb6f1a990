#include "common/transport.h"

#include "common/codec.h"

namespace zavek {

ITransport::~ITransport() = default;

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
