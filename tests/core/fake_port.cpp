#include "tests/core/fake_port.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace fake {

void Port::Log(const std::string& what) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_calls.push_back({what, ModemClock::now()});
}

void Port::Schedule(Send::From from) {
    const ModemClock::time_point now = ModemClock::now();
    for (const Send& send : script)
        if (send.from == from) m_arrivals.push_back({now + send.after, send.bytes});
    std::stable_sort(m_arrivals.begin(), m_arrivals.end(),
                     [](const Arrival& a, const Arrival& b) { return a.at < b.at; });
}

PortStatus Port::Open(const char* name) {
    Log(std::string("open ") + name);
    m_open = openStatus.Ok();
    m_receiving = false;
    m_arrivals.clear();
    if (m_open) Schedule(Send::Open);
    return openStatus;
}

PortStatus Port::Configure() {
    Log("configure");
    if (!configureStatus.Ok() && configureCloses) m_open = false;
    m_receiving = m_open;
    return configureStatus;
}

PortStatus Port::Write(const char* bytes, std::size_t count) {
    Log("write " + std::string(bytes, count));
    Schedule(Send::Write);
    return {};
}

PortRead Port::Read(char* buffer, std::size_t room, Deadline deadline) {
    PortRead read;
    if (!m_open || !m_receiving) return read;
    if (!readStatus.Ok()) {
        read.status = readStatus;
        return read;
    }
    // The first arrival, once its time has come: the modem's pieces reach
    // the reader one at a time, as a line delivers them.
    if (m_arrivals.empty() || m_arrivals.front().at > deadline) {
        std::this_thread::sleep_until(deadline);
        return read;
    }
    std::this_thread::sleep_until(m_arrivals.front().at);
    Arrival& next = m_arrivals.front();
    read.count = std::min(room, next.bytes.size());
    std::memcpy(buffer, next.bytes.data(), read.count);
    next.bytes.erase(0, read.count);
    if (next.bytes.empty()) m_arrivals.erase(m_arrivals.begin());
    return read;
}

void Port::StopReceiving() {
    Log("stop");
    m_receiving = false;
}

void Port::Release(PortRelease how) {
    if (!m_open) return;
    Log(how == PortRelease::Close ? "close" : "drop and close");
    m_open = false;
}

std::vector<Call> Port::Calls() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_calls;
}

ModemClock::time_point Port::When(const std::string& what) const {
    for (const Call& call : Calls())
        if (call.what.compare(0, what.size(), what) == 0) return call.at;
    return {};
}

std::string Port::Written() const {
    std::string bytes;
    for (const Call& call : Calls())
        if (call.what.compare(0, 6, "write ") == 0) bytes += call.what.substr(6);
    return bytes;
}

}  // namespace fake
