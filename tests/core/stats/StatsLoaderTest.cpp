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

INSTANTIATE_TEST_SUITE_P(Stores, StatsLoader, ::testing::Values("sqlite", "postgresql"));

} // namespace
