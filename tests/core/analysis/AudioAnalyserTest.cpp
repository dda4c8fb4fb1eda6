// The audio analysis against synthesised blocks whose figures are known: clean tones, harmonics at set
// levels, a tone in white noise at a set SNR, silence and a full-scale square wave.
#include "AudioAnalyser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double kSkip = std::numeric_limits<double>::quiet_NaN();

// A figure that is checked: the expected value and how far the analysis may be from it. A NaN value
// skips it; a NaN tolerance means "at most the value".
struct Expect {
    double value = kSkip;
    double tolerance = 0.0;
};

struct Case {
    const char* name;
    uint32_t rate;
    size_t block;
    std::function<double(size_t)> signal; // full scale at 1.0
    bool tone;
    Expect frequency;
    Expect level;
    Expect thd;
    Expect thdn;
    Expect noise;
};

// Harmonics at a level relative to the fundamental: (order, dB).
double Tone(size_t i, uint32_t rate, double hz, double amplitude,
            std::initializer_list<std::pair<int, double>> harmonics = {}) {
    const double t = static_cast<double>(i) / rate;
    double x = amplitude * std::sin(2 * std::numbers::pi * hz * t);
    for (const auto& [order, db] : harmonics)
        x += amplitude * std::pow(10.0, db / 20.0) * std::sin(2 * std::numbers::pi * hz * order * t + 0.3 * order);
    return x;
}

// White noise whose RMS over the whole band from 0 to half the rate is `db` dBFS (a full-scale sine's
// RMS is 1/sqrt(2)); the seed makes it the same on every run.
std::function<double(size_t)> WithNoise(std::function<double(size_t)> signal, double db) {
    auto engine = std::make_shared<std::mt19937>(22);
    auto normal = std::make_shared<std::normal_distribution<double>>(0.0, std::pow(10.0, db / 20.0) / std::sqrt(2.0));
    return [=](size_t i) { return signal(i) + (*normal)(*engine); };
}

void Check(const char* what, double actual, const Expect& e) {
    if (std::isnan(e.value))
        return;
    if (std::isnan(e.tolerance))
        EXPECT_LE(actual, e.value) << what;
    else
        EXPECT_NEAR(actual, e.value, e.tolerance) << what;
}

const double kAtMost = kSkip;
// White noise over 20 Hz to 20 kHz at 48 kHz is that share of the whole band's power.
const double kBandShareDb = 10.0 * std::log10((20000.0 - 20.0) / 24000.0);

