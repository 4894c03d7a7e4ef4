#include "line_settings.h"

#include <termios.h>

namespace {

long baud_number(speed_t speed) {
    struct Rate {
        speed_t code;
        long baud;
    };
    static const Rate kRates[] = {
        {B0, 0},           {B50, 50},         {B75, 75},         {B110, 110},         {B134, 134},
        {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},         {B1200, 1200},
        {B1800, 1800},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},       {B19200, 19200},
        {B38400, 38400},   {B57600, 57600},   {B115200, 115200}, {B230400, 230400},   {B460800, 460800},
        {B500000, 500000}, {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000},
    };
    for (const Rate& r : kRates)
        if (r.code == speed) return r.baud;
    return -1;
}

int char_size(tcflag_t cflag) {
    switch (cflag & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
    }
}

}  // namespace

std::optional<std::string> describe_line_settings(int tty_fd) {
    termios t{};
    if (tcgetattr(tty_fd, &t) != 0) return std::nullopt;
    auto bit = [&](tcflag_t mask) { return (t.c_cflag & mask) ? "1" : "0"; };
    return "baud=" + std::to_string(baud_number(cfgetospeed(&t))) +
           " csize=" + std::to_string(char_size(t.c_cflag)) + " parenb=" + bit(PARENB) + " cstopb=" + bit(CSTOPB) +
           " crtscts=" + bit(CRTSCTS);
}
