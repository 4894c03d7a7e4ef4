#include "link/receive_queue.h"

#include <chrono>

std::size_t ReceiveQueue::Push(const char* bytes, std::size_t count) {
    std::lock_guard<std::mutex> hold(m_lock);
    std::size_t taken = 0;
    for (; taken < count && m_count < kCapacity; ++taken, ++m_count)
        m_bytes[(m_first + m_count) % kCapacity] = bytes[taken];
    if (taken) SetEvent(m_arrived.Get());
    return taken;
}

std::size_t ReceiveQueue::Room() {
    std::lock_guard<std::mutex> hold(m_lock);
    return kCapacity - m_count;
}

void ReceiveQueue::Fail(const PortStatus& status) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_failure.Ok()) return;
    m_failure = status;
    SetEvent(m_arrived.Get());
}

PortRead ReceiveQueue::Take(char* buffer, std::size_t room, Deadline deadline) {
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            PortRead read;
            if (m_count > 0) {
                for (; read.count < room && m_count > 0;
                     ++read.count, --m_count, m_first = (m_first + 1) % kCapacity)
                    buffer[read.count] = m_bytes[m_first];
            } else if (!m_failure.Ok() && !m_failureTold) {
                read.status = m_failure;
                m_failureTold = true;
            }
            if (m_count == 0) ResetEvent(m_arrived.Get());
            if (read.count > 0 || !read.status.Ok()) return read;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - ModemClock::now()).count();
        if (left <= 0) return {};
        if (WaitForSingleObject(m_arrived.Get(), static_cast<DWORD>(left)) == WAIT_FAILED) return {};
    }
}
