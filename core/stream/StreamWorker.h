// CStreamWorker: the thread that keeps a page's streaming channels fed (or drained) and its figures
// current. It runs one pass over every channel, then waits up to 50 ms for a stop request.
#pragma once

#include "StreamPass.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

struct StreamChannel;

// What the worker reports, from its own thread. A sink must return at once: it keeps or posts the
// reports for its front end and never waits for it, so one channel's message never holds up the passes.
class IStreamSink {
public:
    virtual ~IStreamSink() = default;
    // The figures of every channel after one pass, indexed by channel: one report a pass, so the page
    // repaints once for all its channels.
    virtual void ShowFigures(std::span<const ChannelFigures> figures) = 0;
    // A channel's report of one run (end of file, a failed recording, a playback that cannot read).
    virtual void Report(int channel, const PassEvent& event) = 0;
};

class CStreamWorker {
public:
    static constexpr std::chrono::milliseconds kPeriod{50};

    // Channels in pass order (the index is what the sink is told); they and the sink outlive the worker.
    CStreamWorker(std::vector<StreamChannel*> channels, IStreamSink& sink);
    // Asks the worker to stop and waits for it.
    ~CStreamWorker();
    CStreamWorker(const CStreamWorker&) = delete;
    CStreamWorker& operator=(const CStreamWorker&) = delete;

    bool Start();
    bool Started() const { return m_thread.joinable(); }
    void RequestStop();
    // True once the thread has left its loop (it reports nothing after that).
    bool Finished() const { return m_finished.load(std::memory_order_acquire); }
    void Join();
    // Waits up to `bound` for the thread to leave its loop; joins it and returns true when it has.
    bool JoinFor(std::chrono::milliseconds bound);
    // The last resort for a thread hung in a driver that cannot be cancelled: the thread is let go and
    // ends by itself if the driver ever answers. The channels and the sink must then stay alive.
    void Abandon();
    // The channel the worker's pass is in (-1 between passes).
    int CurrentChannel() const { return m_current.load(std::memory_order_relaxed); }

private:
    void Run();
    // Waits up to kPeriod; true when a stop was requested.
    bool WaitForStop();

    std::vector<StreamChannel*> m_channels;
    IStreamSink& m_sink;
    std::vector<int16_t> m_buffer;     // used by the worker thread only, for every channel in turn
    std::vector<PassResult> m_results; // worker thread only
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::atomic<bool> m_finished{false};
    std::atomic<int> m_current{-1};
    std::thread m_thread;
};
