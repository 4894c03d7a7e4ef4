// A port whose far end is the virtual modem's own command engine: the card
// or a gci modem, with every knob the tests set on the real one ("name=value
// ..."), answering each command with its echo and its timed reply. As the
// real one's port does, it rings the line (ring=ms) and is deaf after the
// open (deaf=ms), losing what it hears or answering it on waking
// (deafkeep=1), a line each 10 ms. Knobs given as later take effect once
// the first command line is answered; a knob the engine refuses fails the
// test. Besides its answers the modem sends the bytes of a script, and the
// port has faults of its own. Given a rack, the port is whichever modem the
// rack has under the name opened, fresh at each open, and a name not in it
// does not open.
//
// The bytes reach the reader one piece at a time, each once its time has
// come; whether a piece is in time depends on its time, not on when the
// reader gets to it, so the rows hold on a busy machine too.
#pragma once
#include <chrono>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/modem_port.h"
#include "modem_engine.h"

namespace fake {

using Ms = std::chrono::milliseconds;
using Rack = std::map<std::string, std::string>;  // port name: knobs

// Bytes of the script, so long after the open.
struct Send {
    Ms after;
    std::string bytes;
};

// The port's faults: configureCloses makes a failed setting leave no port.
struct Faults {
    PortStatus open, configure, read;
    bool configureCloses = false;
};

// It logs every call ("open COM3", "configure", "write <bytes>", "stop",
// "close", "drop and close").
class Port : public ModemPort {
public:
    Port() = default;
    explicit Port(Rack rack) : m_rack(std::move(rack)) {}

    // Knobs as the control channel takes them; false for a bad one.
    bool SetKnobs(const std::string& knobs);
    std::string later;
    std::vector<Send> script;
    Faults faults;
    // How long Open takes after the device has opened (a back end's look at
    // who else holds the port), and whether OpenedAt tells when that was.
    Ms openTakes{0};
    bool tellsOpenedAt = false;
    std::vector<std::string> calls;
    std::string written;  // every byte written, in order

    PortStatus Open(const char* name) override;
    ModemClock::time_point OpenedAt() const override {
        return tellsOpenedAt ? m_openedAt : ModemClock::time_point{};
    }
    PortStatus Configure() override;
    bool IsOpen() const override { return m_open; }
    PortStatus Write(const char* bytes, std::size_t count) override;
    PortRead Read(char* buffer, std::size_t room, Deadline deadline) override;
    void StopReceiving() override {
        calls.push_back("stop");
        m_receiving = false;
    }
    void Release(PortRelease how) override;

private:
    // The engine's answer to what it heard; false when the modem was deaf and lost it.
    bool Answer(std::string_view heard);

    // What the far end sends, by the time it arrives; bytes due at one time in the order sent.
    std::multimap<ModemClock::time_point, std::string> m_arrivals;
    bool m_open = false, m_receiving = false;
    ModemClock::time_point m_openedAt;
    Rack m_rack;
    ModemEngine m_engine;
    int m_kept = 0;  // lines heard while deaf, for a modem that keeps them
};

}  // namespace fake
