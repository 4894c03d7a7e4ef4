#include "app.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <system_error>
#include <vector>

App::App(const Options& options) : rack_(options.dir, clock_) {
    for (const Options::Modem& m : options.modems) rack_.attach(m.port).engine().settings().country = m.country;
    if (options.control_port) {
        control_ = std::make_unique<ControlServer>(*options.control_port, [this](std::string_view line) {
            return handle_control_request(line, rack_, clock_);
        });
    }
}

std::optional<std::uint16_t> App::control_port() const {
    if (!control_) return std::nullopt;
    return control_->port();
}

void App::run() {
    enum class Source { Signal, Listener, Client, Port };
    struct Target {
        Source source;
        int key;  // client id or port number
    };
    std::vector<pollfd> fds;
    std::vector<Target> targets;
    auto watch = [&](int fd, short events, Target target) {
        fds.push_back({fd, events, 0});
        targets.push_back(target);
    };

    bool stop = false;
    while (!stop) {
        fds.clear();
        targets.clear();
        watch(signals_.fd(), POLLIN, {Source::Signal, 0});
        if (control_) {
            watch(control_->listen_fd(), POLLIN, {Source::Listener, 0});
            for (const ControlServer::ClientPoll& c : control_->client_polls())
                watch(c.fd, c.events, {Source::Client, c.id});
        }
        for (int n = ModemRack::kFirstPort; n <= ModemRack::kLastPort; ++n) {
            ModemPort* port = rack_.find(n);
            // The host's open first: what it writes after the open may find the modem deaf.
            if (port && port->host_fd() >= 0) watch(port->host_fd(), POLLIN, {Source::Port, n});
            if (port && port->poll_fd() >= 0) watch(port->poll_fd(), port->poll_events(), {Source::Port, n});
        }

        if (::poll(fds.data(), fds.size(), poll_timeout()) < 0 && errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "poll");

        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            const Target& t = targets[i];
            switch (t.source) {
            case Source::Signal: {
                signalfd_siginfo info;
                while (::read(signals_.fd(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {}
                stop = true;
                break;
            }
            case Source::Listener: control_->accept_clients(); break;
            case Source::Client: control_->handle_client(t.key, fds[i].revents); break;
            case Source::Port: handle_port_event(t.key, fds[i].fd, fds[i].revents); break;
            }
        }
        run_port_timers();
        if (control_ && control_->quit_requested()) stop = true;
    }
    if (control_) control_->flush_all();
}

void App::handle_port_event(int n, int fd, short revents) {
    // A request handled earlier in this round may have replaced the modem.
    ModemPort* port = rack_.find(n);
    if (!port) return;
    if (fd == port->host_fd())
        port->handle_host_events();
    else if (fd == port->poll_fd())
        port->handle_events(revents);
}

int App::poll_timeout() const {
    const std::int64_t now = clock_.now_ms();
    std::optional<std::int64_t> next;
    for (int n = ModemRack::kFirstPort; n <= ModemRack::kLastPort; ++n) {
        const ModemPort* port = rack_.find(n);
        std::optional<std::int64_t> deadline = port ? port->next_deadline() : std::nullopt;
        if (deadline && (!next || *deadline < *next)) next = deadline;
    }
    if (!next) return -1;
    return static_cast<int>(std::min<std::int64_t>(std::max<std::int64_t>(*next - now, 0), INT_MAX));
}

void App::run_port_timers() {
    for (int n = ModemRack::kFirstPort; n <= ModemRack::kLastPort; ++n)
        if (ModemPort* port = rack_.find(n)) port->run_timers();
}
