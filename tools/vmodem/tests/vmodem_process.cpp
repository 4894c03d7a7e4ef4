#include "vmodem_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

ControlConnection::ControlConnection(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd_);
        throw std::runtime_error("cannot connect to the control port");
    }
}

ControlConnection::~ControlConnection() { ::close(fd_); }

void ControlConnection::send_raw(const std::string& bytes)
{
    if (::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("control connection lost");
}

std::string ControlConnection::read_answer()
{
    for (std::size_t from = 0;;) {
        // An answer ends with its "OK" or "ERR ..." line.
        for (std::size_t lf; (lf = pending_.find('\n', from)) != std::string::npos; from = lf + 1) {
            const std::string line = pending_.substr(from, lf - from);
            if (line == "OK" || line.rfind("ERR ", 0) == 0) {
                std::string answer = pending_.substr(0, lf + 1);
                pending_.erase(0, lf + 1);
                return answer;
            }
        }
        pollfd p{fd_, POLLIN, 0};
        char buffer[65536];
        const ssize_t n = ::poll(&p, 1, 5000) > 0 ? ::recv(fd_, buffer, sizeof buffer, 0) : 0;
        if (n <= 0)
            throw std::runtime_error("no answer on the control connection");
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string ControlConnection::request(const std::string& line)
{
    send_raw(line + "\n");
    return read_answer();
}

VmodemProcess::VmodemProcess(const std::vector<std::string>& extra_args)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vmodem-e2e-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data()) ? pattern : throw std::runtime_error("mkdtemp failed");
    std::vector<std::string> args = {VMODEM_BINARY, "--dir", dir_ + "/ports", "--control", "0", "--ready-file", dir_ + "/ready"};
    args.insert(args.end(), extra_args.begin(), extra_args.end());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    if ((pid_ = ::fork()) == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    for (int tries = 0; tries < 500 && control_port_ == 0; ++tries) {
        std::ifstream ready(dir_ + "/ready");
        std::string key;
        for (int value; ready >> key >> value;)
            control_port_ = key == "control" ? value : control_port_;
        std::this_thread::sleep_for(std::chrono::milliseconds(control_port_ ? 0 : 10));
    }
    if (control_port_ == 0) {
        stop();
        throw std::runtime_error("vmodem did not get ready");
    }
    control_ = std::make_unique<ControlConnection>(control_port_);
}

VmodemProcess::~VmodemProcess() { stop(); }

void VmodemProcess::stop()
{
    control_.reset();
    if (pid_ > 0 && wait_exit(0) == -1 && pid_ > 0 && (::kill(pid_, SIGTERM), wait_exit(3000)) == -1 && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

int VmodemProcess::wait_exit(int timeout_ms)
{
    for (int waited = 0; pid_ > 0; waited += 10) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;  // reaped: forgotten
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (waited >= timeout_ms)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

double VmodemProcess::cpu_seconds() const
{
    std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), field;
    // Fields after the parenthesised command name; utime and stime are the 12th and 13th.
    std::istringstream rest(stat.substr(stat.rfind(')') + 2));
    unsigned long long ticks = 0;
    for (int i = 1; i <= 13 && rest >> field; ++i)
        ticks += i >= 12 ? std::stoull(field) : 0;
    return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}
