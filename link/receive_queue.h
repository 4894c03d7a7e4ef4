// What a connection's reader thread has received and the connection has not
// yet handed over: the bytes in arrival order, and the first failure of the
// reading. Shared by the two threads under a lock; the reader keeps its own
// hold, so a reader late to end writes only into its own connection's queue.
#pragma once
#include <windows.h>

#include <cstddef>
#include <mutex>

#include "core/modem_port.h"
#include "win32/scoped_handle.h"

class ReceiveQueue {
public:
    // arrived: a manual-reset event, signalled while bytes or a failure wait.
    explicit ReceiveQueue(ScopedHandle arrived) : m_arrived(std::move(arrived)) {}

    // Reader thread. Appends what fits and returns how much did.
    std::size_t Push(const char* bytes, std::size_t count);
    std::size_t Room();
    // Keeps the first failure of the reading, to be reported once.
    void Fail(const PortStatus& status);

    // Caller's thread: waits until bytes or a failure wait, or the deadline
    // has passed, then takes at most room bytes, or the failure.
    PortRead Take(char* buffer, std::size_t room, Deadline deadline);

    static constexpr std::size_t kCapacity = 4096;

private:
    std::mutex m_lock;
    ScopedHandle m_arrived;
    char m_bytes[kCapacity] = {};
    std::size_t m_first = 0;
    std::size_t m_count = 0;
    PortStatus m_failure;
    bool m_failureTold = false;
};
