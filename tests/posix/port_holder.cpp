// Another program holding a serial port, for the Linux rows: opens the
// device and keeps it, plainly, under flock, or in exclusive mode (TIOCEXCL),
// until it is killed. Says "ready" on standard output once it holds it.
//   port_holder open|flock|excl DEVICE
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: port_holder open|flock|excl DEVICE\n");
        return 2;
    }
    const int fd = open(argv[2], O_RDWR | O_NOCTTY | O_NONBLOCK);
    const bool held = fd >= 0 && (std::strcmp(argv[1], "open") == 0 ||
                                  (std::strcmp(argv[1], "flock") == 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) ||
                                  (std::strcmp(argv[1], "excl") == 0 && ioctl(fd, TIOCEXCL) == 0));
    if (!held) {
        std::perror(fd < 0 ? argv[2] : argv[1]);
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) pause();
}
