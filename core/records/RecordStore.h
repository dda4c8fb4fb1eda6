// The records store as every front end uses it, whatever database holds it: write one record whole or
// not at all, list, show and walk records by the filters of `records list`.
#pragma once

#include "StoreUrl.h"
#include "TestRecord.h"

#include <functional>
#include <memory>
#include <stdexcept>

class QSqlQuery;

// What `records list` and `records export` select; empty fields select everything.
struct RecordFilter {
    std::optional<uint32_t> boardId;
    std::optional<int> boardNumber;
    QString command;
    QString station;
    QString operatorName;
    QString outcome;
    QString mode;
    std::optional<int64_t> sinceMs; // started at or after
    std::optional<int64_t> untilMs; // started before
    int limit = 0;                  // 0: no limit
    bool oldestFirst = false;       // newest first unless set
};

// A store that cannot be used. Configuration: the file or database is not a records store, or of a newer
// schema, and must be left as it is; Unavailable: it cannot be reached or refused a write, so a record
// may go to the spool instead.
class StoreError : public std::runtime_error {
public:
    enum class Kind { Configuration, Unavailable };
    StoreError(Kind kind, const QString& message) : std::runtime_error(message.toStdString()), m_kind(kind) {}
    Kind GetKind() const { return m_kind; }

private:
    Kind m_kind;
};

class IRecordStore {
public:
    virtual ~IRecordStore() = default;
    enum class Written { Added, AlreadyPresent };
    // Writes the record in one transaction; a record whose run id is present already is not added again.
    // Unless `keepAttempt`, the attempt number is counted in this store and set in `record`.
    virtual Written Write(TestRecord& record, bool keepAttempt) = 0;
    // The records without their steps.
    virtual std::vector<TestRecord> List(const RecordFilter& filter) = 0;
    virtual std::optional<TestRecord> Get(const QString& runId) = 0;
    // Every selected record with its steps, one at a time, in the filter's order.
    virtual void ForEach(const RecordFilter& filter, const std::function<void(const TestRecord&)>& visit) = 0;
    // Removes a record and its steps; false when it was not there.
    virtual bool Remove(const QString& runId) = 0;
    virtual QString Describe() const = 0;
    // Runs a read-only SELECT on the store's database and hands each row to `row`: for readers that need a
    // few columns of many records (statistics) rather than whole records.
    virtual void Select(const QString& sql, const QVariantList& values,
                        const std::function<void(const QSqlQuery&)>& row) = 0;
};

// The WHERE, ORDER BY and LIMIT clauses of the records table that `filter` selects, its values appended
// to `values`; starts with a space.
QString RecordSelection(const RecordFilter& filter, QVariantList* values);
// Only the WHERE clause of it (empty when the filter selects everything), for readers that need no order.
QString RecordCondition(const RecordFilter& filter, QVariantList* values);

// The schema this program writes; stores of a lower one are migrated when opened.
inline constexpr int kRecordSchema = 3;

struct StoreOpenOptions {
    bool createFolder = false;  // make the SQLite file's folder when missing (the default store, the spool)
    int schema = kRecordSchema; // what to create or migrate to (lower only in tests of the migration)
};

// Opens the store, refuses one that is not a records store or is of a newer schema (untouched), creates
// or migrates the schema otherwise. Throws StoreError. A URL of kind None is not a store.
std::unique_ptr<IRecordStore> OpenRecordStore(const StoreUrl& url, const StoreOpenOptions& options = {});
