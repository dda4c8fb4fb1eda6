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
    m_quit.store(true);
    m_thread.join();
}

void CRequestWatch::Arm(std::chrono::milliseconds budget) {
    m_deadline.store((Clock::now() + budget).time_since_epoch().count());
}

void CRequestWatch::Disarm() { m_deadline.store(Clock::time_point::max().time_since_epoch().count()); }

void CRequestWatch::CancelNow() { m_deadline.store(Clock::now().time_since_epoch().count()); }

void CRequestWatch::Watch() {
    while (!m_quit.load()) {
        const bool due = Clock::now().time_since_epoch().count() >= m_deadline.load();
        if (!m_expired.load() && (due || StopSignal() != 0)) {
            m_expired.store(true);
            for (CDevice* device : m_devices)
                if (device)
                    device->Cancel();
        }
        std::this_thread::sleep_for(kPoll);
    }
}

CStallWatch::CStallWatch() {
    m_thread = std::thread([this] {
        using Clock = std::chrono::steady_clock;
        auto last = Clock::now();
        while (!m_quit.load()) {
            std::this_thread::sleep_for(kTick);
            const auto now = Clock::now();
            const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count() - kTick.count();
            if (gap > m_longest.load())
                m_longest.store(gap);
            last = now;
        }
    });
}

CStallWatch::~CStallWatch() {
    m_quit.store(true);
    m_thread.join();
}

void CStallWatch::Reset() { m_longest.store(0); }
