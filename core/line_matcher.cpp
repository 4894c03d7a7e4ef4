#include "core/line_matcher.h"

#include <cstring>

void ReplyCapture::Append(char c) {
    m_text[m_length] = c;
    if (m_length < kReplyCap) ++m_length;
}

void ReplyCapture::Take(Text& out) const {
    std::memcpy(out, m_text, m_length);
    out[m_length] = '\0';
}

void LineMatcher::Feed(const char* bytes, int count) {
    bool afterLineEnd = false;  // the previous byte of this call ended a line
    for (int i = 0; i < count; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            m_line[m_lineLen] = c;
            m_capture.Append(c);
            if (++m_lineLen == kLineSize) m_lineLen = 0;
            afterLineEnd = false;
        } else if (!afterLineEnd) {
            m_line[m_lineLen] = '\0';
            if (!m_found && LineMatches()) m_found = true;
            m_lineLen = 0;
            afterLineEnd = true;
        }
    }
}

bool LineMatcher::LineMatches() const {
    for (int i = 0; i < 2; ++i) {
        const char* pattern = m_patterns[i];
        if (!pattern[0]) continue;
        if (m_wholeLine[i] ? m_lineLen == std::strlen(pattern) && std::memcmp(m_line, pattern, m_lineLen) == 0
                           : std::strstr(m_line, pattern) != nullptr)
            return true;
    }
    return false;
}

void LineMatcher::SetPattern(int index, const char* text, bool wholeLine) {
    m_wholeLine[index] = wholeLine;
    char* pattern = m_patterns[index];
    std::strncpy(pattern, text, kLineSize - 1);
    pattern[kLineSize - 1] = '\0';
}

void LineMatcher::Rearm(const char* text, bool wholeLine) {
    m_found = false;
    SetPattern(0, text, wholeLine);
    SetPattern(1, "");
}
