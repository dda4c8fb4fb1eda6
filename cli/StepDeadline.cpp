// The deadline and stall watches of a board's steps.
#include "StepDeadline.h"

#include "CliBoards.h"
#include "CliSignals.h"
#include "Device.h"

#include <cstdio>

std::vector<CDevice*> BoardDevices(const OpenBoard& b) {
    std::vector<CDevice*> all{b.cfg.get(), b.left.get(), b.right.get()};
    for (size_t line = 0; line < static_cast<size_t>(kMaxLines); ++line) {
        all.push_back(b.lineIn[line].get());
        all.push_back(b.lineOut[line].get());
    }
    return all;
}

std::string CRequestWatch::Why(std::chrono::milliseconds budget) {
    if (const int signal = StopSignal())
        return "stopped by signal " + std::to_string(signal) + " before it ended";
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(budget.count()) / 1000.0);
    return std::string("no answer within ") + seconds + " s: the board's requests were cancelled";
}

CRequestWatch::CRequestWatch(std::vector<CDevice*> devices) : m_devices(std::move(devices)) {
    m_thread = std::thread([this] { Watch(); });
}

CRequestWatch::~CRequestWatch() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void CRequestWatch::Arm(std::chrono::milliseconds budget) {
    {
        std::lock_guard lock(m_mutex);
        m_deadline = Clock::now() + budget;
    }
    m_changed.notify_all();
}

void CRequestWatch::Disarm() {
    std::lock_guard lock(m_mutex);
    m_deadline = Clock::time_point::max();
}

void CRequestWatch::CancelNow() {
    {
        std::lock_guard lock(m_mutex);
        m_deadline = Clock::now();
    }
    m_changed.notify_all();
}

void CRequestWatch::Watch() {
    // Polls for a stop signal as well: a handler cannot wake a condition variable.
    constexpr std::chrono::milliseconds kPoll{50};
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        const auto now = Clock::now();
        if (!m_expired.load() && (now >= m_deadline || StopSignal() != 0)) {
            m_expired.store(true);
            lock.unlock();
            for (CDevice* device : m_devices)
                if (device)
                    device->Cancel();
            lock.lock();
            continue;
        }
        const auto wake = std::min(m_deadline, now + kPoll);
        m_changed.wait_until(lock, wake);
    }
}

CStallWatch::CStallWatch() {
    m_thread = std::thread([this] {
        using Clock = std::chrono::steady_clock;
        std::unique_lock lock(m_mutex);
        auto last = Clock::now();
        while (!m_quit) {
            m_quitSignal.wait_for(lock, kTick);
            const auto now = Clock::now();
            const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count() - kTick.count();
            if (gap > m_longest.load())
                m_longest.store(gap);
            last = now;
        }
    });
}

CStallWatch::~CStallWatch() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_quitSignal.notify_all();
    m_thread.join();
}

void CStallWatch::Reset() { m_longest.store(0); }
