// The audio analysis against synthesised blocks whose figures are known: clean tones, harmonics at set
// levels, a tone in white noise at a set SNR, silence and a full-scale square wave.
#include "AudioAnalyser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace {

// A tone of `amplitude` (full scale 1.0) with harmonics (order, dB against the fundamental).
double Tone(size_t i, uint32_t rate, double hz, double amplitude, std::vector<std::pair<int, double>> harmonics = {}) {
    const double t = static_cast<double>(i) / rate;
    double x = amplitude * std::sin(2 * std::numbers::pi * hz * t);
    for (const auto& [order, db] : harmonics)
        x += amplitude * std::pow(10.0, db / 20.0) * std::sin(2 * std::numbers::pi * hz * order * t + 0.3 * order);
    return x;
}

double Clean(size_t i) { return Tone(i, 48000, 997.0, 0.5); }
double Low(size_t i) { return Tone(i, 48000, 101.3, 0.9); }
double Telephone(size_t i) { return Tone(i, 8000, 1004.0, 0.25); }
double Harmonics(size_t i) { return Tone(i, 48000, 1000.0, 0.5, {{2, -40.0}, {3, -50.0}}); }
double TenthEleventh(size_t i) { return Tone(i, 48000, 1500.0, 0.5, {{10, -60.0}, {11, -50.0}}); }
double Silence(size_t) { return 0.0; }
double Square(size_t i) { return (i % 48) < 24 ? 1.0 : -1.0; }
// SNR 60 dB: white noise at -66.02 dBFS over the whole band under a -6.02 dBFS tone (seeded, so the
// same on every run; called in sample order).
double Noisy(size_t i) {
    static std::mt19937 engine(22);
    static std::normal_distribution<double> normal(0.0, std::pow(10.0, -66.02 / 20.0) / std::sqrt(2.0));
    return Tone(i, 48000, 1000.0, 0.5) + normal(engine);
}

// A checked figure: the value and its tolerance; a tolerance of kAtMost means "at most the value",
// and a NaN value is not checked.
constexpr double kAtMost = -1.0;
constexpr double kNot = std::numeric_limits<double>::quiet_NaN();
struct Expect {
    double value = kNot;
    double tolerance = 0.0;
};

void Check(const char* what, double actual, const Expect& e) {
    if (e.tolerance == kAtMost) {
        EXPECT_LE(actual, e.value) << what;
    } else if (!std::isnan(e.value)) {
        EXPECT_NEAR(actual, e.value, e.tolerance) << what;
    }
}

// White noise over 20 Hz to 20 kHz at 48 kHz is that share of the whole band's power.
const double kBandShareDb = 10.0 * std::log10((20000.0 - 20.0) / 24000.0);

struct AnalyserCase {
    const char* name;
    double (*signal)(size_t);
    uint32_t rate;
    size_t block;
    Expect frequency, level, thd, thdn, noise;
};

TEST(AudioAnalyserTest, SynthesisedSignalsReadTheirFigures) {
    const AnalyserCase cases[] = {
        {"clean tone between bins",
         Clean,
         48000,
         4096,
         {997, 0.997},
         {-6.02, 0.02},
         {-120, kAtMost},
         {-95, kAtMost},
         {-100, kAtMost}},
        {"low tone", Low, 48000, 4096, {101.3, 0.1013}, {-0.92, 0.02}, {}, {-85, kAtMost}, {}},
        {"telephone rate tone", Telephone, 8000, 1024, {1004, 1.004}, {-12.04, 0.02}, {}, {-85, kAtMost}, {}},
        // THD = 10 log10(1e-4 + 1e-5).
        {"tone with harmonics",
         Harmonics,
         48000,
         4096,
         {1000, 1},
         {-6.02, 0.02},
         {-39.59, 0.05},
         {-39.59, 0.05},
         {-90, kAtMost}},
        // Harmonics up to the tenth count to THD; the eleventh only to THD+N.
        {"tenth and eleventh", TenthEleventh, 48000, 8192, {1500, 1.5}, {}, {-60, 0.05}, {-49.59, 0.05}, {}},
        {"tone in white noise",
         Noisy,
         48000,
         4096,
         {1000, 1},
         {-6.02, 0.02},
         {},
         {-60 + kBandShareDb, 0.3},
         {-66.02 + kBandShareDb, 0.3}},
        {"silence", Silence, 48000, 4096, {0, 0}, {kAnalysisFloorDb, 0}, {}, {}, {kAnalysisFloorDb, 0}},
        // Sampled 48 times a period, a square's odd harmonics fall off as 1/sin(pi k / 48), not 1/k; 21
        // and 23 kHz are outside the band.
        {"full-scale square", Square, 48000, 4800, {1000, 1}, {3.01, 0.02}, {-7.22, 0.05}, {-6.51, 0.05}, {}},
    };
    for (const AnalyserCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> block(c.block);
        for (size_t i = 0; i < c.block; ++i)
            block[i] = c.signal(i);
        CAudioAnalyser analyser(c.block);
        const AudioFigures& f = analyser.Analyse(block, c.rate);
        EXPECT_EQ(f.tone, c.signal != Silence);
        Check("frequency", f.frequency, c.frequency);
        Check("level", f.levelDb, c.level);
        Check("THD", f.thdDb, c.thd);
        Check("THD+N", f.thdnDb, c.thdn);
        Check("noise", f.noiseDb, c.noise);
    }
}

TEST(AudioAnalyserTest, SixteenBitBlockOnADcOffsetReadsItsTone) {
    // -20 dBFS at 440 Hz on an offset, quantised to 16 bits: the offset does not count, the rounding
    // noise is about -101 dBFS, and the spectrum peaks at the tone's level.
    constexpr size_t n = 4096;
    std::vector<int16_t> block(n);
    for (size_t i = 0; i < n; ++i)
        block[i] = static_cast<int16_t>(std::lround(3000.0 + 32768.0 * Tone(i, 48000, 440.0, 0.1)));
    CAudioAnalyser analyser(n);
    const AudioFigures& f = analyser.Analyse(block, 48000);
    EXPECT_NEAR(f.frequency, 440.0, 0.44);
    EXPECT_NEAR(f.levelDb, -20.0, 0.02);
    EXPECT_NEAR(f.noiseDb, -101.0, 3.0);
    EXPECT_NEAR(analyser.SpectrumDb()[std::lround(440.0 * n / 48000)], -20.0, 1.5);
}

} // namespace
