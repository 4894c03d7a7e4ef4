#include "link/posix/exit_release.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

// Read by the handler, which may run at any moment: plain records, and a
// state that says whether they are armed, set only after they are filled.
// The state is a lock-free atomic, which a handler may read, and by which a
// thread claims a free slot.
enum SlotState { kFree, kFilling, kArmed };
struct LockSlot {
    char path[PATH_MAX];
    char content[32];
    dev_t device;
    ino_t inode;
    std::atomic<int> state{kFree};
};
struct PortSlot {
    int fd;
    termios saved;
    bool clearExclusive;
    std::atomic<int> state{kFree};
};
// More than the serial ports a system has.
constexpr int kSlots = 64;
LockSlot g_locks[kSlots];
PortSlot g_ports[kSlots];
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots' states");

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2};

// Whether the file at path is still the lock we linked: the same file, with our content.
bool StillOurs(const LockSlot& slot) {
    const int fd = open(slot.path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info;
    char seen[sizeof slot.content] = {};
    const bool same = fstat(fd, &info) == 0 && info.st_dev == slot.device && info.st_ino == slot.inode &&
                      read(fd, seen, sizeof seen - 1) > 0 && std::strcmp(seen, slot.content) == 0;
    close(fd);
    return same;
}

// Only async-signal-safe calls (ioctl, like tcsetattr, is one system call):
// the ports first, so that the next taker of a lock finds its port as it was.
void OnEndingSignal(int signal) {
    for (PortSlot& slot : g_ports) {
        if (slot.state.load() != kArmed) continue;
        tcsetattr(slot.fd, TCSANOW, &slot.saved);
        if (slot.clearExclusive) ioctl(slot.fd, TIOCNXCL);
        slot.state.store(kFree);
    }
    for (LockSlot& slot : g_locks) {
        if (slot.state.load() != kArmed) continue;
        if (StillOurs(slot)) unlink(slot.path);
        slot.state.store(kFree);
    }
    // SA_RESETHAND has put the default action back: the signal now ends us.
    raise(signal);
}

// Claims a free slot for filling; -1 when all are taken.
template <typename Slot>
int Claim(Slot (&slots)[kSlots]) {
    for (int i = 0; i < kSlots; ++i) {
        int free = kFree;
        if (slots[i].state.compare_exchange_strong(free, kFilling)) return i;
    }
    return -1;
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

int ArmExitRelease(const char* path, const char* content, dev_t device, ino_t inode) {
    const int i = Claim(g_locks);
    if (i < 0) return i;
    LockSlot& slot = g_locks[i];
    std::strncpy(slot.path, path, sizeof slot.path - 1);
    slot.path[sizeof slot.path - 1] = '\0';
    std::strncpy(slot.content, content, sizeof slot.content - 1);
    slot.content[sizeof slot.content - 1] = '\0';
    slot.device = device;
    slot.inode = inode;
    slot.state.store(kArmed);
    return i;
}

void DisarmExitRelease(int slot) {
    if (slot >= 0 && slot < kSlots) g_locks[slot].state.store(kFree);
}

int ArmPortRestore(int fd, const termios& saved, bool clearExclusive) {
    const int i = Claim(g_ports);
    if (i < 0) return i;
    g_ports[i].fd = fd;
    g_ports[i].saved = saved;
    g_ports[i].clearExclusive = clearExclusive;
    g_ports[i].state.store(kArmed);
    return i;
}

void DisarmPortRestore(int slot) {
    if (slot >= 0 && slot < kSlots) g_ports[slot].state.store(kFree);
}
