// The streaming worker's thread and its stop handshake.
#include "StreamWorker.h"

CStreamWorker::CStreamWorker(std::vector<StreamChannel*> channels, IStreamSink& sink)
    : m_channels(std::move(channels)), m_sink(sink), m_buffer(kPassSamples), m_results(m_channels.size()) {}

CStreamWorker::~CStreamWorker() {
    RequestStop();
    Join();
}

bool CStreamWorker::JoinFor(std::chrono::milliseconds bound) {
    RequestStop();
    const auto until = std::chrono::steady_clock::now() + bound;
    while (m_thread.joinable() && !Finished()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    Join();
    return true;
}

void CStreamWorker::Abandon() {
    if (m_thread.joinable())
        m_thread.detach();
}

bool CStreamWorker::Start() {
    if (m_thread.joinable())
        return false;
    try {
        m_thread = std::thread(&CStreamWorker::Run, this);
    } catch (const std::system_error&) {
        m_finished.store(true, std::memory_order_release);
        return false;
    }
    return true;
}

void CStreamWorker::RequestStop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
}

void CStreamWorker::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

bool CStreamWorker::WaitForStop() {
    std::unique_lock lock(m_mutex);
    return m_wake.wait_for(lock, kPeriod, [this] { return m_stop; });
}

void CStreamWorker::Run() {
    std::vector<ChannelFigures> figures(m_channels.size());
    while (!WaitForStop()) {
        for (size_t i = 0; i < m_channels.size(); ++i) {
            m_current.store(static_cast<int>(i), std::memory_order_relaxed);
            m_results[i] = RunStreamPass(*m_channels[i], m_buffer);
            figures[i] = m_results[i].figures;
        }
        m_current.store(-1, std::memory_order_relaxed);
        m_sink.ShowFigures(figures);
        for (size_t i = 0; i < m_channels.size(); ++i)
            if (m_results[i].event.kind != PassEvent::Kind::None)
                m_sink.Report(static_cast<int>(i), m_results[i].event);
    }
    m_finished.store(true, std::memory_order_release);
}
