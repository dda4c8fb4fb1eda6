// The record writer's thread: the records module keeps the record there (its store connections belong to
// that thread) within a short upload bound, and the result is posted back.
#include "RecordWriter.h"

#include "RecordsModule.h"

#include <QMetaObject>

namespace {

// Records spooled earlier are uploaded before this one for at most this long.
constexpr std::chrono::milliseconds kSyncBound{500};

} // namespace

CRecordWriter::~CRecordWriter() {
    if (m_thread.joinable())
        m_thread.join();
}

void CRecordWriter::Write(const RecordSettings& settings, TestRecord record) {
    if (m_thread.joinable())
        m_thread.join();
    ++m_pending;
    // Loaded here, in the owner's thread, on the first write.
    QString problem;
    IRecordsModule* records = RecordsModule(&problem);
    m_thread = std::thread([this, records, problem, settings, record = std::move(record)]() mutable {
        const KeepResult result =
            records ? records->Keep(settings, record, kSyncBound) : KeepResult{KeepResult::Kind::Failed, problem};
        {
            const std::lock_guard lock(m_mutex);
            m_results.emplace_back(result, record.runId);
        }
        // The writer joins this thread before it goes, so it is there to take the result.
        QMetaObject::invokeMethod(this, "Finish", Qt::QueuedConnection);
    });
}

void CRecordWriter::Finish() {
    std::pair<KeepResult, QString> done;
    {
        const std::lock_guard lock(m_mutex);
        if (m_results.empty())
            return;
        done = std::move(m_results.front());
        m_results.pop_front();
    }
    --m_pending;
    emit written(static_cast<int>(done.first.kind), done.first.message, done.second);
}
