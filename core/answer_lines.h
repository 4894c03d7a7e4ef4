// The answer to one AT command as lines: the information lines, and the
// final result code that ends the answer. Lines end at CR or LF; empty lines
// are skipped. Unlike the line matcher, which keeps the card's 80-character
// lines, a line here may be long (a modem's list of country codes is), but
// both a line and the count of lines are bounded, so a modem that never
// stops talking costs nothing.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

enum class FinalResult { None, Ok, Error };

class AnswerLines {
public:
    static constexpr std::size_t kLineLimit = 1024;  // characters kept of a line
    static constexpr std::size_t kLineCount = 32;    // information lines kept

    // Forgets everything received: the next command's answer starts here.
    void Reset();
    // A line that is exactly "OK" or "ERROR" ends the answer; what comes
    // after it belongs to no answer and is dropped.
    void Feed(const char* bytes, std::size_t count);

    FinalResult Final() const { return m_final; }
    // The information lines before the final result code, the command's
    // echo among them when the modem echoes.
    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    void EndLine();

    std::string m_line;
    std::vector<std::string> m_lines;
    FinalResult m_final = FinalResult::None;
};
