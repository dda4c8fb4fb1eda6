// Stores under processes: writers killed at random moments leave only whole records; eight writers at
// once all get through; a store that is away sends the record to the spool, and sync uploads it once; with
// no room for the spool either, the record is reported as not kept.
#include "RecordKeeper.h"
#include "RecordsTestData.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <set>
#include <thread>

using namespace records_test;

namespace {

// A store URL of a PostgreSQL server that is not there (nothing listens on that port).
StoreUrl AbsentServer() { return *ParseStoreUrl("postgresql://nobody@127.0.0.1:1/none", nullptr); }

std::vector<StoreUrl> StoresUnderTest(const QTemporaryDir& dir) {
    std::vector<StoreUrl> stores = {*ParseStoreUrl("sqlite:" + dir.filePath("records.sqlite"), nullptr)};
    if (const auto pg = PostgresUnderTest()) {
        DropPostgresStore(*pg);
        stores.push_back(*pg);
    }
    return stores;
}

} // namespace

TEST(StoreProcessTest, WritersKilledAtRandomMomentsLeaveOnlyWholeRecords) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    QTemporaryDir dir;
    const QString path = dir.filePath("killed.sqlite");
    for (int round = 0; round < 8; ++round) {
        QProcess writer;
        writer.start(WRITER, {"write", "sqlite:" + path, "0", QString::number(rng())});
        ASSERT_TRUE(writer.waitForStarted());
        QThread::msleep(std::uniform_int_distribution<unsigned long>(30, 250)(rng));
        writer.kill(); // SIGKILL
        ASSERT_TRUE(writer.waitForFinished(5000));
    }
    auto store = OpenRecordStore(*ParseStoreUrl("sqlite:" + path, nullptr));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-integrity"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("PRAGMA integrity_check") && q.next());
        EXPECT_EQ(q.value(0).toString(), "ok");
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-integrity"));
    size_t records = 0;
    store->ForEach({}, [&](const TestRecord& r) {
        ++records;
        EXPECT_EQ(r.steps.size(), 40u) << r.runId.toStdString();
    });
    EXPECT_GT(records, 0u);
}

TEST(StoreProcessTest, EightWritersAtOnceAllGetThroughOnce) {
    QTemporaryDir dir;
    for (const StoreUrl& url : StoresUnderTest(dir)) {
        SCOPED_TRACE(url.text.toStdString());
        OpenRecordStore(url); // the schema first, so the writers meet a store, as stations do
        const int writers = 8, each = 40;
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int i = 0; i < writers; ++i) {
            processes.push_back(std::make_unique<QProcess>());
            processes.back()->start(WRITER, {"write", url.text, QString::number(each), QString::number(100 + i)});
        }
        for (auto& p : processes) {
            ASSERT_TRUE(p->waitForFinished(60000));
            EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        }
        const std::vector<TestRecord> all = OpenRecordStore(url)->List({});
        std::set<QString> ids;
        for (const TestRecord& r : all)
            ids.insert(r.runId);
        EXPECT_EQ(all.size(), size_t(writers * each));
        EXPECT_EQ(ids.size(), all.size());
    }
}

TEST(StoreProcessTest, AStoreThatIsAwaySpoolsAndSyncUploadsOnce) {
    QTemporaryDir dir;
    for (const StoreUrl& url : StoresUnderTest(dir)) {
        SCOPED_TRACE(url.text.toStdString());
        const QString spool = dir.filePath("spool-" + QString::number(int(url.kind)) + ".sqlite");
        // The server is away at the start: the check passes (records will be spooled), the record is spooled.
        QProcess away;
        away.start(WRITER, {"keep", AbsentServer().text, spool, "1"});
        ASSERT_TRUE(away.waitForFinished(30000));
        EXPECT_EQ(away.exitCode(), 4) << away.readAllStandardError().toStdString();
        const QString spooled = QString::fromUtf8(away.readAllStandardOutput()).trimmed();
        EXPECT_TRUE(away.readAllStandardError().contains("kept in the spool"));

        // Back: sync uploads it once; a second sync and a later run add nothing twice.
        RecordSettings settings;
        settings.store = url;
        settings.defaultStore = false;
        settings.spoolPath = spool;
        CRecordKeeper keeper(settings);
        const SyncResult first = keeper.Sync();
        EXPECT_EQ(first.uploaded, 1);
        EXPECT_EQ(first.left, 0);
        EXPECT_TRUE(first.problem.isEmpty()) << first.problem.toStdString();
        const SyncResult second = keeper.Sync();
        EXPECT_EQ(second.uploaded + second.alreadyPresent + second.left, 0);
        auto store = OpenRecordStore(url);
        const auto record = store->Get(spooled);
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(record->steps.size(), 40u);
        EXPECT_EQ(record->attempt, 1);

        // Spooled again while away, then the next run empties the spool first.
        QProcess again;
        again.start(WRITER, {"keep", AbsentServer().text, spool, "2"});
        ASSERT_TRUE(again.waitForFinished(30000));
        EXPECT_EQ(again.exitCode(), 4);
        QProcess next;
        next.start(WRITER, {"keep", url.text, spool, "3"});
        ASSERT_TRUE(next.waitForFinished(30000));
        EXPECT_EQ(next.exitCode(), 0) << next.readAllStandardError().toStdString();
        EXPECT_EQ(store->List({}).size(), 3u);
        EXPECT_EQ(keeper.Sync().uploaded, 0);
    }
}

TEST(StoreProcessTest, NoRoomForTheSpoolEitherIsAnError) {
    QTemporaryDir dir;
    // The store is away and no file may grow (the shell's file size limit stands for a full disk).
    QProcess full;
    full.start("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 0; exec \"$0\" keep \"$1\" \"$2\" 1", WRITER,
                           AbsentServer().text, dir.filePath("spool.sqlite")});
    ASSERT_TRUE(full.waitForFinished(30000));
    EXPECT_EQ(full.exitCode(), 3);
    const QString said = QString::fromUtf8(full.readAllStandardError());
    EXPECT_TRUE(said.contains("spool")) << said.toStdString();
}

TEST(StoreProcessTest, BoardsTestedAtOnceKeepEveryRecordWithItsOwnAttempt) {
    // As `--jobs` keeps records: several threads, one keeper; the same board's runs count up without a gap.
    QTemporaryDir dir;
    RecordSettings settings;
    settings.store = *ParseStoreUrl("sqlite:" + dir.filePath("jobs.sqlite"), nullptr);
    settings.defaultStore = false;
    settings.spoolPath = dir.filePath("spool.sqlite");
    CRecordKeeper keeper(settings);
    const int threads = 4, each = 10;
    std::vector<std::vector<int>> attempts(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            std::mt19937 rng(static_cast<unsigned>(t));
            for (int i = 0; i < each; ++i) {
                TestRecord r = RandomRecord(rng, 3);
                r.boardId = 200;
                r.boardType = 0x310;
                r.command = "selftest";
                if (keeper.Keep(r).kind == KeepResult::Kind::Kept)
                    attempts[size_t(t)].push_back(r.attempt);
            }
        });
    for (std::thread& w : workers)
        w.join();
    std::set<int> all;
    for (const auto& list : attempts)
        all.insert(list.begin(), list.end());
    EXPECT_EQ(all.size(), size_t(threads * each));
    EXPECT_EQ(*all.begin(), 1);
    EXPECT_EQ(*all.rbegin(), threads * each);
}
