#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "clock.h"
#include "control_server.h"
#include "modem_rack.h"
#include "options.h"
#include "signal_watch.h"

// The whole program: the modems, the optional control channel and one
// single-threaded poll() loop that drives them. Nothing is shared between
// threads.
class App {
public:
    explicit App(const Options& options);  // sets everything up; throws on failure

    std::optional<std::uint16_t> control_port() const;

    // Runs until SIGINT, SIGTERM or a quit request.
    void run();

private:
    // The port's line or the watch on its host's opens.
    void handle_port_event(int n, int fd, short revents);
    int poll_timeout() const;
    void run_port_timers();

    Clock clock_;
    SignalWatch signals_;
    ModemRack rack_;
    std::unique_ptr<ControlServer> control_;  // declared last: its handler uses rack_
};
