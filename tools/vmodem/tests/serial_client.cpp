#include "serial_client.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <stdexcept>

SerialClient::SerialClient(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
{
    if (fd_ < 0)
        throw std::runtime_error("cannot open " + path);
    configure(B19200, CS8 | CRTSCTS);
}

SerialClient::~SerialClient() { ::close(fd_); }

void SerialClient::configure(speed_t speed, tcflag_t frame)
{
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    t.c_cflag = (t.c_cflag & ~(CSIZE | PARENB | CSTOPB | CRTSCTS)) | frame;
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
    std::string data;
    pollfd p{fd_, POLLIN, 0};
    // Each wait for more bytes is bounded by the whole timeout: enough for tests.
    while (data.size() < count && ::poll(&p, 1, timeout_ms) > 0) {
        char buffer[4096];
        const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - data.size()));
        if (n > 0)
            data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}
