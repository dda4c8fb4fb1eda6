// Worker reports posted to the user-interface thread, and the bounded end of a page's worker.
#include "PageStreamSink.h"

#include "Device.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <algorithm>
#include <cstdio>

CDeliveryPoint::CDeliveryPoint(std::function<void()> deliver, QObject* parent)
    : QObject(parent), m_deliver(std::move(deliver)) {}

void CDeliveryPoint::Deliver() { m_deliver(); }

CPageStreamSink::CPageStreamSink(QObject* context, ShowFn show, ReportFn report)
    : m_point(new CDeliveryPoint([this] { Deliver(); }, context)), m_show(std::move(show)),
      m_report(std::move(report)) {}

CPageStreamSink::~CPageStreamSink() { delete m_point; }

void CPageStreamSink::ShowFigures(std::span<const ChannelFigures> figures) {
    std::lock_guard lock(m_mutex);
    m_figures.assign(figures.begin(), figures.end());
    m_newFigures = true;
    PostLocked();
}

void CPageStreamSink::Report(int channel, const PassEvent& event) {
    std::lock_guard lock(m_mutex);
    m_events.emplace_back(channel, event);
    PostLocked();
}

void CPageStreamSink::Disconnect() {
    std::lock_guard lock(m_mutex);
    m_disconnected = true;
}

void CPageStreamSink::PostLocked() {
    if (m_posted || m_disconnected)
        return;
    m_posted = true;
    QMetaObject::invokeMethod(m_point, "Deliver", Qt::QueuedConnection);
}

void CPageStreamSink::Deliver() {
    std::vector<ChannelFigures> figures;
    std::vector<std::pair<int, PassEvent>> events;
    {
        std::lock_guard lock(m_mutex);
        m_posted = false;
        if (m_disconnected)
            return;
        if (m_newFigures)
            figures = m_figures;
        m_newFigures = false;
        events.swap(m_events);
    }
    for (size_t channel = 0; channel < figures.size(); ++channel)
        m_show(static_cast<int>(channel), figures[channel]);
    // A report may open a message box, whose event loop delivers later reports meanwhile.
    for (const auto& [channel, event] : events)
        m_report(channel, event);
}

namespace {

std::chrono::milliseconds LeftUntil(std::chrono::steady_clock::time_point until) {
    const auto left = until - std::chrono::steady_clock::now();
    return std::max(std::chrono::duration_cast<std::chrono::milliseconds>(left), std::chrono::milliseconds(0));
}

} // namespace

void AskWorkerToStop(CStreamWorker& worker, CPageStreamSink& sink, WorkerStopSteps& steps) {
    if (steps.asked)
        return;
    sink.Disconnect();
    worker.RequestStop();
    steps.asked = std::chrono::steady_clock::now();
}

void CancelWorkerIfBusy(CStreamWorker& worker, std::span<CDevice* const> devices, WorkerStopSteps& steps) {
    if (steps.cancelled || !steps.asked)
        return;
    if (!worker.Started() || worker.JoinFor(LeftUntil(*steps.asked + WorkerStopSteps::kPassWait)))
        return;
    for (CDevice* device : devices)
        if (device)
            device->Cancel();
    steps.cancelled = std::chrono::steady_clock::now();
}

bool StopWorkerBounded(CStreamWorker& worker, CPageStreamSink& sink, std::span<CDevice* const> devices,
                       const std::function<QString(int channel)>& name, WorkerStopSteps& steps) {
    AskWorkerToStop(worker, sink, steps);
    CancelWorkerIfBusy(worker, devices, steps);
    if (!worker.Started() || !steps.cancelled ||
        worker.JoinFor(LeftUntil(*steps.cancelled + WorkerStopSteps::kCancelWait)))
        return true;
    std::fprintf(stderr, "veltrin-test: %s did not answer; its streaming thread is left behind\n",
                 name(worker.CurrentChannel()).toLocal8Bit().constData());
    worker.Abandon();
    return false;
}
