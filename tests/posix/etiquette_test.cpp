// The Linux back end's manners, natively: the ports a system really has,
// from a made-up sysfs tree, and who holds a port, from a made-up /proc.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "link/posix/port_holders.h"
#include "link/posix/serial_ports.h"
#include "posix_test_support.h"

namespace {

TEST(SerialPorts, NamesAndLists) {
    EXPECT_EQ(PortPath("ttyUSB0"), "/dev/ttyUSB0");
    for (const char* path : {"/dev/ttyACM1", "/dev/serial/by-id/usb-Modem-if00", "./com4"})
        EXPECT_EQ(PortPath(path), path);
    EXPECT_EQ(SplitPortList("ttyS0,,/dev/pts/4,"), (std::vector<std::string>{"/dev/ttyS0", "/dev/pts/4"}));
    EXPECT_TRUE(SplitPortList(",").empty());
}

TEST(SerialPorts, FindsRealPortsOnly) {
    ScratchDir sys;
    sys.Make("devices/platform/serial8250/tty/ttyS2/x");
    sys.Make("bus/platform/x");
    sys.Make("bus/pnp/x");
    const struct {
        const char* name;
        const char* type;       // nullptr: the port has no type file
        const char* subsystem;  // where its device's subsystem link leads, if anywhere
    } entries[] = {
        {"ttyS0", "4\n", nullptr},           // a 16550A
        {"ttyS1", "0\n", nullptr},           // a placeholder of the serial core
        {"ttyS2", nullptr, "bus/platform"},  // a placeholder of an older kernel
        {"ttyS3", nullptr, "bus/pnp"},       // a UART the firmware announced
        {"ttyS4", nullptr, nullptr},         // nothing known of it
        {"ttyUSB10", nullptr, nullptr},     {"ttyUSB2", nullptr, nullptr},   {"ttyACM0", nullptr, nullptr},
        {"tty1", nullptr, nullptr},         {"console", nullptr, nullptr},   {"ttyUSBx", nullptr, nullptr},
        {"ttyS", nullptr, nullptr},         {"ttyprintk", nullptr, nullptr},
    };
    for (const auto& entry : entries) {
        const std::string tty = std::string("class/tty/") + entry.name;
        sys.Make(tty + "/dev", "4:64\n");
        if (entry.type) sys.Make(tty + "/type", entry.type);
        if (entry.subsystem) sys.Link(tty + "/device/subsystem", sys.Path() + "/" + entry.subsystem);
    }
    EXPECT_EQ(
        SystemSerialPorts(sys.Path() + "/class/tty"),
        (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyS0", "/dev/ttyS3"}));
    EXPECT_TRUE(SystemSerialPorts(sys.Path() + "/missing").empty());
}

TEST(SerialPorts, FindsTheByIdName) {
    ScratchDir dev;
    const std::string usb0 = dev.Make("ttyUSB0"), usb1 = dev.Make("ttyUSB1"), acm = dev.Make("ttyACM0");
    dev.Link("by-id/usb-Zoom_56K_Modem-if00-port0", "../ttyUSB1");
    dev.Link("by-id/usb-FTDI_Serial-if00-port0", "../ttyUSB0");
    dev.Link("by-id/dangling", "../ttyUSB9");
    const std::string byId = dev.Path() + "/by-id";
    EXPECT_EQ(ByIdName(usb1, byId), byId + "/usb-Zoom_56K_Modem-if00-port0");
    EXPECT_EQ(ByIdName(usb0, byId), byId + "/usb-FTDI_Serial-if00-port0");
    EXPECT_EQ(ByIdName(acm, byId), "");
    EXPECT_EQ(ByIdName(dev.Path() + "/ttyUSB9", byId), "");
    EXPECT_EQ(ByIdName(usb0, dev.Path() + "/missing"), "");
    // The link itself names the device it leads to.
    EXPECT_EQ(RealDevice(byId + "/usb-Zoom_56K_Modem-if00-port0"), usb1);
}

TEST(PortHolders, ReadsProcAndUdev) {
    ScratchDir proc, udev;
    // /dev/null stands in for the modem: a character device every system has.
    const std::string device = "/dev/null";
    struct stat info;
    ASSERT_EQ(stat(device.c_str(), &info), 0);
    // Each process: its command, and where its descriptors lead.
    const auto process = [&](const std::string& pid, const std::string& command,
                             const std::vector<std::pair<int, std::string>>& fds) {
        proc.Make(pid + "/comm", command + "\n");
        for (const auto& [fd, target] : fds) proc.Link(pid + "/fd/" + std::to_string(fd), target);
    };
    process("812", "ModemManager", {{11, device}});
    process("901", "cu", {{0, "/dev/pts/0"}, {3, device}});
    process("77", "bash", {{1, "/dev/pts/0"}});
    process(std::to_string(getpid()), "etiquette_test", {{5, device}});  // we never count ourselves
    proc.Make("self/comm", "not a process\n");
    // The far end of a pseudo-terminal keeps its slave open; the master of another one does not count.
    process("300", "vmodem", {{3, "/dev/ptmx"}, {4, "/dev/pts/7"}});
    proc.Make("300/fdinfo/3", "pos:\t0\nflags:\t02100002\ntty-index:\t7\n");
    process("301", "socat", {{5, "/dev/ptmx"}, {6, "/dev/pts/7"}});
    proc.Make("301/fdinfo/5", "tty-index:\t8\n");

    const std::vector<PortHolder> holders = ProcessesHolding(device, proc.Path());
    EXPECT_EQ(DescribeHolders(holders), holders.size() == 2 && holders[0].pid == 812
                                            ? "PIDs 812 (ModemManager), 901 (cu)"
                                            : "PIDs 901 (cu), 812 (ModemManager)");
    EXPECT_EQ(DescribeHolders({{77, "bash"}}), "PID 77 (bash)");
    EXPECT_EQ(DescribeHolders(ProcessesHolding("/dev/pts/7", proc.Path())), "PID 301 (socat)");
    EXPECT_EQ(DescribeHolders(ProcessesHolding("/dev/pts/8", proc.Path())), "");

    // /proc/locks names a file by its device's major and minor number in hex and its inode.
    char file[48];
    std::snprintf(file, sizeof file, " %02x:%02x:%lu 0 EOF\n", major(info.st_dev), minor(info.st_dev),
                  static_cast<unsigned long>(info.st_ino));
    proc.Make("locks", std::string("4: FLOCK  ADVISORY  WRITE 44 00:00:1 0 EOF\n1: -> FLOCK  ADVISORY  WRITE 55") +
                           file + "2: POSIX  ADVISORY  WRITE 66" + file + "3: FLOCK  ADVISORY  WRITE 901" + file);
    const PortHolder flocker = FlockHolder(device, proc.Path());
    EXPECT_EQ(flocker.pid, 901);
    EXPECT_EQ(flocker.command, "cu");
    EXPECT_EQ(FlockHolder("/dev/zero", proc.Path()).pid, 0);

    const std::string record =
        "c" + std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev));
    EXPECT_EQ(ModemManagerPid(proc.Path()), 812);
    EXPECT_EQ(ModemManagerPid(udev.Path()), 0);
    EXPECT_FALSE(IgnoredByModemManager(device, udev.Path()));
    udev.Make(record, "I:123\nE:ID_MM_DEVICE_IGNORE=1\nG:systemd\n");
    EXPECT_TRUE(IgnoredByModemManager(device, udev.Path()));
    EXPECT_FALSE(IgnoredByModemManager("/dev/zero", udev.Path()));
    udev.Make(record, "E:ID_MM_DEVICE_IGNORE=0\n");
    EXPECT_FALSE(IgnoredByModemManager(device, udev.Path()));
}

}  // namespace
