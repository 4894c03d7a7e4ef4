#include "core/answer_lines.h"

namespace {

struct ResultCode {
    FinalResult result;
    const char* word;
    const char* number;
};

// RING (2) is missing: it comes on its own, never as a command's answer.
const ResultCode kResultCodes[] = {
    {FinalResult::Ok, "OK", "0"},
    {FinalResult::Connect, "CONNECT", "1"},
    {FinalResult::NoCarrier, "NO CARRIER", "3"},
    {FinalResult::Error, "ERROR", "4"},
    {FinalResult::NoDialtone, "NO DIALTONE", "6"},
    {FinalResult::Busy, "BUSY", "7"},
    {FinalResult::NoAnswer, "NO ANSWER", "8"},
};

bool StartsWith(const std::string& line, const char* start) { return line.rfind(start, 0) == 0; }

FinalResult ResultOf(const std::string& line) {
    for (const ResultCode& code : kResultCodes)
        if (line == code.word || line == code.number) return code.result;
    // A connection's result names its speed: "CONNECT 33600".
    if (StartsWith(line, "CONNECT ")) return FinalResult::Connect;
    return FinalResult::None;
}

// A call coming in, announced whatever the modem is doing.
bool IsUnsolicited(const std::string& line) { return line == "RING" || line == "2" || StartsWith(line, "+CRING"); }

}  // namespace

const char* FinalResultText(FinalResult result) {
    for (const ResultCode& code : kResultCodes)
        if (code.result == result) return code.word;
    return "";
}

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
    if (m_line.empty() || IsUnsolicited(m_line)) {
        m_line.clear();
        return;
    }
    m_final = ResultOf(m_line);
    if (m_final == FinalResult::None && m_lines.size() < kLineCount) m_lines.push_back(m_line);
    m_line.clear();
}
