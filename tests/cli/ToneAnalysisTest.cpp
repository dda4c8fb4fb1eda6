// Measuring a recorded tone and finding the played run in a recording.
#include "ToneAnalysis.h"
#include "SineGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

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

// Continuity holds through gain and noise, where no sample is the played one, and names the glitches.
TEST(ToneAnalysis, ContinuityIsJudgedThroughGainAndNoiseAndNamesTheGlitches) {
    const auto played = Sine(16000, 8000, 1500, 16000);
    const auto through = [&](std::vector<size_t> drops) {
        std::mt19937 random(3);
        std::normal_distribution<double> noise(0.0, 8.0);
        std::vector<int16_t> recorded(1600, 0);
        for (size_t n = 0; n < played.size(); ++n) {
            if (!drops.empty() && n == drops.front()) {
                drops.erase(drops.begin());
                n += 5; // six samples lost
                continue;
            }
            recorded.push_back(static_cast<int16_t>(std::lround(0.7 * played[n] + noise(random))));
        }
        return recorded;
    };
    const struct {
        const char* what;
        std::vector<int16_t> recorded;
        double hz;
        bool judged;
        const char* text;
    } cases[] = {
        {"clean", through({}), 1500, true, "no glitch in 0.96 s of tone"},
        {"one glitch", through({2000}), 1500, true, "1 glitch, at 0.224 s"},
        {"five glitches", through({2000, 4000, 6000, 8000, 10000}), 1500, true,
         "5 glitches, at 0.224 s, 0.348 s, 0.472 s and 2 more"},
        {"another tone", Sine(16000, 8000, 1000, 16000), 1500, false, "no tone"},
        {"a tone beyond half the rate", through({}), 9000, false, "the tone must lie between 0 Hz and half the rate"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Continuity continuity = JudgeContinuity(c.recorded, 16000, c.hz);
        EXPECT_EQ(continuity.judged, c.judged);
        EXPECT_EQ(ContinuityText(continuity), c.text);
    }
    EXPECT_FALSE(FindPlayedRun(through({}), played).unbroken) << "no sample is the played one";
}
