// Writes one test record to the program's records store (or its spool) in a thread of its own, so that
// a slow or unreachable store never holds the window up; the outcome comes back in the owner's thread.
#pragma once

#include "RecordKeeper.h"

#include <QObject>

#include <thread>

class CRecordWriter : public QObject {
    Q_OBJECT
public:
    explicit CRecordWriter(QObject* parent = nullptr) : QObject(parent) {}
    // Waits for a write still under way (bounded: the store's connect timeout and the spool's upload bound).
    ~CRecordWriter() override;

    // Writes `record` with `settings`; `written` follows. A write still under way is waited for first.
    void Write(const RecordSettings& settings, TestRecord record);
    bool Busy() const { return m_busy; }

signals:
    // Kept, Spooled or Failed (KeepResult::Kind as int), with the message for the user and the run id.
    void written(int kind, const QString& message, const QString& runId);

private:
    std::thread m_thread;
    bool m_busy = false;
};
