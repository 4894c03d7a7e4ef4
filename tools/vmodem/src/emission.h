#pragma once

#include <cstdint>
#include <string>

// Bytes the modem wants to put on the line in answer to received input.
struct Emission {
    enum class Kind { Echo, Reply };

    Kind kind;
    std::uint32_t delay_ms;    // earliest, after the input that caused it arrived
    std::uint32_t spacing_ms;  // at least this long after the previous piece of the same reply
    std::string bytes;
};
