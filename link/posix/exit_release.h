// Neither a lock file nor a port's changed settings may outlive the process
// that made them, however the process ends. Normal returns put them back
// through their owners; a signal that would end the process (SIGINT, SIGTERM,
// SIGHUP, SIGPIPE and the like) first puts back each armed port's line
// settings and clears its exclusive mode, then removes each armed lock file,
// then ends the process as the signal would. SIGKILL runs no code: the lock
// stays until the next taker finds it stale, and a pseudo-terminal, whose tty
// outlives our close, keeps our settings.
#pragma once
#include <sys/types.h>
#include <termios.h>

// Installs the handlers; once, at start-up.
void InstallExitRelease();

// The lock file at path, holding content, is removed if a signal ends the
// process, as long as it is still the file (device, inode) we linked; the
// strings are copied. Locks taken at once, by the threads of a detection,
// each have a slot of their own: the one returned, which Disarm takes back
// (-1 when all were taken; the lock then goes unguarded).
int ArmExitRelease(const char* path, const char* content, dev_t device, ino_t inode);
void DisarmExitRelease(int slot);

// The open port fd gets the line settings saved back, and loses exclusive
// mode when clearExclusive is set, if a signal ends the process. Disarm
// before the descriptor is closed.
int ArmPortRestore(int fd, const termios& saved, bool clearExclusive);
void DisarmPortRestore(int slot);