TEST(AudioAnalyserTest, SynthesisedSignalsReadTheirFigures) {
    const Case cases[] = {
        {"clean tone between bins",
         48000,
         4096,
         [](size_t i) { return Tone(i, 48000, 997.0, 0.5); },
         true,
         {997.0, 0.997},
         {-6.02, 0.02},
         {-120.0, kAtMost},
         {-95.0, kAtMost},
         {-100.0, kAtMost}},
        {"low tone",
         48000,
         4096,
         [](size_t i) { return Tone(i, 48000, 101.3, 0.9); },
         true,
         {101.3, 0.1013},
         {-0.92, 0.02},
         {},
         {-85.0, kAtMost},
         {}},
        {"telephone rate tone",
         8000,
         1024,
         [](size_t i) { return Tone(i, 8000, 1004.0, 0.25); },
         true,
         {1004.0, 1.004},
         {-12.04, 0.02},
         {},
         {-85.0, kAtMost},
         {}},
        // Second harmonic at -40 dB and third at -50 dB: THD = 10 log10(1e-4 + 1e-5).
        {"tone with harmonics",
         48000,
         4096,
         [](size_t i) {
             return Tone(i, 48000, 1000.0, 0.5, {{2, -40.0}, {3, -50.0}});
         },
         true,
         {1000.0, 1.0},
         {-6.02, 0.02},
         {-39.59, 0.05},
         {-39.59, 0.05},
         {-90.0, kAtMost}},
        // Harmonics up to the tenth count to THD; the eleventh counts only to THD+N.
        {"tenth and eleventh harmonic",
         48000,
         8192,
         [](size_t i) {
             return Tone(i, 48000, 1500.0, 0.5, {{10, -60.0}, {11, -50.0}});
         },
         true,
         {1500.0, 1.5},
         {},
         {-60.0, 0.05},
         {-49.59, 0.05},
         {}},
        // SNR 60 dB over the whole band: the noise in the band is the band's share of it.
        {"tone in white noise",
         48000,
         4096,
         WithNoise([](size_t i) { return Tone(i, 48000, 1000.0, 0.5); }, -66.02),
         true,
         {1000.0, 1.0},
         {-6.02, 0.02},
         {},
         {-60.0 + kBandShareDb, 0.3},
         {-66.02 + kBandShareDb, 0.3}},
        {"silence",
         48000,
         4096,
         [](size_t) { return 0.0; },
         false,
         {0.0, 0.0},
         {kAnalysisFloorDb, 0.0},
         {},
         {},
         {kAnalysisFloorDb, 0.0}},
        // A square sampled 48 times a period: its odd harmonics fall off as 1/sin(pi k / 48) rather than
        // 1/k, and those above 20 kHz (21 and 23 kHz) are outside the band.
        {"full-scale square",
         48000,
         4800,
         [](size_t i) { return (i % 48) < 24 ? 1.0 : -1.0; },
         true,
         {1000.0, 1.0},
         {3.01, 0.02},
         {-7.22, 0.05},
         {-6.51, 0.05},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> block(c.block);
        for (size_t i = 0; i < c.block; ++i)
            block[i] = c.signal(i);
        CAudioAnalyser analyser(c.block);
        const AudioFigures& f = analyser.Analyse(block, c.rate);
        EXPECT_EQ(f.tone, c.tone);
        Check("frequency", f.frequency, c.frequency);
        Check("level", f.levelDb, c.level);
        Check("THD", f.thdDb, c.thd);
        Check("THD+N", f.thdnDb, c.thdn);
        Check("noise", f.noiseDb, c.noise);
    }
}

TEST(AudioAnalyserTest, SixteenBitBlocksAndDcOffsetReadLikeRealOnes) {
    // A -20 dBFS tone on a DC offset, quantised to 16 bits: the offset does not count, and the
    // quantisation noise (about -101 dBFS) stays far under the figures.
    constexpr size_t n = 4096;
    std::vector<int16_t> block(n);
    for (size_t i = 0; i < n; ++i)
        block[i] = static_cast<int16_t>(std::lround(3000.0 + 32768.0 * Tone(i, 48000, 440.0, 0.1)));
    CAudioAnalyser analyser(n);
    const AudioFigures& f = analyser.Analyse(block, 48000);
    EXPECT_NEAR(f.frequency, 440.0, 0.44);
    EXPECT_NEAR(f.levelDb, -20.0, 0.02);
    EXPECT_LT(f.thdnDb, -75.0);
    EXPECT_NEAR(f.noiseDb, -101.0, 3.0);
    // The spectrum shows the tone at its level where it peaks.
    const auto spectrum = analyser.SpectrumDb();
    ASSERT_EQ(spectrum.size(), n / 2 + 1);
    const size_t bin = static_cast<size_t>(std::lround(440.0 * n / 48000));
    EXPECT_NEAR(spectrum[bin], -20.0, 1.5);
}

TEST(AudioAnalyserTest, RefusesAnotherBlockSizeAndARateOfZero) {
    CAudioAnalyser analyser(256);
    std::vector<double> shorter(255);
    std::vector<double> block(256);
    EXPECT_THROW(analyser.Analyse(shorter, 48000), std::invalid_argument);
    EXPECT_THROW(analyser.Analyse(block, 0), std::invalid_argument);
}

} // namespace
