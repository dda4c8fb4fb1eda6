// Bounds on what a board's steps may take: a watch that cancels the board's pending requests when a
// step's deadline passes or a stop signal comes, and a watch that notices the process itself stalling.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

class CDevice;
struct OpenBoard;

// Every device of the board that is open, for a watch over all of them.
std::vector<CDevice*> BoardDevices(const OpenBoard& board);

// Holds one deadline at a time for the devices of one board. When it passes, or a stop signal comes,
// every device is cancelled once (a request hung in the driver returns failed) and Expired() turns
// true; the step then ends as an error and the board's later steps are not run.
class CRequestWatch {
public:
    using Clock = std::chrono::steady_clock;

    explicit CRequestWatch(std::vector<CDevice*> devices);
    ~CRequestWatch();
    CRequestWatch(const CRequestWatch&) = delete;
    CRequestWatch& operator=(const CRequestWatch&) = delete;

    // A new step with this much time; cancels at once if the watch has already expired.
    void Arm(std::chrono::milliseconds budget);
    void Disarm();
    // Cancels the devices now (a stop from outside, e.g. the whole run's bound).
    void CancelNow();
    bool Expired() const { return m_expired.load(); }
    // Why a step that ran into the watch did not end: a stop signal or the deadline of `budget`.
    static std::string Why(std::chrono::milliseconds budget);

private:
    void Watch();

    // How often the watch looks at the time, the stop signal and whether it is to end: a handler cannot
    // wake a waiting thread, so the watch polls, sleeping between looks.
    static constexpr std::chrono::milliseconds kPoll{20};

    std::vector<CDevice*> m_devices;
    std::atomic<Clock::rep> m_deadline{Clock::time_point::max().time_since_epoch().count()};
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_expired{false};
    std::thread m_thread;
};

// Ticks every 20 ms while it lives and keeps the longest gap between ticks: a gap far longer than a
// tick means the whole process stood still (stopped, swapped out), so data lost meanwhile is the
// host's loss, not the board's.
class CStallWatch {
public:
    static constexpr std::chrono::milliseconds kTick{20};
    // A gap at least this long counts as a stall of the process.
    static constexpr std::chrono::milliseconds kStall{250};

    CStallWatch();
    ~CStallWatch();
    CStallWatch(const CStallWatch&) = delete;
    CStallWatch& operator=(const CStallWatch&) = delete;

    // Forgets the gaps seen so far.
    void Reset();
    bool Stalled() const { return m_longest.load() >= kStall.count(); }
    long long LongestMs() const { return m_longest.load(); }

private:
    std::atomic<bool> m_quit{false};
    std::atomic<long long> m_longest{0};
    std::thread m_thread;
};
