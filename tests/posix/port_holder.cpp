// Another program holding a serial port, for the Linux rows: opens the
// device and keeps it, plainly, under flock, or in exclusive mode (TIOCEXCL),
// until it is killed; or, as a login does, makes it the controlling terminal
// of a session of its own and keeps no descriptor of it (session). Says
// "ready" on standard output once it holds it.
//   port_holder open|flock|excl|session DEVICE
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

bool Hold(const char* mode, const char* device) {
    if (std::strcmp(mode, "session") == 0) {
        const int fd = setsid() < 0 ? -1 : open(device, O_RDWR | O_NOCTTY | O_NONBLOCK);
        return fd >= 0 && ioctl(fd, TIOCSCTTY, 0) == 0 && close(fd) == 0;
    }
    const int fd = open(device, O_RDWR | O_NOCTTY | O_NONBLOCK);
    return fd >= 0 && (std::strcmp(mode, "open") == 0 ||
                       (std::strcmp(mode, "flock") == 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) ||
                       (std::strcmp(mode, "excl") == 0 && ioctl(fd, TIOCEXCL) == 0));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: port_holder open|flock|excl|session DEVICE\n");
        return 2;
    }
    if (!Hold(argv[1], argv[2])) {
        std::perror(argv[1]);
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) pause();
}
