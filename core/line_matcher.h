// The line matcher and the reply capture of one modem connection: received
// bytes become lines, pattern hits and the captured reply. Used by one
// thread, the one that reads the port.
#pragma once
#include <cstddef>

#include "core/line_size.h"

// The reply capture: received characters other than CR and LF since the last
// reset, the first kReplyCap of them kept.
class ReplyCapture {
public:
    static constexpr unsigned kReplyCap = kLineSize - 2;
    using Text = char[kLineSize];

    void Reset() { m_length = 0; }
    // Stores c at the end; once full, every later character lands on the
    // last place, which the terminating zero of Take overwrites.
    void Append(char c);
    unsigned Length() const { return m_length; }
    // The capture as it stands, ended by a zero.
    void Take(Text& out) const;

private:
    Text m_text = {};
    unsigned m_length = 0;
};

// Lines end at CR or LF (a run of them inside one Feed ends one line), and a
// line longer than kLineSize wraps: only its characters after the last wrap
// are tested. A finished line that contains an active pattern raises found.
class LineMatcher {
public:
    // Replaces pattern 0 or 1 (empty text: inactive; longer than a line: cut).
    // A whole-line pattern matches only a line that is exactly its text,
    // others any line holding it, letter case as written.
    void SetPattern(int index, const char* text, bool wholeLine = false);
    // Appends the bytes to the line being assembled and to the capture. A
    // count of 0 or less does nothing.
    void Feed(const char* bytes, int count);

    // Set by the first finished line that held an active pattern; only Rearm clears it.
    bool Found() const { return m_found; }
    // Clears found and makes text the only pattern, for the next command's answer.
    void Rearm(const char* text, bool wholeLine);
    ReplyCapture& Capture() { return m_capture; }
    const ReplyCapture& Capture() const { return m_capture; }

private:
    bool LineMatches() const;

    char m_line[kLineSize + 1] = {};
    unsigned m_lineLen = 0;
    char m_patterns[2][kLineSize] = {};
    bool m_wholeLine[2] = {};
    bool m_found = false;
    ReplyCapture m_capture;
};
