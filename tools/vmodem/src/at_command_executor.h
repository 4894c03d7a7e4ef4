#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "modem_settings.h"

// What one command line produced: information text lines and the final result.
struct CommandResult {
    std::vector<std::string> info;
    bool ok = true;
};

// Runs the commands of one line (the text after "AT") against the modem's
// settings. Commands run left to right; the first bad one ends the line with
// ERROR while the effects of those before it remain.
CommandResult execute_command_line(std::string_view body, ModemSettings& settings);
