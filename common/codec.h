#pragma once
#include "common/message.h"

#include <QByteArray>

namespace zavek {

// A stable CBOR form of a message; decode fails with codes::kMalformedMessage.
QByteArray encodeMessage(const MessageData& message);
MessageData decodeMessage(const QByteArray& bytes);

} // namespace zavek
