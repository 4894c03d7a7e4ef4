#pragma once

#include <chrono>
#include <cstdint>

// Milliseconds on the monotonic clock since this clock was created.
class Clock {
public:
    Clock() : start_(std::chrono::steady_clock::now()) {}

    std::int64_t now_ms() const {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_;
};
