#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

// A line-based connection to the control channel of a running vmodem.
class ControlConnection {
public:
    explicit ControlConnection(int port);  // throws std::runtime_error
    ~ControlConnection();
    ControlConnection(const ControlConnection&) = delete;
    ControlConnection& operator=(const ControlConnection&) = delete;

    // Sends one request and returns the whole answer, up to and including
    // its "OK" or "ERR ..." line.
    std::string request(const std::string& line);
    void send_raw(const std::string& bytes);
    std::string read_answer();

private:
    int fd_ = -1;
    std::string pending_;  // bytes read past the last answer
};

// The vmodem binary running in its own temporary directory, with a control
// connection to it. Stops it (SIGTERM) and cleans up when destroyed.
class VmodemProcess {
public:
    explicit VmodemProcess(const std::vector<std::string>& extra_args = {});
    ~VmodemProcess();
    VmodemProcess(const VmodemProcess&) = delete;
    VmodemProcess& operator=(const VmodemProcess&) = delete;

    pid_t pid() const { return pid_; }
    std::string link(int n) const { return dir_ + "/ports/com" + std::to_string(n); }
    int control_port() const { return control_port_; }
    std::string request(const std::string& line) { return control_->request(line); }
    void send_raw(const std::string& bytes) { control_->send_raw(bytes); }
    std::string read_answer() { return control_->read_answer(); }

    // The exit code once the program has ended within the timeout; -1 otherwise
    // or when a signal ended it.
    int wait_exit(int timeout_ms);
    // User plus system CPU time used so far, in seconds.
    double cpu_seconds() const;

private:
    void stop();

    std::string dir_;
    pid_t pid_ = -1;
    int control_port_ = 0;
    std::unique_ptr<ControlConnection> control_;
};
