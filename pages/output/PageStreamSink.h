// The bridge between a streaming worker and its page: the worker leaves its reports here and posts one
// delivery to the user-interface thread, never waiting for it; the page's shutdown ends the worker within
// a bound.
#pragma once

#include "StreamWorker.h"

#include <QString>

#include <functional>
#include <mutex>
#include <span>
#include <utility>
#include <vector>

class CDevice;
class QObject;

class CPageStreamSink : public IStreamSink {
public:
    using ShowFn = std::function<void(int channel, const ChannelFigures& figures)>;
    using ReportFn = std::function<void(int channel, const PassEvent& event)>;

    // `context` lives on the user-interface thread; deliveries run there while it exists.
    CPageStreamSink(QObject* context, ShowFn show, ReportFn report);

    // Keeps the latest figures of every channel (older ones are dropped) and posts a delivery.
    void ShowFigures(std::span<const ChannelFigures> figures) override;
    // Queues the report, in order, and posts a delivery.
    void Report(int channel, const PassEvent& event) override;
    // From now on nothing reaches the page (it is going away).
    void Disconnect();

private:
    void PostLocked();
    void Deliver();

    QObject* m_context;
    ShowFn m_show;
    ReportFn m_report;
    std::mutex m_mutex;
    std::vector<ChannelFigures> m_figures;
    bool m_newFigures = false;
    std::vector<std::pair<int, PassEvent>> m_events;
    bool m_posted = false;
    bool m_disconnected = false;
};

// Ends a page's worker within a second: asks it to stop; when it is still in a device request after
// 300 ms, cancels the requests pending on `devices` (kernel devices; a driver library has none) and
// waits 700 ms more. A worker that still has not ended is left behind and named on standard error
// with `name(channel)` of the channel it is stuck in. Returns false in that case: the caller must then
// keep the worker's channels and sink alive for good.
bool StopWorkerBounded(CStreamWorker& worker, CPageStreamSink& sink, std::span<CDevice* const> devices,
                       const std::function<QString(int channel)>& name);
