// The bridge between a streaming worker and its page: the worker leaves its reports here and posts one
// delivery to the user-interface thread, never waiting for it; the page's shutdown ends the worker within
// a bound.
#pragma once

#include "StreamWorker.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <utility>
#include <vector>

class CDevice;

// Where the worker's deliveries land on the user-interface thread: a child of the page, so a delivery
// still queued when the page goes away is dropped with it. The worker posts to it by name, so the queued
// call carries nothing the worker wrote but the call itself.
class CDeliveryPoint : public QObject {
    Q_OBJECT
public:
    CDeliveryPoint(std::function<void()> deliver, QObject* parent);
    Q_INVOKABLE void Deliver();

private:
    std::function<void()> m_deliver;
};

class CPageStreamSink : public IStreamSink {
public:
    using ShowFn = std::function<void(int channel, const ChannelFigures& figures)>;
    using ReportFn = std::function<void(int channel, const PassEvent& event)>;

    // `context` lives on the user-interface thread; deliveries run there while it exists.
    CPageStreamSink(QObject* context, ShowFn show, ReportFn report);
    // On the user-interface thread, while the page stands; a sink left behind is never freed.
    ~CPageStreamSink() override;
    CPageStreamSink(const CPageStreamSink&) = delete;
    CPageStreamSink& operator=(const CPageStreamSink&) = delete;

    // Keeps the latest figures of every channel (older ones are dropped) and posts a delivery.
    void ShowFigures(std::span<const ChannelFigures> figures) override;
    // Queues the report, in order, and posts a delivery.
    void Report(int channel, const PassEvent& event) override;
    // From now on nothing reaches the page (it is going away).
    void Disconnect();

private:
    void PostLocked();
    void Deliver();

    CDeliveryPoint* m_point; // owned by the page, which outlives every post (see Disconnect)
    ShowFn m_show;
    ReportFn m_report;
    std::mutex m_mutex;
    std::vector<ChannelFigures> m_figures;
    bool m_newFigures = false;
    std::vector<std::pair<int, PassEvent>> m_events;
    bool m_posted = false;
    bool m_disconnected = false;
};

// Where the bounded end of a page's worker stands. The end comes in steps so that every page of the window
// can take each step before any page waits for the next: then the whole window ends within one page's bound.
struct WorkerStopSteps {
    static constexpr std::chrono::milliseconds kPassWait{300};   // a pass takes milliseconds
    static constexpr std::chrono::milliseconds kCancelWait{700}; // after the cancel
    std::optional<std::chrono::steady_clock::time_point> asked;
    std::optional<std::chrono::steady_clock::time_point> cancelled;
};

// Step one: nothing more reaches the page and the worker is asked to stop; returns at once.
void AskWorkerToStop(CStreamWorker& worker, CPageStreamSink& sink, WorkerStopSteps& steps);
// Step two: waits until kPassWait after the ask at most; a worker still in a device request then has the
// requests pending on `devices` cancelled (kernel devices; a driver library has none).
void CancelWorkerIfBusy(CStreamWorker& worker, std::span<CDevice* const> devices, WorkerStopSteps& steps);
// Ends a page's worker within a second of the ask, taking the steps not taken yet, then waiting until
// kCancelWait after the cancel. A worker that still has not ended is left behind and named on standard
// error with `name(channel)` of the channel it is stuck in. Returns false in that case: the caller must
// then keep the worker's channels and sink alive for good.
bool StopWorkerBounded(CStreamWorker& worker, CPageStreamSink& sink, std::span<CDevice* const> devices,
                       const std::function<QString(int channel)>& name, WorkerStopSteps& steps);
