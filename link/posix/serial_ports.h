// Naming and finding the serial ports of a Linux system.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

// The path a port argument names: "/dev/ttyUSB0" and "/dev/serial/by-id/..."
// as they are, "ttyUSB0" under /dev.
std::string PortPath(const std::string& text);

// The device behind a path with every link followed ("" when it does not
// exist): two names of one device share its lock.
std::string RealDevice(const std::string& path);

// Whether a character device is a serial port to talk to: a terminal of
// sysfs's tty class, or a pseudo-terminal's slave (which has no sysfs
// entry), but no virtual console (4:0-63), none of /dev/tty, /dev/console
// and /dev/ptmx (5:*), which lead elsewhere, and no pseudo-terminal master.
// Decided from the device number, without opening anything. True where
// sysfs is missing: the open decides then.
bool IsSerialDevice(dev_t device, const std::string& sysDevChar = "/sys/dev/char");

// The serial ports the system really has, as /dev paths, in a stable order
// (ttyACM, ttyUSB, then ttyS, each by number): every ttyUSB and ttyACM, and
// the ttyS that are real UARTs. A PC kernel makes 32 ttyS placeholders
// whether or not a UART is there; the serial core gives those the port type 0
// (unknown) in sysfs, and a port without a type is a placeholder when it
// hangs off the "platform" bus.
std::vector<std::string> SystemSerialPorts(const std::string& sysClassTty = "/sys/class/tty");

// The stable name udev gives a device under /dev/serial/by-id, or "" when it
// has none (built-in UARTs, pseudo-terminals).
std::string ByIdName(const std::string& device, const std::string& byIdDir = "/dev/serial/by-id");
