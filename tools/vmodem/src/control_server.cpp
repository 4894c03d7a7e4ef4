#include "control_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <system_error>

namespace {

constexpr std::size_t kMaxLine = 4096;
constexpr std::size_t kMaxClients = 32;
constexpr std::size_t kMaxPendingAnswers = 64u << 20;

[[noreturn]] void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

ControlServer::ControlServer(std::uint16_t port, Handler handler) : handler_(std::move(handler)) {
    listener_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!listener_) fail("socket");
    int one = 1;
    ::setsockopt(listener_.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::bind(listener_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) fail("bind control port");
    if (::listen(listener_.get(), 16) != 0) fail("listen");
    socklen_t length = sizeof addr;
    if (::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&addr), &length) != 0) fail("getsockname");
    port_ = ntohs(addr.sin_port);
}

void ControlServer::accept_clients() {
    for (;;) {
        UniqueFd fd(::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) return;                               // EAGAIN, or a connection that went away before accept
        if (clients_.size() >= kMaxClients) continue;  // refused by closing it
        clients_[next_id_++].fd = std::move(fd);
    }
}

std::vector<ControlServer::ClientPoll> ControlServer::client_polls() const {
    std::vector<ClientPoll> polls;
    for (const auto& [id, c] : clients_) {
        short events = c.peer_done ? 0 : POLLIN;
        if (!c.out.empty()) events |= POLLOUT;
        polls.push_back({id, c.fd.get(), events});
    }
    return polls;
}

void ControlServer::handle_client(int id, short revents) {
    auto it = clients_.find(id);
    if (it == clients_.end()) return;
    Client& c = it->second;
    if (!c.peer_done && (revents & (POLLIN | POLLHUP | POLLERR))) read_from(c);
    write_to(c);
    if (c.broken || (c.peer_done && c.out.empty())) clients_.erase(it);
}

void ControlServer::flush_all() {
    for (auto& [id, c] : clients_) write_to(c);
}

void ControlServer::read_from(Client& c) {
    char buffer[16384];
    ssize_t n = ::recv(c.fd.get(), buffer, sizeof buffer, 0);
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) c.broken = true;
        return;
    }
    if (n == 0) {
        // The client finished sending; answer a last line without LF too.
        c.peer_done = true;
        if (!c.discarding && !c.in.empty()) c.in.push_back('\n');
    } else {
        c.in.append(buffer, static_cast<std::size_t>(n));
    }
    process_lines(c);
}

void ControlServer::process_lines(Client& c) {
    std::size_t start = 0;
    while (!quit_) {
        std::size_t lf = c.in.find('\n', start);
        if (lf == std::string::npos) break;
        std::string_view line(c.in.data() + start, lf - start);
        start = lf + 1;
        if (c.discarding) {
            c.discarding = false;  // end of the overlong line, already answered
            continue;
        }
        if (line.size() > kMaxLine) {
            c.out += "ERR line too long\n";
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        answer(c, line);
    }
    c.in.erase(0, start);
    if (quit_) c.in.clear();
    if (c.in.size() > kMaxLine) {
        if (!c.discarding) c.out += "ERR line too long\n";
        c.discarding = true;
        c.in.clear();
    }
}

void ControlServer::answer(Client& c, std::string_view line) {
    ControlAnswer a = handler_(line);
    c.out += a.text;
    if (a.quit) quit_ = true;
    if (c.out.size() > kMaxPendingAnswers) c.broken = true;  // the client does not read its answers
}

void ControlServer::write_to(Client& c) {
    while (!c.out.empty() && !c.broken) {
        ssize_t n = ::send(c.fd.get(), c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) c.broken = true;
            return;
        }
        c.out.erase(0, static_cast<std::size_t>(n));
    }
}
