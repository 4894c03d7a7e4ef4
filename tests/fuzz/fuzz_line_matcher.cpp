// Any bytes, fed in any slices, keep the line and the reply capture within
// their bounds, and found, once set, stays set.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "link/port_reader.h"
#include "link/reply_capture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    CPortReader reader;
    // The first byte picks the patterns, the second the slice length.
    reader.SetPattern(0, (data[0] & 1) ? kModemId1 : "OK");
    if (data[0] & 2) reader.SetPattern(1, kModemId2);
    const std::size_t slice = 1 + data[1] % 64;
    ResetReply();
    const char* bytes = reinterpret_cast<const char*>(data + 2);
    std::size_t left = size - 2;
    int wasFound = 0;
    while (left > 0) {
        const std::size_t n = left < slice ? left : slice;
        reader.Feed(bytes, static_cast<int>(n));
        bytes += n;
        left -= n;
        if (reader.lineLen >= 80 || g_replyLen.load() > kReplyCap) std::abort();
        if (wasFound && !reader.found.load()) std::abort();
        wasFound = reader.found.load();
    }
    char reply[80];
    TakeReply(reply);
    if (std::strlen(reply) > kReplyCap) std::abort();
    return 0;
}
