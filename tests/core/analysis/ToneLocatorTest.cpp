// The tone's steady part in long signals (quiet tones after silence, fades, noise) found in one pass of
// pieces, the block collected in a second; and limits held on the value as it is shown.
#include "ToneLocator.h"
#include "ShownLimit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

struct Signal {
    const char* name;
    uint32_t rate;
    double silence; // seconds before and after the tone
    double fade;    // seconds the tone rises from -60 dB below its level, linearly in dB
    double steady;  // seconds at its level
    double levelDb; // dBFS
    double noiseDb; // white noise over the whole signal, -400 for none
};

std::vector<int16_t> Make(const Signal& s, uint32_t seed) {
    std::mt19937 engine(seed);
    std::normal_distribution<double> normal(0.0,
                                            s.noiseDb > -300 ? std::pow(10.0, s.noiseDb / 20) / std::sqrt(2.0) : 0.0);
    const auto silence = static_cast<size_t>(s.silence * s.rate);
    const auto fade = static_cast<size_t>(s.fade * s.rate);
    const auto steady = static_cast<size_t>(s.steady * s.rate);
    std::vector<int16_t> out;
    for (size_t i = 0; i < 2 * silence + fade + steady; ++i) {
        double x = 0.0;
        if (i >= silence && i < silence + fade + steady) {
            const double rise =
                i < silence + fade ? -60.0 * (1.0 - static_cast<double>(i - silence) / static_cast<double>(fade)) : 0.0;
            x = std::pow(10.0, (s.levelDb + rise) / 20) *
                std::sin(2 * std::numbers::pi * 1001.7 * static_cast<double>(i) / s.rate);
        }
        if (s.noiseDb > -300)
            x += normal(engine);
        out.push_back(static_cast<int16_t>(std::lround(x * 32768)));
    }
    return out;
}

TEST(ToneLocator, FindsTheSteadyPartOfQuietAndLoudTones) {
    const Signal signals[] = {
        {"quiet tone after silence", 48000, 1.0, 0.0, 2.0, -90.0, -400},
        {"quiet tone in faint noise", 8000, 0.5, 0.0, 3.0, -80.0, -100},
        {"quiet tone over a dither-like floor", 48000, 1.0, 0.0, 2.0, -85.0, -95},
        {"tone 10 dB over the whole noise", 8000, 0.5, 0.0, 3.0, -60.0, -70},
        {"loud tone that fades in", 48000, 0.3, 0.5, 1.5, -3.0, -400},
        {"tone at the telephone rate", 8000, 2.0, 0.2, 1.0, -20.0, -70},
    };
    uint32_t seed = 1;
    for (const Signal& s : signals) {
        SCOPED_TRACE(s.name);
        const auto samples = Make(s, ++seed);
        CToneLocator locator(s.rate);
        for (size_t at = 0; at < samples.size(); at += 999)
            locator.Feed(std::span(samples).subspan(at, std::min<size_t>(999, samples.size() - at)));
        const auto steady = locator.SteadyPart();
        ASSERT_TRUE(steady.has_value());
        const double from = (s.silence + s.fade) * s.rate;
        const double to = (s.silence + s.fade + s.steady) * s.rate;
        EXPECT_GE(static_cast<double>(steady->first), from);
        EXPECT_LE(static_cast<double>(steady->first + steady->count), to);
        EXPECT_GE(static_cast<double>(steady->count), 0.8 * (to - from));

        // The second pass collects the middle block, the same as the in-memory helper gives.
        const auto range = locator.AnalysisRange(16384);
        ASSERT_TRUE(range.has_value());
        CRangeCollector collector(*range);
        for (size_t at = 0; at < samples.size(); at += 4097)
            collector.Feed(std::span(samples).subspan(at, std::min<size_t>(4097, samples.size() - at)));
        ASSERT_TRUE(collector.Complete());
        const auto block = SteadyToneBlock(samples, s.rate, 16384);
        ASSERT_EQ(block.size(), collector.Samples().size());
        EXPECT_TRUE(std::equal(block.begin(), block.end(), collector.Samples().begin()));
    }
}

TEST(ToneLocator, NoiseDcAndSilenceHoldNoTone) {
    const Signal signals[] = {{"noise", 48000, 1.0, 0.0, 0.0, 0.0, -30}, {"silence", 8000, 2.0, 0.0, 0.0, 0.0, -400}};
    for (const Signal& s : signals) {
        SCOPED_TRACE(s.name);
        EXPECT_TRUE(SteadyToneBlock(Make(s, 5), s.rate, 65536).empty());
    }
    EXPECT_TRUE(SteadyToneBlock(std::vector<int16_t>(48000, 1200), 48000, 65536).empty());
}

TEST(ShownLimit, ComparesTheValueAsShown) {
    const struct {
        std::optional<double> value;
        int decimals;
        std::optional<double> low, high;
        bool passed;
        const char* reason;
    } cases[] = {
        {-40.004, 2, std::nullopt, -40.0, true, ""}, // shown -40.00, limit -40.00
        {-39.996, 2, std::nullopt, -40.0, true, ""}, // shown -40.00
        {-39.994, 2, std::nullopt, -40.0, false, "-39.99 is over the maximum -40.00"},
        {-30.0049, 2, -30.0, std::nullopt, true, ""},
        {-30.0051, 2, -30.0, std::nullopt, false, "-30.01 is under the minimum -30.00"},
        {1000.04, 1, 990.0, 1000.0, true, ""},
        {std::nullopt, 2, std::nullopt, -40.0, false, "no tone"}, // no THD+N without a tone
        {std::nullopt, 2, std::nullopt, std::nullopt, true, ""},  // and no limit asked for
    };
    for (const auto& c : cases) {
        const LimitVerdict v = CheckShownLimit(c.value, c.decimals, c.low, c.high);
        EXPECT_EQ(v.passed, c.passed) << c.reason;
        EXPECT_EQ(v.reason, c.reason);
    }
    EXPECT_EQ(ShownValue(-97.995, 1), -98.0);
}

} // namespace
