// A lock file must not outlive the process that took it, however the
// process ends. Normal returns release it through their owners; a signal
// that would end the process (SIGINT, SIGTERM, SIGHUP, SIGPIPE and the like)
// first removes the armed lock file, then ends the process as the signal would.
// The port itself needs no such care: the kernel closes it, which releases
// its flock and exclusive mode, and drops DTR through HUPCL.
#pragma once

// Installs the handlers; once, at start-up.
void InstallExitRelease();
// The lock file at path, holding content, is removed if a signal ends the
// process; both strings are copied. Locks taken at once, by the threads of a
// detection, each have a slot of their own: the one returned, which Disarm
// takes back (-1 when all were taken; the lock then goes unguarded).
int ArmExitRelease(const char* path, const char* content);
void DisarmExitRelease(int slot);
