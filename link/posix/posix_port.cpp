#include "link/posix/posix_port.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <thread>

#include "link/posix/exit_release.h"
#include "link/posix/port_holders.h"
#include "link/posix/serial_ports.h"
#include "link/posix/sharing_gettys.h"
#include "link/posix/terminals.h"

namespace {

// A write the modem does not take within this time is cut short, as the
// program's line settings cut it short on Windows.
constexpr std::chrono::milliseconds kWriteLimit{1000};
// How often a lock waited for is looked at again.
constexpr std::chrono::milliseconds kLockLookInterval{200};

PortStatus Fail(PortFault fault, const char* call, int error, std::string detail) {
    return PortStatus::Failure(fault, call, error, std::move(detail));
}

std::string GroupOf(const std::string& device) {
    struct stat info;
    if (stat(device.c_str(), &info) != 0) return "";
    const group* entry = getgrgid(info.st_gid);
    return entry ? entry->gr_name : std::to_string(info.st_gid);
}

std::string NoPermissionText(const std::string& device) {
    const std::string group = GroupOf(device);
    if (group.empty()) return "no permission to open " + device;
    return "no permission to open " + device + ", which belongs to the group " + group +
           ": add the user to it (sudo usermod -aG " + group + " $USER) and log in again";
}

// Waits for the port to take bytes; false once the deadline has passed.
bool WaitWritable(int fd, Deadline deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - ModemClock::now());
    if (left.count() <= 0) return false;
    pollfd entry{fd, POLLOUT, 0};
    return poll(&entry, 1, static_cast<int>(left.count())) > 0 || errno == EINTR;
}

}  // namespace

PosixPort::PosixPort(PosixPortSettings settings) : m_settings(std::move(settings)) {}

PosixPort::~PosixPort() { Release(PortRelease::Close); }

void PosixPort::SayOnce(bool& said, const std::string& note) {
    if (said) return;
    said = true;
    m_settings.say(note);
}

PortStatus PosixPort::Open(const char* name) {
    Release(PortRelease::Close);
    const std::string device = RealDevice(name);
    if (device.empty())
        return Fail(PortFault::NoSuchPort, "realpath", errno, std::string(name) + ": no such port");
    struct stat info;
    if (stat(device.c_str(), &info) != 0 || !S_ISCHR(info.st_mode) || !IsSerialDevice(info.st_rdev))
        return Fail(PortFault::NoSuchPort, "stat", ENOTTY, std::string(name) + " is not a serial port");
    // The user's own terminal would be left to our AT commands and our line settings.
    const std::string own = OwnTerminalRole(info.st_rdev);
    if (!own.empty())
        return Fail(PortFault::InUse, "open", EBUSY, device + " is this program's own terminal (" + own + ")");

    const PortStatus locked = TakeLock(device);
    if (!locked.Ok()) return locked;
    const PortStatus opened = OpenDevice(device);
    if (!opened.Ok()) {
        m_fd.Reset();
        m_lock.Release();
        m_sharing = false;
        return opened;
    }
    // Looked for once the device is open, so the modem's settling time runs meanwhile.
    const pid_t modemManager = ModemManagerPid();
    if (modemManager && !IgnoredByModemManager(device))
        SayOnce(m_saidModemManager, "ModemManager (PID " + std::to_string(modemManager) +
                                        ") is running and may probe " + device + " while we use it; " +
                                        kModemManagerAdvice);
    m_device = device;
    m_receiving = false;
    m_readFailed = false;
    return {};
}

PortStatus PosixPort::TakeLock(const std::string& device) {
    LockResult lock = m_lock.Take(m_settings.lockDir, device);
    if (!m_lock.staleNote.empty()) m_settings.say(m_lock.staleNote);
    // A call or a fax in progress ends in its own time: the lock is looked at
    // again now and then, until it goes or the wait is over.
    const Deadline waitEnds = ModemClock::now() + m_settings.lockWait;
    if (lock == LockResult::InUse && m_settings.lockWait.count() > 0)
        m_settings.say(device + " is locked by " + m_lock.Holder() + ": waiting up to " +
                       std::to_string(m_settings.lockWait.count()) + " s for it to go");
    while (lock == LockResult::InUse && ModemClock::now() < waitEnds) {
        std::this_thread::sleep_until(std::min(waitEnds, ModemClock::now() + kLockLookInterval));
        lock = m_lock.Take(m_settings.lockDir, device);
        if (!m_lock.staleNote.empty()) m_settings.say(m_lock.staleNote);
    }
    if (lock == LockResult::InUse)
        return Fail(PortFault::InUse, "lock", EBUSY, device + " is locked by " + m_lock.Holder());
    if (lock == LockResult::NotWritable)
        SayOnce(m_saidLockDir, m_lock.writeError + "; going on with flock and exclusive mode (TIOCEXCL) only");
    return {};
}

