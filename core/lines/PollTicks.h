// Ticks of a fixed period on the calling thread's event loop, for polling that must keep its period:
// every subscriber of one thread and period is called from one shared tick, in subscription order.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

class CTickSource;

class CPollTicks {
public:
    // Calls `onTick` once a period from the calling thread's event loop until destroyed. A tick that
    // comes while the previous one is still being handled (a nested event loop) is left out, as are the
    // periods the thread was too busy to see: the calls never come in bursts.
    CPollTicks(std::chrono::milliseconds period, std::function<void()> onTick);
    ~CPollTicks();
    CPollTicks(const CPollTicks&) = delete;
    CPollTicks& operator=(const CPollTicks&) = delete;

    // True when the ticks come from a timer of the system that keeps the period without drift; false
    // when a Qt timer stands in, whose waits are whole milliseconds rounded up.
    bool Precise() const;

private:
    std::shared_ptr<CTickSource> m_source;
    int m_id;
};
