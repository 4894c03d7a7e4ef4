#pragma once

#include <termios.h>

#include <string>

// The host side of a modem port: opens the COM link like Wine does and
// talks raw bytes over it.
class SerialClient {
public:
    explicit SerialClient(const std::string& path);  // throws std::runtime_error
    ~SerialClient();
    SerialClient(const SerialClient&) = delete;
    SerialClient& operator=(const SerialClient&) = delete;

    // Raw mode with the given speed and frame.
    void configure(speed_t speed, tcflag_t frame);
    void write(const std::string& bytes);
    // Reads until `count` bytes arrived or `timeout_ms` passed.
    std::string read(std::size_t count, int timeout_ms);

private:
    int fd_ = -1;
};
