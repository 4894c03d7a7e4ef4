// The timed steps of one modem operation on a port connection: every pause
// that the program makes around the link lives in port_steps.cpp, shared by
// the main window and the command-line companion.
#pragma once
#include <atomic>

#include "link/port_connection.h"

// Opens the port and, after the settling pause, configures it; starts the
// reader (the identification patterns in probe mode) and pauses again; in
// probe mode issues "ati3" last, so the probe window starts on return.
// Returns the connection's record.
CPortReader* OpenPortTimed(PortConnection& link, std::atomic<int>& stopFlag, int port, bool probe);
// Writes "at<command>\r\n" to the open port.
void SendAtCommand(PortConnection& link, const char* command);
// After a detection probe: no pause.
void ClosePortNow(PortConnection& link);
// After a query or a setting: 100 ms, then a beep.
void ClosePortAfterCommandTimed(PortConnection& link);
// When the user quits: 100 ms dispatching messages, DTR dropped, queues purged.
void ReleasePortOnQuitTimed(PortConnection& link);
