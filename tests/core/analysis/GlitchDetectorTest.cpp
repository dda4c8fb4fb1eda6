// The glitch detector against recordings of a played tone with blocks dropped, doubled and shifted at
// known places, through gain, noise and distortion; and against long clean runs, which must show none.
#include "GlitchDetector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

enum class Edit { Drop, Double, Shift };
constexpr size_t kBlock = 256;
constexpr size_t kShift = 100;

struct Channel {
    uint32_t rate;
    double hz;
    double gain;       // of the tone, played at half of full scale
    double noiseDbfs;  // white noise's RMS, -400 for none
    double harmonicDb; // second harmonic against the tone, -400 for none
};

// 0.1 s of silence, the played stream with the edits (block indexes in the source, in order), 0.1 s of
// silence; the recording times where the edits break the tone.
std::vector<int16_t> Record(const Channel& c, double seconds, const std::vector<std::pair<Edit, size_t>>& edits,
                            uint32_t seed, std::vector<double>& breaks) {
    std::vector<size_t> source; // the source sample each recorded sample is
    const auto blocks = static_cast<size_t>(seconds * c.rate / kBlock);
    const size_t lead = c.rate / 10;
    size_t next = 0;
    for (size_t b = 0; b < blocks; ++b) {
        const Edit* edit = nullptr;
        for (const auto& [kind, at] : edits)
            if (at == b)
                edit = &kind;
        const double here = static_cast<double>(lead + source.size()) / c.rate;
        if (edit && *edit == Edit::Drop) {
            breaks.push_back(here);
            continue;
        }
        for (size_t i = 0; i < kBlock; ++i)
            source.push_back(b * kBlock + i + (edit && *edit == Edit::Shift ? kShift : 0));
        if (edit && *edit == Edit::Shift)
            breaks.push_back(here);
        if (edit && *edit == Edit::Double) {
            breaks.push_back(static_cast<double>(lead + source.size()) / c.rate);
            for (size_t i = 0; i < kBlock; ++i)
                source.push_back(b * kBlock + i);
        }
        ++next;
    }
    std::mt19937 engine(seed);
    std::normal_distribution<double> normal(0.0, c.noiseDbfs > -300 ? std::pow(10.0, c.noiseDbfs / 20) / std::sqrt(2.0)
                                                                    : 0.0);
    const double amplitude = 0.5 * c.gain;
    const double second = amplitude * (c.harmonicDb > -300 ? std::pow(10.0, c.harmonicDb / 20) : 0.0);
    std::vector<int16_t> recording(lead, 0);
    for (const size_t n : source) {
        const double phase = 2 * std::numbers::pi * c.hz * static_cast<double>(n) / c.rate;
        const double x = amplitude * std::sin(phase) + second * std::sin(2 * phase + 0.4) +
                         (c.noiseDbfs > -300 ? normal(engine) : 0.0);
        recording.push_back(static_cast<int16_t>(std::lround(std::clamp(x, -1.0, 0.99996) * 32768)));
    }
    recording.insert(recording.end(), lead, 0);
    return recording;
}

GlitchReport Detect(const Channel& c, const std::vector<int16_t>& recording) {
    CGlitchDetector detector(c.rate, c.hz);
    // Fed in uneven pieces, as a file reader would.
    for (size_t at = 0; at < recording.size(); at += 1237)
        detector.Feed(std::span(recording).subspan(at, std::min<size_t>(1237, recording.size() - at)));
    return detector.Finish();
}

