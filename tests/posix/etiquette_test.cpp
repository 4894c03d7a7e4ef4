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
// The FHS form: ten digits, right-aligned, and a newline.
std::string Fhs(pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", pid);
    return text;
}

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
        {Fhs(1234), 1234},                // the FHS form
        {"1234\n", 1234},                 // no padding
        {"1234", 1234},                   // no newline either
        {"  1234 minicom root\n", 1234},  // lockdev and minicom add the program and user
        {Binary(1234), 1234},             // old UUCP and Kermit: a native int
        {Binary(2570), 2570},             // binary bytes that are line feeds: "\n\n\0\0"
        {Binary(12337), 12337},           // binary bytes that begin like digits: "10\0\0"
    };
    for (const auto& row : rows) EXPECT_EQ(ParseLockPid(row.content), row.pid) << '"' << row.content << '"';
    // Neither text nor a PID the kernel can give.
    const std::vector<std::string> none = {"",      "\n",       "lock\n",          "-5\n", "0\n", "99999999999\n",
                                           "12a\n", Binary(-1), Binary(0x7fffffff)};
    for (const std::string& content : none) EXPECT_EQ(ParseLockPid(content), 0) << '"' << content << '"';
}

TEST(UucpLock, NamesTheLockAfterTheDevice) {
    EXPECT_EQ(LockFileName("/dev/ttyUSB0"), "LCK..ttyUSB0");
    EXPECT_EQ(LockFileName("/dev/pts/3"), "LCK..pts_3");
    EXPECT_EQ(LockFileName("/dev/serial/ttyX"), "LCK..serial_ttyX");
}

TEST(UucpLock, TakesLeavesAndClearsLocks) {
    const pid_t live = getppid(), gone = GonePid();
    const std::string mine = Fhs(getpid());
    const struct {
        const char* what;
        std::string content;
        int age;  // seconds since the lock was written; -1: no lock
        LockResult result;
        pid_t holder;
        bool staleNote;
    } rows[] = {
        {"no lock", "", -1, LockResult::Taken, 0, false},
        {"live, binary", Binary(live), 0, LockResult::InUse, live, false},
        {"stale, binary", Binary(gone), 0, LockResult::Taken, 0, true},
        {"ours, left by a process of our PID", mine, 0, LockResult::Taken, 0, true},
        {"no PID, old", "garbage", 60, LockResult::Taken, 0, true},
        {"no PID, just made (its owner may be writing it)", "", 0, LockResult::InUse, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDir dir;
        const std::string path = dir.Path() + "/LCK..ttyUSB0";
        if (row.age >= 0) {
            dir.Make("LCK..ttyUSB0", row.content);
            const timespec age[2] = {{time(nullptr) - row.age, 0}, {time(nullptr) - row.age, 0}};
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

// Release leaves a lock that is no longer ours, and a directory that takes no
// lock changes nothing.
TEST(UucpLock, LeavesWhatIsNotOurs) {
    ScratchDir dir;
    UucpLock lock;
    ASSERT_EQ(lock.Take(dir.Path(), "/dev/ttyS0"), LockResult::Taken);
    // Another program found it stale (wrongly) and put its own in its place.
    dir.Make("LCK..ttyS0", Fhs(42));
    lock.Release();
    EXPECT_EQ(ReadAll(dir.Path() + "/LCK..ttyS0"), Fhs(42));

    EXPECT_EQ(lock.Take(dir.Path() + "/missing", "/dev/ttyS0"), LockResult::NotWritable);
    EXPECT_NE(lock.writeError.find("No such file or directory"), std::string::npos) << lock.writeError;
    EXPECT_TRUE(lock.Path().empty());
}

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
