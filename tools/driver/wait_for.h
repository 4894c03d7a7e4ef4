// Waiting for a condition and recording how a value changes, by polling.
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

template <class T>
struct Recording {
    bool met = false;       // the end condition held before the timeout
    std::vector<T> values;  // distinct consecutive values, oldest first
};

// Samples a value every kPollInterval ms until done(value) holds or the
// timeout passes, keeping each value that differs from the one before.
template <class Sample, class Done>
auto RecordDistinct(Sample sample, Done done, DWORD timeoutMs) {
    using T = std::decay_t<decltype(sample())>;
    Recording<T> recording;
    const DWORD start = GetTickCount();
    for (;;) {
        T value = sample();
        if (recording.values.empty() || !(recording.values.back() == value))
            recording.values.push_back(value);
        if (done(recording.values.back())) {
            recording.met = true;
            return recording;
        }
        if (GetTickCount() - start >= timeoutMs) return recording;
        Sleep(kPollInterval);
    }
}

}  // namespace drv
