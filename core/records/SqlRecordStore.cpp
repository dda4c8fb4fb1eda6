// The records store over Qt's SQL module: SQLite (WAL, busy timeout, immediate write transactions) for a
// station, PostgreSQL for a fleet. Every value travels as a bound parameter.
#include "MeasuredSteps.h"
#include "RecordSchema.h"
#include "RecordStore.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <atomic>

namespace {

constexpr int kBusyTimeoutMs = 10000;
// PostgreSQL advisory lock keys: the schema, and per board the attempt count.
constexpr qint64 kSchemaLock = 0x56454C5452494E;
constexpr int kBoardLockSpace = 0x5645;

const char* kRecordColumns = "run_id, command, arguments, board_number, board_name, board_type, board_id, station, "
                             "operator, mode, version, started_ms, ended_ms, outcome, attempt";
const char* kStepColumns = "position, name, result, value, unit, low, high, seconds, detail";

QVariant Nullable(const std::optional<double>& value) {
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<double>());
}

// Text is never null in the store: an empty text is bound as an empty, not a null, value.
QVariant Text(const QString& text) { return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text); }

std::optional<double> OptionalReal(const QVariant& value) {
    if (value.isNull())
        return std::nullopt;
    return value.toDouble();
}

class SqlRecordStore final : public IRecordStore {
public:
    SqlRecordStore(const StoreUrl& url, const StoreOpenOptions& options);
    ~SqlRecordStore() override;

    Written Write(TestRecord& record, bool keepAttempt) override;
    std::vector<TestRecord> List(const RecordFilter& filter) override;
    std::optional<TestRecord> Get(const QString& runId) override;
    void ForEach(const RecordFilter& filter, const std::function<void(const TestRecord&)>& visit) override;
    bool Remove(const QString& runId) override;
    QString Describe() const override { return m_url.text; }
    void Select(const QString& sql, const QVariantList& values,
                const std::function<void(const QSqlQuery&)>& row) override;

private:
    bool Postgres() const { return m_url.kind == StoreUrl::Kind::Postgres; }
    // Opens the connection, checks the store and brings its schema to `options.schema`.
    void Prepare(const StoreOpenOptions& options);
    [[noreturn]] void Fail(StoreError::Kind kind, const QString& what, const QSqlError& error) const;
    QSqlQuery Run(const QString& sql, const QVariantList& values = {});
    void Begin();
    void Commit();
    void Rollback();
    // The store's schema version (0 for an empty one), or a StoreError when it is not a records store.
    int CheckIsStore();
    int SchemaVersion();
    void Migrate(int target);
    // Packs the measured steps of every record that has none packed yet (those written before they were).
    void PackEarlierRecords();

    StoreUrl m_url;
    int m_schema = kRecordSchema; // what this connection writes (lower only in tests of the migration)
    QString m_connection;
    QSqlDatabase m_db;
};

QString NextConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("veltrin-records-%1").arg(counter.fetch_add(1));
}

void SqlRecordStore::Fail(StoreError::Kind kind, const QString& what, const QSqlError& error) const {
    QString text = error.text().trimmed();
    if (text.isEmpty())
        text = error.databaseText().trimmed();
    throw StoreError(
        kind, QStringLiteral("records store %1: %2%3").arg(m_url.text, what, text.isEmpty() ? QString() : ": " + text));
}

SqlRecordStore::SqlRecordStore(const StoreUrl& url, const StoreOpenOptions& options)
    : m_url(url), m_connection(NextConnectionName()) {
    using Kind = StoreError::Kind;
    if (Postgres()) {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connection);
        if (!m_url.host.isEmpty())
            m_db.setHostName(m_url.host);
        if (m_url.port > 0)
            m_db.setPort(m_url.port);
        if (!m_url.user.isEmpty())
            m_db.setUserName(m_url.user);
        if (!m_url.password.isEmpty())
            m_db.setPassword(m_url.password);
        if (!m_url.database.isEmpty())
            m_db.setDatabaseName(m_url.database);
        // A server that does not answer is given up within a bound, so the record can go to the spool.
        m_db.setConnectOptions(QStringLiteral("connect_timeout=2"));
    } else {
        const QFileInfo file(m_url.path);
        if (options.createFolder && !QDir().mkpath(file.absolutePath()))
            throw StoreError(Kind::Unavailable,
                             QStringLiteral("records store %1: cannot make its folder").arg(m_url.text));
        if (file.exists() && !file.isFile())
            throw StoreError(Kind::Configuration,
                             QStringLiteral("records store %1: is not a records store (not a file)").arg(m_url.text));
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        m_db.setDatabaseName(m_url.path);
        m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    }
    if (!m_db.isValid()) {
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
        throw StoreError(Kind::Unavailable,
                         QStringLiteral("records store %1: the %2 driver of Qt's SQL module is not installed")
                             .arg(m_url.text, Postgres() ? "PostgreSQL" : "SQLite"));
    }
    try {
        Prepare(options);
    } catch (...) {
        // The destructor does not run for a store that failed to open: the connection goes here.
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
        throw;
    }
}

