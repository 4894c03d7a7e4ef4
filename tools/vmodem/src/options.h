#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Options {
    struct Modem {
        int port;
        std::uint8_t country;
    };

    std::string dir;
    std::optional<std::uint16_t> control_port;  // none: no control channel
    std::vector<Modem> modems;
    std::string ready_file;  // empty: none
};

// Parses the command line; on failure returns nullopt and sets `error`.
std::optional<Options> parse_options(int argc, const char* const* argv, std::string& error);

extern const char* const kUsage;
