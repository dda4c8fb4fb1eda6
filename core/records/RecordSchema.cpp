// The records schema. Times are UTC milliseconds; a step's value and limits are null when it has none.
#include "RecordSchema.h"

QStringList SchemaMigration(int version) {
    switch (version) {
    case 1:
        return {
            QStringLiteral("CREATE TABLE record_meta (name TEXT PRIMARY KEY, value TEXT NOT NULL)"),
            QStringLiteral("INSERT INTO record_meta (name, value) VALUES ('kind', '%1'), ('schema', '0')")
                .arg(QLatin1String(kRecordStoreKind)),
            QStringLiteral("CREATE TABLE records (run_id TEXT PRIMARY KEY, command TEXT NOT NULL, arguments TEXT NOT "
                           "NULL, board_number INTEGER NOT NULL, board_name TEXT NOT NULL, board_type BIGINT NOT NULL, "
                           "board_id BIGINT NOT NULL, station TEXT NOT NULL, operator TEXT NOT NULL, mode TEXT NOT "
                           "NULL, version TEXT NOT NULL, started_ms BIGINT NOT NULL, ended_ms BIGINT NOT NULL, "
                           "outcome TEXT NOT NULL, attempt INTEGER NOT NULL)"),
            QStringLiteral("CREATE TABLE record_steps (run_id TEXT NOT NULL REFERENCES records (run_id) ON DELETE "
                           "CASCADE, position INTEGER NOT NULL, name TEXT NOT NULL, result TEXT NOT NULL, value DOUBLE "
                           "PRECISION, unit TEXT NOT NULL, low DOUBLE PRECISION, high DOUBLE PRECISION, seconds DOUBLE "
                           "PRECISION NOT NULL, detail TEXT NOT NULL, PRIMARY KEY (run_id, position))"),
        };
    case 2:
        // What `records list`, `show`, `export` and the attempt count look up.
        return {
            QStringLiteral("CREATE INDEX records_by_board_id ON records (board_id, started_ms)"),
            QStringLiteral("CREATE INDEX records_by_board_number ON records (board_number, started_ms)"),
            QStringLiteral("CREATE INDEX records_by_start ON records (started_ms)"),
            QStringLiteral("CREATE INDEX records_by_attempt ON records (board_id, board_type, command)"),
        };
    case 3:
        // Each record's measured and failing steps packed in one value (MeasuredSteps), so statistics read
        // one row per record. BYTEA is PostgreSQL's binary type; SQLite keeps a blob as it is under any type
        // name. The store fills it for the records already there (SqlRecordStore's migration).
        return {QStringLiteral("ALTER TABLE records ADD COLUMN measured BYTEA")};
    default:
        return {};
    }
}
