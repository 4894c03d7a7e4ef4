#include "vmodem_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::string make_temp_dir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vmodem-e2e-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

bool is_answer_end(const std::string& line)
{
    return line == "OK" || line.rfind("ERR ", 0) == 0;
}

}  // namespace

ControlConnection::ControlConnection(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (fd_ >= 0)
            ::close(fd_);
        throw std::runtime_error("cannot connect to the control port");
    }
}

ControlConnection::~ControlConnection()
{
    ::close(fd_);
}

void ControlConnection::send_raw(const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            throw std::runtime_error("control connection lost");
        done += static_cast<std::size_t>(n);
    }
}

std::string ControlConnection::read_answer()
{
    std::string answer;
    for (;;) {
        std::size_t lf;
        while ((lf = pending_.find('\n')) != std::string::npos) {
            std::string line = pending_.substr(0, lf);
            answer += pending_.substr(0, lf + 1);
            pending_.erase(0, lf + 1);
            if (is_answer_end(line))
                return answer;
        }
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            throw std::runtime_error("no answer on the control connection");
        char buffer[65536];
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0)
            throw std::runtime_error("control connection closed");
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string ControlConnection::request(const std::string& line)
{
    send_raw(line + "\n");
    return read_answer();
}

VmodemProcess::VmodemProcess(const std::vector<std::string>& extra_args)
    : dir_(make_temp_dir()), ports_dir_(dir_ + "/ports")
{
    const std::string ready = dir_ + "/ready";
    std::vector<std::string> args = {VMODEM_BINARY, "--dir", ports_dir_, "--control", "0",
                                     "--ready-file", ready};
    args.insert(args.end(), extra_args.begin(), extra_args.end());
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }

    try {
        wait_until_ready(ready);
    } catch (...) {
        stop();
        throw;
    }
}

void VmodemProcess::wait_until_ready(const std::string& ready)
{
    for (int tries = 0; tries < 500 && control_port_ == 0; ++tries) {
        std::ifstream in(ready);
        std::string key;
        int value;
        while (in >> key >> value)
            if (key == "control")
                control_port_ = value;
        if (control_port_ == 0)
            std::this_thread::sleep_for(10ms);
    }
    if (control_port_ == 0)
        throw std::runtime_error("vmodem did not get ready");
    control_ = std::make_unique<ControlConnection>(control_port_);
}

VmodemProcess::~VmodemProcess()
{
    stop();
}

void VmodemProcess::stop()
{
    control_.reset();
    // wait_exit forgets the pid once the process is reaped.
    wait_exit(0);
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        wait_exit(3000);
    }
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

int VmodemProcess::wait_exit(int timeout_ms)
{
    if (pid_ <= 0)
        return -1;
    for (int waited = 0;; waited += 10) {
        int status = 0;
        pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (waited >= timeout_ms)
            return -1;
        std::this_thread::sleep_for(10ms);
    }
}

double VmodemProcess::cpu_seconds() const
{
    std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields after the parenthesised command name; utime and stime are the 12th and 13th.
    std::istringstream rest(stat.substr(stat.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 1; i <= 13 && rest >> field; ++i) {
        if (i == 12)
            utime = std::stoull(field);
        if (i == 13)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}
