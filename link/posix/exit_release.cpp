#include "link/posix/exit_release.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

// Read by the handler, which may run at any moment: plain buffers, and a
// state that says whether they hold a lock, set only after they are filled.
// The state is a lock-free atomic, which a handler may read, and by which a
// thread claims a free slot.
enum SlotState { kFree, kFilling, kArmed };
struct Slot {
    char path[PATH_MAX];
    char content[32];
    std::atomic<int> state{kFree};
};
// More than the serial ports a system has.
constexpr int kSlots = 64;
Slot g_slots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots' states");

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2};

// Only async-signal-safe calls: the lock goes only if it still holds our content.
void OnEndingSignal(int signal) {
    for (Slot& slot : g_slots) {
        if (slot.state.load() != kArmed) continue;
        char seen[sizeof slot.content] = {};
        const int fd = open(slot.path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0) {
            const ssize_t n = read(fd, seen, sizeof seen - 1);
            close(fd);
            if (n > 0 && std::strcmp(seen, slot.content) == 0) unlink(slot.path);
        }
        slot.state.store(kFree);
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

int ArmExitRelease(const char* path, const char* content) {
    for (int i = 0; i < kSlots; ++i) {
        Slot& slot = g_slots[i];
        int free = kFree;
        if (!slot.state.compare_exchange_strong(free, kFilling)) continue;
        std::strncpy(slot.path, path, sizeof slot.path - 1);
        slot.path[sizeof slot.path - 1] = '\0';
        std::strncpy(slot.content, content, sizeof slot.content - 1);
        slot.content[sizeof slot.content - 1] = '\0';
        slot.state.store(kArmed);
        return i;
    }
    return -1;
}

void DisarmExitRelease(int slot) {
    if (slot >= 0 && slot < kSlots) g_slots[slot].state.store(kFree);
}
