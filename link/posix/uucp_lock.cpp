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

// A lock whose content names no process may be one that its owner has just
// created and not yet written: only an older one is taken for stale.
constexpr time_t kUnreadableLockAge = 5;  // s
// The kernel's highest possible PID: a binary "PID" above it is no PID.
constexpr int kPidLimit = 4194304;

bool ReadSmallFile(const std::string& path, std::string& content) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd) return false;
    char buffer[128];
    const ssize_t n = read(fd.Get(), buffer, sizeof buffer);
    if (n < 0) return false;
    content.assign(buffer, static_cast<std::size_t>(n));
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The FHS form: the PID as ten ASCII digits, right-aligned, and a newline.
std::string LockContent(pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(pid));
    return text;
}

bool ProcessAlive(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace

std::string LockDirectory() {
    if (const char* dir = std::getenv("KORVANE_LOCK_DIR"); dir && *dir) return dir;
    struct stat info;
    if (stat("/run/lock", &info) == 0 && S_ISDIR(info.st_mode)) return "/run/lock";
    return "/var/lock";
}

std::string LockFileName(const std::string& devicePath) {
    std::string name = devicePath.compare(0, 5, "/dev/") == 0 ? devicePath.substr(5) : devicePath;
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
    const bool ended = i == content.size() || IsBlank(content[i]) || content[i] == '\n';
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
    std::string comm;
    if (!ReadSmallFile(procRoot + "/" + std::to_string(pid) + "/comm", comm) || comm.empty()) return "unknown";
    while (!comm.empty() && (comm.back() == '\n' || comm.back() == '\0')) comm.pop_back();
    return comm;
}

LockResult UucpLock::Take(const std::string& directory, const std::string& devicePath) {
    Release();
    holderPid = 0;
    holderCommand.clear();
    staleNote.clear();
    writeError.clear();
    const std::string path = directory + "/" + LockFileName(devicePath);
    const std::string mine = LockContent(getpid());
    // Written whole under a name of our own, then linked into place: the lock
    // appears with its content or not at all, and only one taker's link wins.
    // The device's part keeps the locks of ports taken at once apart.
    const std::string temporary =
        directory + "/LTMP." + std::to_string(getpid()) + "." + LockFileName(devicePath).substr(5);
    for (int attempt = 0; attempt < 3; ++attempt) {
        struct stat info;
        const bool exists = lstat(path.c_str(), &info) == 0;
        std::string content;
        if (exists && !ReadSmallFile(path, content)) {
            if (errno == ENOENT) continue;  // removed meanwhile: look again
            // Another user's lock that we may not read: its owner is using the port.
            holderCommand = "unknown";
            return LockResult::InUse;
        }
        if (exists) {
            const pid_t pid = ParseLockPid(content);
            const bool unreadableButYoung = pid == 0 && time(nullptr) - info.st_mtime < kUnreadableLockAge;
            if (unreadableButYoung || (pid != 0 && pid != getpid() && ProcessAlive(pid))) {
                holderPid = pid;
                holderCommand = pid ? ProcessCommand(pid) : "unknown";
                return LockResult::InUse;
            }
            if (unlink(path.c_str()) != 0 && errno != ENOENT) {
                writeError = "cannot remove the stale lock " + path + ": " + std::strerror(errno);
                return LockResult::NotWritable;
            }
            staleNote = "removed the stale lock " + path +
                        (pid ? " of PID " + std::to_string(pid) + ", which is gone" : ", which names no process");
        }
        UniqueFd fd(open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
        if (!fd) {
            writeError = "cannot write a lock file in " + directory + ": " + std::strerror(errno);
            return LockResult::NotWritable;
        }
        // The lock's mode does not depend on the caller's umask: others must read it.
        fchmod(fd.Get(), 0644);
        const bool written = write(fd.Get(), mine.data(), mine.size()) == static_cast<ssize_t>(mine.size());
        fd.Reset();
        const int linked = written ? link(temporary.c_str(), path.c_str()) : -1;
        const int linkError = errno;
        unlink(temporary.c_str());
        if (linked == 0) {
            m_path = path;
            m_held = true;
            m_exitSlot = ArmExitRelease(m_path.c_str(), mine.c_str());
            return LockResult::Taken;
        }
        if (!written || linkError != EEXIST) {
            writeError =
                "cannot write a lock file in " + directory + ": " + std::strerror(written ? linkError : EIO);
            return LockResult::NotWritable;
        }
        // Another taker was quicker: look at its lock again.
    }
    holderCommand = "unknown";
    return LockResult::InUse;
}

void UucpLock::Release() {
    if (!m_held) return;
    DisarmExitRelease(m_exitSlot);
    std::string content;
    if (ReadSmallFile(m_path, content) && content == LockContent(getpid())) unlink(m_path.c_str());
    m_held = false;
    m_path.clear();
}
