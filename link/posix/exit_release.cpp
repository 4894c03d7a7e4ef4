#include "link/posix/exit_release.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace {

// Read by the handler, which may run at any moment: plain buffers, and a flag
// that says whether they hold a lock, set only after they are filled.
char g_path[PATH_MAX];
char g_content[32];
volatile sig_atomic_t g_armed = 0;

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2};

// Only async-signal-safe calls: the lock goes only if it still holds our content.
void OnEndingSignal(int signal) {
    if (g_armed) {
        char seen[sizeof g_content] = {};
        const int fd = open(g_path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0) {
            const ssize_t n = read(fd, seen, sizeof seen - 1);
            close(fd);
            if (n > 0 && std::strcmp(seen, g_content) == 0) unlink(g_path);
        }
        g_armed = 0;
    }
    // SA_RESETHAND has put the default action back: the signal now ends us.
    raise(signal);
}

}  // namespace

void InstallExitRelease() {
    struct sigaction action = {};
    action.sa_handler = OnEndingSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : kEndingSignals) sigaddset(&action.sa_mask, signal);
    for (int signal : kEndingSignals) {
        struct sigaction old;
        // A signal the caller ignores (nohup's SIGHUP, say) stays ignored.
        if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}

void ArmExitRelease(const char* path, const char* content) {
    g_armed = 0;
    std::strncpy(g_path, path, sizeof g_path - 1);
    std::strncpy(g_content, content, sizeof g_content - 1);
    g_armed = 1;
}

void DisarmExitRelease() { g_armed = 0; }