void SqlRecordStore::Prepare(const StoreOpenOptions& options) {
    if (!m_db.open())
        Fail(StoreError::Kind::Unavailable, QStringLiteral("cannot open"), m_db.lastError());
    // Checked before anything is written: a file that is not a records store is left as it was.
    const int version = CheckIsStore();
    if (Postgres()) {
        Run(QStringLiteral("SET statement_timeout = %1").arg(kBusyTimeoutMs * 3));
    } else {
        Run(QStringLiteral("PRAGMA journal_mode = WAL"));
        Run(QStringLiteral("PRAGMA foreign_keys = ON"));
        // Every commit reaches the disk before the run reports it: a record must outlive a power cut too
        // (NORMAL would be faster but may lose the last records when the machine, not the program, stops).
        Run(QStringLiteral("PRAGMA synchronous = FULL"));
        // Large reads (statistics over every record) map the file rather than copy each page through a
        // read call; the mapping costs address space only.
        Run(QStringLiteral("PRAGMA mmap_size = 4294967296"));
    }
    if (version != options.schema)
        Migrate(options.schema);
    m_schema = std::max(version, options.schema);
}

SqlRecordStore::~SqlRecordStore() {
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

QSqlQuery SqlRecordStore::Run(const QString& sql, const QVariantList& values) {
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    // Statements without values run as they are: PostgreSQL prepares no BEGIN, SET or CREATE.
    if (values.isEmpty()) {
        if (!query.exec(sql))
            Fail(StoreError::Kind::Unavailable, QStringLiteral("a query failed"), query.lastError());
        return query;
    }
    if (!query.prepare(sql))
        Fail(StoreError::Kind::Unavailable, QStringLiteral("cannot prepare a query"), query.lastError());
    for (const QVariant& v : values)
        query.addBindValue(v);
    if (!query.exec())
        Fail(StoreError::Kind::Unavailable, QStringLiteral("a query failed"), query.lastError());
    return query;
}

void SqlRecordStore::Begin() {
    // SQLite: take the write lock at once, so two writers never both read and then both wait to write.
    Run(Postgres() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
}

void SqlRecordStore::Commit() { Run(QStringLiteral("COMMIT")); }

void SqlRecordStore::Rollback() {
    QSqlQuery query(m_db);
    query.exec(QStringLiteral("ROLLBACK")); // nothing to do when the transaction is gone already
}

int SqlRecordStore::CheckIsStore() {
    const auto notAStore = [&](const QString& why) {
        throw StoreError(
            StoreError::Kind::Configuration,
            QStringLiteral("records store %1: is not a records store (%2); it was left as it is").arg(m_url.text, why));
    };
    QSqlQuery tables(m_db);
    const QString list = Postgres() ? QStringLiteral("SELECT table_name FROM information_schema.tables WHERE "
                                                     "table_schema = current_schema()")
                                    : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'");
    if (!tables.exec(list)) {
        if (Postgres())
            Fail(StoreError::Kind::Unavailable, QStringLiteral("cannot read its tables"), tables.lastError());
        notAStore(tables.lastError().text().trimmed());
    }
    QStringList names;
    while (tables.next())
        names.append(tables.value(0).toString());
    if (names.contains(QStringLiteral("record_meta"))) {
        QSqlQuery kind(m_db);
        if (!kind.exec(QStringLiteral("SELECT value FROM record_meta WHERE name = 'kind'")) || !kind.next() ||
            kind.value(0).toString() != QLatin1String(kRecordStoreKind))
            notAStore(QStringLiteral("its record_meta table is not ours"));
        const int version = SchemaVersion();
        if (version > kRecordSchema)
            throw StoreError(StoreError::Kind::Configuration,
                             QStringLiteral("records store %1: has schema version %2, newer than this program's %3; "
                                            "it was left as it is (use a newer veltrin-cli)")
                                 .arg(m_url.text)
                                 .arg(version)
                                 .arg(kRecordSchema));
        return version;
    }
    // A database shared with other data is fine as long as nothing of it looks like records; an SQLite file
    // with any table at all is somebody else's.
    if (Postgres() ? (names.contains(QStringLiteral("records")) || names.contains(QStringLiteral("record_steps")))
                   : !names.isEmpty())
        notAStore(QStringLiteral("it has tables of its own"));
    return 0;
}

int SqlRecordStore::SchemaVersion() {
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT value FROM record_meta WHERE name = 'schema'")) || !query.next())
        return 0;
    return query.value(0).toInt();
}

void SqlRecordStore::Migrate(int target) {
    Begin();
    try {
        if (Postgres())
            Run(QStringLiteral("SELECT pg_advisory_xact_lock(?)"), {kSchemaLock});
        // Another process may have migrated it while this one waited for the lock.
        for (int version = CheckIsStore() + 1; version <= target; ++version) {
            for (const QString& statement : SchemaMigration(version))
                Run(statement);
            if (version == 3)
                PackEarlierRecords();
            Run(QStringLiteral("UPDATE record_meta SET value = ? WHERE name = 'schema'"), {QString::number(version)});
        }
        Commit();
    } catch (...) {
        Rollback();
        throw;
    }
}

void SqlRecordStore::PackEarlierRecords() {
    // A few hundred records at a time, each batch's rows read whole before its updates run: PostgreSQL's
    // driver drops the rest of a result still being read when another statement runs on the connection.
    constexpr int kBatch = 500;
    // Every row of the records table grows, so most of its pages change: a larger page cache keeps SQLite
    // from writing the same pages to the log again and again within the one transaction.
    if (!Postgres())
        Run(QStringLiteral("PRAGMA cache_size = -262144"));
    QSqlQuery update(m_db);
    if (!update.prepare(QStringLiteral("UPDATE records SET measured = ? WHERE run_id = ?")))
        Fail(StoreError::Kind::Unavailable, QStringLiteral("cannot prepare a query"), update.lastError());
    // The records in run id order, each batch starting after the last one of the one before, so no batch
    // reads past the records packed already.
    QString after = QStringLiteral("");
    for (;;) {
        QStringList runIds;
        QSqlQuery batch =
            Run(QStringLiteral("SELECT run_id FROM records WHERE run_id > ? AND measured IS NULL ORDER BY "
                               "run_id LIMIT %1")
                    .arg(kBatch),
                {after});
        while (batch.next())
            runIds.append(batch.value(0).toString());
        if (batch.lastError().isValid())
            Fail(StoreError::Kind::Unavailable, QStringLiteral("cannot read the records to pack"), batch.lastError());
        batch.finish();
        if (runIds.isEmpty())
            break;
        after = runIds.back();
        // Only the steps the packed form keeps are read, in each record's order.
        QStringList marks;
        QVariantList ids;
        for (const QString& id : runIds) {
            marks.append(QStringLiteral("?"));
            ids.append(id);
        }
        QHash<QString, std::vector<TestStep>> kept;
        QSqlQuery steps =
            Run(QStringLiteral("SELECT run_id, name, result, value, unit, low, high FROM record_steps WHERE run_id IN "
                               "(%1) AND (value IS NOT NULL OR result IN ('fail', 'error')) ORDER BY run_id, position")
                    .arg(marks.join(QLatin1String(", "))),
                ids);
        while (steps.next()) {
            TestStep s;
            s.name = steps.value(1).toString();
            s.result = steps.value(2).toString();
            s.value = OptionalReal(steps.value(3));
            s.unit = steps.value(4).toString();
            s.low = OptionalReal(steps.value(5));
            s.high = OptionalReal(steps.value(6));
            kept[steps.value(0).toString()].push_back(std::move(s));
        }
        if (steps.lastError().isValid())
            Fail(StoreError::Kind::Unavailable, QStringLiteral("cannot read the steps to pack"), steps.lastError());
        steps.finish();
        for (const QString& id : runIds) {
            update.bindValue(0, PackMeasuredSteps(kept.value(id)));
            update.bindValue(1, id);
            if (!update.exec())
                Fail(StoreError::Kind::Unavailable, QStringLiteral("cannot pack a record's steps"), update.lastError());
        }
    }
    if (!Postgres())
        Run(QStringLiteral("PRAGMA cache_size = -2000")); // SQLite's default again
}

IRecordStore::Written SqlRecordStore::Write(TestRecord& r, bool keepAttempt) {
    Begin();
    try {
        if (Postgres())
            Run(QStringLiteral("SELECT pg_advisory_xact_lock(?, ?)"),
                {kBoardLockSpace, static_cast<int>(static_cast<int32_t>(r.boardId))});
        int attempt = r.attempt;
        if (!keepAttempt) {
            QSqlQuery count = Run(QStringLiteral("SELECT COUNT(*) FROM records WHERE board_id = ? AND board_type = ? "
                                                 "AND command = ?"),
                                  {qlonglong(r.boardId), qlonglong(r.boardType), Text(r.command)});
            attempt = count.next() ? count.value(0).toInt() + 1 : 1;
        }
        const QString arguments =
            QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(r.arguments)).toJson(QJsonDocument::Compact));
        QVariantList fields = {Text(r.runId),        Text(r.command),   arguments,
                               r.boardNumber,        Text(r.boardName), qlonglong(r.boardType),
                               qlonglong(r.boardId), Text(r.station),   Text(r.operatorName),
                               Text(r.mode),         Text(r.version),   qlonglong(r.startedMs),
                               qlonglong(r.endedMs), Text(r.outcome),   attempt};
        QString columns = QLatin1String(kRecordColumns);
        if (m_schema >= 3) {
            columns += QLatin1String(", measured");
            fields.append(PackMeasuredSteps(r.steps));
        }
        QStringList marks;
        for (qsizetype i = 0; i < fields.size(); ++i)
            marks.append(QStringLiteral("?"));
        QSqlQuery insert = Run(QStringLiteral("INSERT INTO records (%1) VALUES (%2) ON CONFLICT (run_id) DO NOTHING")
                                   .arg(columns, marks.join(QLatin1String(", "))),
                               fields);
        if (insert.numRowsAffected() == 0) {
            Rollback();
            return Written::AlreadyPresent;
        }
        QSqlQuery step(m_db);
        if (!step.prepare(QStringLiteral("INSERT INTO record_steps (run_id, %1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                              .arg(QLatin1String(kStepColumns))))
            Fail(StoreError::Kind::Unavailable, QStringLiteral("cannot prepare a query"), step.lastError());
        for (size_t i = 0; i < r.steps.size(); ++i) {
            const TestStep& s = r.steps[i];
            const QVariantList values = {Text(r.runId),     static_cast<int>(i), Text(s.name),    Text(s.result),
                                         Nullable(s.value), Text(s.unit),        Nullable(s.low), Nullable(s.high),
                                         s.seconds,         Text(s.detail)};
            for (int v = 0; v < values.size(); ++v)
                step.bindValue(v, values[v]);
            if (!step.exec())
                Fail(StoreError::Kind::Unavailable, QStringLiteral("cannot write a step"), step.lastError());
        }
        Commit();
        r.attempt = attempt;
        return Written::Added;
    } catch (...) {
        Rollback();
        throw;
    }
}

} // namespace

QString RecordCondition(const RecordFilter& f, QVariantList* values) {
    QStringList clauses;
    const auto add = [&](const char* clause, const QVariant& value) {
        clauses.append(QLatin1String(clause));
        values->append(value);
    };
    if (f.boardId)
        add("board_id = ?", qlonglong(*f.boardId));
    if (f.boardNumber)
        add("board_number = ?", *f.boardNumber);
    if (!f.command.isEmpty())
        add("command = ?", f.command);
    if (!f.station.isEmpty())
        add("station = ?", f.station);
    if (!f.operatorName.isEmpty())
        add("operator = ?", f.operatorName);
    if (!f.outcome.isEmpty())
        add("outcome = ?", f.outcome);
    if (!f.mode.isEmpty())
        add("mode = ?", f.mode);
    if (f.sinceMs)
        add("started_ms >= ?", qlonglong(*f.sinceMs));
    if (f.untilMs)
        add("started_ms < ?", qlonglong(*f.untilMs));
    return clauses.isEmpty() ? QString() : " WHERE " + clauses.join(QLatin1String(" AND "));
}

QString RecordSelection(const RecordFilter& f, QVariantList* values) {
    QString sql = RecordCondition(f, values);
    sql += f.oldestFirst ? QStringLiteral(" ORDER BY started_ms, run_id")
                         : QStringLiteral(" ORDER BY started_ms DESC, run_id DESC");
    if (f.limit > 0) {
        sql += QStringLiteral(" LIMIT ?");
        values->append(f.limit);
    }
    return sql;
}

namespace {

TestRecord RecordFromRow(const QSqlQuery& q) {
    TestRecord r;
    r.runId = q.value(0).toString();
    r.command = q.value(1).toString();
    for (const QJsonValue& a : QJsonDocument::fromJson(q.value(2).toString().toUtf8()).array())
        r.arguments.append(a.toString());
    r.boardNumber = q.value(3).toInt();
    r.boardName = q.value(4).toString();
    r.boardType = static_cast<uint32_t>(q.value(5).toLongLong());
    r.boardId = static_cast<uint32_t>(q.value(6).toLongLong());
    r.station = q.value(7).toString();
    r.operatorName = q.value(8).toString();
    r.mode = q.value(9).toString();
    r.version = q.value(10).toString();
    r.startedMs = q.value(11).toLongLong();
    r.endedMs = q.value(12).toLongLong();
    r.outcome = q.value(13).toString();
    r.attempt = q.value(14).toInt();
    return r;
}

TestStep StepFromRow(const QSqlQuery& q, int first) {
    TestStep s;
    s.name = q.value(first + 1).toString();
    s.result = q.value(first + 2).toString();
    s.value = OptionalReal(q.value(first + 3));
    s.unit = q.value(first + 4).toString();
    s.low = OptionalReal(q.value(first + 5));
    s.high = OptionalReal(q.value(first + 6));
    s.seconds = q.value(first + 7).toDouble();
    s.detail = q.value(first + 8).toString();
    return s;
}

std::vector<TestRecord> SqlRecordStore::List(const RecordFilter& filter) {
    QVariantList values;
    const QString where = RecordSelection(filter, &values);
    QSqlQuery q = Run(QStringLiteral("SELECT %1 FROM records%2").arg(QLatin1String(kRecordColumns), where), values);
    std::vector<TestRecord> records;
    while (q.next())
        records.push_back(RecordFromRow(q));
    return records;
}

std::optional<TestRecord> SqlRecordStore::Get(const QString& runId) {
    QSqlQuery q =
        Run(QStringLiteral("SELECT %1 FROM records WHERE run_id = ?").arg(QLatin1String(kRecordColumns)), {runId});
    if (!q.next())
        return std::nullopt;
    TestRecord r = RecordFromRow(q);
    QSqlQuery steps = Run(QStringLiteral("SELECT %1 FROM record_steps WHERE run_id = ? ORDER BY position")
                              .arg(QLatin1String(kStepColumns)),
                          {runId});
    while (steps.next())
        r.steps.push_back(StepFromRow(steps, 0));
    return r;
}

void SqlRecordStore::ForEach(const RecordFilter& filter, const std::function<void(const TestRecord&)>& visit) {
    QVariantList values;
    const QString where = RecordSelection(filter, &values);
    // The selected records joined with their steps, in one pass: a record's rows come together.
    QStringList stepColumns;
    for (const QString& c : QString::fromLatin1(kStepColumns).split(QStringLiteral(", ")))
        stepColumns.append("s." + c);
    QString order = filter.oldestFirst ? QStringLiteral("r.started_ms, r.run_id")
                                       : QStringLiteral("r.started_ms DESC, r.run_id DESC");
    QSqlQuery q = Run(QStringLiteral("SELECT r.*, %1 FROM (SELECT %2 FROM records%3) r LEFT JOIN record_steps s ON "
                                     "s.run_id = r.run_id ORDER BY %4, s.position")
                          .arg(stepColumns.join(QLatin1String(", ")), QLatin1String(kRecordColumns), where, order),
                      values);
    std::optional<TestRecord> current;
    while (q.next()) {
        const QString runId = q.value(0).toString();
        if (current && current->runId != runId) {
            visit(*current);
            current.reset();
        }
        if (!current)
            current = RecordFromRow(q);
        if (!q.value(15).isNull())
            current->steps.push_back(StepFromRow(q, 15));
    }
    if (current)
        visit(*current);
}

void SqlRecordStore::Select(const QString& sql, const QVariantList& values,
                            const std::function<void(const QSqlQuery&)>& row) {
    QSqlQuery q = Run(sql, values);
    while (q.next())
        row(q);
    if (q.lastError().isValid())
        Fail(StoreError::Kind::Unavailable, QStringLiteral("a query failed"), q.lastError());
}

bool SqlRecordStore::Remove(const QString& runId) {
    Begin();
    try {
        Run(QStringLiteral("DELETE FROM record_steps WHERE run_id = ?"), {runId});
        const bool removed = Run(QStringLiteral("DELETE FROM records WHERE run_id = ?"), {runId}).numRowsAffected() > 0;
        Commit();
        return removed;
    } catch (...) {
        Rollback();
        throw;
    }
}

} // namespace

std::unique_ptr<IRecordStore> OpenRecordStore(const StoreUrl& url, const StoreOpenOptions& options) {
    if (url.kind == StoreUrl::Kind::None)
        throw StoreError(StoreError::Kind::Configuration, QStringLiteral("records are not kept (--records none)"));
    return std::make_unique<SqlRecordStore>(url, options);
}
