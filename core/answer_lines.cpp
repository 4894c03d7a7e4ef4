#include "core/answer_lines.h"

void AnswerLines::Reset() {
    m_line.clear();
    m_lines.clear();
    m_final = FinalResult::None;
}

void AnswerLines::Feed(const char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count && m_final == FinalResult::None; ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n')
            EndLine();
        else if (m_line.size() < kLineLimit)
            m_line += c;
    }
}

void AnswerLines::EndLine() {
    if (m_line.empty()) return;
    if (m_line == "OK")
        m_final = FinalResult::Ok;
    else if (m_line == "ERROR")
        m_final = FinalResult::Error;
    else if (m_lines.size() < kLineCount)
        m_lines.push_back(m_line);
    m_line.clear();
}
