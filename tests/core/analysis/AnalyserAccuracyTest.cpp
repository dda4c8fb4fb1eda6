// The analyser's accuracy over a matrix of rates, levels and positions between bins (seeded), against
// truths computed from the synthesis itself: the 16-bit rounding error is known sample by sample.
#include "AudioAnalyser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

struct Truth {
    double levelDb, thdnDb, noiseDb;
};

// A tone rounded to 16 bits, and its figures from the rounding error. Off the bins the error is white
// over the whole band, so the measured band holds its share of its power; on a bin the block holds
// whole periods of the error, whose band power a plain DFT then gives exactly.
std::vector<int16_t> Rounded(size_t n, uint32_t rate, double hz, double amplitude, double phase, Truth& truth) {
    std::vector<int16_t> samples(n);
    double errorPower = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double x = amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate + phase);
        samples[i] = static_cast<int16_t>(std::lround(x * 32768.0));
        const double e = samples[i] / 32768.0 - x;
        errorPower += e * e;
    }
    errorPower /= static_cast<double>(n);
    double band = (std::min(20000.0, rate / 2.0) - 20.0) / (rate / 2.0);
    const double cycles = hz * static_cast<double>(n) / rate;
    if (std::abs(cycles - std::round(cycles)) < 1e-9) {
        std::vector<double> error(n);
        for (size_t i = 0; i < n; ++i)
            error[i] = samples[i] / 32768.0 -
                       amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate + phase);
        // The error's share at the tone's own frequency belongs to the fundamental.
        const auto toneBin = static_cast<size_t>(std::llround(cycles));
        std::vector<double> cosine(n), sine(n);
        for (size_t i = 0; i < n; ++i) {
            cosine[i] = std::cos(2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n));
            sine[i] = std::sin(2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n));
        }
        double inBand = 0.0;
        for (size_t k = 1; k < n / 2; ++k) {
            const double f = static_cast<double>(k) * rate / static_cast<double>(n);
            if (f < 20.0 || f > 20000.0 || k == toneBin)
                continue;
            double re = 0.0, im = 0.0;
            for (size_t i = 0; i < n; ++i) {
                re += error[i] * cosine[(k * i) % n];
                im += error[i] * sine[(k * i) % n];
            }
            inBand += 2 * (re * re + im * im) / (static_cast<double>(n) * static_cast<double>(n));
        }
        band = inBand / errorPower;
    }
    const double tonePower = amplitude * amplitude / 2;
    truth = {10 * std::log10(2 * (tonePower + errorPower)), 10 * std::log10(errorPower * band / tonePower),
             10 * std::log10(2 * errorPower * band)};
    return samples;
}

TEST(AnalyserAccuracy, SixteenBitTonesOverRatesLevelsAndBinPositions) {
    std::mt19937 engine(20261208);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    double worstLevel = 0, worstFrequency = 0, worstThdn = 0, worstNoise = 0;
    for (const uint32_t rate : {8000u, 16000u, 44100u, 48000u, 96000u}) {
        const size_t n = rate > 48000 ? 8192 : 4096;
        const double bin = static_cast<double>(rate) / static_cast<double>(n);
        for (const double levelDb : {-0.001, -20.0, -60.0}) {
            for (const double position : {0.0, 0.25, 0.5, 0.73}) {
                const double hz = (std::floor(rate * (0.02 + 0.3 * unit(engine)) / bin) + position) * bin;
                const double phase = 2 * std::numbers::pi * unit(engine);
                const double amplitude = std::pow(10.0, levelDb / 20.0);
                Truth truth{};
                const auto samples = Rounded(n, rate, hz, amplitude, phase, truth);
                CAudioAnalyser analyser(n);
                const AudioFigures& f = analyser.Analyse(samples, rate);
                SCOPED_TRACE(testing::Message() << rate << " Hz, " << hz << " Hz tone at " << levelDb << " dBFS");
                ASSERT_TRUE(f.tone);
                EXPECT_NEAR(f.frequency, hz, hz * 1e-4);
                EXPECT_NEAR(f.levelDb, truth.levelDb, 0.01);
                EXPECT_NEAR(f.thdnDb, truth.thdnDb, 1.0);
                // Off the bins and at the louder levels the rounding error is noise; on a bin, or 60 dB
                // down, part of it falls on the harmonics, which the noise figure leaves out.
                if (position != 0.0 && levelDb > -30) {
                    EXPECT_NEAR(f.noiseDb, truth.noiseDb, 1.0);
                } else {
                    EXPECT_LT(f.noiseDb, truth.noiseDb + 0.5);
                }
                worstFrequency = std::max(worstFrequency, std::abs(f.frequency - hz) / hz * 100);
                worstLevel = std::max(worstLevel, std::abs(f.levelDb - truth.levelDb));
                worstThdn = std::max(worstThdn, std::abs(f.thdnDb - truth.thdnDb));
                if (position != 0.0 && levelDb > -30)
                    worstNoise = std::max(worstNoise, std::abs(f.noiseDb - truth.noiseDb));
                if (levelDb > -1) {
                    EXPECT_LT(f.thdnDb, -96.0);
                }
            }
        }
    }
    std::printf("worst errors: frequency %.2g %%, level %.4f dB, THD+N %.2f dB, noise %.2f dB\n", worstFrequency,
                worstLevel, worstThdn, worstNoise);
}

