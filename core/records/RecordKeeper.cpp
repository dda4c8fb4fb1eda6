// Record keeping with the spool as the fallback. A connection is opened for each use, in the thread that
// uses it (Qt's SQL connections belong to one thread), and writes are taken one at a time.
#include "RecordKeeper.h"

#include <QFileInfo>
#include <QSysInfo>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

bool SpoolHasRecords(const QString& path) { return QFileInfo(path).size() > 0; }

} // namespace

QString DefaultStation() { return QSysInfo::machineHostName(); }

QString DefaultOperator() {
#ifndef _WIN32
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

std::unique_ptr<IRecordStore> OpenSettingsStore(const RecordSettings& s) {
    StoreOpenOptions options;
    options.createFolder = s.defaultStore;
    return OpenRecordStore(s.store, options);
}

CRecordKeeper::CRecordKeeper(RecordSettings settings) : m_settings(std::move(settings)) {
    if (!Keeping())
        return;
    try {
        OpenStore();
    } catch (const StoreError& error) {
        if (error.GetKind() == StoreError::Kind::Configuration)
            throw;
        m_storeAway = QString::fromStdString(error.what());
        // The store is away: records go to the spool, which must be usable now.
        try {
            OpenSpool();
        } catch (const StoreError& spoolError) {
            throw StoreError(StoreError::Kind::Unavailable, QString::fromStdString(error.what()) +
                                                                "; the spool cannot take records either: " +
                                                                QString::fromStdString(spoolError.what()));
        }
    }
}

std::unique_ptr<IRecordStore> CRecordKeeper::OpenStore() const { return OpenSettingsStore(m_settings); }

std::unique_ptr<IRecordStore> CRecordKeeper::OpenSpool() const {
    StoreUrl url;
    url.kind = StoreUrl::Kind::Sqlite;
    url.path = m_settings.spoolPath;
    url.text = "spool " + url.path;
    StoreOpenOptions options;
    options.createFolder = true;
    return OpenRecordStore(url, options);
}

KeepResult CRecordKeeper::Keep(TestRecord& record, std::chrono::milliseconds syncBound) {
    if (!Keeping())
        return {KeepResult::Kind::NotKept, {}};
    const std::lock_guard lock(m_mutex);
    if (record.runId.isEmpty())
        record.runId = NewRunId();
    record.station = m_settings.station;
    record.operatorName = m_settings.operatorName;
    record.mode = m_settings.mode;
    record.version = m_settings.version;
    // A store found away once in this run is not waited for again for every board: the spool takes them.
    QString storeProblem = m_storeAway;
    if (storeProblem.isEmpty())
        try {
            std::unique_ptr<IRecordStore> store = OpenStore();
            if (SpoolHasRecords(m_settings.spoolPath) && m_settings.store.path != m_settings.spoolPath) {
                const auto deadline = std::chrono::steady_clock::now() + syncBound;
                std::unique_ptr<IRecordStore> spool = OpenSpool();
                RecordFilter oldest;
                oldest.oldestFirst = true;
                oldest.limit = 64;
                for (const TestRecord& spooled : spool->List(oldest)) {
                    if (std::chrono::steady_clock::now() >= deadline)
                        break;
                    if (std::optional<TestRecord> whole = spool->Get(spooled.runId)) {
                        store->Write(*whole, false);
                        spool->Remove(spooled.runId);
                    }
                }
            }
            store->Write(record, false);
            return {KeepResult::Kind::Kept, {}};
        } catch (const StoreError& error) {
            storeProblem = QString::fromStdString(error.what());
            m_storeAway = storeProblem;
        }
    try {
        OpenSpool()->Write(record, false);
        return {KeepResult::Kind::Spooled,
                QStringLiteral("%1; the record %2 is kept in the spool %3 (veltrin-cli records sync uploads it)")
                    .arg(storeProblem, record.runId, m_settings.spoolPath)};
    } catch (const StoreError& error) {
        return {KeepResult::Kind::Failed, QStringLiteral("%1; the spool cannot take the record %2 either: %3")
                                              .arg(storeProblem, record.runId, QString::fromStdString(error.what()))};
    }
}

SyncResult CRecordKeeper::Sync(std::chrono::milliseconds bound) {
    SyncResult result;
    if (!Keeping() || !SpoolHasRecords(m_settings.spoolPath))
        return result;
    const std::lock_guard lock(m_mutex);
    const auto deadline = std::chrono::steady_clock::now() + bound;
    std::unique_ptr<IRecordStore> spool = OpenSpool();
    RecordFilter all;
    all.oldestFirst = true;
    const std::vector<TestRecord> spooled = spool->List(all);
    result.left = static_cast<int>(spooled.size());
    try {
        std::unique_ptr<IRecordStore> store = OpenStore();
        for (const TestRecord& summary : spooled) {
            if (std::chrono::steady_clock::now() >= deadline) {
                result.problem = QStringLiteral("the time for the upload ran out");
                break;
            }
            std::optional<TestRecord> whole = spool->Get(summary.runId);
            if (!whole)
                continue;
            // The attempt is counted again in the store, where the board's earlier runs are.
            if (store->Write(*whole, false) == IRecordStore::Written::Added)
                ++result.uploaded;
            else
                ++result.alreadyPresent;
            spool->Remove(summary.runId);
            --result.left;
        }
    } catch (const StoreError& error) {
        result.problem = QString::fromStdString(error.what());
    }
    return result;
}
