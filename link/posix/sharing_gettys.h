// The gettys that share their line with dial-out programs the UUCP way:
// while they wait for a call they keep the port open without a lock and
// never read from it; when characters arrive and another program holds a
// valid lock file for the port, they leave the port alone, wait for the lock
// to go and exit, and init or systemd starts a fresh one, which initialises
// the modem again. Taking the lock before talking is all they ask.
#pragma once
#include <string>

// Whether a process of this command name (/proc/<pid>/comm) is such a getty.
bool SharesLineThroughLocks(const std::string& command);