TEST(GlitchDetector, FindsDropsDoublesAndShiftsThroughGainNoiseAndDistortion) {
    const Channel channels[] = {
        {8000, 1020, 1.0, -400, -400}, {8000, 1020, 0.3, -60, -40},  {48000, 997, 0.5, -70, -30},
        {16000, 1020, 2.0, -50, -400}, {8000, 312.7, 0.1, -80, -50},
    };
    const std::vector<std::pair<Edit, size_t>> editSets[] = {
        {{Edit::Drop, 20}},
        {{Edit::Double, 15}, {Edit::Drop, 60}},
        {{Edit::Shift, 30}, {Edit::Double, 90}, {Edit::Drop, 120}},
    };
    uint32_t seed = 7;
    for (const Channel& c : channels) {
        for (const auto& edits : editSets) {
            std::vector<double> breaks;
            const auto recording = Record(c, 200.0 * kBlock / c.rate, edits, ++seed, breaks);
            SCOPED_TRACE(testing::Message() << c.rate << " Hz rate, " << c.hz << " Hz, gain " << c.gain << ", noise "
                                            << c.noiseDbfs << ", seed " << seed);
            const GlitchReport report = Detect(c, recording);
            ASSERT_TRUE(report.analysed) << report.reason;
            EXPECT_EQ(report.times.size(), breaks.size());
            for (size_t i = 0; i < std::min(breaks.size(), report.times.size()); ++i)
                EXPECT_NEAR(report.times[i], breaks[i], 0.01);
        }
    }
}

// Random channels (rate, tone, level, noise, distortion) with one to four random edits each, of random
// length and place: every edit is found near where it is, and nothing else. Edits whose phase jump is
// within 0.2 rad of a whole number of periods are drawn again: no tone can tell those.
TEST(GlitchDetector, FindsRandomEditsAtRandomPlacesUnderRandomGainAndNoise) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    const auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    const uint32_t rates[] = {8000, 16000, 44100, 48000};
    for (int scenario = 0; scenario < 120; ++scenario) {
        const uint32_t rate = rates[random() % 4];
        const double hz = uniform(300.0, std::min(4000.0, 0.4 * rate));
        const double amplitude = std::pow(10.0, uniform(-40.0, -1.0) / 20); // of full scale
        const double noise = amplitude / std::sqrt(2.0) * std::pow(10.0, -uniform(30.0, 80.0) / 20);
        const double second = amplitude * std::pow(10.0, uniform(-60.0, -30.0) / 20);
        SCOPED_TRACE(testing::Message() << "scenario " << scenario << ": " << rate << " Hz rate, " << hz << " Hz at "
                                        << amplitude << ", noise " << noise);
        // Source positions of the recording's samples, edits 0.15 s apart or more.
        const auto length = static_cast<size_t>(1.5 * rate);
        const int edits = 1 + static_cast<int>(random() % 4);
        std::vector<size_t> source;
        std::vector<double> breaks; // recording seconds, silence of 0.1 s before the tone
        const size_t lead = rate / 10;
        size_t n = 0;
        for (int e = 0; e < edits; ++e) {
            const size_t at = n + static_cast<size_t>(uniform(0.15, 0.3) * rate);
            while (n < at)
                source.push_back(n++);
            const auto kind = static_cast<Edit>(random() % 3);
            size_t block = 0;
            size_t jump = 0;
            do {
                block = 8 + random() % (rate / 50); // up to 20 ms
                jump = kind == Edit::Shift ? 1 + random() % block : block;
            } while (std::abs(std::remainder(static_cast<double>(jump) * hz / rate, 1.0)) <
                     0.2 / (2 * std::numbers::pi));
            // A doubled block breaks the tone where its second copy begins.
            breaks.push_back(static_cast<double>(lead + source.size() + (kind == Edit::Double ? block : 0)) / rate);
            if (kind == Edit::Drop) {
                n += block;
            } else if (kind == Edit::Double) {
                for (size_t i = 0; i < 2 * block; ++i)
                    source.push_back(n + i % block);
                n += block;
            } else {
                for (size_t i = 0; i < block; ++i)
                    source.push_back(n + i - std::min(jump, n + i));
                n += block;
            }
        }
        while (source.size() < length)
            source.push_back(n++);
        std::normal_distribution<double> normal(0.0, noise);
        std::vector<int16_t> recording(lead, 0);
        for (const size_t k : source) {
            const double phase = 2 * std::numbers::pi * std::fmod(hz * static_cast<double>(k) / rate, 1.0);
            const double x = amplitude * std::sin(phase) + second * std::sin(2 * phase + 0.4) + normal(random);
            recording.push_back(static_cast<int16_t>(std::lround(std::clamp(x, -1.0, 0.99996) * 32768)));
        }
        recording.insert(recording.end(), lead, 0);
        const GlitchReport report = Detect({rate, hz, 1.0, -400, -400}, recording);
        ASSERT_TRUE(report.analysed) << report.reason;
        ASSERT_EQ(report.times.size(), breaks.size());
        for (size_t i = 0; i < breaks.size(); ++i)
            EXPECT_NEAR(report.times[i], breaks[i], 0.012) << "edit " << i;
    }
}

