// What a terminal's line looks like, for the Linux rows: whether it is in
// exclusive mode (TIOCGEXCL) and every field of its termios, on one line.
// "mark" first gives the line settings that nobody else would choose, so
// that a row can tell whether a program put them back.
//   tty_state DEVICE [mark]
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

// 2400 bit/s, two stop bits, canonical input with echo. (A pseudo-terminal
// keeps 8 data bits and no parity, whatever it is told.)
void Mark(termios& line) {
    line.c_iflag = ICRNL | IXON | IGNBRK;
    line.c_oflag = OPOST | ONLCR;
    line.c_cflag = CS8 | CSTOPB | CREAD | HUPCL;
    line.c_lflag = ICANON | ECHO | ECHOE | ISIG;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 5;
    cfsetispeed(&line, B2400);
    cfsetospeed(&line, B2400);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "mark") != 0)) {
        std::fprintf(stderr, "usage: tty_state DEVICE [mark]\n");
        return 2;
    }
    const int fd = open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios line;
    int exclusive = -1;
    if (fd < 0 || tcgetattr(fd, &line) != 0 || ioctl(fd, TIOCGEXCL, &exclusive) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    if (argc == 3) {
        Mark(line);
        if (tcsetattr(fd, TCSANOW, &line) != 0 || tcgetattr(fd, &line) != 0) {
            std::perror("tcsetattr");
            return 1;
        }
    }
    std::printf("excl=%d iflag=%o oflag=%o cflag=%o lflag=%o ispeed=%u ospeed=%u cc=", exclusive, line.c_iflag,
                line.c_oflag, line.c_cflag, line.c_lflag, static_cast<unsigned>(cfgetispeed(&line)),
                static_cast<unsigned>(cfgetospeed(&line)));
    for (cc_t c : line.c_cc) std::printf("%02x", c);
    std::printf("\n");
    close(fd);
    return 0;
}