std::vector<double> Synth(size_t n, uint32_t rate, double dc, std::vector<std::pair<double, double>> tones,
                          double noiseDbfs, uint32_t seed) {
    std::mt19937 engine(seed);
    std::normal_distribution<double> normal(0.0,
                                            noiseDbfs > -300 ? std::pow(10.0, noiseDbfs / 20.0) / std::sqrt(2.0) : 0.0);
    std::vector<double> x(n, dc);
    for (size_t i = 0; i < n; ++i) {
        for (const auto& [hz, amplitude] : tones)
            x[i] += amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate + 0.7);
        if (noiseDbfs > -300)
            x[i] += normal(engine);
    }
    return x;
}

TEST(AnalyserAccuracy, ToneOrNoToneAndWhatCountsAsDistortion) {
    struct Case {
        const char* name;
        std::vector<double> block;
        uint32_t rate;
        bool tone;
        double frequency; // checked with a tone
        double level;     // NaN: not checked
        double thd;       // NaN: not checked
    };
    const double nan = std::nan("");
    const Case cases[] = {
        {"white noise", Synth(4096, 48000, 0, {}, -20, 1), 48000, false, 0, -20 + 10 * std::log10(23980.0 / 24000),
         nan},
        {"DC alone", Synth(4096, 48000, 0.3, {}, -400, 0), 48000, false, 0, -200, nan},
        {"silence", Synth(4096, 48000, 0, {}, -400, 0), 48000, false, 0, -200, nan},
        {"tone above 20 kHz", Synth(4096, 48000, 0, {{21456.7, 0.5}}, -400, 0), 48000, true, 21456.7, -6.0206, nan},
        {"tone near half the rate", Synth(2048, 8000, 0, {{3987.1, 0.5}}, -400, 0), 8000, true, 3987.1, -6.0206, nan},
        // Two cycles of 25 Hz in the block, on an offset: the offset does not count, the tone whole.
        {"low tone in a short block", Synth(4096, 48000, 0.2, {{25.3, 0.5}}, -400, 0), 48000, true, 25.3, -6.0206, nan},
        // The harmonic 60 dB down under noise at -70 dBFS: THD is the harmonic's alone.
        {"harmonic under noise", Synth(8192, 48000, 0, {{1001.3, 0.5}, {2002.6, 0.0005}}, -70, 3), 48000, true, 1001.3,
         nan, -60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAudioAnalyser analyser(c.block.size());
        const AudioFigures& f = analyser.Analyse(c.block, c.rate);
        EXPECT_EQ(f.tone, c.tone);
        EXPECT_EQ(f.Frequency().has_value(), c.tone);
        EXPECT_EQ(f.Thdn().has_value(), c.tone);
        if (c.tone) {
            EXPECT_NEAR(f.frequency, c.frequency, c.frequency * 1e-4);
        } else {
            EXPECT_GE(f.thdnDb, 0.0);
        }
        if (!std::isnan(c.level)) {
            EXPECT_NEAR(f.levelDb, c.level, c.level > -100 && !c.tone ? 0.3 : 0.01);
        }
        if (!std::isnan(c.thd)) {
            EXPECT_NEAR(f.thdDb, c.thd, 0.3);
        }
    }
}

TEST(AnalyserAccuracy, BlocksShorterThanTheLowEdgesPeriodAreRefused) {
    const struct {
        size_t n;
        uint32_t rate;
        bool refused;
    } cases[] = {{1024, 48000, true}, {2400, 48000, false}, {2399, 48000, true}, {4096, 96000, true},
                 {400, 8000, false},  {64, 8000, true},     {4096, 0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.n << " at " << c.rate);
        EXPECT_EQ(CAudioAnalyser::Refusal(c.n, c.rate).has_value(), c.refused);
        CAudioAnalyser analyser(c.n);
        const std::vector<double> block(c.n, 0.0);
        if (c.refused)
            EXPECT_THROW(analyser.Analyse(block, c.rate), CAnalysisRefused);
        else
            EXPECT_NO_THROW(analyser.Analyse(block, c.rate));
    }
    EXPECT_EQ(*CAudioAnalyser::Refusal(1024, 48000),
              "1024 samples at 48000 Hz are too short to analyse: the band from 20 Hz needs one period of it, 2400 "
              "samples");
}

} // namespace
