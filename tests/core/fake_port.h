// A port whose modem is a script: the bytes it sends, each so long after the
// open or after a write, and the faults of the port itself. It logs every
// call ("open COM3", "configure", "write <bytes>", "stop", "close", "drop and
// close") with the time it came.
#pragma once
#include <chrono>
#include <string>
#include <vector>

#include "core/modem_port.h"

namespace fake {

using Ms = std::chrono::milliseconds;

struct Send {
    enum From { Open, Write } from;
    Ms after;
    std::string bytes;
};

struct Call {
    std::string what;
    ModemClock::time_point at;
};

class Port : public ModemPort {
public:
    // The port's faults: configureCloses makes a failed setting leave no port.
    PortStatus openStatus, configureStatus, readStatus;
    bool configureCloses = false;
    std::vector<Send> script;
    std::vector<Call> calls;

    PortStatus Open(const char* name) override;
    PortStatus Configure() override;
    bool IsOpen() const override { return m_open; }
    PortStatus Write(const char* bytes, std::size_t count) override;
    PortRead Read(char* buffer, std::size_t room, Deadline deadline) override;
    void StopReceiving() override {
        Log("stop");
        m_receiving = false;
    }
    void Release(PortRelease how) override;

    // The time of the first call that begins with what.
    ModemClock::time_point When(const std::string& what) const;
    std::string Written() const;

private:
    void Log(const std::string& what) { calls.push_back({what, ModemClock::now()}); }
    void Schedule(Send::From from);

    std::vector<std::pair<ModemClock::time_point, std::string>> m_arrivals;  // in time order
    bool m_open = false, m_receiving = false;
};

}  // namespace fake
