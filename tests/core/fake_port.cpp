#include "tests/core/fake_port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <thread>
#include <utility>

#include "engine_knobs.h"

namespace fake {

bool Port::SetKnobs(const std::string& knobs) {
    std::istringstream words(knobs);
    for (std::string knob; words >> knob;) {
        const std::size_t equals = knob.find('=');
        if (equals == std::string::npos ||
            set_knob(m_engine.settings(), knob.substr(0, equals), knob.substr(equals + 1)))
            return false;
    }
    return true;
}

// The port opened or not as the rack says, its modem fresh, its rings due.
PortStatus Port::Open(const char* name) {
    calls.push_back(std::string("open ") + name);
    const auto modem = m_rack.find(name);
    if (modem != m_rack.end()) {
        m_engine = ModemEngine();
        EXPECT_TRUE(SetKnobs(modem->second)) << name << ": " << modem->second;
    }
    const bool exists = m_rack.empty() || modem != m_rack.end();
    if (!exists)
        faults.open = PortStatus::Failure(PortFault::NoSuchPort, "open", 2, std::string(name) + ": no such port");
    m_engine.reset_line();
    m_openedAt = ModemClock::now();
    m_kept = 0;
    m_open = faults.open.Ok();
    m_arrivals.clear();
    std::this_thread::sleep_for(openTakes);
    if (!m_open) return faults.open;
    for (const Send& send : script) m_arrivals.emplace(m_openedAt + send.after, send.bytes);
    const Ms every(m_engine.settings().ring_ms);
    if (every.count() > 0)
        for (Ms at = every; at < Ms(5000); at += every) m_arrivals.emplace(m_openedAt + at, m_engine.ring());
    return faults.open;
}

PortStatus Port::Configure() {
    calls.push_back("configure");
    if (!faults.configure.Ok() && faults.configureCloses) m_open = false;
    m_receiving = m_open;
    return faults.configure;
}

// The engine's answer arrives on the port, each piece at its delay from the
// write (or from the modem's waking) and its spacing from the one before.
bool Port::Answer(std::string_view heard) {
    ModemClock::time_point at = ModemClock::now();
    const ModemClock::time_point wake = m_openedAt + Ms(m_engine.settings().deaf_ms);
    if (at < wake) {
        if (!m_engine.settings().deafkeep) return false;
        at = wake + Ms(10) * m_kept++;
    }
    ModemClock::time_point last = at;
    for (const Emission& emission : m_engine.feed(heard)) {
        last = std::max(at + Ms(emission.delay_ms), last + Ms(emission.spacing_ms));
        m_arrivals.emplace(last, emission.bytes);
    }
    return true;
}

PortStatus Port::Write(const char* bytes, std::size_t count) {
    if (Answer(std::string_view(bytes, count)) && !later.empty()) {
        EXPECT_TRUE(SetKnobs(later)) << later;
        later.clear();
    }
    calls.push_back("write " + std::string(bytes, count));
    written.append(bytes, count);
    return {};
}

PortRead Port::Read(char* buffer, std::size_t room, Deadline deadline) {
    PortRead read;
    if (!m_open || !m_receiving) return read;
    if (!faults.read.Ok()) return {0, faults.read};
    if (m_arrivals.empty() || m_arrivals.begin()->first > deadline) {
        std::this_thread::sleep_until(deadline);
        return read;
    }
    std::this_thread::sleep_until(m_arrivals.begin()->first);
    std::string& next = m_arrivals.begin()->second;
    read.count = std::min(room, next.size());
    std::memcpy(buffer, next.data(), read.count);
    next.erase(0, read.count);
    if (next.empty()) m_arrivals.erase(m_arrivals.begin());
    return read;
}

void Port::Release(PortRelease how) {
    if (!m_open) return;
    calls.push_back(how == PortRelease::Close ? "close" : "drop and close");
    m_open = false;
}

}  // namespace fake
