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

    // A device is a serial port where sysfs files its number under the tty class.
    sys.Link("dev/char/4:64/subsystem", classTty);
    EXPECT_TRUE(IsSerialDevice(makedev(4, 64), sys.Path() + "/dev/char"));
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

TEST(PortHolders, ReadsProc) {
    ScratchDir proc, dev;
    const Pty modem, other;
    ASSERT_NE(modem.Device(), 0u);
    // The modem's device under a name of its own, as a program may open it.
    const std::string alias = dev.Path() + "/modem";
    ASSERT_EQ(mknod(alias.c_str(), S_IFCHR | 0600, modem.Device()), 0) << "a device node of our own making";
    // Each process: its command, where its descriptors lead, its fdinfo, and its controlling terminal.
    const auto process = [&](const std::string& pid, const std::string& command,
                             const std::vector<std::pair<int, std::string>>& fds, const std::string& ttyNr = "0") {
        proc.Make(pid + "/comm", command + "\n");
        proc.Make(pid + "/stat",
                  pid + " (" + command + ") S 1 " + pid + " " + pid + " " + ttyNr + " -1 4194560\n");
        for (const auto& [fd, target] : fds) proc.Link(pid + "/fd/" + std::to_string(fd), target);
    };
    // A holder of the port by its own name is a row of linux_cli; 78 is a login on it.
    process("901", "cu", {{0, "/dev/null"}, {2, "socket:[4711]"}, {3, alias}});
    process("78", "my (odd) 1 2 3", {}, modem.TtyNr());
    // The master of another pseudo-terminal does not make its owner the far end of this one. (The
    // far end itself, the virtual modem, keeps the slave open beside every row of linux_cli.)
    process("301", "socat", {{5, "/dev/ptmx"}, {6, modem.Slave()}});
    proc.Make("301/fdinfo/5", "tty-index:\t" + other.Slave().substr(other.Slave().rfind('/') + 1) + "\n");

    std::vector<PortHolder> holders = ProcessesHolding(modem.Slave(), proc.Path());
    std::sort(holders.begin(), holders.end(),
              [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
    std::string seen;
    for (const PortHolder& holder : holders)
        seen += std::to_string(holder.pid) + " " + holder.command + (holder.session ? " (session); " : "; ");
    EXPECT_EQ(seen, "78 my (odd) 1 2 3 (session); 301 socat; 901 cu; ");
    EXPECT_EQ(DescribeUse({{901, "cu"}, {77, "bash", true}, {812, "ModemManager"}}),
              "is open in PIDs 901 (cu), 812 (ModemManager) and is the login terminal of PID 77 (bash)");
}

}  // namespace
