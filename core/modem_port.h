// The serial port as the modem operations see it. Each platform's back end
// implements it (link/port_connection for Windows, link/posix/posix_port for
// Linux); the operations drive it and know nothing of the platform, its
// handles or its threads.
//
// All calls come from one thread, the caller's. A back end may read the line
// on a thread of its own meanwhile, but hands the bytes over only in Read.
#pragma once
#include <chrono>
#include <cstddef>
#include <string>

// Why a call on the port failed.
enum class PortFault {
    None,
    NoSuchPort,    // the name names no port, or its device has gone
    InUse,         // another program holds the port
    NoPermission,  // the user may not open the device
    Failed,        // any other failure of a call on the port
};

// The outcome of one call on the port.
struct PortStatus {
    PortFault fault = PortFault::None;
    int systemError = 0;    // the system's own code: GetLastError(), errno
    const char* call = "";  // the system call that failed: "SetCommState", "tcsetattr"
    std::string detail;     // what else the user should be told (who holds the port, say)

    bool Ok() const { return fault == PortFault::None; }
    static PortStatus Failure(PortFault fault, const char* call, int systemError, std::string detail = {}) {
        return PortStatus{fault, systemError, call, std::move(detail)};
    }
};

using ModemClock = std::chrono::steady_clock;
using Deadline = ModemClock::time_point;

// What a Read handed over: count bytes, and the status of the reading.
struct PortRead {
    std::size_t count = 0;
    PortStatus status;
};

// How a port is let go: plainly, or as the program leaves it when it quits,
// with DTR dropped and both queues emptied first.
enum class PortRelease { Close, DropLineAndClose };

class ModemPort {
public:
    virtual ~ModemPort() = default;

    // Opens the named port ("COM3", "/dev/ttyUSB0") for exclusive use. A port
    // still open is released first.
    virtual PortStatus Open(const char* name) = 0;
    // Makes the open port ready for the modem: 19200 bit/s, 8 data bits, no
    // parity bit, one stop bit, CTS and DSR output flow control, DTR and RTS
    // handshake, XON/XOFF off; reception starts. A failure is reported and
    // changes nothing else: the port stays open, and is worked as well as it
    // can be, unless the back end found it unusable and released it
    // (IsOpen() tells).
    virtual PortStatus Configure() = 0;
    virtual bool IsOpen() const = 0;
    // When the open port's device itself was opened, for a back end whose
    // Open goes on working after that (looking at who else holds the
    // device): the prompt pace counts the settling pause from there. The
    // epoch when the back end does not say; the pause then counts from the
    // return of Open.
    virtual ModemClock::time_point OpenedAt() const { return {}; }

    // Hands the bytes to the port and returns without waiting for them to go
    // out: a modem that holds CTS low keeps them for the write timeout, and
    // the reply windows start at the write. A write still in flight is
    // finished first. Writes nothing while no port is open.
    virtual PortStatus Write(const char* bytes, std::size_t count) = 0;
    // Waits until received bytes are there or the deadline has passed, then
    // copies at most room of them into buffer in arrival order. A deadline
    // already past takes what has arrived without waiting. Returns at once,
    // with nothing, while no port is open. A failed reading is reported in
    // the status; the operations sleep out the wait it came in and read again
    // at the next.
    virtual PortRead Read(char* buffer, std::size_t room, Deadline deadline) = 0;

    // Ends reception: nothing received from here on reaches a Read. The
    // first step of every teardown; the port stays open until Release.
    virtual void StopReceiving() = 0;
    // Closes the port. Does nothing while no port is open.
    virtual void Release(PortRelease how) = 0;
};
