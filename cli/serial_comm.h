// The serial ports Windows lists under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM,
// where every port driver (and Wine's port mapping) enters its ports: each
// value names a device (\Device\Serial0) and holds the port's name ("COM7").
#pragma once
#include <string>
#include <vector>

// The ports' names, as listed; none when the key is missing or unreadable.
std::vector<std::string> SerialCommPorts();
