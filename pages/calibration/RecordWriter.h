// Writes one test record to the program's records store (or its spool) in a thread of its own, so that
// a slow or unreachable store never holds the window up; the outcome comes back in the owner's thread.
#pragma once

#include "RecordKeeper.h"

#include <QObject>

#include <deque>
#include <mutex>
#include <thread>

class CRecordWriter : public QObject {
    Q_OBJECT
public:
    explicit CRecordWriter(QObject* parent = nullptr) : QObject(parent) {}
    // Waits for a write still under way (bounded: the store's connect timeout and the spool's upload bound).
    ~CRecordWriter() override;

    // Writes `record` with `settings`; `written` follows. A write still under way is waited for first.
    void Write(const RecordSettings& settings, TestRecord record);
    // A write is under way, or its result not yet emitted.
    bool Busy() const { return m_pending > 0; }

signals:
    // Kept, Spooled or Failed (KeepResult::Kind as int), with the message for the user and the run id.
    void written(int kind, const QString& message, const QString& runId);

private:
    // Takes a finished write's result in the owner's thread.
    Q_INVOKABLE void Finish();

    std::thread m_thread;
    int m_pending = 0;  // writes whose result is not emitted yet; the owner's thread only
    std::mutex m_mutex; // guards the results between the threads
    std::deque<std::pair<KeepResult, QString>> m_results; // with the run id, in the order of the writes
};
