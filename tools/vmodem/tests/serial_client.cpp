#include "serial_client.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

SerialClient::SerialClient(const std::string& path)
    : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
{
    if (fd_ < 0)
        throw std::runtime_error("cannot open " + path);
    configure(B19200, CS8, false, false, true);
}

SerialClient::~SerialClient()
{
    ::close(fd_);
}

void SerialClient::configure(speed_t speed, tcflag_t char_size, bool parity, bool two_stop_bits,
                             bool rtscts)
{
    termios t{};
    if (tcgetattr(fd_, &t) != 0)
        throw std::runtime_error("tcgetattr failed");
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= char_size | (parity ? PARENB : 0) | (two_stop_bits ? CSTOPB : 0) |
                 (rtscts ? CRTSCTS : 0);
    if (tcsetattr(fd_, TCSANOW, &t) != 0)
        throw std::runtime_error("tcsetattr failed");
}

void SerialClient::write(const std::string& bytes)
{
    if (::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("short write to the modem");
}

std::string SerialClient::read(std::size_t count, int timeout_ms)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    std::string data;
    while (data.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd_, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
            break;
        char buffer[4096];
        ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - data.size()));
        if (n > 0)
            data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

void SerialClient::discard_input()
{
    tcflush(fd_, TCIFLUSH);
}
