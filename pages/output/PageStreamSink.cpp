// Worker reports carried out on the user-interface thread.
#include "PageStreamSink.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

#include <thread>

CPageStreamSink::CPageStreamSink(QObject* context, ShowFn show, StopFn stop)
    : m_context(context), m_show(std::move(show)), m_stop(std::move(stop)) {}

void CPageStreamSink::ShowFigures(std::span<const ChannelFigures> figures) {
    QMetaObject::invokeMethod(
        m_context,
        [&] {
            for (size_t channel = 0; channel < figures.size(); ++channel)
                m_show(static_cast<int>(channel), figures[channel]);
        },
        Qt::BlockingQueuedConnection);
}

void CPageStreamSink::PlayedToEnd(int channel) {
    QMetaObject::invokeMethod(
        m_context, [&] { m_stop(channel); }, Qt::BlockingQueuedConnection);
}

void StopWorkerServingEvents(CStreamWorker& worker) {
    worker.RequestStop();
    if (!worker.Started())
        return;
    while (!worker.Finished()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    worker.Join();
}
