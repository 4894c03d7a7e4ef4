#include "signal_watch.h"

#include <sys/signalfd.h>

#include <cerrno>
#include <system_error>

SignalWatch::SignalWatch() {
    ::signal(SIGPIPE, SIG_IGN);
    // A shell starting us in the background leaves SIGINT ignored, and an
    // ignored signal never reaches the signalfd.
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &mask, &old_mask_) != 0)
        throw std::system_error(errno, std::generic_category(), "sigprocmask");
    fd_.reset(::signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!fd_) {
        int saved = errno;
        sigprocmask(SIG_SETMASK, &old_mask_, nullptr);
        throw std::system_error(saved, std::generic_category(), "signalfd");
    }
}

SignalWatch::~SignalWatch() { sigprocmask(SIG_SETMASK, &old_mask_, nullptr); }
