// What the link tests observe from outside the program's connection: the
// virtual modem's view of the line, the process's threads and handles, and
// one clock for both sides.
#pragma once
#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "tools/driver/vmodem_client.h"

namespace lnk {

// Milliseconds of the system clock (100 ns resolution under Wine).
double SystemMs();
double FileTimeMs(const FILETIME& time);

// Maps this process's system clock onto the virtual modem's clock, from one
// "now" request bracketed by two local readings.
class ModemClock {
public:
    bool Align(drv::VModemClient& modem);
    double ToModem(double systemMs) const { return systemMs + offset_; }
    double Now() const { return ToModem(SystemMs()); }

private:
    double offset_ = 0;
};

// The threads of this process now.
std::set<DWORD> ThreadIds();
// Opens the one thread that is new since `before` and still runs (Wine's own
// short-lived helper threads are left out); nullptr unless there is exactly one.
HANDLE OpenNewThread(const std::set<DWORD>& before);
// When the thread was created, in system milliseconds.
double ThreadCreatedMs(HANDLE thread);
bool ThreadEnded(HANDLE thread);

// The kernel object name behind a handle ("\Device\Serial1"), or empty when
// the handle is not open.
std::wstring ObjectName(HANDLE handle);

// Opens COMn exclusively and overlapped, as the program does.
HANDLE OpenComPort(int port);
// Holds handles until this process's handle table gives out `value` again,
// so that a stale close of that value would hit a handle of ours. Returns
// every handle taken (the one with the value last), or nothing when the
// value does not come back.
std::vector<HANDLE> TakeHandleValue(HANDLE value, HANDLE first);

// All bytes the modem received, or sent, in order.
std::string Received(const std::vector<drv::TranscriptEntry>& entries);
std::string Sent(const std::vector<drv::TranscriptEntry>& entries);

// The program's reply capture as it stands.
std::string Capture();

}  // namespace lnk
