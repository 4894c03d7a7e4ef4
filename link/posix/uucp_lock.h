// The UUCP lock file that serial programs on Linux agree on: LCK..<device> in
// the lock directory, holding the PID of the process that uses the device.
// A fax server, a dialler or a terminal program that holds one is using the
// modem, and we must not open the port under it.
#pragma once
#include <sys/types.h>

#include <functional>
#include <string>

// Where lock files live: $KORVANE_LOCK_DIR when set (tests and unusual
// systems), else /run/lock when it is a directory, else /var/lock.
std::string LockDirectory();

// The lock file's name for a device path: "LCK.." and the path after /dev/,
// with any further slash written as an underscore (/dev/pts/3: LCK..pts_3).
std::string LockFileName(const std::string& devicePath);

// The PID in a lock file's content, in the forms serial programs write:
// ASCII digits with or without leading blanks, newline (or CR LF) or trailing
// words (" 1234\n", "1234", "1234 minicom root\n"), or a 4-byte binary PID
// (old UUCP and Kermit). 0 when the content holds none.
pid_t ParseLockPid(const std::string& content);

// What became of an attempt to take the lock.
enum class LockResult {
    Taken,        // the lock file is ours until Release
    InUse,        // the port is locked: Holder() says by what
    NotWritable,  // the directory takes no lock file from us; nothing was changed
};

class UucpLock {
public:
    UucpLock() = default;
    ~UucpLock() { Release(); }
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    // Takes LCK..<device> in directory. A lock whose process is gone, or an
    // empty one older than a few seconds, is stale: it is removed, once a
    // second look finds the same file with the same content, and staleNote
    // says so in one line. Anything else under the lock's name locks the
    // port: a live process's lock (ours too: a port taken twice in one run),
    // a file that is not a regular file, one we may not read, and content
    // that names no process, until someone removes it.
    LockResult Take(const std::string& directory, const std::string& devicePath);
    // Removes the lock file if it is still the file we linked, with our PID.
    void Release();

    // InUse: what locks the port, for a message: "PID 812 (cu) in /run/lock",
    // "/run/lock/LCK..ttyS0, which is not a regular file".
    std::string Holder() const { return m_holder; }
    pid_t holderPid = 0;        // InUse: the live process that holds it; 0 when none is named
    std::string holderCommand;  // its command, from /proc; "unknown" when it cannot be read
    std::string staleNote;      // set when a stale lock was removed
    std::string writeError;     // NotWritable: what could not be done, and the system's reason
    const std::string& Path() const { return m_path; }
    bool Held() const { return m_held; }

    // Runs between finding a lock stale and the second look before its
    // removal: where another taker may act. For tests.
    std::function<void()> beforeStaleRemoval;

private:
    LockResult Blocked(std::string holder);
    LockResult Link(const std::string& directory, const std::string& path);

    std::string m_holder;
    std::string m_path;  // set while we hold the lock
    bool m_held = false;
    dev_t m_device = 0;  // the file we linked
    ino_t m_inode = 0;
    int m_exitSlot = -1;  // where the exit release keeps it
};

// The command name of a running process (/proc/<pid>/comm), or "unknown".
std::string ProcessCommand(pid_t pid, const std::string& procRoot = "/proc");
