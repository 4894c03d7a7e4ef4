// Who else has a serial port: the processes with the device open, the holder
// of its flock, and ModemManager, read from /proc and from udev's database.
// A message that says the port is in use names them.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

struct PortHolder {
    pid_t pid = 0;
    std::string command;
    bool session = false;  // the device is its controlling terminal: a login's getty or shell
};

// The processes other than this one that have the device open (a
// /proc/<pid>/fd link leads to a file of its device number, under whatever
// name), but for the one at the master end of a pseudo-terminal; and those
// whose controlling terminal it is. The open files are seen only of
// processes we may look into (all of them for root, our own for others); the
// controlling terminals of all.
std::vector<PortHolder> ProcessesHolding(const std::string& device, const std::string& procRoot = "/proc");

// The process that holds a flock on the device, from /proc/locks; pid 0 when none is listed.
PortHolder FlockHolder(const std::string& device, const std::string& procRoot = "/proc");

// "PID 812 (ModemManager)", or "PIDs 812 (ModemManager), 901 (cu)"; "" for none.
std::string DescribeHolders(const std::vector<PortHolder>& holders);

// What the holders do with the port, said after its name: "is open in PID
// 901 (cu)", "is the login terminal of PID 700 (agetty)", or both, joined by " and ".
std::string DescribeUse(const std::vector<PortHolder>& holders);

// ModemManager probes, and may hold, the serial ports it takes for modems,
// unless udev gives the device the property ID_MM_DEVICE_IGNORE=1.
// Its PID, or 0 when it is not running.
pid_t ModemManagerPid(const std::string& procRoot = "/proc");
// Whether udev's record of the device carries ID_MM_DEVICE_IGNORE=1.
bool IgnoredByModemManager(const std::string& device, const std::string& udevData = "/run/udev/data");

// The udev rule that keeps ModemManager away from the device, for messages.
extern const char kModemManagerAdvice[];
