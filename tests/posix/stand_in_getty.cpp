// A getty that shares its line the UUCP way, as mgetty does while it waits
// for a call, for the Linux rows: it makes the port the controlling terminal
// of a session of its own, without a lock, gives it a line of its own, and
// polls it without reading. When characters arrive it looks at the port's
// lock file: held by a live process other than itself, it closes the port,
// waits for the lock to go and exits, saying so; with no such lock it would
// take the characters for a caller, and says that instead.
//   stand_in_getty DEVICE LOCKFILE
// Says "ready" once it holds the port; then "stepped back for PID N" and
// "saw the lock go" (exit 0), or "characters came with no lock" or "the line
// hung up" (exit 1).
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// How long it waits for a lock to go before it gives up on the row.
constexpr int kLockPatienceMs = 30000;
constexpr int kLookIntervalMs = 20;

// The live process other than us that the lock file names; 0 when none does.
pid_t LockHolder(const char* lockFile) {
    std::ifstream lock(lockFile);
    long pid = 0;
    if (!(lock >> pid) || pid <= 0 || pid == getpid()) return 0;
    return kill(static_cast<pid_t>(pid), 0) == 0 ? static_cast<pid_t>(pid) : 0;
}

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// 38400 bit/s, 8N1 with hardware flow control, raw: a getty's line while it waits.
bool TakePort(const char* device, int& fd) {
    fd = setsid() < 0 ? -1 : open(device, O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios line;
    if (fd < 0 || ioctl(fd, TIOCSCTTY, 0) != 0 || tcgetattr(fd, &line) != 0) return false;
    cfmakeraw(&line);
    line.c_cflag |= CRTSCTS | HUPCL | CLOCAL;
    cfsetispeed(&line, B38400);
    cfsetospeed(&line, B38400);
    // What came before it took the line is no caller of its.
    return tcsetattr(fd, TCSANOW, &line) == 0 && tcflush(fd, TCIFLUSH) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Woken with the program that talks to the modem, it looks at the line
    // first, as a getty on a real UART has time to: that program reads what
    // came at once.
    const sched_param priority{10};
    sched_setscheduler(0, SCHED_FIFO, &priority);
    int fd = -1;
    if (argc != 3 || !TakePort(argv[1], fd)) {
        std::perror(argc == 3 ? argv[1] : "usage: stand_in_getty DEVICE LOCKFILE");
        return 2;
    }
    Say("ready");
    pollfd port{fd, POLLIN, 0};
    while (poll(&port, 1, -1) <= 0) {}
    if (!(port.revents & POLLIN)) {
        Say("the line hung up");
        return 1;
    }
    const pid_t holder = LockHolder(argv[2]);
    if (holder == 0) {
        Say("characters came with no lock");
        return 1;
    }
    close(fd);
    Say("stepped back for PID " + std::to_string(holder));
    for (int waited = 0; waited < kLockPatienceMs; waited += kLookIntervalMs) {
        if (access(argv[2], F_OK) != 0) {
            Say("saw the lock go");
            return 0;
        }
        usleep(kLookIntervalMs * 1000);
    }
    Say("the lock stayed");
    return 1;
}
