// The records schema as a list of migrations: statement lists that take a store from version N-1 to N.
// The same statements serve SQLite and PostgreSQL.
#pragma once

#include <QStringList>

// The statements that bring a store of version `version - 1` to `version` (1 creates the tables).
QStringList SchemaMigration(int version);

// What marks a records store: the value of "kind" in record_meta.
inline constexpr const char* kRecordStoreKind = "veltrin-records";
