#include "link/posix/terminals.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

// How deep console/active and the active files it leads to may go.
constexpr int kIndirections = 4;

void AddActive(const std::string& sysClassTty, const std::string& name, int depth,
               std::vector<std::string>& names) {
    std::ifstream active(sysClassTty + "/" + name + "/active");
    if (!active) {
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
        return;
    }
    std::string next;
    while (active >> next)
        if (depth < kIndirections && next != name) AddActive(sysClassTty, next, depth + 1, names);
}

}  // namespace

dev_t ControllingTerminal(const std::string& pid, const std::string& procRoot) {
    std::ifstream stat(procRoot + "/" + pid + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return 0;
    // "pid (comm) state ppid pgrp session tty_nr ...": the command may hold spaces and brackets.
    const std::size_t end = line.rfind(')');
    if (end == std::string::npos) return 0;
    std::istringstream fields(line.substr(end + 1));
    std::string state;
    long parent = 0, group = 0, session = 0;
    unsigned long tty = 0;
    if (!(fields >> state >> parent >> group >> session >> tty)) return 0;
    // The kernel packs the number: minor's low byte, major, then minor's upper bits.
    return tty == 0 ? 0 : makedev((tty >> 8) & 0xfff, (tty & 0xff) | ((tty >> 12) & 0xfff00));
}

std::string OwnTerminalRole(dev_t device) {
    if (device == ControllingTerminal("self")) return "the controlling terminal";
    const char* const streams[] = {"standard input", "standard output", "standard error"};
    for (int fd = 0; fd < 3; ++fd) {
        struct stat info;
        if (fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == device) return streams[fd];
    }
    return "";
}

std::vector<std::string> ConsoleNames(const std::string& sysClassTty) {
    std::vector<std::string> names;
    AddActive(sysClassTty, "console", 0, names);
    names.erase(std::remove(names.begin(), names.end(), "console"), names.end());
    return names;
}
