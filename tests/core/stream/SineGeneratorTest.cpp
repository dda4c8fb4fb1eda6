// The sine generator: refused settings, the exact first samples and a continuous tone.
#include "SineGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

TEST(SineGeneratorTest, RefusesFrequenciesFromHalfTheRateAndZero) {
    SineGenerator sine;
    EXPECT_FALSE(sine.Init(16000, 32500, 8000));
    EXPECT_FALSE(sine.Init(16000, 32500, 9000));
    EXPECT_FALSE(sine.Init(16000, 32500, 0));
    EXPECT_FALSE(sine.Init(0, 32500, 1));
    EXPECT_FALSE(sine.Init(1, 32500, 1));
    EXPECT_FALSE(sine.IsReady());
    EXPECT_TRUE(sine.Init(16000, 32500, 7999));
    EXPECT_TRUE(sine.IsReady());
    EXPECT_EQ(sine.Period(), 2u);
}

TEST(SineGeneratorTest, NegativeSixteenBitAmplitudeIsRefusedAndChangesNothing) {
    SineGenerator sine;
    ASSERT_TRUE(sine.Init(16000, 1000, 500));
    const double step = sine.Step();
    for (uint32_t amplitude : {32768u, 65535u, 0xFFFF8000u}) {
        EXPECT_FALSE(sine.Init(8000, amplitude, 100)) << amplitude;
        EXPECT_EQ(sine.Amplitude(), 1000);
        EXPECT_EQ(sine.Step(), step);
        EXPECT_EQ(sine.Period(), 32u);
    }
    // Only the low 16 bits count: 65536 + 100 is an amplitude of 100.
    EXPECT_TRUE(sine.Init(8000, 65636u, 100));
    EXPECT_EQ(sine.Amplitude(), 100);
    EXPECT_TRUE(sine.Init(8000, 32767, 100));
}

TEST(SineGeneratorTest, GeneratesTheKnownFirstSamples) {
    SineGenerator sine;
    ASSERT_TRUE(sine.Init(16000, 32500, 1000));
    EXPECT_EQ(sine.Period(), 16u);
    EXPECT_DOUBLE_EQ(sine.Step(), std::numbers::pi / 8);
    int16_t samples[6];
    EXPECT_EQ(sine.Generate(6, samples), 6);
    const int16_t expected[6] = {0, 12437, 22980, 30026, 32500, 30026};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(samples[i], expected[i]) << i;
    EXPECT_EQ(sine.Counter(), 6u);
}

TEST(SineGeneratorTest, UninitialisedGeneratorWritesNothing) {
    SineGenerator sine;
    int16_t samples[3] = {9, 9, 9};
    EXPECT_EQ(sine.Generate(3, samples), 0);
    EXPECT_EQ(samples[0], 9);
    ASSERT_TRUE(sine.Init(8000, 100, 10));
    EXPECT_EQ(sine.Generate(0, samples), 0);
    EXPECT_EQ(sine.Generate(-1, samples), 0);
}

// The phase never restarts: every sample is the ideal tone truncated, across periods and across calls,
// also when the rate is no multiple of the frequency.
TEST(SineGeneratorTest, ToneStaysContinuousOverManyPeriods) {
    struct Case {
        uint32_t rate, amplitude, frequency;
    };
    for (const Case c : {Case{16000, 32500, 1000}, Case{44100, 30000, 1000}, Case{48000, 32767, 997}}) {
        SineGenerator sine;
        ASSERT_TRUE(sine.Init(c.rate, c.amplitude, c.frequency));
        std::vector<int16_t> samples(200000);
        // In uneven blocks, as the workers draw them.
        size_t done = 0;
        for (int32_t block : {1, 17, 80000, 3, 80000, 39979}) {
            ASSERT_EQ(sine.Generate(block, samples.data() + done), block);
            done += static_cast<size_t>(block);
        }
        ASSERT_EQ(done, samples.size());
        int worst = 0;
        for (size_t n = 0; n < samples.size(); ++n) {
            const double ideal =
                c.amplitude * std::sin(2 * std::numbers::pi * double(c.frequency) * double(n) / c.rate);
            worst = std::max(worst, std::abs(samples[n] - static_cast<int>(ideal)));
        }
        EXPECT_LE(worst, 1) << c.rate << "/" << c.frequency;
        EXPECT_LT(sine.Phase(), 2 * std::numbers::pi);
    }
}

TEST(SineGeneratorTest, NoRepeatedZeroAfterTheFirstPeriod) {
    SineGenerator sine;
    ASSERT_TRUE(sine.Init(16000, 32500, 1000));
    int16_t samples[34];
    sine.Generate(34, samples);
    EXPECT_EQ(samples[16], 0);
    EXPECT_EQ(samples[17], 12437);
    EXPECT_EQ(samples[33], 12437);
}

} // namespace
