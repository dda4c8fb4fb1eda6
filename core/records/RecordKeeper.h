// Keeping the record of every board a testing command ran: the store checked before any board is
// touched, each record written to it or, when it cannot take it, to the local spool, and the spool
// uploaded later (by run id, so never twice).
#pragma once

#include "RecordStore.h"

#include <chrono>
#include <mutex>

// Who and where records are made, as the command line or the environment give it.
// A record's station and operator when none is given: the host's name and the name the user logged in with.
QString DefaultStation();
QString DefaultOperator();

struct RecordSettings {
    StoreUrl store = DefaultStoreUrl();
    bool defaultStore = true; // the store is the default one (its folder is made on first use)
    QString spoolPath = DefaultSpoolPath();
    QString station;
    QString operatorName;
    QString mode = QStringLiteral("production");
    QString version;
};

struct KeepResult {
    enum class Kind { Kept, Spooled, NotKept, Failed } kind = Kind::Kept;
    // For Spooled and Failed: what went wrong and where the record went, to be shown on standard error.
    QString message;
};

struct SyncResult {
    int uploaded = 0;
    int alreadyPresent = 0;
    int left = 0;    // still in the spool
    QString problem; // why some were left, empty when none were
};

class CRecordKeeper {
public:
    // Checks the store: a store that is not a records store or of a newer schema throws StoreError of kind
    // Configuration; a store that cannot be reached is accepted (records will be spooled), as long as
    // the spool can be opened (StoreError of kind Unavailable otherwise).
    explicit CRecordKeeper(RecordSettings settings);

    const RecordSettings& Settings() const { return m_settings; }
    bool Keeping() const { return m_settings.store.kind != StoreUrl::Kind::None; }

    // Fills in the run id (when empty), station, operator, mode and version, writes the record whole to
    // the store or else to the spool, and sets its attempt number. Before the write, what the spool
    // holds is uploaded for at most `syncBound`. Once the store has been found away in this keeper's life,
    // later records go to the spool at once. Safe to call from several threads.
    KeepResult Keep(TestRecord& record, std::chrono::milliseconds syncBound = std::chrono::seconds(2));

    // Uploads the spool into the store within `bound` (oldest first); a record the store has already is
    // only removed from the spool.
    SyncResult Sync(std::chrono::milliseconds bound = std::chrono::hours(24));

private:
    std::unique_ptr<IRecordStore> OpenStore() const;
    std::unique_ptr<IRecordStore> OpenSpool() const;

    RecordSettings m_settings;
    std::mutex m_mutex;
    QString m_storeAway; // why the store could not be used in this run; empty while it could
};

// The store a testing command writes to, opened and checked: the front ends' one way in.
std::unique_ptr<IRecordStore> OpenSettingsStore(const RecordSettings& settings);
