// The bridge between a streaming worker and its page: reports are carried out on the user-interface
// thread while the worker waits, and a page's shutdown keeps serving them until the worker has ended.
#pragma once

#include "StreamWorker.h"

#include <functional>

class QObject;

class CPageStreamSink : public IStreamSink {
public:
    using ShowFn = std::function<void(int channel, const ChannelFigures& figures)>;
    using StopFn = std::function<void(int channel)>;

    // `context` lives on the user-interface thread and outlives the worker.
    CPageStreamSink(QObject* context, ShowFn show, StopFn stop);

    void ShowFigures(std::span<const ChannelFigures> figures) override;
    void PlayedToEnd(int channel) override;

private:
    QObject* m_context;
    ShowFn m_show;
    StopFn m_stop;
};

// Asks the worker to stop and, until it has, keeps the calling (user-interface) thread carrying out the
// worker's reports, so a worker waiting on one can always finish. User input waits meanwhile.
void StopWorkerServingEvents(CStreamWorker& worker);
