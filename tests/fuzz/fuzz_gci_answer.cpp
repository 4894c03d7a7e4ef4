// Any bytes, fed in any slices, keep a command's answer within its bounds
// (lines and their count), and whatever its lines hold, the +GCI readings
// give a code of one octet or none, and a list only with a code in it.
#include <cstdint>
#include <cstdlib>

#include "core/answer_lines.h"
#include "core/gci_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    AnswerLines answer;
    // The first byte picks the slice length.
    const std::size_t slice = 1 + data[0] % 64;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    std::size_t left = size - 1;
    FinalResult final = FinalResult::None;
    while (left > 0) {
        const std::size_t n = left < slice ? left : slice;
        answer.Feed(bytes, n);
        bytes += n;
        left -= n;
        // A final result code, once there, stays the one.
        if (final != FinalResult::None && answer.Final() != final) std::abort();
        final = answer.Final();
    }
    if (answer.Lines().size() > AnswerLines::kLineCount) std::abort();
    for (const std::string& line : answer.Lines())
        if (line.empty() || line.size() > AnswerLines::kLineLimit) std::abort();
    const int code = ParseGciCountry(answer.Lines());
    if (code < -1 || code > 255) std::abort();
    GciCodeSet codes;
    std::string listed;
    if (ParseGciList(answer.Lines(), codes, listed) && codes.none()) std::abort();
    return 0;
}
