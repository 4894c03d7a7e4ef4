#pragma once

#include <string>
#include <string_view>

#include "clock.h"
#include "modem_rack.h"

struct ControlAnswer {
    std::string text;  // ends with "OK\n" or is a single "ERR <reason>\n"
    bool quit = false;
};

// Carries out one control-channel request line (without its line end).
// A rejected request leaves every modem as it was.
ControlAnswer handle_control_request(std::string_view line, ModemRack& rack, const Clock& clock);
