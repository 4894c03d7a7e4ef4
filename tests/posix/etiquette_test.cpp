// The Linux back end's manners, natively: UUCP lock files in the forms other
// serial programs write them, live, stale and unreadable; the lock's own
// form; the ports a system really has, from a made-up sysfs tree; and who
// holds a port, from a made-up /proc.
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
#include "link/posix/uucp_lock.h"

namespace {

class ScratchDir {
public:
    ScratchDir() {
        char name[] = "/tmp/korvane-etiquette.XXXXXX";
        m_path = mkdtemp(name);
    }
    ~ScratchDir() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    const std::string& Path() const { return m_path; }
    std::string Make(const std::string& relative, const std::string& content = "") const {
        const std::string path = Parents(relative);
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    void Link(const std::string& relative, const std::string& target) const {
        const std::string path = Parents(relative);
        EXPECT_EQ(symlink(target.c_str(), path.c_str()), 0) << path;
    }

private:
    // The path of relative, with its directories made.
    std::string Parents(const std::string& relative) const {
        for (std::size_t slash = relative.find('/'); slash != std::string::npos;
             slash = relative.find('/', slash + 1))
            mkdir((m_path + "/" + relative.substr(0, slash)).c_str(), 0755);
        return m_path + "/" + relative;
    }

    std::string m_path;
};

std::string Binary(int pid) { return std::string(reinterpret_cast<const char*>(&pid), sizeof pid); }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A PID that no process has: a child that has ended and been reaped.
pid_t GonePid() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

TEST(UucpLock, ReadsThePidInEveryForm) {
    const struct {
        std::string content;
        pid_t pid;
    } rows[] = {
        {"      1234\n", 1234},           // the FHS form: ten digits, right-aligned
        {"1234\n", 1234},                 // no padding
        {"1234", 1234},                   // no newline either
        {"  1234 minicom root\n", 1234},  // lockdev and minicom add the program and user
        {Binary(1234), 1234},             // old UUCP and Kermit: a native int
        {Binary(2570), 2570},             // binary bytes that are line feeds: "\n\n\0\0"
        {Binary(12337), 12337},           // binary bytes that begin like digits: "10\0\0"
        {"", 0},
        {"\n", 0},
        {"lock\n", 0},
        {"-5\n", 0},
        {"0\n", 0},
        {"99999999999\n", 0},
        {"12a\n", 0},  // neither text nor a PID the kernel can give
        {Binary(-1), 0},
        {Binary(0x7fffffff), 0},
    };
    for (const auto& row : rows) EXPECT_EQ(ParseLockPid(row.content), row.pid) << '"' << row.content << '"';
}

TEST(UucpLock, NamesTheLockAfterTheDevice) {
    EXPECT_EQ(LockFileName("/dev/ttyUSB0"), "LCK..ttyUSB0");
    EXPECT_EQ(LockFileName("/dev/pts/3"), "LCK..pts_3");
    EXPECT_EQ(LockFileName("/dev/serial/ttyX"), "LCK..serial_ttyX");
}

TEST(UucpLock, TakesLeavesAndClearsLocks) {
    const pid_t live = getppid(), gone = GonePid();
    const std::string mine = [] {
        char text[16];
        std::snprintf(text, sizeof text, "%10d\n", getpid());
        return std::string(text);
    }();
    const struct {
        const char* what;
        bool exists;
        std::string content;
        int ageSeconds;
        LockResult result;
        pid_t holder;
        bool staleNote;
    } rows[] = {
        {"no lock", false, "", 0, LockResult::Taken, 0, false},
        {"live, FHS form", true, std::to_string(live).insert(0, 10 - std::to_string(live).size(), ' ') + "\n", 0,
         LockResult::InUse, live, false},
        {"live, binary", true, Binary(live), 0, LockResult::InUse, live, false},
        {"live, no padding or newline", true, std::to_string(live), 0, LockResult::InUse, live, false},
        {"live, with program and user", true, std::to_string(live) + " efax uucp\n", 0, LockResult::InUse, live,
         false},
        {"stale, ASCII", true, "     " + std::to_string(gone) + "\n", 0, LockResult::Taken, 0, true},
        {"stale, binary", true, Binary(gone), 0, LockResult::Taken, 0, true},
        {"ours, left by a process of our PID", true, mine, 0, LockResult::Taken, 0, true},
        {"no PID, old", true, "garbage", 60, LockResult::Taken, 0, true},
        {"no PID, just made (its owner may be writing it)", true, "", 0, LockResult::InUse, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDir dir;
        const std::string path = dir.Path() + "/LCK..ttyUSB0";
        if (row.exists) {
            dir.Make("LCK..ttyUSB0", row.content);
            const timespec age[2] = {{time(nullptr) - row.ageSeconds, 0}, {time(nullptr) - row.ageSeconds, 0}};
            utimensat(AT_FDCWD, path.c_str(), age, 0);
        }
        {
            UucpLock lock;
            EXPECT_EQ(lock.Take(dir.Path(), "/dev/ttyUSB0"), row.result);
            EXPECT_EQ(lock.holderPid, row.holder);
            if (row.holder == live) {
                EXPECT_EQ(lock.holderCommand, ProcessCommand(live));
            }
            EXPECT_EQ(!lock.staleNote.empty(), row.staleNote) << lock.staleNote;
            if (row.result == LockResult::Taken) {
                EXPECT_EQ(ReadAll(path), mine);
                struct stat info;
                ASSERT_EQ(stat(path.c_str(), &info), 0);
                EXPECT_EQ(info.st_mode & 0777, 0644u);
            } else {
                EXPECT_EQ(ReadAll(path), row.content);
            }
        }
        // Released at the end of its scope; another's lock is left as it was.
        EXPECT_EQ(access(path.c_str(), F_OK) == 0, row.result == LockResult::InUse);
        EXPECT_EQ(access((dir.Path() + "/LTMP." + std::to_string(getpid())).c_str(), F_OK), -1);
    }
}

TEST(UucpLock, LeavesALockThatIsNoLongerOurs) {
    ScratchDir dir;
    UucpLock lock;
    ASSERT_EQ(lock.Take(dir.Path(), "/dev/ttyS0"), LockResult::Taken);
    // Another program found it stale (wrongly) and put its own in its place.
    dir.Make("LCK..ttyS0", "        42\n");
    lock.Release();
    EXPECT_EQ(ReadAll(dir.Path() + "/LCK..ttyS0"), "        42\n");
}

TEST(UucpLock, ADirectoryThatTakesNoLockChangesNothing) {
    ScratchDir dir;
    UucpLock lock;
    EXPECT_EQ(lock.Take(dir.Path() + "/missing", "/dev/ttyS0"), LockResult::NotWritable);
    EXPECT_NE(lock.writeError.find("No such file or directory"), std::string::npos) << lock.writeError;
    EXPECT_TRUE(lock.Path().empty());
}

TEST(SerialPorts, NamesAndLists) {
    const struct {
        const char* text;
        std::string path;
    } names[] = {
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/ttyACM1", "/dev/ttyACM1"},
        {"/dev/serial/by-id/usb-Modem-if00", "/dev/serial/by-id/usb-Modem-if00"},
        {"./com4", "./com4"},
    };
    for (const auto& row : names) EXPECT_EQ(PortPath(row.text), row.path);
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
        sys.Make(std::string("class/tty/") + entry.name + "/dev", "4:64\n");
        if (entry.type) sys.Make(std::string("class/tty/") + entry.name + "/type", entry.type);
        if (entry.subsystem) {
            sys.Make(std::string("class/tty/") + entry.name + "/device/x");
            sys.Link(std::string("class/tty/") + entry.name + "/device/subsystem",
                     sys.Path() + "/" + entry.subsystem);
        }
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
    proc.Make("812/comm", "ModemManager\n");
    proc.Link("812/fd/11", device);
    proc.Make("901/comm", "cu\n");
    proc.Link("901/fd/0", "/dev/pts/0");
    proc.Link("901/fd/3", device);
    proc.Make("77/comm", "bash\n");
    proc.Link("77/fd/1", "/dev/pts/0");
    proc.Make("self/comm", "not a process\n");
    proc.Link(std::to_string(getpid()) + "/fd/5", device);  // we never count ourselves
    proc.Make(std::to_string(getpid()) + "/comm", "etiquette_test\n");

    const std::vector<PortHolder> holders = ProcessesHolding(device, proc.Path());
    EXPECT_EQ(DescribeHolders(holders), holders.size() == 2 && holders[0].pid == 812
                                            ? "PIDs 812 (ModemManager), 901 (cu)"
                                            : "PIDs 901 (cu), 812 (ModemManager)");
    EXPECT_EQ(DescribeHolders({{77, "bash"}}), "PID 77 (bash)");
    // The far end of a pseudo-terminal keeps its slave open; the master of another one does not count.
    proc.Make("300/comm", "vmodem\n");
    proc.Link("300/fd/3", "/dev/ptmx");
    proc.Make("300/fdinfo/3", "pos:\t0\nflags:\t02100002\ntty-index:\t7\n");
    proc.Link("300/fd/4", "/dev/pts/7");
    proc.Make("301/comm", "socat\n");
    proc.Link("301/fd/5", "/dev/ptmx");
    proc.Make("301/fdinfo/5", "tty-index:\t8\n");
    proc.Link("301/fd/6", "/dev/pts/7");
    EXPECT_EQ(DescribeHolders(ProcessesHolding("/dev/pts/7", proc.Path())), "PID 301 (socat)");
    EXPECT_EQ(DescribeHolders(ProcessesHolding("/dev/pts/8", proc.Path())), "");
    EXPECT_EQ(DescribeHolders({}), "");

    char lockLine[160];
    std::snprintf(lockLine, sizeof lockLine,
                  "1: -> FLOCK  ADVISORY  WRITE 55 %02x:%02x:%lu 0 EOF\n"
                  "2: POSIX  ADVISORY  WRITE 66 %02x:%02x:%lu 0 EOF\n"
                  "3: FLOCK  ADVISORY  WRITE 901 %02x:%02x:%lu 0 EOF\n",
                  major(info.st_dev), minor(info.st_dev), static_cast<unsigned long>(info.st_ino),
                  major(info.st_dev), minor(info.st_dev), static_cast<unsigned long>(info.st_ino),
                  major(info.st_dev), minor(info.st_dev), static_cast<unsigned long>(info.st_ino));
    proc.Make("locks", std::string("4: FLOCK  ADVISORY  WRITE 44 00:00:1 0 EOF\n") + lockLine);
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
