#include "link/posix/uucp_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "link/posix/exit_release.h"
#include "link/posix/unique_fd.h"

namespace {

// An empty lock may be one that its owner has just created and not yet
// written: only an older one is taken for stale.
constexpr time_t kEmptyLockAge = 5;  // s
// The kernel's highest possible PID: a binary "PID" above it is no PID.
constexpr int kPidLimit = 4194304;
// Tries at taking a lock that others keep changing, before calling it in use.
constexpr int kAttempts = 3;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The FHS form: the PID as ten ASCII digits, right-aligned, and a newline.
std::string LockContent(pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(pid));
    return text;
}

bool ProcessAlive(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

// A lock file as found under its name. Only a regular file is opened, without
// following a link and without blocking, so that nothing planted there (a
// FIFO, a device, a link) can hold us up or be touched.
struct FoundLock {
    int error = 0;  // why it could not be read; ENOENT: there is none
    bool regular = false;
    dev_t device = 0;
    ino_t inode = 0;
    time_t modified = 0;
    std::string content;
};

FoundLock FindLock(const std::string& path) {
    FoundLock found;
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
        found.error = errno;
        return found;
    }
    if (!S_ISREG(info.st_mode)) return found;
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    char buffer[128];
    ssize_t n = -1;
    if (!fd || fstat(fd.Get(), &info) != 0 || (n = read(fd.Get(), buffer, sizeof buffer)) < 0) {
        found.error = errno;
        return found;
    }
    // Looked at again through the descriptor: what was opened is what was read.
    found.regular = S_ISREG(info.st_mode);
    found.device = info.st_dev;
    found.inode = info.st_ino;
    found.modified = info.st_mtime;
    found.content.assign(buffer, static_cast<std::size_t>(n));
    return found;
}

bool SameLock(const FoundLock& a, const FoundLock& b) {
    return a.error == 0 && b.error == 0 && a.regular && b.regular && a.device == b.device && a.inode == b.inode &&
           a.content == b.content;
}

}  // namespace

std::string LockDirectory() {
    if (const char* dir = std::getenv("KORVANE_LOCK_DIR"); dir && *dir) return dir;
    struct stat info;
    if (stat("/run/lock", &info) == 0 && S_ISDIR(info.st_mode)) return "/run/lock";
    return "/var/lock";
}

std::string LockFileName(const std::string& devicePath) {
    const std::string devices = "/dev/";
    std::string name = devicePath;
    if (name.compare(0, devices.size(), devices) == 0) name.erase(0, devices.size());
    for (char& c : name)
        if (c == '/') c = '_';
    return "LCK.." + name;
}

pid_t ParseLockPid(const std::string& content) {
    std::size_t i = 0;
    while (i < content.size() && IsBlank(content[i])) ++i;
    const std::size_t digits = i;
    long long pid = 0;
    while (i < content.size() && content[i] >= '0' && content[i] <= '9' && pid < 1LL << 31)
        pid = pid * 10 + (content[i++] - '0');
    const std::string rest = content.substr(i);
    const bool ended = rest.empty() || IsBlank(rest[0]) || rest[0] == '\n' || rest == "\r\n";
    if (i > digits && ended) return pid > 0 && pid <= kPidLimit ? static_cast<pid_t>(pid) : 0;
    // Not text: the binary form is exactly one native int.
    if (content.size() == sizeof(int)) {
        int binary;
        std::memcpy(&binary, content.data(), sizeof binary);
        return binary > 0 && binary <= kPidLimit ? binary : 0;
    }
    return 0;
}

