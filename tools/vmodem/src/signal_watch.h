#pragma once

#include <signal.h>

#include "unique_fd.h"

// Turns SIGINT and SIGTERM into a readable descriptor (signalfd) so the
// event loop can end cleanly, and ignores SIGPIPE. Restores the previous
// signal mask when destroyed.
class SignalWatch {
public:
    SignalWatch();  // throws std::system_error
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    int fd() const { return fd_.get(); }

private:
    sigset_t old_mask_;
    UniqueFd fd_;
};
