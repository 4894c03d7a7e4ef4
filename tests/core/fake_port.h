// A port whose modem is a script: the bytes it sends, each so long after the
// open or after a write, and the faults of the port itself. It logs every
// call with the time it came.
#pragma once
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "core/modem_port.h"

namespace fake {

using Ms = std::chrono::milliseconds;

// Bytes the modem sends: after the open, or after the write of the command.
struct Send {
    enum From { Open, Write } from;
    Ms after;
    std::string bytes;
};

// One call on the port, with its time.
struct Call {
    std::string what;  // "open COM3", "configure", "write <bytes>", "stop", "close", "drop and close"
    ModemClock::time_point at;
};

class Port : public ModemPort {
public:
    // The faults of this port: its open, its settings (configureCloses: a
    // failed setting leaves the port unusable, and closed) and its reading.
    PortStatus openStatus;
    PortStatus configureStatus;
    bool configureCloses = false;
    PortStatus readStatus;
    // The modem's part.
    std::vector<Send> script;

    PortStatus Open(const char* name) override;
    PortStatus Configure() override;
    bool IsOpen() const override { return m_open; }
    PortStatus Write(const char* bytes, std::size_t count) override;
    PortRead Read(char* buffer, std::size_t room, Deadline deadline) override;
    void StopReceiving() override;
    void Release(PortRelease how) override;

    std::vector<Call> Calls() const;
    // The time of the first call that begins with what; the epoch when none did.
    ModemClock::time_point When(const std::string& what) const;
    // Everything written, in order.
    std::string Written() const;

private:
    struct Arrival {
        ModemClock::time_point at;
        std::string bytes;
    };
    void Log(const std::string& what);
    void Schedule(Send::From from);

    mutable std::mutex m_lock;
    std::vector<Call> m_calls;
    std::vector<Arrival> m_arrivals;  // in order of their times
    bool m_open = false;
    bool m_receiving = false;
};

}  // namespace fake
