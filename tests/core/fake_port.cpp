#include "tests/core/fake_port.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace fake {

void Port::Schedule(Send::From from) {
    for (const Send& send : script)
        if (send.from == from) m_arrivals.emplace_back(ModemClock::now() + send.after, send.bytes);
    std::stable_sort(m_arrivals.begin(), m_arrivals.end(), [](auto& a, auto& b) { return a.first < b.first; });
}

PortStatus Port::Open(const char* name) {
    Log(std::string("open ") + name);
    m_open = openStatus.Ok();
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

// The modem's pieces reach the reader one at a time, each once its time has
// come; whether a piece is in time depends on its time, not on when the
// reader gets to it, so the rows hold on a busy machine too.
PortRead Port::Read(char* buffer, std::size_t room, Deadline deadline) {
    PortRead read;
    if (!m_open || !m_receiving) return read;
    if (!readStatus.Ok()) return {0, readStatus};
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

void Port::Release(PortRelease how) {
    if (!m_open) return;
    Log(how == PortRelease::Close ? "close" : "drop and close");
    m_open = false;
}

ModemClock::time_point Port::When(const std::string& what) const {
    for (const Call& call : calls)
        if (call.what.compare(0, what.size(), what) == 0) return call.at;
    return {};
}

std::string Port::Written() const {
    std::string bytes;
    for (const Call& call : calls)
        if (call.what.compare(0, 6, "write ") == 0) bytes += call.what.substr(6);
    return bytes;
}

}  // namespace fake
