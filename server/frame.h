#pragma once
// Messages on a byte stream: each one as a four-byte big-endian length and then its CBOR.

#include "common/codec.h"

#include <QByteArray>

namespace zavek::net {

QByteArray frame(const QByteArray& message);

// Collects bytes as they arrive and hands out whole messages.
class FrameReader {
public:
    enum class Next { Message, NeedMore, TooLarge };

    explicit FrameReader(qsizetype limit = codec_limits::kMaxMessageBytes) : limit_(limit) {}
    void append(const QByteArray& bytes) { buffer_.append(bytes); }
    // The next whole message, if one has arrived; TooLarge when its announced length is over
    // the limit (the stream cannot be read on from there).
    Next next(QByteArray& message);
    // Part of a message has arrived and the rest has not.
    bool midMessage() const { return !buffer_.isEmpty(); }
    void clear() { buffer_.clear(); }

private:
    qsizetype limit_;
    QByteArray buffer_;
};

} // namespace zavek::net
