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

// Where the query thread's results wait for the window's thread: a queue under a lock, drained by one
// queued call at a time (the results are made, run and destroyed in the threads they belong to).
class CRecordsInbox : public QObject {
    Q_OBJECT
public:
    void Put(std::function<void()> deliver);
    Q_INVOKABLE void Drain();

private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_waiting;
    bool m_posted = false;
};

class CRecordsWorker {
public:
    // A job runs in the worker's thread with the open store (null when it could not be opened).
    using Job = std::function<void(IRecordStore* store)>;

    // Opens the store in the worker's thread; `opened` then runs in the thread that made the worker, with
    // the error's text, empty when the store is open. Results are delivered to that thread.
    CRecordsWorker(const StoreUrl& url, std::function<void(const QString& error)> opened);
    // Drops the jobs not started, waits for the running one and closes the store.
    ~CRecordsWorker();

    CRecordsWorker(const CRecordsWorker&) = delete;
    CRecordsWorker& operator=(const CRecordsWorker&) = delete;

    void Post(Job job);
    // Runs `deliver` in the thread that made the worker, unless the worker is gone by then.
    void Deliver(std::function<void()> deliver);

private:
    void Run(StoreUrl url, std::function<void(const QString&)> opened);

    CRecordsInbox m_inbox; // lives in the thread that made the worker
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_stop = false;
    std::thread m_thread;
};
