// Any bytes, fed in any slices, keep the line and the reply capture within
// their bounds (the sanitizers watch the line), and found, once set, stays set.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/line_matcher.h"
#include "core/modem_commands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    LineMatcher matcher;
    // The first byte picks the patterns, the second the slice length.
    matcher.SetPattern(0, (data[0] & 1) ? kModemId1 : kAcknowledgement, (data[0] & 4) != 0);
    if (data[0] & 2) matcher.SetPattern(1, kModemId2);
    const std::size_t slice = 1 + data[1] % 64;
    const char* bytes = reinterpret_cast<const char*>(data + 2);
    std::size_t left = size - 2;
    bool wasFound = false;
    while (left > 0) {
        const std::size_t n = left < slice ? left : slice;
        matcher.Feed(bytes, static_cast<int>(n));
        bytes += n;
        left -= n;
        if (matcher.Capture().Length() > ReplyCapture::kReplyCap) std::abort();
        if (wasFound && !matcher.Found()) std::abort();
        wasFound = matcher.Found();
    }
    ReplyCapture::Text reply;
    matcher.Capture().Take(reply);
    if (std::strlen(reply) > ReplyCapture::kReplyCap) std::abort();
    return 0;
}
