#pragma once

#include <chrono>

namespace sv {

// Seconds on a clock that only moves forward, for measuring intervals. The
// origin is arbitrary; only differences mean anything. now() may be called
// from any thread.
class MonotonicClock {
public:
    virtual ~MonotonicClock() = default;
    virtual double now() const = 0;
};

// The process's steady clock: setting the system time does not move it.
class SteadyClock final : public MonotonicClock {
public:
    double now() const override
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }
};

} // namespace sv
