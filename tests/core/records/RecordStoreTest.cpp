// The store's behaviour, the same against SQLite and (when a server is given) PostgreSQL: records come back
// exactly as written, filters select what they say, attempts count, a run id is never added twice.
#include "RecordExport.h"
#include "RecordsTestData.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>

using namespace records_test;

namespace {

class StoreTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        if (std::string(GetParam()) == "postgresql") {
            const auto pg = PostgresUnderTest();
            if (!pg)
                GTEST_SKIP() << "VELTRIN_TEST_PG_URL is not set";
            DropPostgresStore(*pg);
            m_url = *pg;
        } else {
            m_url = *ParseStoreUrl("sqlite:" + m_dir.filePath("records.sqlite"), nullptr);
        }
    }
    std::unique_ptr<IRecordStore> Open() { return OpenRecordStore(m_url); }

    QTemporaryDir m_dir;
    StoreUrl m_url;
};

bool Selected(const TestRecord& r, const RecordFilter& f) {
    return (!f.boardId || r.boardId == *f.boardId) && (!f.boardNumber || r.boardNumber == *f.boardNumber) &&
           (f.command.isEmpty() || r.command == f.command) && (f.station.isEmpty() || r.station == f.station) &&
           (f.operatorName.isEmpty() || r.operatorName == f.operatorName) &&
           (f.outcome.isEmpty() || r.outcome == f.outcome) && (f.mode.isEmpty() || r.mode == f.mode) &&
           (!f.sinceMs || r.startedMs >= *f.sinceMs) && (!f.untilMs || r.startedMs < *f.untilMs);
}

TestRecord WithoutSteps(TestRecord r) {
    r.steps.clear();
    return r;
}

} // namespace

TEST_P(StoreTest, RecordsComeBackExactlyAndThroughEveryForm) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto store = Open();
    for (int i = 0; i < 60; ++i) {
        TestRecord written = RandomRecord(rng);
        written.attempt = 7;
        ASSERT_EQ(store->Write(written, true), IRecordStore::Written::Added);
        const auto read = store->Get(written.runId);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, written);
        QString error;
        const auto fromJson = RecordFromJsonLine(JsonLine(*read), &error);
        ASSERT_TRUE(fromJson.has_value()) << error.toStdString();
        EXPECT_EQ(*fromJson, written);
    }
    EXPECT_FALSE(store->Get(NewRunId()).has_value());
}

TEST_P(StoreTest, FiltersOrderAndLimitSelectWhatTheySay) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto store = Open();
    std::vector<TestRecord> all;
    for (int i = 0; i < 120; ++i) {
        all.push_back(RandomRecord(rng, i % 3));
        store->Write(all.back(), true);
    }
    std::sort(all.begin(), all.end(), [](const TestRecord& a, const TestRecord& b) {
        return a.startedMs != b.startedMs ? a.startedMs > b.startedMs : a.runId > b.runId;
    });
    for (int round = 0; round < 80; ++round) {
        const TestRecord& a = all[std::uniform_int_distribution<size_t>(0, all.size() - 1)(rng)];
        const TestRecord& b = all[std::uniform_int_distribution<size_t>(0, all.size() - 1)(rng)];
        const auto coin = [&] { return std::uniform_int_distribution<int>(0, 2)(rng) == 0; };
        RecordFilter f;
        if (coin())
            f.boardId = a.boardId;
        if (coin())
            f.boardNumber = a.boardNumber;
        if (coin())
            f.command = a.command;
        if (coin())
            f.station = a.station;
        if (coin())
            f.operatorName = a.operatorName;
        if (coin())
            f.outcome = a.outcome;
        if (coin())
            f.mode = a.mode;
        if (coin())
            f.sinceMs = std::min(a.startedMs, b.startedMs);
        if (coin())
            f.untilMs = std::max(a.startedMs, b.startedMs);
        if (coin())
            f.limit = std::uniform_int_distribution<int>(1, 5)(rng);
        f.oldestFirst = coin();
        std::vector<TestRecord> expected;
        for (const TestRecord& r : all)
            if (Selected(r, f))
                expected.push_back(r);
        if (f.oldestFirst)
            std::reverse(expected.begin(), expected.end());
        if (f.limit > 0 && int(expected.size()) > f.limit)
            expected.resize(size_t(f.limit));
        std::vector<TestRecord> listed = store->List(f);
        std::vector<TestRecord> walked;
        store->ForEach(f, [&](const TestRecord& r) { walked.push_back(r); });
        ASSERT_EQ(listed.size(), expected.size()) << "round " << round;
        ASSERT_EQ(walked, expected) << "round " << round;
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(listed[i], WithoutSteps(expected[i]));
    }
}

TEST_P(StoreTest, AttemptsCountPerBoardAndCommandAndRunIdsAreNeverAddedTwice) {
    auto store = Open();
    std::mt19937 rng(28);
    // board id, board type, command -> the attempt each write should get
    const struct {
        uint32_t id;
        uint32_t type;
        const char* command;
        int attempt;
    } rows[] = {{200, 0x310, "selftest", 1}, {200, 0x310, "selftest", 2}, {200, 0x310, "loopback", 1},
                {201, 0x310, "selftest", 1}, {200, 0x330, "selftest", 1}, {200, 0x310, "selftest", 3}};
    for (const auto& row : rows) {
        TestRecord r = RandomRecord(rng, 2);
        r.boardId = row.id;
        r.boardType = row.type;
        r.command = row.command;
        ASSERT_EQ(store->Write(r, false), IRecordStore::Written::Added);
        EXPECT_EQ(r.attempt, row.attempt) << row.id << " " << row.command;
        EXPECT_EQ(store->Get(r.runId)->attempt, row.attempt);
        TestRecord again = r;
        again.steps.clear();
        EXPECT_EQ(store->Write(again, false), IRecordStore::Written::AlreadyPresent);
        EXPECT_EQ(store->Get(r.runId)->steps.size(), 2u);
    }
    EXPECT_EQ(store->List({}).size(), std::size(rows));
    const QString removed = store->List({}).front().runId;
    EXPECT_TRUE(store->Remove(removed));
    EXPECT_FALSE(store->Remove(removed));
    EXPECT_EQ(store->List({}).size(), std::size(rows) - 1);
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreTest, ::testing::Values("sqlite", "postgresql"));
