#include "pty_port.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace {

[[noreturn]] void fail(const std::string& what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

PtyPort::PtyPort(std::string link_path) : link_path_(std::move(link_path)) {
    master_.reset(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (!master_) fail("posix_openpt");
    if (grantpt(master_.get()) != 0 || unlockpt(master_.get()) != 0) fail("grantpt/unlockpt");
    char name[PATH_MAX];
    if (ptsname_r(master_.get(), name, sizeof name) != 0) fail("ptsname");
    slave_path_ = name;

    slave_.reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave_) fail("open " + slave_path_);
    termios t{};
    if (tcgetattr(slave_.get(), &t) != 0) fail("tcgetattr");
    cfmakeraw(&t);
    if (tcsetattr(slave_.get(), TCSANOW, &t) != 0) fail("tcsetattr");

    // The held slave above is opened before the watch: only hosts are seen.
    watch_.reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!watch_ || inotify_add_watch(watch_.get(), slave_path_.c_str(), IN_OPEN | IN_CLOSE) < 0)
        fail("inotify " + slave_path_);

    const std::string temp = link_path_ + ".new" + std::to_string(getpid());
    ::unlink(temp.c_str());
    if (::symlink(slave_path_.c_str(), temp.c_str()) != 0) fail("symlink " + temp);
    if (::rename(temp.c_str(), link_path_.c_str()) != 0) {
        int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        fail("rename to " + link_path_);
    }
}

int PtyPort::take_host_changes() {
    alignas(inotify_event) char buffer[4096];
    int change = 0;
    for (ssize_t n; (n = ::read(watch_.get(), buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->mask & IN_OPEN) ++change;
            if (event->mask & IN_CLOSE) --change;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return change;
}

PtyPort::~PtyPort() {
    char target[PATH_MAX];
    ssize_t n = ::readlink(link_path_.c_str(), target, sizeof target - 1);
    if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == slave_path_) ::unlink(link_path_.c_str());
}
