// Other programs on a serial port, for the Linux rows; a row copies this
// program under the command name it needs (ModemManager, mgetty).
//   port_helper open|flock|excl DEVICE
// holds the port until it is killed: open, under flock, or in exclusive mode
// (TIOCEXCL). Says "ready" once it does.
//   port_helper getty DEVICE LOCKFILE
// a getty that shares its line the UUCP way, as mgetty does while it waits
// for a call: it takes the port as its controlling terminal, without a lock,
// gives it a line of its own and polls it without reading. When characters
// arrive it looks at the lock file: held by a live process other than
// itself, it closes the port and waits for the lock to go. Says "ready",
// then "stepped back for PID N" and "saw the lock go" (exit 0), or
// "characters came with no lock" or "the line hung up" (exit 1).
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// How long the getty waits for a lock to go before it gives up on the row.
constexpr int kLockPatienceMs = 30000;
constexpr int kLookIntervalMs = 20;

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

int Failed(const char* what) {
    std::perror(what);
    return 1;
}

// The port as the controlling terminal of a new session: its descriptor, or -1.
int TakeAsTerminal(const char* device) {
    const int fd = setsid() < 0 ? -1 : open(device, O_RDWR | O_NOCTTY | O_NONBLOCK);
    return fd >= 0 && ioctl(fd, TIOCSCTTY, 0) == 0 ? fd : -1;
}

int Hold(const char* mode, const char* device) {
    const int fd = open(device, O_RDWR | O_NOCTTY | O_NONBLOCK);
    const bool held = fd >= 0 && (std::strcmp(mode, "open") == 0 ||
                                  (std::strcmp(mode, "flock") == 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) ||
                                  (std::strcmp(mode, "excl") == 0 && ioctl(fd, TIOCEXCL) == 0));
    if (!held) return Failed(mode);
    Say("ready");
    for (;;) pause();
}

// The live process other than us that the lock file names; 0 when none does.
pid_t LockHolder(const char* lockFile) {
    std::ifstream lock(lockFile);
    long pid = 0;
    if (!(lock >> pid) || pid <= 0 || pid == getpid()) return 0;
    return kill(static_cast<pid_t>(pid), 0) == 0 ? static_cast<pid_t>(pid) : 0;
}

int Getty(const char* device, const char* lockFile) {
    // Woken with the program that talks to the modem, it looks at the line
    // first, as a getty on a real UART has time to: that program reads what
    // came at once.
    const sched_param priority{10};
    sched_setscheduler(0, SCHED_FIFO, &priority);
    // 38400 bit/s, 8N1 with hardware flow control, raw: a getty's line while it waits.
    const int fd = TakeAsTerminal(device);
    termios line;
    if (fd < 0 || tcgetattr(fd, &line) != 0) return Failed(device);
    cfmakeraw(&line);
    line.c_cflag |= CRTSCTS | HUPCL | CLOCAL;
    cfsetispeed(&line, B38400);
    cfsetospeed(&line, B38400);
    // What came before it took the line is no caller of its.
    if (tcsetattr(fd, TCSANOW, &line) != 0 || tcflush(fd, TCIFLUSH) != 0) return Failed(device);
    Say("ready");
    pollfd port{fd, POLLIN, 0};
    while (poll(&port, 1, -1) <= 0) {}
    const pid_t holder = LockHolder(lockFile);
    if (!(port.revents & POLLIN) || holder == 0) {
        Say(port.revents & POLLIN ? "characters came with no lock" : "the line hung up");
        return 1;
    }
    close(fd);
    Say("stepped back for PID " + std::to_string(holder));
    for (int waited = 0; waited < kLockPatienceMs; waited += kLookIntervalMs) {
        if (access(lockFile, F_OK) != 0) {
            Say("saw the lock go");
            return 0;
        }
        usleep(kLookIntervalMs * 1000);
    }
    Say("the lock stayed");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Hold refuses a mode it does not know, as it refuses a port it cannot hold.
    if (argc == 3) return Hold(argv[1], argv[2]);
    if (argc == 4 && std::string(argv[1]) == "getty") return Getty(argv[2], argv[3]);
    std::fprintf(stderr, "usage: port_helper open|flock|excl DEVICE | getty DEVICE LOCKFILE\n");
    return 2;
}
