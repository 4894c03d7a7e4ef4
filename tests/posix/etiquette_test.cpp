// The Linux back end's manners, natively: the ports a system really has,
// from a made-up sysfs tree, and who holds a port, from a made-up /proc.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "link/posix/detectable_ports.h"
#include "link/posix/port_holders.h"
#include "link/posix/serial_ports.h"
#include "link/posix/terminals.h"
#include "scratch_dir.h"

namespace {

// One sysfs tree: the ports a system really has, and of those the ones
// detect probes. The console's ports and the terminals of logins are left
// out, said with the reason; a getty that shares the line through UUCP locks
// leaves its port in.
TEST(SerialPorts, FindsRealPortsAndLeavesOutTheConsoleAndLogins) {
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
    const std::string classTty = sys.Path() + "/class/tty";
    EXPECT_EQ(
        SystemSerialPorts(classTty),
        (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyS0", "/dev/ttyS3"}));
    EXPECT_TRUE(SystemSerialPorts(sys.Path() + "/missing").empty());

    sys.Make("class/tty/console/active", "tty0 ttyS3\n");
    sys.Make("class/tty/tty0/active", "tty1\n");
    const std::map<std::string, std::vector<PortHolder>> holders = {
        {"/dev/ttyS0", {{700, "agetty", true}}},
        {"/dev/ttyACM0", {{701, "minicom"}}},
        {"/dev/ttyUSB2", {{800, "mgetty", true}}},
        {"/dev/ttyUSB10", {{801, "faxgetty", true}, {802, "bash", true}}},
    };
    std::string leftOut;
    const std::vector<std::string> ports = DetectablePorts(
        [&](const std::string& device, const std::string& why) { leftOut += device + ": " + why + "\n"; },
        classTty,
        [&](const std::string& device) {
            const auto found = holders.find(device);
            return found == holders.end() ? std::vector<PortHolder>{} : found->second;
        });
    EXPECT_EQ(ports, (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyUSB2"}));
    EXPECT_EQ(leftOut,
              "/dev/ttyUSB10: the terminal of a login session (PID 802 (bash))\n"
              "/dev/ttyS0: the terminal of a login session (PID 700 (agetty))\n"
              "/dev/ttyS3: the kernel's console (" +
                  classTty + "/console/active)\n");
    EXPECT_EQ(ConsoleNames(classTty), (std::vector<std::string>{"tty1", "ttyS3"}));
    EXPECT_TRUE(ConsoleNames(sys.Path() + "/missing").empty());
}

TEST(SerialPorts, TellsSerialPortsFromOtherDevices) {
    ScratchDir sys;
    sys.Make("class/tty/x");
    for (const char* entry : {"4:64", "166:0", "5:0", "4:1"})
        sys.Link(std::string("dev/char/") + entry + "/subsystem", sys.Path() + "/class/tty");
    const std::string devChar = sys.Path() + "/dev/char";
    const struct {
        unsigned major, minor;
        bool serial;
    } rows[] = {
        // Pseudo-terminals and devices of another class (/dev/null, /dev/zero) are rows of
        // linux_cli, on the system's own sysfs.
        {4, 64, true},    // ttyS0
        {166, 0, true},   // ttyACM0
        {188, 0, false},  // a device sysfs does not list
        {4, 1, false},    // tty1, a virtual console
        {5, 0, false},    // /dev/tty, our own terminal by another name
    };
    for (const auto& row : rows)
        EXPECT_EQ(IsSerialDevice(makedev(row.major, row.minor), devChar), row.serial)
            << row.major << ":" << row.minor;
}

TEST(SerialPorts, FindsTheByIdName) {
    ScratchDir dev;
    const std::string usb1 = dev.Make("ttyUSB1"), acm = dev.Make("ttyACM0");
    dev.Make("ttyUSB0");  // another device, whose link sorts first
    dev.Link("by-id/usb-Zoom_56K_Modem-if00-port0", "../ttyUSB1");
    dev.Link("by-id/usb-FTDI_Serial-if00-port0", "../ttyUSB0");
    dev.Link("by-id/dangling", "../ttyUSB9");
    const std::string byId = dev.Path() + "/by-id";
    EXPECT_EQ(ByIdName(usb1, byId), byId + "/usb-Zoom_56K_Modem-if00-port0");
    EXPECT_EQ(ByIdName(acm, byId), "");
    EXPECT_EQ(ByIdName(dev.Path() + "/ttyUSB9", byId), "");
}

// A pseudo-terminal made for a test: its master, and its slave's path and number.
class Pty {
public:
    Pty() : m_master(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) return;
        m_slave = ptsname(m_master);
        struct stat info;
        if (stat(m_slave.c_str(), &info) == 0) m_device = info.st_rdev;
    }
    ~Pty() {
        if (m_master >= 0) close(m_master);
    }
    const std::string& Slave() const { return m_slave; }
    dev_t Device() const { return m_device; }
    // Its index N, from /dev/pts/N.
    std::string Index() const { return m_slave.substr(m_slave.rfind('/') + 1); }
    // The tty_nr field of /proc/<pid>/stat for a process whose controlling terminal it is.
    std::string TtyNr() const {
        const unsigned long major = ::major(m_device), minor = ::minor(m_device);
        return std::to_string((minor & 0xff) | major << 8 | (minor & ~0xfful) << 12);
    }

private:
    int m_master;
    std::string m_slave;
    dev_t m_device = 0;
};

TEST(PortHolders, ReadsProcAndUdev) {
    ScratchDir proc, udev, dev;
    const Pty modem, other;
    ASSERT_NE(modem.Device(), 0u);
    // The modem's device under a name of its own, as a program may open it.
    const std::string alias = dev.Path() + "/modem";
    const bool aliased = mknod(alias.c_str(), S_IFCHR | 0600, modem.Device()) == 0;
    // Each process: its command, where its descriptors lead, its fdinfo, and its controlling terminal.
    const auto process = [&](const std::string& pid, const std::string& command,
                             const std::vector<std::pair<int, std::string>>& fds, const std::string& ttyNr = "0") {
        proc.Make(pid + "/comm", command + "\n");
        proc.Make(pid + "/stat",
                  pid + " (" + command + ") S 1 " + pid + " " + pid + " " + ttyNr + " -1 4194560\n");
        for (const auto& [fd, target] : fds) proc.Link(pid + "/fd/" + std::to_string(fd), target);
    };
    // A holder of the port by its own name is a row of linux_cli; 78 is a login on it.
    process("901", "cu", {{0, "/dev/null"}, {2, "socket:[4711]"}, {3, aliased ? alias : modem.Slave()}});
    process("78", "my (odd) 1 2 3", {}, modem.TtyNr());
    process(std::to_string(getpid()), "etiquette_test", {{5, modem.Slave()}}, modem.TtyNr());
    proc.Make("self/comm", "not a process\n");
    // The master of another pseudo-terminal does not make its owner the far end of this one. (The
    // far end itself, the virtual modem, keeps the slave open beside every row of linux_cli.)
    process("301", "socat", {{5, "/dev/ptmx"}, {6, modem.Slave()}});
    proc.Make("301/fdinfo/5", "tty-index:\t" + other.Index() + "\n");

    std::vector<PortHolder> holders = ProcessesHolding(modem.Slave(), proc.Path());
    std::sort(holders.begin(), holders.end(),
              [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
    std::string seen;
    for (const PortHolder& holder : holders)
        seen += std::to_string(holder.pid) + " " + holder.command + (holder.session ? " (session); " : "; ");
    EXPECT_EQ(seen, "78 my (odd) 1 2 3 (session); 301 socat; 901 cu; ");
    EXPECT_TRUE(aliased)
        << "no device node of our own making: the row of a port opened by another name was not run";
    EXPECT_EQ(DescribeUse({{901, "cu"}, {77, "bash", true}, {812, "ModemManager"}}),
              "is open in PIDs 901 (cu), 812 (ModemManager) and is the login terminal of PID 77 (bash)");

    // /dev/null stands in for a modem held under flock.
    const std::string device = "/dev/null";
    struct stat info;
    ASSERT_EQ(stat(device.c_str(), &info), 0);
    // /proc/locks names a file by its device's major and minor number in hex and its inode.
    char file[48];
    std::snprintf(file, sizeof file, " %02x:%02x:%lu 0 EOF\n", major(info.st_dev), minor(info.st_dev),
                  static_cast<unsigned long>(info.st_ino));
    proc.Make("locks", std::string("4: FLOCK  ADVISORY  WRITE 44 00:00:1 0 EOF\n1: -> FLOCK  ADVISORY  WRITE 55") +
                           file + "2: POSIX  ADVISORY  WRITE 66" + file + "3: FLOCK  ADVISORY  WRITE 901" + file);
    const PortHolder flocker = FlockHolder(device, proc.Path());
    EXPECT_EQ(flocker.pid, 901);
    EXPECT_EQ(flocker.command, "cu");

    const std::string record =
        "c" + std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev));
    // ModemManager found in /proc and a port it may use, without a udev rule, are the ModemManager row of
    // linux_cli.
    udev.Make(record, "I:123\nE:ID_MM_DEVICE_IGNORE=1\nG:systemd\n");
    EXPECT_TRUE(IgnoredByModemManager(device, udev.Path()));
    udev.Make(record, "E:ID_MM_DEVICE_IGNORE=0\n");
    EXPECT_FALSE(IgnoredByModemManager(device, udev.Path()));
}

}  // namespace
