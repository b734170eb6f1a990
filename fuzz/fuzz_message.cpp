// The message decoder: any bytes either decode or are refused as malformed, within the
// decoder's bounds; what decodes encodes to bytes that decode to the same encoding again.

#include "common/codec.h"
#include "common/failure.h"
#include "fuzz/fuzz_support.h"

#include <QByteArray>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    zavek::MessageData readSoFar;
    zavek::MessageData message;
    try {
        message = zavek::decodeMessage(bytes, &readSoFar);
    } catch (const zavek::Failure& failure) {
        ZAVEK_FUZZ_REQUIRE(failure.code() == zavek::codes::kMalformedMessage);
        ZAVEK_FUZZ_REQUIRE(!failure.description().isEmpty());
        return 0;
    }
    ZAVEK_FUZZ_REQUIRE(message.criteria.size() <=
                       static_cast<std::size_t>(zavek::codec_limits::kMaxCriteria));
    ZAVEK_FUZZ_REQUIRE(message.tables.size() <=
                       static_cast<std::size_t>(zavek::codec_limits::kMaxTables));
    const QByteArray once = zavek::encodeMessage(message);
    const QByteArray twice = zavek::encodeMessage(zavek::decodeMessage(once));
    ZAVEK_FUZZ_REQUIRE(once == twice);
    return 0;
}
