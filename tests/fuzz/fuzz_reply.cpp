// Any bytes, fed in any slices, keep what the core reads of a modem's reply
// within its bounds: the line matcher's line and its capture (the sanitizers
// watch the line), and a command's answer, its lines and their count. Found
// and a final result code, once there, stay. Whatever the answer's lines
// hold, the +GCI readings give a code of one octet or none, and a list only
// with a code in it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/answer_lines.h"
#include "core/gci_reply.h"
#include "core/line_matcher.h"
#include "core/modem_commands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    LineMatcher matcher;
    AnswerLines answer;
    // The first byte picks the matcher's patterns, the second the slice length.
    matcher.SetPattern(0, (data[0] & 1) ? kModemId1 : kAcknowledgement, (data[0] & 4) != 0);
    if (data[0] & 2) matcher.SetPattern(1, kModemId2);
    const std::size_t slice = 1 + data[1] % 64;
    bool wasFound = false;
    FinalResult final = FinalResult::None;
    for (std::size_t at = 2; at < size; at += slice) {
        const char* bytes = reinterpret_cast<const char*>(data + at);
        const std::size_t n = std::min(slice, size - at);
        matcher.Feed(bytes, static_cast<int>(n));
        answer.Feed(bytes, n);
        if (matcher.Capture().Length() > ReplyCapture::kReplyCap) std::abort();
        if (wasFound && !matcher.Found()) std::abort();
        if (final != FinalResult::None && answer.Final() != final) std::abort();
        wasFound = matcher.Found();
        final = answer.Final();
    }
    ReplyCapture::Text reply;
    matcher.Capture().Take(reply);
    if (std::strlen(reply) > ReplyCapture::kReplyCap) std::abort();
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
