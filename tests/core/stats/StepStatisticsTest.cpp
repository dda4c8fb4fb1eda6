// The capability figures, control rules, yields and Pareto against tables computed independently: the
// expected numbers below came from Python's statistics module (stdev, sum of |x[i] - x[i-1]|) and the
// textbook formulas typed afresh, and were checked by hand where short.
#include "StepStatistics.h"
#include "Yield.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Opt = std::optional<double>;

StepSeries Series(const std::vector<double>& values, Opt low, Opt high) {
    StepSeries s{"level", "dBFS", {}};
    for (size_t i = 0; i < values.size(); ++i) {
        const bool inside = (!low || values[i] >= *low) && (!high || values[i] <= *high);
        s.points.push_back({int64_t(i) * 1000, uint32_t(i), "run-" + std::to_string(i), values[i], low, high, inside});
    }
    return s;
}

void ExpectFigure(const char* what, const Opt& got, const Opt& want) {
    if (!want) {
        EXPECT_FALSE(got.has_value()) << what << " should be absent, is " << got.value_or(0.0);
        return;
    }
    ASSERT_TRUE(got.has_value()) << what << " is absent";
    EXPECT_NEAR(*got, *want, 1e-9 * std::max(1.0, std::fabs(*want))) << what;
}

TEST(StepStatistics, FiguresMatchAnIndependentTable) {
    const std::vector<double> v = {10.1, 9.8, 10.3, 10.0, 9.9, 10.2, 10.4, 9.7};
    // MR̄ = (0.3 + 0.5 + 0.3 + 0.1 + 0.3 + 0.2 + 0.7) / 7 = 2.4 / 7; within s = MR̄ / 1.128 = 0.30395...
    const double within = 2.4 / 7 / 1.128;
    struct Case {
        const char* name;
        std::vector<double> values;
        Opt low, high;
        Opt mean, s, within, cp, cpk, pp, ppk, lower;
    };
    const Case cases[] = {
        {"two-sided", v, 9.0, 11.0, 10.05, 0.2449489742783179, within, 1.0966666666666665, 1.0418333333333323,
         1.360827634879543, 1.2927862531355647, 0.5445033245814597},
        {"high limit only",
         v,
         {},
         11.0,
         10.05,
         0.2449489742783179,
         within,
         {},
         1.0418333333333323,
         {},
         1.2927862531355647,
         0.5445033245814597},
        {"low limit only",
         v,
         9.0,
         {},
         10.05,
         0.2449489742783179,
         within,
         {},
         1.1515000000000004,
         {},
         1.428869016623521,
         0.6094470687230901},
        {"no limit", v, {}, {}, 10.05, 0.2449489742783179, within, {}, {}, {}, {}, {}},
        {"one value", {7.5}, 9.0, 11.0, 7.5, {}, {}, {}, {}, {}, {}, {}},
        {"zero spread", {5, 5, 5, 5}, 4.0, 6.0, 5.0, 0.0, 0.0, {}, {}, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StepStatistics s = Summarise(Series(c.values, c.low, c.high));
        EXPECT_EQ(s.n, c.values.size());
        ExpectFigure("mean", s.mean, c.mean);
        ExpectFigure("overall s", s.overallSd, c.s);
        ExpectFigure("within s", s.withinSd, c.within);
        ExpectFigure("Cp", s.cp, c.cp);
        ExpectFigure("Cpk", s.cpk, c.cpk);
        ExpectFigure("Pp", s.pp, c.pp);
        ExpectFigure("Ppk", s.ppk, c.ppk);
        ExpectFigure("Cpk lower bound", s.cpkLower, c.lower);
        ExpectFigure("low", s.low, c.low);
        ExpectFigure("high", s.high, c.high);
        EXPECT_FALSE(s.limitsDisagree);
    }
    const StepStatistics empty = Summarise(StepSeries{"level", "dBFS", {}});
    EXPECT_EQ(empty.n, 0u);
    EXPECT_FALSE(empty.mean || empty.min || empty.max || empty.cpk);
}

TEST(StepStatistics, CountsExtremesAndTheLimitsInForce) {
    StepSeries s = Series({1.0, 2.5, -3.0, 4.0}, 0.0, 3.0);
    // The newest run judged against wider limits: they are the ones in force, and the change is said.
    s.points.back().low = -5.0;
    s.points.back().high = 5.0;
    s.points.back().passed = true;
    const StepStatistics st = Summarise(s);
    EXPECT_EQ(st.passes, 3u);
    EXPECT_EQ(st.failures, 1u);
    ExpectFigure("min", st.min, -3.0);
    ExpectFigure("max", st.max, 4.0);
    ExpectFigure("low", st.low, -5.0);
    ExpectFigure("high", st.high, 5.0);
    EXPECT_TRUE(st.limitsDisagree);
}

TEST(ControlChart, RulesFlagTheRightPoints) {
    struct Case {
        const char* name;
        std::vector<double> values;
        std::vector<size_t> beyond, inRun;
    };
    // 20 alternating values around 0 then one spike: mean = 10/21 ≈ 0.476, MR̄ = (19 * 2 + 9) / 20 = 2.35,
    // UCL ≈ 6.73: the spike at 10 is beyond it, no run of 8 forms.
    std::vector<double> alternating;
    for (int i = 0; i < 20; ++i)
        alternating.push_back(i % 2 ? 1.0 : -1.0);
    alternating.push_back(10.0);
    // Eight above the mean of 0, then eight below: two runs of exactly 8. Seven: none. With a single jump
    // MR̄ is small (2 / 15), so the control limits (±0.355) leave every point beyond them too.
    std::vector<double> shifted = {1, 1, 1, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1, -1, -1, -1};
    std::vector<double> seven = {1, 1, 1, 1, 1, 1, 1, -1, -1, -1, -1, -1, -1, -1};
    // The mean is (8 - 9) / 18 < 0, so the "0" is above it too: a run of 9 above, then 9 below.
    // MR̄ = 4 / 17, UCL = -1/18 + 2.66 * 4/17 = 0.570, LCL = -0.681: all but the 0 are beyond them.
    std::vector<double> onCentre = {1, 1, 1, 1, 0, 1, 1, 1, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    const auto upTo = [](size_t n) {
        std::vector<size_t> all(n);
        for (size_t i = 0; i < n; ++i)
            all[i] = i;
        return all;
    };
    const std::vector<size_t> all16 = upTo(16), all18 = upTo(18);
    std::vector<size_t> allButFour = all18;
    allButFour.erase(allButFour.begin() + 4);
    const Case cases[] = {
        {"spike", alternating, {20}, {}},
        {"shift", shifted, all16, all16},
        {"seven on each side", seven, upTo(14), {}},
        {"centre value on the high side", onCentre, allButFour, all18},
        {"one value", {3.0}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ControlChart chart = ChartLimits(c.values);
        EXPECT_EQ(chart.beyond, c.beyond);
        EXPECT_EQ(chart.inRun, c.inRun);
    }
    const ControlChart spike = ChartLimits(alternating);
    ExpectFigure("centre", spike.centre, 10.0 / 21);
    ExpectFigure("MR̄", spike.movingRange, 2.35);
    ExpectFigure("UCL", spike.upper, 10.0 / 21 + 2.66 * 2.35);
    ExpectFigure("LCL", spike.lower, 10.0 / 21 - 2.66 * 2.35);
    // Exactly on the mean: a run of points equal to the centre is on neither side.
    EXPECT_TRUE(ChartLimits(std::vector<double>(12, 2.0)).inRun.empty());
}

TEST(Yield, FirstPassAndFinalByDayAndStation) {
    const int64_t day1 = 1'765'152'000'000; // 2025-12-08T00:00:00Z
    const int64_t day2 = day1 + 86'400'000;
    // Board 1 fails then passes, board 2 passes first time, board 3 fails twice (second attempt on the next
    // day, other station: it still belongs to its first attempt's day and station), board 1 of another
    // command passes. A selftest and a loopback of one board are two boards here.
    const std::vector<RunResult> runs = {
        {"a", "selftest", 0x310, 1, "st-1", day1 + 10, 1, false},
        {"b", "selftest", 0x310, 1, "st-1", day1 + 20, 2, true},
        {"c", "selftest", 0x310, 2, "st-2", day1 + 30, 1, true},
        {"d", "selftest", 0x310, 3, "st-2", day1 + 40, 1, false},
        {"e", "selftest", 0x310, 3, "st-1", day2 + 50, 2, false},
        {"f", "loopback", 0x310, 1, "st-1", day2 + 60, 1, true},
    };
    struct Want {
        std::string key;
        size_t boards, firstPass, finalPass, runs;
    };
    const auto check = [](const std::vector<YieldRow>& got, const std::vector<Want>& want) {
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            SCOPED_TRACE(want[i].key);
            EXPECT_EQ(got[i].key, want[i].key);
            EXPECT_EQ(got[i].boards, want[i].boards);
            EXPECT_EQ(got[i].firstPass, want[i].firstPass);
            EXPECT_EQ(got[i].finalPass, want[i].finalPass);
            EXPECT_EQ(got[i].runs, want[i].runs);
        }
    };
    check(Yields(runs, YieldGroup::Day), {{"2025-12-08", 3, 1, 2, 5}, {"2025-12-09", 1, 1, 1, 1}});
    check(Yields(runs, YieldGroup::Station), {{"st-1", 2, 1, 2, 3}, {"st-2", 2, 1, 1, 3}});
    const std::vector<YieldRow> all = Yields(runs, YieldGroup::All);
    ASSERT_EQ(all.size(), 1u);
    ExpectFigure("first-pass yield", all[0].FirstPassYield(), 2.0 / 4);
    ExpectFigure("final yield", all[0].FinalYield(), 3.0 / 4);
    EXPECT_FALSE(YieldRow{}.FirstPassYield().has_value());
    // The same runs in any order give the same rows.
    std::vector<RunResult> shuffled = runs;
    std::mt19937 rng(7);
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    check(Yields(shuffled, YieldGroup::Day), {{"2025-12-08", 3, 1, 2, 5}, {"2025-12-09", 1, 1, 1, 1}});
}

TEST(Yield, DaysAndPareto) {
    const std::pair<int64_t, const char*> days[] = {{0, "1970-01-01"},
                                                    {-1, "1969-12-31"},
                                                    {951'782'400'000, "2000-02-29"},
                                                    {1'765'238'399'999, "2025-12-08"},
                                                    {4'107'542'400'000, "2100-03-01"}};
    for (const auto& [ms, text] : days)
        EXPECT_EQ(UtcDay(ms), text) << ms;
    const std::vector<ParetoRow> rows = Pareto({{"b", 2}, {"a", 2}, {"c", 6}, {"d", 0}, {"b", 0}});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].step, "c");
    EXPECT_EQ(rows[1].step, "a"); // ties by name
    EXPECT_EQ(rows[2].step, "b");
    EXPECT_DOUBLE_EQ(rows[0].share, 0.6);
    EXPECT_DOUBLE_EQ(rows[1].cumulative, 0.8);
    EXPECT_DOUBLE_EQ(rows[2].cumulative, 1.0);
    EXPECT_TRUE(Pareto({}).empty());
}

} // namespace
