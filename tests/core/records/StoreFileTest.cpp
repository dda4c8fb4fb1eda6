// An SQLite store file: what is not a records store, or is of a newer schema, is refused and left byte for
// byte as it was; an older schema is migrated with its records kept; the store runs in WAL mode.
#include "RecordsTestData.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs statements on an SQLite file directly, as another program would.
void Execute(const QString& path, const QStringList& statements) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-direct"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        for (const QString& s : statements)
            ASSERT_TRUE(QSqlQuery(db).exec(s)) << s.toStdString();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-direct"));
}

StoreUrl Sqlite(const QString& path) { return *ParseStoreUrl("sqlite:" + path, nullptr); }

} // namespace

TEST(StoreFileTest, WhatIsNotARecordsStoreIsRefusedAndLeftAsItWas) {
    QTemporaryDir dir;
    const struct {
        const char* name;
        std::function<void(const QString&)> make;
        const char* says;
    } rows[] = {
        {"text",
         [](const QString& p) {
             QFile f(p);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray("board,level\n200,-12\n").repeated(300));
         },
         "not a records store"},
        {"other database",
         [](const QString& p) {
             Execute(p, {"CREATE TABLE parts (id INTEGER)", "INSERT INTO parts VALUES (1)"});
         },
         "not a records store"},
        {"foreign meta",
         [](const QString& p) {
             Execute(p, {"CREATE TABLE record_meta (name TEXT, value TEXT)",
                         "INSERT INTO record_meta VALUES ('kind', 'x')"});
         },
         "not a records store"},
        {"newer schema",
         [](const QString& p) {
             OpenRecordStore(Sqlite(p));
             Execute(p, {"UPDATE record_meta SET value = '99' WHERE name = 'schema'"});
         },
         "newer"},
        {"folder", [](const QString& p) { QDir().mkpath(p); }, "not a records store"},
    };
    for (const auto& row : rows) {
        const QString path = dir.filePath(QString::fromUtf8(row.name));
        row.make(path);
        const QByteArray before = ReadAll(path);
        const QDateTime modified = QFileInfo(path).lastModified();
        try {
            OpenRecordStore(Sqlite(path));
            ADD_FAILURE() << row.name << " was opened";
        } catch (const StoreError& error) {
            EXPECT_EQ(error.GetKind(), StoreError::Kind::Configuration) << row.name;
            EXPECT_NE(std::string(error.what()).find(row.says), std::string::npos) << error.what();
        }
        // No connection is left open on a store that was refused.
        EXPECT_TRUE(QSqlDatabase::connectionNames().isEmpty()) << row.name;
        EXPECT_EQ(ReadAll(path), before) << row.name;
        EXPECT_EQ(QFileInfo(path).lastModified(), modified) << row.name;
        EXPECT_FALSE(QFileInfo::exists(path + "-wal") && QFileInfo(path + "-wal").size() > 0) << row.name;
    }
}

TEST(StoreFileTest, AnOlderSchemaIsMigratedWithItsRecords) {
    QTemporaryDir dir;
    const QString path = dir.filePath("old.sqlite");
    std::mt19937 rng(11);
    TestRecord kept = records_test::RandomRecord(rng, 4);
    {
        StoreOpenOptions first;
        first.schema = 1;
        OpenRecordStore(Sqlite(path), first)->Write(kept, true);
    }
    Execute(path, {}); // the older file opens as a plain database too
    auto store = OpenRecordStore(Sqlite(path));
    EXPECT_EQ(*store->Get(kept.runId), kept);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-check"));
    {
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("SELECT value FROM record_meta WHERE name = 'schema'") && q.next());
        EXPECT_EQ(q.value(0).toInt(), kRecordSchema);
        ASSERT_TRUE(q.exec("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name LIKE 'records_by_%'") &&
                    q.next());
        EXPECT_EQ(q.value(0).toInt(), 4);
        ASSERT_TRUE(q.exec("PRAGMA journal_mode") && q.next());
        EXPECT_EQ(q.value(0).toString(), "wal");
        db.close();
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("test-check"));
}
