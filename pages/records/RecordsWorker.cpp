// The records window's query thread: one store connection, one job at a time, results posted back.
#include "RecordsWorker.h"

#include <QMetaObject>

void CRecordsInbox::Put(std::function<void()> deliver) {
    const std::lock_guard lock(m_mutex);
    m_waiting.push_back(std::move(deliver));
    if (!m_posted) {
        m_posted = true;
        QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
    }
}

void CRecordsInbox::Drain() {
    std::deque<std::function<void()>> ready;
    {
        const std::lock_guard lock(m_mutex);
        ready.swap(m_waiting);
        m_posted = false;
    }
    for (std::function<void()>& deliver : ready)
        deliver();
}

CRecordsWorker::CRecordsWorker(const StoreUrl& url, std::function<void(const QString& error)> opened) {
    m_thread = std::thread([this, url, opened = std::move(opened)]() mutable { Run(url, std::move(opened)); });
}

CRecordsWorker::~CRecordsWorker() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

void CRecordsWorker::Post(Job job) {
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void CRecordsWorker::Deliver(std::function<void()> deliver) {
    // The inbox outlives the thread; what is still in it when the worker goes is dropped with it.
    m_inbox.Put(std::move(deliver));
}

void CRecordsWorker::Run(StoreUrl url, std::function<void(const QString&)> opened) {
    std::unique_ptr<IRecordStore> store;
    QString error;
    try {
        StoreOpenOptions options;
        options.createFolder = url == DefaultStoreUrl();
        store = OpenRecordStore(url, options);
    } catch (const std::exception& e) {
        error = QString::fromStdString(e.what());
    }
    Deliver([opened = std::move(opened), error] { opened(error); });
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
            if (m_stop)
                break;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job(store.get()); // each job catches its own store errors and delivers them
    }
    store.reset(); // in this thread, where its connection was made
}