TEST(GlitchDetector, LongCleanRunsShowNoGlitch) {
    const struct {
        Channel channel;
        double seconds;
    } runs[] = {
        {{8000, 1020, 0.3, -60, -40}, 600}, {{48000, 997, 0.8, -90, -60}, 60}, {{8000, 1004, 1.0, -400, -400}, 120}};
    uint32_t seed = 100;
    for (const auto& run : runs) {
        std::vector<double> breaks;
        const auto recording = Record(run.channel, run.seconds, {}, ++seed, breaks);
        SCOPED_TRACE(testing::Message() << run.channel.rate << " Hz rate, " << run.seconds << " s, seed " << seed);
        const GlitchReport report = Detect(run.channel, recording);
        ASSERT_TRUE(report.analysed) << report.reason;
        EXPECT_TRUE(report.times.empty()) << "first at " << report.times.front() << " s";
    }
}

// A recording without a steady tone of the frequency judged is not judged at all: never a clean pass.
TEST(GlitchDetector, NoiseDcOrAnotherToneIsNotJudged) {
    const struct {
        const char* name;
        double hz;        // of what the recording holds; 0 for none
        double noiseDbfs; // -400 for none
        double dc;        // of full scale
    } cases[] = {
        {"noise", 0, -20, 0},
        {"DC", 0, -400, 0.3},
        {"another tone", 1000, -80, 0},
        {"a tone drowned in noise", 1500, -5, 0},
    };
    std::mt19937 random(5);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::normal_distribution<double> normal(0.0, c.noiseDbfs > -300 ? std::pow(10.0, c.noiseDbfs / 20) : 0.0);
        std::vector<int16_t> recording;
        for (int n = 0; n < 16000; ++n) {
            const double x = c.dc + (c.hz > 0 ? 0.5 * std::sin(2 * std::numbers::pi * c.hz * n / 16000) : 0.0) +
                             (c.noiseDbfs > -300 ? normal(random) : 0.0);
            recording.push_back(static_cast<int16_t>(std::lround(std::clamp(x, -1.0, 0.99996) * 32768)));
        }
        CGlitchDetector detector(16000, 1500);
        detector.Feed(recording);
        const GlitchReport report = detector.Finish();
        EXPECT_FALSE(report.analysed);
        EXPECT_FALSE(report.reason.empty());
    }
}

TEST(GlitchDetector, SilenceOrTooShortIsNotJudged) {
    CGlitchDetector silent(8000, 1020);
    silent.Feed(std::vector<int16_t>(8000, 0));
    EXPECT_EQ(silent.Finish().reason, "no tone");
    std::vector<double> breaks;
    CGlitchDetector brief(8000, 1020);
    brief.Feed(Record({8000, 1020, 1, -400, -400}, 0.04, {}, 1, breaks));
    EXPECT_FALSE(brief.Finish().analysed);
    EXPECT_THROW(CGlitchDetector(8000, 4000), std::invalid_argument);
    // A block of exactly ten periods (256 samples of 312.5 Hz at 8 kHz) dropped leaves the tone whole:
    // nothing tells it, which is why the played tone's period must not divide the block.
    breaks.clear();
    const Channel whole{8000, 312.5, 1, -400, -400};
    EXPECT_TRUE(Detect(whole, Record(whole, 1, {{Edit::Drop, 10}}, 1, breaks)).times.empty());
}

} // namespace
