#pragma once

#include <array>
#include <memory>
#include <string>

#include "clock.h"
#include "modem_port.h"

// The modems on COM1..COM6; modem n appears as <dir>/com<n> while present.
class ModemRack {
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 6;

    ModemRack(std::string dir, const Clock& clock);  // creates dir; may throw

    // Puts a fresh modem with default settings on port n (replacing any
    // old one) and makes it present. May throw std::system_error.
    ModemPort& attach(int n);
    void detach(int n);
    ModemPort* find(int n);
    const ModemPort* find(int n) const;

private:
    std::string dir_;
    const Clock& clock_;
    std::array<std::unique_ptr<ModemPort>, kLastPort + 1> ports_;  // index = port number
};
