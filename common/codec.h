#pragma once
// The stable CBOR form of a message (RFC 8949). The decoder reads the bytes as a stream and
// refuses, with codes::kMalformedMessage and a sentence naming the bound, anything past these
// limits, so that a hostile or broken sender can neither exhaust memory nor the stack:
//
//   whole message             16 MiB
//   nesting depth             8 levels (a message needs 6: message, tables, table, rows, row,
//                             and a tagged value in a cell)
//   one text or byte string   1 MiB of encoded bytes, counted over all its chunks
//   entries of one map        64 (a map with a key twice is refused as well)
//   criteria                  256
//   tables                    64, each with at most 256 fields and 500,000 rows
//   table cells               1,000,000 in all tables together (a catalogue of 100,000
//                             groups has 400,000)
//
// A cell holds null (or undefined), false, true, an integer from -2^63 to 2^64-1, a
// floating-point number of any width, a text or byte string, or a date and time (tag 0 with
// an RFC 3339 text, tag 1 with seconds since 1970); any other value is refused.

#include "common/message.h"

#include <QByteArray>

namespace zavek {

namespace codec_limits {
inline constexpr qsizetype kMaxMessageBytes = 16 * 1024 * 1024;
inline constexpr int kMaxDepth = 8;
inline constexpr qsizetype kMaxStringBytes = 1024 * 1024;
inline constexpr qsizetype kMaxMapEntries = 64;
inline constexpr qsizetype kMaxCriteria = 256;
inline constexpr qsizetype kMaxTables = 64;
inline constexpr qsizetype kMaxFields = 256;
inline constexpr qsizetype kMaxRows = 500'000;
inline constexpr qsizetype kMaxCells = 1'000'000;
} // namespace codec_limits

QByteArray encodeMessage(const MessageData& message);
// readSoFar, when given, receives what was read before a failure (the sender's address,
// which the decoder reads first whatever the message's size), so that the sender can be
// answered.
MessageData decodeMessage(const QByteArray& bytes, MessageData* readSoFar = nullptr);

} // namespace zavek
