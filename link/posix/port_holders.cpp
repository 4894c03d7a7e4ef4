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

bool HasOpen(pid_t pid, const std::string& device, const std::string& procRoot) {
    const std::string fdDir = procRoot + "/" + std::to_string(pid) + "/fd";
    std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(fdDir.c_str()), closedir);
    if (!listing) return false;
    while (const dirent* entry = readdir(listing.get())) {
        if (entry->d_name[0] == '.') continue;
        char target[PATH_MAX];
        const ssize_t n = readlink((fdDir + "/" + entry->d_name).c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == device) return true;
    }
    return false;
}

bool ReadMajorMinor(const std::string& text, unsigned& fsMajor, unsigned& fsMinor) {
    return std::sscanf(text.c_str(), "%x:%x", &fsMajor, &fsMinor) == 2;
}

}  // namespace

std::vector<PortHolder> ProcessesHolding(const std::string& device, const std::string& procRoot) {
    std::vector<PortHolder> holders;
    for (pid_t pid : ProcessIds(procRoot))
        if (pid != getpid() && HasOpen(pid, device, procRoot)) holders.push_back({pid, ProcessCommand(pid, procRoot)});
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

ModemManagerView LookAtModemManager(const std::string& device, const std::string& procRoot,
                                    const std::string& udevData) {
    ModemManagerView view;
    for (pid_t pid : ProcessIds(procRoot))
        if (ProcessCommand(pid, procRoot) == "ModemManager") {
            view.process = {pid, "ModemManager"};
            view.holdsPort = HasOpen(pid, device, procRoot);
            break;
        }
    struct stat info;
    if (stat(device.c_str(), &info) == 0 && S_ISCHR(info.st_mode)) {
        std::ifstream record(udevData + "/c" + std::to_string(major(info.st_rdev)) + ":" +
                             std::to_string(minor(info.st_rdev)));
        std::string line;
        while (std::getline(record, line))
            if (line == "E:ID_MM_DEVICE_IGNORE=1") view.portIgnored = true;
    }
    return view;
}