PortStatus PosixPort::OpenDevice(const std::string& device) {
    // Non-blocking: the open must not wait for the modem's carrier, and reads
    // wait in poll, against a deadline.
    m_fd.Reset(open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    m_openedAt = ModemClock::now();
    if (!m_fd) {
        const int error = errno;
        switch (error) {
        case EACCES:
        case EPERM: return Fail(PortFault::NoPermission, "open", error, NoPermissionText(device));
        case EBUSY: {
            const std::string holders = DescribeHolders(ProcessesHolding(device));
            return Fail(PortFault::InUse, "open", error,
                        device + " is open for exclusive use (TIOCEXCL) by " +
                            (holders.empty() ? std::string("another program") : holders));
        }
        case ENOENT:
        case ENODEV:
        case ENXIO: return Fail(PortFault::NoSuchPort, "open", error, device + ": " + std::strerror(error));
        default: return Fail(PortFault::Failed, "open", error, device + ": " + std::strerror(error));
        }
    }
    if (!isatty(m_fd.Get())) return Fail(PortFault::NoSuchPort, "isatty", errno, device + " is not a serial port");
    if (flock(m_fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        const PortHolder holder = FlockHolder(device);
        return Fail(error == EWOULDBLOCK ? PortFault::InUse : PortFault::Failed, "flock", error,
                    device + " is locked (flock) by " +
                        (holder.pid ? "PID " + std::to_string(holder.pid) + " (" + holder.command + ")"
                                    : std::string("another program")));
    }
    const PortStatus shared = ShareWithHolders(device);
    return shared.Ok() ? TakeLine(device) : shared;
}

PortStatus PosixPort::ShareWithHolders(const std::string& device) {
    // A program that keeps the port open without any lock (a getty on a
    // serial console, ModemManager), or whose login terminal it is, is using
    // it all the same: our open has changed nothing on the line, which was
    // up already, and our close will not drop it. A getty that shares the
    // line the UUCP way asks only that we hold the lock.
    std::vector<PortHolder> others, gettys;
    for (const PortHolder& holder : ProcessesHolding(device))
        (SharesLineThroughLocks(holder.command) ? gettys : others).push_back(holder);
    if (!gettys.empty() && !m_lock.Held() && others.empty())
        return Fail(PortFault::InUse, "open", EBUSY,
                    device + " " + DescribeUse(gettys) +
                        ", which shares the line only with a program that holds its UUCP lock, and we hold none");
    if (!others.empty()) {
        bool modemManager = false;
        for (const PortHolder& holder : others) modemManager = modemManager || holder.command == "ModemManager";
        return Fail(PortFault::InUse, "open", EBUSY,
                    device + " " + DescribeUse(others) +
                        (modemManager ? std::string("; ") + kModemManagerAdvice : std::string()));
    }
    m_sharing = !gettys.empty();
    if (m_sharing)
        m_settings.say(DescribeHolders(gettys) + " waits for calls on " + device +
                       " and shares the line through the UUCP lock: it will initialise the modem again after we "
                       "are done");
    return {};
}

PortStatus PosixPort::TakeLine(const std::string& device) {
    const int fd = m_fd.Get();
    m_haveFound = tcgetattr(fd, &m_found) == 0;
    // Last: exclusive mode would shut out the getty we share the line with,
    // which reopens it after us, so it is set only on a port that is ours alone.
    if (!m_sharing && ioctl(fd, TIOCEXCL) != 0)
        return Fail(PortFault::Failed, "TIOCEXCL", errno, device + ": " + std::strerror(errno));
    m_exclusive = !m_sharing;
    if (m_haveFound) m_restoreSlot = ArmPortRestore(fd, m_found, m_exclusive);
    return {};
}

void PosixPort::RestoreLine() {
    DisarmPortRestore(m_restoreSlot);
    m_restoreSlot = -1;
    if (m_haveFound) tcsetattr(m_fd.Get(), TCSANOW, &m_found);
    // A pseudo-terminal's tty outlives our close: left exclusive, it would refuse everyone but root.
    if (m_exclusive) ioctl(m_fd.Get(), TIOCNXCL);
    m_haveFound = false;
    m_exclusive = false;
}

PortStatus PosixPort::Configure() {
    if (!IsOpen()) return Fail(PortFault::Failed, "tcgetattr", EBADF, "no port is open");
    const int fd = m_fd.Get();
    PortStatus first;
    termios line;
    if (tcgetattr(fd, &line) != 0) {
        first = Fail(PortFault::Failed, "tcgetattr", errno, m_device + ": " + std::strerror(errno));
    } else {
        cfmakeraw(&line);
        line.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
        // The modem talks back while we have no carrier: CLOCAL ignores DCD.
        line.c_cflag |= CS8 | CREAD | CLOCAL | HUPCL | CRTSCTS;
        line.c_iflag &= ~(IXON | IXOFF | IXANY);
        line.c_cc[VMIN] = 0;
        line.c_cc[VTIME] = 0;
        cfsetispeed(&line, B19200);
        cfsetospeed(&line, B19200);
        if (tcsetattr(fd, TCSANOW, &line) != 0)
            first = Fail(PortFault::Failed, "tcsetattr", errno, m_device + ": " + std::strerror(errno));
    }
    int dtr = TIOCM_DTR;
    if (ioctl(fd, TIOCMBIS, &dtr) != 0 && m_settings.verbose)
        SayOnce(m_saidModemLines, m_device + " refuses the modem-line calls (TIOCMBIS: " + std::strerror(errno) +
                                      "), as a pseudo-terminal does: going on without DTR");
    // Whatever the modem sent while nobody listened is no answer to us.
    if (tcflush(fd, TCIOFLUSH) != 0 && first.Ok())
        first = Fail(PortFault::Failed, "tcflush", errno, m_device + ": " + std::strerror(errno));
    m_receiving = true;
    return first;
}

PortStatus PosixPort::Write(const char* bytes, std::size_t count) {
    if (!IsOpen()) return {};
    const Deadline limit = ModemClock::now() + kWriteLimit;
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = write(m_fd.Get(), bytes + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            if (!WaitWritable(m_fd.Get(), limit))
                return Fail(PortFault::Failed, "write", ETIMEDOUT, m_device + ": the modem took no more bytes");
        } else {
            return Fail(errno == EIO ? PortFault::NoSuchPort : PortFault::Failed, "write", errno,
                        m_device + ": " + std::strerror(errno));
        }
    }
    return {};
}

PortRead PosixPort::Read(char* buffer, std::size_t room, Deadline deadline) {
    if (!IsOpen()) return {};
    // After a failed reading, or once reception has ended, nothing is read:
    // the caller's time passes asleep.
    if (m_readFailed || !m_receiving) {
        std::this_thread::sleep_until(deadline);
        return {};
    }
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - ModemClock::now());
        pollfd entry{m_fd.Get(), POLLIN, 0};
        const int ready = poll(&entry, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return {};
        if (ready > 0 && (entry.revents & POLLIN)) {
            const ssize_t n = read(m_fd.Get(), buffer, room);
            if (n > 0) return {static_cast<std::size_t>(n), {}};
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        }
        // POLLHUP, POLLERR, or a read that failed: the device has gone (an
        // unplugged USB modem) or stopped working.
        const int error = ready < 0 ? errno : EIO;
        m_readFailed = true;
        return {0, Fail(error == EIO ? PortFault::NoSuchPort : PortFault::Failed, "read", error,
                        m_device + ": the port stopped working (" + std::strerror(error) + ")")};
    }
}

void PosixPort::Release(PortRelease how) {
    if (IsOpen()) {
        const int fd = m_fd.Get();
        // Beside a getty the line stays up: the getty's own close decides.
        int dtr = TIOCM_DTR;
        if (!m_sharing) ioctl(fd, TIOCMBIC, &dtr);
        // Output still queued was refused by the modem (CTS low): closing
        // would wait for it for half a minute.
        int queued = 0;
        if (how == PortRelease::DropLineAndClose || (ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0))
            tcflush(fd, how == PortRelease::DropLineAndClose ? TCIOFLUSH : TCOFLUSH);
        // Beside a getty, nothing the modem said is left for it to take for a caller once the lock goes.
        if (m_sharing) tcflush(fd, TCIFLUSH);
        RestoreLine();
        m_fd.Reset();
    }
    m_lock.Release();
    m_sharing = false;
    m_device.clear();
    m_openedAt = {};
    m_receiving = false;
}