std::string ProcessCommand(pid_t pid, const std::string& procRoot) {
    UniqueFd fd(open((procRoot + "/" + std::to_string(pid) + "/comm").c_str(), O_RDONLY | O_CLOEXEC));
    char buffer[64];
    const ssize_t n = fd ? read(fd.Get(), buffer, sizeof buffer) : -1;
    std::string comm(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    while (!comm.empty() && (comm.back() == '\n' || comm.back() == '\0')) comm.pop_back();
    return comm.empty() ? "unknown" : comm;
}

LockResult UucpLock::Blocked(std::string holder) {
    m_holder = std::move(holder);
    return LockResult::InUse;
}

LockResult UucpLock::Take(const std::string& directory, const std::string& devicePath) {
    Release();
    holderPid = 0;
    holderCommand.clear();
    m_holder.clear();
    staleNote.clear();
    writeError.clear();
    const std::string path = directory + "/" + LockFileName(devicePath);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const FoundLock found = FindLock(path);
        if (found.error == ENOENT) {
            const LockResult linked = Link(directory, path);
            if (linked != LockResult::InUse) return linked;
            continue;  // another taker was quicker: look at its lock
        }
        // Another user's lock that we may not read: its owner is using the port.
        if (found.error == EACCES) return Blocked("a lock file whose PID cannot be read in " + directory);
        if (found.error != 0 || !found.regular) return Blocked(path + ", which is not a regular file");
        const pid_t pid = ParseLockPid(found.content);
        // Our own PID: another of our ports took this device already.
        if (pid != 0 && (pid == getpid() || ProcessAlive(pid))) {
            holderPid = pid;
            holderCommand = ProcessCommand(pid);
            return Blocked("PID " + std::to_string(pid) + " (" + holderCommand + ") in " + directory);
        }
        if (pid == 0 && !found.content.empty())
            return Blocked(path + ", which names no process: remove it once no program uses the port");
        if (pid == 0 && time(nullptr) - found.modified < kEmptyLockAge)
            return Blocked(path + ", which is empty and new: its owner may be writing it");
        if (beforeStaleRemoval) beforeStaleRemoval();
        // Another taker may have put its own lock in place since: remove only the file judged.
        if (!SameLock(FindLock(path), found)) continue;
        if (unlink(path.c_str()) != 0 && errno != ENOENT) {
            writeError = "cannot remove the stale lock " + path + ": " + std::strerror(errno);
            return LockResult::NotWritable;
        }
        staleNote = "removed the stale lock " + path +
                    (pid ? " of PID " + std::to_string(pid) + ", which is gone" : ", which was empty");
    }
    return Blocked(path + ", which other programs kept changing while we looked");
}

// Written whole under a name of our own, then linked into place: the lock
// appears with its content or not at all, and only one taker's link wins.
// InUse: another lock was linked first.
LockResult UucpLock::Link(const std::string& directory, const std::string& path) {
    const std::string mine = LockContent(getpid());
    std::string temporary = directory + "/LTMP.XXXXXX";
    UniqueFd fd(mkostemp(&temporary[0], O_CLOEXEC));
    if (!fd) {
        writeError = "cannot write a lock file in " + directory + ": " + std::strerror(errno);
        return LockResult::NotWritable;
    }
    // The lock's mode does not depend on the caller's umask: others must read it.
    fchmod(fd.Get(), 0644);
    struct stat info;
    const bool written = write(fd.Get(), mine.data(), mine.size()) == static_cast<ssize_t>(mine.size()) &&
                         fstat(fd.Get(), &info) == 0;
    fd.Reset();
    const int linked = written ? link(temporary.c_str(), path.c_str()) : -1;
    const int linkError = written ? errno : EIO;
    unlink(temporary.c_str());
    if (linked == 0) {
        m_path = path;
        m_held = true;
        m_device = info.st_dev;
        m_inode = info.st_ino;
        m_exitSlot = ArmExitRelease(m_path.c_str(), mine.c_str(), m_device, m_inode);
        return LockResult::Taken;
    }
    if (linkError == EEXIST) return LockResult::InUse;
    writeError = "cannot write a lock file in " + directory + ": " + std::strerror(linkError);
    return LockResult::NotWritable;
}

void UucpLock::Release() {
    if (!m_held) return;
    DisarmExitRelease(m_exitSlot);
    const FoundLock found = FindLock(m_path);
    if (found.regular && found.device == m_device && found.inode == m_inode &&
        found.content == LockContent(getpid()))
        unlink(m_path.c_str());
    m_held = false;
    m_path.clear();
}
