// A streaming page's worker: made on demand, ended in bounded steps.
#include "PageWorker.h"

#include "StreamChannel.h"

CPageWorker::CPageWorker(QObject* context, std::array<StreamChannel*, 2> channels, CPageStreamSink::ShowFn show,
                         CPageStreamSink::ReportFn report)
    : m_context(context), m_channels(channels), m_show(std::move(show)), m_report(std::move(report)) {}

void CPageWorker::Start() {
    if (m_worker)
        return;
    m_sink = std::make_unique<CPageStreamSink>(m_context, m_show, m_report);
    m_worker = std::make_unique<CStreamWorker>(std::vector<StreamChannel*>{m_channels[0], m_channels[1]}, *m_sink);
    m_worker->Start();
}

void CPageWorker::AskToStop() {
    if (m_worker && m_sink)
        AskWorkerToStop(*m_worker, *m_sink, m_stopSteps);
}

void CPageWorker::CancelIfBusy() {
    if (!m_worker)
        return;
    const std::array<CDevice*, 2> devices = Devices();
    CancelWorkerIfBusy(*m_worker, devices, m_stopSteps);
}

bool CPageWorker::Finish(const NameFn& name) {
    if (!m_worker || !m_sink)
        return true;
    const std::array<CDevice*, 2> devices = Devices();
    if (StopWorkerBounded(*m_worker, *m_sink, devices, name, m_stopSteps))
        return true;
    // Left behind in the driver: what it may still touch is never freed.
    m_leftBehind = true;
    (void)m_worker.release();
    (void)m_sink.release();
    return false;
}

std::array<CDevice*, 2> CPageWorker::Devices() const { return {m_channels[0]->device, m_channels[1]->device}; }
