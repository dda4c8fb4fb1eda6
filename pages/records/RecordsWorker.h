// A thread of its own for the records window's store queries, so that a large or distant store never
// freezes the window: the store is opened, used and closed in that thread, jobs run one at a time, and
// their results are handed back to the window's thread.
#pragma once

#include "RecordStore.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CRecordsWorker {
public:
    // A job runs in the worker's thread with the open store (null when it could not be opened).
    using Job = std::function<void(IRecordStore* store)>;

    // Opens the store in the worker's thread; `opened` then runs in `receiver`'s thread with the error's
    // text, empty when the store is open.
    CRecordsWorker(const StoreUrl& url, QObject* receiver, std::function<void(const QString& error)> opened);
    // Drops the jobs not started, waits for the running one and closes the store.
    ~CRecordsWorker();

    CRecordsWorker(const CRecordsWorker&) = delete;
    CRecordsWorker& operator=(const CRecordsWorker&) = delete;

    void Post(Job job);
    // Runs `deliver` in the receiver's thread.
    void Deliver(std::function<void()> deliver);

private:
    void Run(StoreUrl url, std::function<void(const QString&)> opened);

    QObject* m_receiver; // owns the worker, so it outlives the thread
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_stop = false;
    std::thread m_thread;
};
