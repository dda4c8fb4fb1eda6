// Recordings through the simulator with impairments and channel gains set, analysed: the figures come
// out as the settings say (gain in dB, second harmonic, white noise, crosstalk from the neighbours).
#include "AudioAnalyser.h"
#include "BoardModels.h"
#include "RecordingDevice.h"
#include "RequestCodes.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

using namespace std::chrono_literals;

namespace {

// A second of a 1 kHz sine at half of full scale (-6.02 dBFS) at 16 kHz.
void PlayTone(CDevice& out) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 16000; ++i) {
        const auto s = static_cast<int16_t>(std::lround(16384.0 * std::sin(2 * std::numbers::pi * i / 16.0)));
        bytes.insert(bytes.end(), {static_cast<uint8_t>(s), static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8)});
    }
    uint32_t done = 0;
    ASSERT_EQ(out.Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &done), 1u);
    ASSERT_EQ(Ctl(out, req::kStream, Le16({1, 1, 0, 0, 0})), 1u);
}

struct ImpairmentCase {
    const char* name;
    uint32_t type; // 0x310 takes gain steps, 0x330D tenths of a dB
    const char* impair;
    int16_t outGain; // of the played line's output, in the board's request set
    int16_t inGain;  // of the recorded line's input
    int playedLine;
    int recordedLine;
    double level, thd, thdn, noise; // expected; NaN: not checked
};

constexpr double kUnchecked = std::numeric_limits<double>::quiet_NaN();
// -6.02 dBFS played, -6 dB on the output, +3 dB on the input.
constexpr double kLevel = -9.02;
// THD of a tone with no harmonic added: at most this (what is left is the 16-bit rounding of a tone
// that repeats every 16 samples, so its error falls on the harmonics).
constexpr double kClean = -60.0;

TEST(SimulatorImpairments, RecordingsShowTheSetGainsAndImpairments) {
    const ImpairmentCase cases[] = {
        // Harmonic 40 dB down, noise at -70 dBFS (61 dB under the tone): THD+N adds the two.
        {"tenths of a dB", 0x330D, "noise:-70,harmonic:-40", -60, 30, 1, 1, kLevel, -40.0, -39.97, -70.0},
        {"gain steps", 0x310, "harmonic:-50", 6, 9, 2, 2, kLevel, -50.0, -50.0, kUnchecked},
        {"no impairments", 0x330D, "", -60, 30, 0, 0, kLevel, kClean, kUnchecked, kUnchecked},
        // Line 1's own output is silent: its input hears only line 0's tone, 30 dB down, no harmonic;
        // line 2 is no neighbour of line 0 and hears nothing.
        {"crosstalk", 0x330D, "crosstalk:-30,harmonic:-30", 0, 0, 0, 1, -36.02, kClean, kUnchecked, kUnchecked},
        {"no crosstalk beyond the neighbour", 0x330D, "crosstalk:-30", 0, 0, 0, 2, kAnalysisFloorDb, kUnchecked,
         kUnchecked, kUnchecked},
    };
    for (const ImpairmentCase& c : cases) {
        SCOPED_TRACE(c.name);
        SimFixtureBoards sim({{c.type, 501, 4, "", ""}});
        sim::Board& board = sim.simulator->BoardAt(0);
        board.Streams().SetInputSignal(sim::InputSignal::Loopback);
        if (*c.impair)
            board.Streams().SetImpairments(*sim::ParseImpairments(c.impair, nullptr));
        const bool tenths = BoardModelFor(c.type).secondAttenuation;
        const uint32_t set = tenths ? req::kSetAttenuation2 : req::kSetAttenuation;
        auto out = sim.Open(0, "PHONE_LINE" + std::to_string(c.playedLine) + "_OUT_DEV");
        auto in = sim.Open(0, "PHONE_LINE" + std::to_string(c.recordedLine) + "_IN_DEV");
        ASSERT_EQ(Ctl(*out, set, Le16({static_cast<uint16_t>(c.outGain), 0, 0, 0, 0})), 1u);
        ASSERT_EQ(Ctl(*in, set, Le16({static_cast<uint16_t>(c.inGain), 0, 0, 0, 0})), 1u);
        PlayTone(*out);
        ASSERT_EQ(Ctl(*in, req::kStream, Le16({1, 1, 0, 0, 0})), 1u);
        std::vector<int16_t> recorded;
        for (int step = 0; step < 10; ++step) {
            sim.clock->Advance(50ms);
            std::vector<uint8_t> bytes(32768);
            uint32_t done = 0;
            ASSERT_EQ(in->Read(bytes.data(), static_cast<uint32_t>(bytes.size()), &done), 1u);
            for (uint32_t i = 0; i + 1 < done; i += 2)
                recorded.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
        }
        ASSERT_GE(recorded.size(), 8000u);
        CAudioAnalyser analyser(4096);
        const AudioFigures& f = analyser.Analyse(std::span(recorded).subspan(2000, 4096), 16000);
        EXPECT_NEAR(f.levelDb, c.level, 0.05);
        if (c.level == kAnalysisFloorDb)
            continue;
        EXPECT_NEAR(f.frequency, 1000.0, 1.0);
        if (c.thd == kClean) {
            EXPECT_LT(f.thdDb, kClean);
        } else if (!std::isnan(c.thd)) {
            EXPECT_NEAR(f.thdDb, c.thd, 0.1);
        }
        if (!std::isnan(c.thdn)) {
            EXPECT_NEAR(f.thdnDb, c.thdn, 0.1);
        }
        if (!std::isnan(c.noise)) {
            EXPECT_NEAR(f.noiseDb, c.noise, 0.5);
        }
    }
}

} // namespace
