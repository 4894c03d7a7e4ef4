#include "link/port_reader.h"

#include <cstring>

#include "link/reply_capture.h"

const char kModemId1[] = "QTRXFM330HWNF1*GEN";
const char kModemId2[] = "QTRXPM330HWTF1*GEN";

namespace {
constexpr unsigned kLineWrap = 80;
}

void CPortReader::Feed(const char* bytes, int count) {
    if (count <= 0) return;
    ReplyCaptureWriter capture;
    bool afterLineEnd = false;  // the previous byte of this call ended a line
    for (int i = 0; i < count; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            line[lineLen] = c;
            capture.Append(c);
            if (++lineLen == kLineWrap) lineLen = 0;
            afterLineEnd = false;
        } else if (!afterLineEnd) {
            line[lineLen] = '\0';
            if (!found.load() && LineMatches()) found.store(1);
            lineLen = 0;
            afterLineEnd = true;
        }
    }
}

bool CPortReader::LineMatches() {
    std::lock_guard<std::mutex> hold(patternLock);
    for (int i = 0; i < 2; ++i) {
        const char* pattern = patterns[i];
        if (!pattern[0]) continue;
        if (wholeLine[i] ? lineLen == std::strlen(pattern) && std::memcmp(line, pattern, lineLen) == 0
                         : std::strstr(line, pattern) != nullptr)
            return true;
    }
    return false;
}

void CPortReader::SetPattern(int index, const char* text, bool wholeLineOnly) {
    std::lock_guard<std::mutex> hold(patternLock);
    wholeLine[index] = wholeLineOnly;
    char* pattern = patterns[index];
    std::strncpy(pattern, text, sizeof(patterns[0]) - 1);
    pattern[sizeof(patterns[0]) - 1] = '\0';
}
