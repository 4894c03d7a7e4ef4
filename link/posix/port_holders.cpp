#include "link/posix/port_holders.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "link/posix/terminals.h"
#include "link/posix/uucp_lock.h"

const char kModemManagerAdvice[] =
    "a udev rule setting ENV{ID_MM_DEVICE_IGNORE}=\"1\" for the modem keeps ModemManager away from it";

namespace {

std::vector<pid_t> ProcessIds(const std::string& procRoot) {
    std::vector<pid_t> pids;
    std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(procRoot.c_str()), closedir);
    if (!listing) return pids;
    while (const dirent* entry = readdir(listing.get())) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid > 0 && *end == '\0') pids.push_back(static_cast<pid_t>(pid));
    }
    return pids;
}

// The index N of a pseudo-terminal's slave /dev/pts/N; -1 for any other device.
long PtyIndex(dev_t device) {
    const unsigned major = ::major(device);
    return major >= 136 && major <= 143 ? static_cast<long>((major - 136) << 8 | ::minor(device)) : -1;
}

// Whether the process has the device open, under whatever name. The process
// at the master end of a pseudo-terminal (a modem emulator, socat) may keep
// its slave open too: it is the far end of the line, not another user of the port.
bool HasOpen(pid_t pid, dev_t device, const std::string& procRoot) {
    const std::string process = procRoot + "/" + std::to_string(pid);
    std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir((process + "/fd").c_str()), closedir);
    if (!listing) return false;
    const long ptyIndex = PtyIndex(device);
    bool opened = false;
    while (const dirent* entry = readdir(listing.get())) {
        if (entry->d_name[0] == '.') continue;
        const std::string fd = process + "/fd/" + entry->d_name;
        char target[PATH_MAX];
        const ssize_t n = readlink(fd.c_str(), target, sizeof target - 1);
        // Sockets, pipes and the like are named "socket:[123]": no device file.
        if (n <= 0 || target[0] != '/') continue;
        struct stat info;
        if (stat(fd.c_str(), &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == device) opened = true;
        const std::string file(target, static_cast<std::size_t>(n));
        if (ptyIndex >= 0 && (file == "/dev/ptmx" || file == "/dev/pts/ptmx")) {
            std::ifstream fdInfo(process + "/fdinfo/" + entry->d_name);
            std::string key;
            long index = -1;
            while (fdInfo >> key)
                if (key == "tty-index:" && fdInfo >> index && index == ptyIndex) return false;
        }
    }
    return opened;
}

bool ReadMajorMinor(const std::string& text, unsigned& fsMajor, unsigned& fsMinor) {
    return std::sscanf(text.c_str(), "%x:%x", &fsMajor, &fsMinor) == 2;
}

}  // namespace

std::vector<PortHolder> ProcessesHolding(const std::string& device, const std::string& procRoot) {
    std::vector<PortHolder> holders;
    struct stat info;
    if (stat(device.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return holders;
    for (pid_t pid : ProcessIds(procRoot)) {
        if (pid == getpid()) continue;
        const bool session = ControllingTerminal(std::to_string(pid), procRoot) == info.st_rdev;
        if (session || HasOpen(pid, info.st_rdev, procRoot))
            holders.push_back({pid, ProcessCommand(pid, procRoot), session});
    }
    return holders;
}

PortHolder FlockHolder(const std::string& device, const std::string& procRoot) {
    struct stat info;
    if (stat(device.c_str(), &info) != 0) return {};
    std::ifstream locks(procRoot + "/locks");
    std::string line;
    // "1: FLOCK  ADVISORY  WRITE 812 00:05:9 0 EOF"; waiters are listed with "->".
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, where;
        long pid = 0;
        if (!(fields >> number >> kind >> mode >> access >> pid >> where) || kind != "FLOCK") continue;
        unsigned fsMajor = 0, fsMinor = 0;
        const std::size_t inodeAt = where.rfind(':');
        if (inodeAt == std::string::npos || !ReadMajorMinor(where, fsMajor, fsMinor)) continue;
        if (fsMajor == major(info.st_dev) && fsMinor == minor(info.st_dev) &&
            std::strtoull(where.c_str() + inodeAt + 1, nullptr, 10) == info.st_ino && pid != getpid())
            return {static_cast<pid_t>(pid), ProcessCommand(static_cast<pid_t>(pid), procRoot)};
    }
    return {};
}

std::string DescribeHolders(const std::vector<PortHolder>& holders) {
    std::string text;
    for (const PortHolder& holder : holders)
        text += (text.empty() ? "" : ", ") + std::to_string(holder.pid) + " (" + holder.command + ")";
    return text.empty() ? text : (holders.size() == 1 ? "PID " : "PIDs ") + text;
}

std::string DescribeUse(const std::vector<PortHolder>& holders) {
    std::vector<PortHolder> opened, sessions;
    for (const PortHolder& holder : holders) (holder.session ? sessions : opened).push_back(holder);
    std::string text = opened.empty() ? "" : "is open in " + DescribeHolders(opened);
    if (!sessions.empty())
        text += std::string(text.empty() ? "" : " and ") + "is the login terminal of " + DescribeHolders(sessions);
    return text;
}

pid_t ModemManagerPid(const std::string& procRoot) {
    for (pid_t pid : ProcessIds(procRoot))
        if (ProcessCommand(pid, procRoot) == "ModemManager") return pid;
    return 0;
}

bool IgnoredByModemManager(const std::string& device, const std::string& udevData) {
    struct stat info;
    if (stat(device.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return false;
    std::ifstream record(udevData + "/c" + std::to_string(major(info.st_rdev)) + ":" +
                         std::to_string(minor(info.st_rdev)));
    std::string line;
    while (std::getline(record, line))
        if (line == "E:ID_MM_DEVICE_IGNORE=1") return true;
    return false;
}
