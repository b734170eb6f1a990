// The message decoder: any bytes either decode within the decoder's bounds or are refused as
// malformed; what decodes encodes to bytes that decode to the same encoding again.

#include "fuzz/fuzz_support.h"

#include "common/codec.h"
#include "common/failure.h"

using namespace zavek;

int fuzzOne(const QByteArray& bytes) {
    MessageData m;
    if (const auto failure = attempt([&] { m = decodeMessage(bytes); }))
        assert(failure->code() == codes::kMalformedMessage && !failure->description().isEmpty());
    else
        assert(m.criteria.size() <= std::size_t(codec_limits::kMaxCriteria) &&
               m.tables.size() <= std::size_t(codec_limits::kMaxTables) &&
               encodeMessage(decodeMessage(encodeMessage(m))) == encodeMessage(m));
    return 0;
}
