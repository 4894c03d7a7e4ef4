#include "tests/core/engine_port.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <thread>

#include "engine_knobs.h"

namespace engine {

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

PortStatus Port::Open(const char* name) {
    const auto modem = m_rack.find(name);
    m_open = m_rack.empty() ? std::strcmp(name, "none") != 0 : modem != m_rack.end();
    if (modem != m_rack.end()) {
        m_engine = ModemEngine();
        SetKnobs(modem->second);
    }
    m_receiving = m_open;
    m_arrivals.clear();
    m_engine.reset_line();
    if (!m_open)
        return PortStatus::Failure(PortFault::NoSuchPort, "open", 2, std::string(name) + ": no such port");
    return {};
}

PortStatus Port::Write(const char* bytes, std::size_t count) {
    m_written.append(bytes, count);
    const ModemClock::time_point now = ModemClock::now();
    ModemClock::time_point last = now;
    for (const Emission& emission : m_engine.feed(std::string_view(bytes, count))) {
        last = std::max(now + std::chrono::milliseconds(emission.delay_ms),
                        last + std::chrono::milliseconds(emission.spacing_ms));
        m_arrivals.emplace_back(last, emission.bytes);
    }
    std::stable_sort(m_arrivals.begin(), m_arrivals.end(), [](auto& a, auto& b) { return a.first < b.first; });
    return {};
}

PortRead Port::Read(char* buffer, std::size_t room, Deadline deadline) {
    PortRead read;
    if (!m_open || !m_receiving) return read;
    if (m_arrivals.empty() || m_arrivals.front().first > deadline) {
        std::this_thread::sleep_until(deadline);
        return read;
    }
    std::this_thread::sleep_until(m_arrivals.front().first);
    std::string& next = m_arrivals.front().second;
    read.count = std::min(room, next.size());
    std::memcpy(buffer, next.data(), read.count);
    next.erase(0, read.count);
    if (next.empty()) m_arrivals.erase(m_arrivals.begin());
    return read;
}

std::string Port::Written() const { return m_written; }

}  // namespace engine
