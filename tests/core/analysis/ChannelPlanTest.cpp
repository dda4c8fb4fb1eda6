// The channel measurement's signal through a line of known band filter, compressor, gain, noise and
// delay: every step reads what the filter's and compressor's formulas say, wherever the signal begins.
#include "ChannelPlan.h"
#include "Impairments.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace {

// The truth, from the formulas alone: a second-order Butterworth edge through the bilinear transform is
// the analogue (f / edge)^4 term with both frequencies warped to tan(pi f / rate).
double BandDb(double lowHz, double highHz, double hz, double rate) {
    const double w = std::tan(std::numbers::pi * hz / rate);
    const double h = std::pow(w / std::tan(std::numbers::pi * lowHz / rate), 4);
    const double l = std::pow(w / std::tan(std::numbers::pi * highHz / rate), 4);
    return 10 * std::log10(h / (1 + h)) - 10 * std::log10(1 + l);
}
// 2:1 above the point.
double CompressedDb(double point, double dbfs) { return dbfs > point ? -(dbfs - point) / 2 : 0.0; }

TEST(ChannelPlan, StepsReadTheKnownLineWhereverTheSignalBegins) {
    const uint32_t rates[] = {8000, 16000, 48000};
    for (uint32_t seed = 1; seed <= 9; ++seed) {
        std::mt19937 random(seed);
        const uint32_t rate = rates[seed % 3];
        const CompandingLaw law = seed % 2 ? CompandingLaw::ALaw : CompandingLaw::MuLaw;
        const double low = std::uniform_real_distribution<>(100, 350)(random);
        const double high = std::uniform_real_distribution<>(0.3, 0.42)(random) * rate;
        const bool compress = seed % 3 != 1;
        const double point = -8.0; // dBFS, above the -10 dBm0 reference
        const double gainDb = std::uniform_real_distribution<>(-6, 0)(random);
        const auto delay = static_cast<size_t>(std::uniform_real_distribution<>(0, 0.5)(random) * rate);
        SCOPED_TRACE("seed " + std::to_string(seed) + " rate " + std::to_string(rate));

        const ChannelPlan plan = MakeChannelPlan(rate, law, rate / 4);
        const std::vector<int16_t> played = PlanSamples(plan);
        sim::Impairments impairments;
        impairments.response = sim::Impairments::Band{low, high};
        if (compress)
            impairments.compressDbfs = point;
        sim::LineShaper line;
        line.Set(impairments);
        sim::NoiseSource noise(seed);
        const double noiseRms = 32768.0 * std::pow(10.0, -100.0 / 20) / std::numbers::sqrt2;
        std::vector<int16_t> recorded(delay + played.size());
        for (size_t i = 0; i < recorded.size(); ++i) {
            const double x = i < delay ? 0.0 : played[i - delay];
            const double y = line.Next(x, rate) * std::pow(10.0, gainDb / 20) + noiseRms * noise.Next();
            recorded[i] = static_cast<int16_t>(std::clamp(std::lround(y), -32768L, 32767L));
        }

        const auto start = FindPlanStart(recorded, plan);
        ASSERT_TRUE(start);
        EXPECT_NEAR(static_cast<double>(*start), static_cast<double>(delay), 0.002 * rate);
        const std::vector<StepReading> readings = MeasurePlan(recorded, *start, plan);
        ASSERT_EQ(readings.size(), plan.segments.size());
        const double fullScale = law == CompandingLaw::ALaw ? 3.14 : 3.17;
        const auto received = [&](double hz, double dbm0) {
            const double dbfs = dbm0 - fullScale + BandDb(low, high, hz, rate);
            return dbfs + (compress ? CompressedDb(point, dbfs) : 0.0) + gainDb + fullScale;
        };
        for (const StepReading& r : readings) {
            SCOPED_TRACE(std::to_string(r.segment.hz) + " Hz " + std::to_string(r.segment.dbm0) + " dBm0");
            if (r.segment.part == PlanPart::Idle) {
                // White noise at -100 dBFS, weighted: well under -90 dBm0p, well over the silence floor.
                EXPECT_LT(r.weightedDbm0p, -90.0);
                EXPECT_GT(r.weightedDbm0p, -120.0);
                continue;
            }
            ASSERT_TRUE(r.heard);
            const double truth = received(r.segment.hz, r.segment.dbm0);
            // The 16-bit rounding of the quietest tones (some 20 counts) moves their level a little.
            EXPECT_NEAR(r.levelDbm0, truth, r.segment.dbm0 < -40 ? 0.05 : 0.02);
            // Rounding and noise lie near -98 dBFS: the ratio is the tone's level above that, give or take.
            EXPECT_GT(*r.stdDb, truth - fullScale + 92.0);
        }
    }
}

TEST(ChannelPlan, FrequenciesAvoidSubMultiplesAndReachTheBandsTop) {
    const struct {
        uint32_t rate;
        double top; // the highest frequency measured
    } cases[] = {{8000, 3800}, {16000, 7000}, {48000, 20000}, {4000, 1800}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        const std::vector<double> f = PlanFrequencies(c.rate);
        EXPECT_EQ(f.front(), 204.0);
        EXPECT_EQ(f.back(), c.top);
        EXPECT_NE(std::find(f.begin(), f.end(), kReferenceHz), f.end());
        for (const double hz : f) {
            EXPECT_NE(std::fmod(8000.0, hz), 0.0) << hz;
            EXPECT_NE(std::fmod(static_cast<double>(c.rate), hz), 0.0) << hz;
        }
    }
    // The command line's short names of the laws.
    CompandingLaw law = CompandingLaw::ALaw;
    EXPECT_TRUE(ParseCompandingLaw("mu", law));
    EXPECT_EQ(law, CompandingLaw::MuLaw);
    EXPECT_TRUE(ParseCompandingLaw("a", law));
    EXPECT_EQ(law, CompandingLaw::ALaw);
    // A recording of silence has no reference to align on; one that stops early is refused.
    const ChannelPlan plan = MakeChannelPlan(8000, CompandingLaw::ALaw, 0);
    EXPECT_FALSE(FindPlanStart(std::vector<int16_t>(plan.length, 3), plan));
    const std::vector<int16_t> played = PlanSamples(plan);
    EXPECT_THROW(MeasurePlan(std::span(played).first(played.size() - 100), 0, plan), std::runtime_error);
}

} // namespace
