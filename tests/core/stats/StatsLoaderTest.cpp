// The reader over a seeded SQLite store: the runs a filter selects, each board's last attempt chosen, the
// steps in time order, against the same selection made here from the records written.
#include "StatsLoader.h"
#include "RecordsTestData.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <map>
#include <random>

namespace {

// SQLite always; PostgreSQL when VELTRIN_TEST_PG_URL names a server.
class StatsLoader : public ::testing::TestWithParam<const char*> {};

TEST_P(StatsLoader, ChoosesLastAttemptsInTimeOrder) {
    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    QTemporaryDir dir;
    StoreUrl url = *ParseStoreUrl("sqlite:" + dir.filePath("stats.sqlite"), nullptr);
    if (std::string(GetParam()) == "postgresql") {
        const auto pg = records_test::PostgresUnderTest();
        if (!pg)
            GTEST_SKIP() << "VELTRIN_TEST_PG_URL is not set";
        records_test::DropPostgresStore(*pg);
        url = *pg;
    }
    auto store = OpenRecordStore(url);
    std::vector<TestRecord> written;
    for (int i = 0; i < 120; ++i) {
        TestRecord r;
        r.runId = NewRunId();
        r.command = rng() % 4 ? "selftest" : "loopback";
        r.boardType = 0x310;
        r.boardId = uint32_t(rng() % 15);
        r.station = rng() % 2 ? "st-1" : "st-2";
        r.mode = rng() % 5 ? "production" : "engineering";
        r.version = "2.1.0";
        // Equal start times happen (two stations at once): the run id orders them.
        r.startedMs = 1'765'152'000'000LL + int64_t(rng() % 60) * 3'600'000;
        r.endedMs = r.startedMs + 1000;
        r.outcome = rng() % 3 ? "pass" : "fail";
        const double level = std::uniform_real_distribution<double>(-13, -11)(rng);
        r.steps = {{"level", level > -11.2 ? "fail" : "pass", level, "dBFS", -30.0, -11.2, 0.1, ""},
                   {"continuity", rng() % 6 ? "pass" : "fail", std::nullopt, "", std::nullopt, std::nullopt, 0.1, ""},
                   {"level", "pass", level * 2, "dB", std::nullopt, std::nullopt, 0.1, ""}};
        store->Write(r, false);
        written.push_back(r);
    }
    const auto before = [](const TestRecord& a, const TestRecord& b) {
        return a.startedMs != b.startedMs ? a.startedMs < b.startedMs : a.runId < b.runId;
    };
    std::sort(written.begin(), written.end(), before);
    for (const bool allAttempts : {false, true}) {
        SCOPED_TRACE(allAttempts ? "all attempts" : "last attempts");
        StatsRequest request;
        request.filter.mode = "production";
        request.allAttempts = allAttempts;
        const StatsData data = LoadStats(*store, request);
        // The same selection, made from the records as written.
        std::vector<TestRecord> selected, chosen;
        std::copy_if(written.begin(), written.end(), std::back_inserter(selected),
                     [](const TestRecord& r) { return r.mode == "production"; });
        std::map<std::tuple<uint32_t, uint32_t, QString>, TestRecord> last;
        for (const TestRecord& r : selected)
            last[{r.boardType, r.boardId, r.command}] = r; // oldest first: the last one stays
        for (const TestRecord& r : selected)
            if (allAttempts || last[{r.boardType, r.boardId, r.command}].runId == r.runId)
                chosen.push_back(r);
        ASSERT_EQ(data.runs.size(), selected.size());
        for (size_t i = 0; i < selected.size(); ++i)
            EXPECT_EQ(data.runs[i].runId, selected[i].runId.toStdString());
        EXPECT_EQ(data.chosenRuns, chosen.size());
        ASSERT_EQ(data.series.size(), 2u);
        EXPECT_EQ(data.series[0].name, "level");
        EXPECT_EQ(data.series[0].unit, "dBFS");
        EXPECT_EQ(data.series[1].unit, "dB");
        ASSERT_EQ(data.series[0].points.size(), chosen.size());
        size_t levelFails = 0, continuityFails = 0;
        // The Pareto counts the failing steps of every selected run whose outcome is not a pass.
        for (const TestRecord& r : selected) {
            if (r.outcome == "pass")
                continue;
            levelFails += r.steps[0].result == "fail";
            continuityFails += r.steps[1].result == "fail";
        }
        for (size_t i = 0; i < chosen.size(); ++i) {
            const StepPoint& p = data.series[0].points[i];
            EXPECT_EQ(p.runId, chosen[i].runId.toStdString());
            EXPECT_EQ(p.value, *chosen[i].steps[0].value);
            EXPECT_EQ(p.high, -11.2);
            EXPECT_EQ(p.passed, chosen[i].steps[0].result == "pass");
            EXPECT_EQ(data.series[1].points[i].value, *chosen[i].steps[2].value);
            EXPECT_FALSE(data.series[1].points[i].low.has_value());
        }
        std::map<std::string, size_t> failing(data.failingSteps.begin(), data.failingSteps.end());
        EXPECT_EQ(failing["level"], levelFails);
        EXPECT_EQ(failing["continuity"], continuityFails);
    }
    StatsRequest one;
    one.step = "continuity";
    const StatsData onlyContinuity = LoadStats(*store, one);
    EXPECT_TRUE(onlyContinuity.series.empty());
    EXPECT_EQ(onlyContinuity.runs.size(), written.size());
}

void ExpectSameData(const StatsData& a, const StatsData& b) {
    ASSERT_EQ(a.runs.size(), b.runs.size());
    for (size_t i = 0; i < a.runs.size(); ++i)
        EXPECT_EQ(a.runs[i].runId, b.runs[i].runId);
    EXPECT_EQ(a.chosenRuns, b.chosenRuns);
    EXPECT_EQ(a.failingSteps, b.failingSteps);
    ASSERT_EQ(a.series.size(), b.series.size());
    for (size_t i = 0; i < a.series.size(); ++i) {
        EXPECT_EQ(a.series[i].name, b.series[i].name);
        EXPECT_EQ(a.series[i].unit, b.series[i].unit);
        ASSERT_EQ(a.series[i].points.size(), b.series[i].points.size()) << a.series[i].name;
        for (size_t k = 0; k < a.series[i].points.size(); ++k) {
            const StepPoint &p = a.series[i].points[k], &q = b.series[i].points[k];
            EXPECT_TRUE(p.runId == q.runId.Text() && p.timeMs == q.timeMs && p.boardId == q.boardId &&
                        p.value == q.value && p.low == q.low && p.high == q.high && p.passed == q.passed)
                << a.series[i].name << " point " << k;
        }
    }
}

// A store written before the steps were packed (schema 2), migrated and written on, reads as one whose
// records were all written now: the migration packs every earlier record.
TEST_P(StatsLoader, AnEarlierStoreReadsTheSameOnceMigrated) {
    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    QTemporaryDir dir;
    StoreUrl earlier = *ParseStoreUrl("sqlite:" + dir.filePath("earlier.sqlite"), nullptr);
    if (std::string(GetParam()) == "postgresql") {
        const auto pg = records_test::PostgresUnderTest();
        if (!pg)
            GTEST_SKIP() << "VELTRIN_TEST_PG_URL is not set";
        records_test::DropPostgresStore(*pg);
        earlier = *pg;
    }
    auto fresh = OpenRecordStore(*ParseStoreUrl("sqlite:" + dir.filePath("fresh.sqlite"), nullptr));
    auto old = OpenRecordStore(earlier, {false, 2});
    const QStringList names = {"level", "THD+N", "continuity", "Ünïcødé 測試"};
    std::vector<TestRecord> written;
    for (int i = 0; i < 160; ++i) {
        if (i == 100) // the rest after the migration
            old = OpenRecordStore(earlier);
        TestRecord r = records_test::RandomRecord(rng);
        r.command = i % 5 ? "selftest" : "loopback";
        r.boardId = uint32_t(rng() % 12);
        for (TestStep& s : r.steps)
            s.name = names[int(rng() % names.size())];
        old->Write(r, true);
        written.push_back(r);
    }
    // The other store gets them in another order: what the reader gives must not depend on the rows' order.
    std::shuffle(written.begin(), written.end(), rng);
    for (TestRecord& r : written)
        fresh->Write(r, true);
    old.reset();
    old = OpenRecordStore(earlier);
    std::vector<StatsRequest> requests(5);
    requests[1].allAttempts = true;
    requests[2].step = "level";
    requests[3].filter.limit = 40;
    requests[4].filter.mode = "production";
    requests[4].filter.boardId = 3;
    for (const StatsRequest& request : requests)
        ExpectSameData(LoadStats(*old, request), LoadStats(*fresh, request));

    // A damaged packed value is an error naming the record, never figures without it.
    const QString runId = fresh->List({}).front().runId;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-damage"));
        db.setDatabaseName(dir.filePath("fresh.sqlite"));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.prepare("UPDATE records SET measured = substr(measured, 1, 3) WHERE run_id = ?"));
        q.addBindValue(runId);
        ASSERT_TRUE(q.exec());
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-damage"));
    try {
        LoadStats(*fresh, {});
        ADD_FAILURE() << "a damaged record was read";
    } catch (const StoreError& e) {
        EXPECT_NE(std::string(e.what()).find(runId.toStdString()), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, StatsLoader, ::testing::Values("sqlite", "postgresql"));

} // namespace
