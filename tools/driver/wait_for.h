// Waiting for a condition, by polling.
#pragma once
#include <windows.h>

#include <type_traits>
#include <utility>
#include <vector>

namespace drv {

constexpr DWORD kPollInterval = 15;  // ms

template <class T>
struct WaitResult {
    bool met = false;
    T last{};  // the value the condition last saw, for the failure message
    explicit operator bool() const { return met; }
};

// Calls sample() every kPollInterval ms until accept(value) holds or the
// timeout passes; the result keeps the last value sampled.
template <class Sample, class Accept>
auto WaitFor(Sample sample, Accept accept, DWORD timeoutMs) {
    using T = std::decay_t<decltype(sample())>;
    WaitResult<T> result;
    const DWORD start = GetTickCount();
    for (;;) {
        result.last = sample();
        if (accept(result.last)) {
            result.met = true;
            return result;
        }
        if (GetTickCount() - start >= timeoutMs) return result;
        Sleep(kPollInterval);
    }
}

// WaitFor for a plain condition.
template <class Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs) {
    return WaitFor([&] { return static_cast<bool>(condition()); }, [](bool b) { return b; }, timeoutMs).met;
}

}  // namespace drv
