// A port whose far end is the virtual modem's own command engine: the card
// or a gci modem, with every knob the tests set on the real one ("name=value
// ..."), answering each command with its echo and its timed reply. A port
// named "none" does not open; one whose knobs say silent=1 never answers.
// Given a rack, the port is whichever modem the rack has under the name
// opened, fresh at each open, and a name not in it does not open.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "core/modem_port.h"
#include "modem_engine.h"

namespace engine {

using Rack = std::map<std::string, std::string>;  // port name: knobs

class Port : public ModemPort {
public:
    Port() = default;
    explicit Port(Rack rack) : m_rack(std::move(rack)) {}

    // Knobs as the control channel takes them; false for a bad one.
    bool SetKnobs(const std::string& knobs);

    PortStatus Open(const char* name) override;
    PortStatus Configure() override { return {}; }
    bool IsOpen() const override { return m_open; }
    PortStatus Write(const char* bytes, std::size_t count) override;
    PortRead Read(char* buffer, std::size_t room, Deadline deadline) override;
    void StopReceiving() override { m_receiving = false; }
    void Release(PortRelease) override { m_open = false; }

    // Every byte written, in order.
    std::string Written() const;
    const ModemSettings& Settings() const { return m_engine.settings(); }

private:
    Rack m_rack;
    ModemEngine m_engine;
    std::vector<std::pair<ModemClock::time_point, std::string>> m_arrivals;  // in time order
    std::string m_written;
    bool m_open = false, m_receiving = false;
};

}  // namespace engine
