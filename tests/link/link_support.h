// What the link tests observe from outside a connection: the virtual modem's
// view of the line, the process's threads and handles.
#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "tools/driver/vmodem_client.h"

namespace lnk {

// The threads of this process now.
std::set<DWORD> ThreadIds();
bool ThreadEnded(HANDLE thread);
// A handle of our own to the thread, valid after the connection closes its own.
HANDLE CopyHandle(HANDLE handle);

// The kernel object name behind a handle ("\Device\Serial1"), or empty when
// the handle is not open.
std::wstring ObjectName(HANDLE handle);

// Opens COMn exclusively and overlapped, as the program does.
HANDLE OpenComPort(int port);
// Stops the output of COMn's line (XOFF on the tty), as a modem that holds
// CTS low would: a write to it waits for the whole write timeout.
bool HoldLine(int port);
// Holds handles until this process's handle table gives out `value` again,
// so that a stale close of that value would hit a handle of ours. Returns
// every handle taken (the one with the value last), or nothing when the
// value does not come back.
std::vector<HANDLE> TakeHandleValue(HANDLE value, HANDLE first);

// All bytes the modem received, in order.
std::string Received(const std::vector<drv::TranscriptEntry>& entries);

}  // namespace lnk
