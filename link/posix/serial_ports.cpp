#include "link/posix/serial_ports.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

// The families we probe, in the order we list them.
const char* const kFamilies[] = {"ttyACM", "ttyUSB", "ttyS"};

std::vector<std::string> DirectoryNames(const std::string& dir) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(dir.c_str()), closedir);
    if (!listing) return names;
    while (const dirent* entry = readdir(listing.get()))
        if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    return names;
}

// The family index of a name like "ttyUSB12" and its number; false for other names.
bool SplitName(const std::string& name, int& family, long& number) {
    for (int i = 0; i < 3; ++i) {
        const std::string prefix = kFamilies[i];
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 6) return false;
        family = i;
        number = std::atol(digits.c_str());
        return true;
    }
    return false;
}

std::string LastPathPart(const std::string& path) { return path.substr(path.rfind('/') + 1); }

bool IsRealUart(const std::string& entry) {
    std::ifstream typeFile(entry + "/type");
    int type = -1;
    if (typeFile >> type) return type != 0;
    char target[PATH_MAX];
    if (!realpath((entry + "/device/subsystem").c_str(), target)) return false;
    return LastPathPart(target) != "platform";
}

}  // namespace

std::string PortPath(const std::string& text) {
    return text.find('/') == std::string::npos ? "/dev/" + text : text;
}

std::string RealDevice(const std::string& path) {
    char target[PATH_MAX];
    return realpath(path.c_str(), target) ? target : "";
}

bool IsSerialDevice(dev_t device, const std::string& sysDevChar) {
    const unsigned major = ::major(device), minor = ::minor(device);
    // Unix98 pseudo-terminal slaves: majors 136 to 143.
    if (major >= 136 && major <= 143) return true;
    if ((major == 4 && minor < 64) || major == 5 || major == 2) return false;
    struct stat info;
    if (stat(sysDevChar.c_str(), &info) != 0) return true;
    char target[PATH_MAX];
    const std::string entry = sysDevChar + "/" + std::to_string(major) + ":" + std::to_string(minor);
    return realpath((entry + "/subsystem").c_str(), target) && LastPathPart(target) == "tty";
}

std::vector<std::string> SystemSerialPorts(const std::string& sysClassTty) {
    struct Found {
        int family;
        long number;
        std::string name;
    };
    std::vector<Found> found;
    for (const std::string& name : DirectoryNames(sysClassTty)) {
        Found port{0, 0, name};
        if (!SplitName(name, port.family, port.number)) continue;
        if (kFamilies[port.family] == std::string("ttyS") && !IsRealUart(sysClassTty + "/" + name)) continue;
        found.push_back(port);
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.family != b.family ? a.family < b.family : a.number < b.number;
    });
    std::vector<std::string> paths;
    for (const Found& port : found) paths.push_back("/dev/" + port.name);
    return paths;
}

std::string ByIdName(const std::string& device, const std::string& byIdDir) {
    const std::string real = RealDevice(device);
    if (real.empty()) return "";
    std::vector<std::string> names = DirectoryNames(byIdDir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        if (RealDevice(byIdDir + "/" + name) == real) return byIdDir + "/" + name;
    return "";
}
