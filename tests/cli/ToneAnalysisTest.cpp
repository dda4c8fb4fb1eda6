// Measuring a recorded tone and finding the played run in a recording.
#include "ToneAnalysis.h"
#include "SineGenerator.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<int16_t> Sine(uint32_t rate, uint32_t amplitude, uint32_t frequency, int count) {
    SineGenerator generator;
    EXPECT_TRUE(generator.Init(rate, amplitude, frequency));
    std::vector<int16_t> samples(static_cast<size_t>(count));
    generator.Generate(count, samples.data());
    return samples;
}

} // namespace

TEST(ToneAnalysis, MeasuresFrequencyAndLevelBetweenTheSilences) {
    struct Case {
        uint32_t rate, amplitude, frequency;
        double db; // RMS of a sine: amplitude / sqrt(2)
    };
    const Case cases[] = {{16000, 8000, 1500, -15.27},
                          {8000, 16000, 1000, -9.26},
                          {44100, 30000, 440, -3.77},
                          {16000, 2000, 3999, -27.31}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frequency);
        std::vector<int16_t> recording(500, 0); // silence before the tone arrived and after it stopped
        const auto tone = Sine(c.rate, c.amplitude, c.frequency, static_cast<int>(c.rate / 2));
        recording.insert(recording.end(), tone.begin(), tone.end());
        recording.resize(recording.size() + 700, 0);
        const ToneMeasurement m = MeasureTone(recording, c.rate);
        EXPECT_NEAR(m.frequency, c.frequency, c.frequency * 0.002);
        EXPECT_NEAR(m.rmsDb, c.db, 0.1);
        EXPECT_NEAR(m.peak, static_cast<int>(c.amplitude), static_cast<int>(c.amplitude) / 50 + 1);
    }
    EXPECT_EQ(MeasureTone(std::vector<int16_t>(1000, 10), 16000).frequency, 0.0) << "silence has no tone";
}

TEST(ToneAnalysis, PlayedRunIsFoundAndJudgedUnbrokenOnlyWhenExact) {
    const auto played = Sine(16000, 8000, 1500, 4000);
    std::vector<int16_t> exact(300, 0);
    exact.insert(exact.end(), played.begin(), played.begin() + 3000); // recording stopped first
    std::vector<int16_t> dropped = exact;
    dropped.erase(dropped.begin() + 2000);
    std::vector<int16_t> zeroed = exact;
    zeroed[1501] = 0;
    const std::vector<int16_t> other = Sine(16000, 8000, 1000, 4000);
    struct Case {
        const char* what;
        const std::vector<int16_t>& recorded;
        std::optional<size_t> start;
        bool unbroken;
    };
    const Case cases[] = {{"exact", exact, 300, true},
                          {"one sample dropped", dropped, 300, false},
                          {"one sample silenced", zeroed, 300, false},
                          {"another tone", other, std::nullopt, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const RunMatch match = FindPlayedRun(c.recorded, played);
        EXPECT_EQ(match.start, c.start);
        EXPECT_EQ(match.unbroken, c.unbroken);
    }
}
