// The ports a detection probes when it is given none: the system's serial
// ports (serial_ports.h) but the ones it must never write to.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "link/posix/port_holders.h"

using HoldersOf = std::function<std::vector<PortHolder>(const std::string& device)>;
using LeftOut = std::function<void(const std::string& device, const std::string& why)>;

// The system's serial ports but the kernel console's, and those that are a
// login session's terminal (a getty's or a shell's) unless the session is a
// getty that shares the line through UUCP locks. Each port left out is told,
// with the reason, to leftOut.
std::vector<std::string> DetectablePorts(
    const LeftOut& leftOut, const std::string& sysClassTty = "/sys/class/tty",
    const HoldersOf& holdersOf = [](const std::string& device) { return ProcessesHolding(device); });
