// The record writer's thread: the keeper is made there (its store connections belong to that thread),
// the record kept within a short upload bound, and the result posted back.
#include "RecordWriter.h"

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
    m_thread = std::thread([this, settings, record = std::move(record)]() mutable {
        KeepResult result;
        try {
            CRecordKeeper keeper(settings);
            result = keeper.Keep(record, kSyncBound);
        } catch (const StoreError& error) {
            result = {KeepResult::Kind::Failed, QString::fromStdString(error.what())};
        }
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
