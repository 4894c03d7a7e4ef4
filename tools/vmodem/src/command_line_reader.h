#pragma once

#include <optional>
#include <string>

// Collects received bytes into AT command lines. A line ends with CR; bytes
// before the "AT" prefix (any case) are ignored, LF is dropped, and backspace
// or DEL removes the last command character.
class CommandLineReader {
public:
    struct Line {
        std::string body;  // the text after "AT"
        bool overflow;     // the body was longer than the modem accepts
    };

    // Returns the finished line when `c` completes one that holds a command.
    std::optional<Line> push(char c);

    // Forgets a partly received line.
    void reset();

private:
    static constexpr std::size_t kMaxBody = 256;

    enum class State { Seeking, SawA, InCommand };

    State state_ = State::Seeking;
    std::string body_;
    bool overflow_ = false;
};
