// CPageWorker: a streaming page's worker with its sink, made when the page first needs it and ended in
// bounded steps when the page goes away. The streaming page base holds one for its two channels.
#pragma once

#include "PageStreamSink.h"

#include <array>
#include <functional>
#include <memory>

class CPageWorker {
public:
    using NameFn = std::function<QString(int channel)>;

    // `channels` and their devices outlive the worker unless it is left behind (see Finish).
    CPageWorker(QObject* context, std::array<StreamChannel*, 2> channels, CPageStreamSink::ShowFn show,
                CPageStreamSink::ReportFn report);

    // Makes and starts the worker, once; without one the page still works, with no live figures.
    void Start();
    bool Running() const { return m_worker && m_worker->Started() && !m_worker->Finished(); }

    // The closing steps (see WorkerStopSteps): each is taken on every page before the next.
    void AskToStop();
    void CancelIfBusy();
    // Ends the worker within its bound. False when it is stuck in a driver request and was left behind:
    // the worker and its sink are then never freed, and the caller must keep the channels alive for good.
    bool Finish(const NameFn& name);
    bool LeftBehind() const { return m_leftBehind; }

private:
    std::array<CDevice*, 2> Devices() const;

    QObject* m_context;
    std::array<StreamChannel*, 2> m_channels;
    CPageStreamSink::ShowFn m_show;
    CPageStreamSink::ReportFn m_report;
    std::unique_ptr<CPageStreamSink> m_sink;
    std::unique_ptr<CStreamWorker> m_worker;
    WorkerStopSteps m_stopSteps;
    bool m_leftBehind = false;
};
