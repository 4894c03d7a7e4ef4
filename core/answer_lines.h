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

// The final result codes of a command. A modem writes each as a word
// ("NO CARRIER") or, after ATV0, as its number ("3").
enum class FinalResult { None, Ok, Connect, NoCarrier, Error, NoDialtone, Busy, NoAnswer };

// The result code's word: "OK", "NO CARRIER"; "" for None.
const char* FinalResultText(FinalResult result);

class AnswerLines {
public:
    static constexpr std::size_t kLineLimit = 1024;  // characters kept of a line
    static constexpr std::size_t kLineCount = 32;    // information lines kept

    // Forgets everything received: the next command's answer starts here.
    void Reset();
    // A line that is a final result code, in words or in numbers, ends the
    // answer; what comes after it belongs to no answer and is dropped. A
    // line the modem sends on its own (RING, +CRING, RING's number 2) is no
    // part of any answer and is skipped.
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
