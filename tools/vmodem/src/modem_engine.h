#pragma once

#include <string_view>
#include <vector>

#include "command_line_reader.h"
#include "emission.h"
#include "modem_settings.h"

// The modem's command interpreter: received bytes in, echo and timed replies
// out. It knows nothing about ports or clocks, so it is tested on its own.
class ModemEngine {
public:
    // Emissions in the order they belong on the line.
    std::vector<Emission> feed(std::string_view input);

    // Forgets a partly received command line (the line went away).
    void reset_line() { reader_.reset(); }

    // What the modem sends on its own when a call comes in: RING as a
    // result code; nothing from a silent or a quiet modem.
    std::string ring() const;

    ModemSettings& settings() { return settings_; }
    const ModemSettings& settings() const { return settings_; }

private:
    ModemSettings settings_;
    CommandLineReader reader_;
};
