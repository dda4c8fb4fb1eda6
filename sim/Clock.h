// Where the simulator's time comes from: the steady clock in the library, a manual clock in tests.
#pragma once

#include <atomic>
#include <chrono>

namespace sim {

using Duration = std::chrono::nanoseconds;

class Clock {
public:
    virtual ~Clock() = default;
    // Time since an arbitrary fixed start; never goes backwards.
    virtual Duration Now() const = 0;
};

class SteadyClock final : public Clock {
public:
    Duration Now() const override {
        return std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now() - m_start);
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

class ManualClock final : public Clock {
public:
    Duration Now() const override { return Duration(m_now.load()); }
    void Advance(Duration step) { m_now += step.count(); }

private:
    std::atomic<Duration::rep> m_now{0};
};

} // namespace sim
