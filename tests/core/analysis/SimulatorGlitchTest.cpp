// The glitch fault and the glitch detector on loopbacks through the simulator: with the fault the
// detector finds every block the fault broke (their places and sizes read from the same fault on the
// sequence signal) through noise, distortion and level; without it, ten minutes of a clean loopback show
// no glitch.
#include "GlitchDetector.h"
#include "RecordingDevice.h"
#include "RequestCodes.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace std::chrono_literals;

namespace {

struct Line {
    uint32_t rate;
    double hz;
    double amplitude; // of the played tone, in sample units
    const char* impair;
    const char* fault;
};

// Line 1 of a board for `seconds`: what its input delivered while its output played the tone (or, with
// `sequence`, the input's own sample indexes), read every tenth of a second.
std::vector<int16_t> RunLine(const Line& line, double seconds, bool sequence) {
    SimFixtureBoards sim({{0x330D, 501, 4, "", ""}});
    sim::StreamModel& streams = sim.simulator->BoardAt(0).Streams();
    streams.SetInputSignal(sequence ? sim::InputSignal::Sequence : sim::InputSignal::Loopback);
    if (*line.impair)
        streams.SetImpairments(*sim::ParseImpairments(line.impair, nullptr));
    std::vector<sim::FaultRule> rules;
    std::string error;
    EXPECT_TRUE(sim::Faults::Parse(line.fault, &rules, &error)) << error;
    for (const auto& rule : rules)
        sim.simulator->AddGlitch(rule);
    auto config = sim.Open(0, "VELTRIN_CFG");
    const uint32_t r = line.rate;
    EXPECT_EQ(Ctl(*config, req::kSetCodecRate,
                  {static_cast<uint8_t>(r), static_cast<uint8_t>(r >> 8), static_cast<uint8_t>(r >> 16), 0}),
              1u);
    auto out = sim.Open(0, "PHONE_LINE1_OUT_DEV");
    auto in = sim.Open(0, "PHONE_LINE1_IN_DEV");
    const size_t tenth = r / 10;
    size_t played = 0;
    const auto play = [&](size_t count) {
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i < count; ++i, ++played) {
            const double phase = 2 * std::numbers::pi * std::fmod(line.hz * static_cast<double>(played) / r, 1.0);
            const auto s = static_cast<int16_t>(std::lround(line.amplitude * std::sin(phase)));
            bytes.insert(bytes.end(), {static_cast<uint8_t>(s), static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8)});
        }
        uint32_t done = 0;
        EXPECT_EQ(out->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &done), 1u);
        EXPECT_EQ(done, bytes.size());
    };
    play(2 * tenth);
    EXPECT_EQ(Ctl(*out, req::kStream, Le16({1, 1, 0, 0, 0})), 1u);
    EXPECT_EQ(Ctl(*in, req::kStream, Le16({1, 1, 0, 0, 0})), 1u);
    std::vector<int16_t> heard;
    std::vector<uint8_t> bytes(65536);
    for (double t = 0; t < seconds; t += 0.1) {
        play(tenth);
        sim.clock->Advance(100ms);
        uint32_t done = 0;
        EXPECT_EQ(in->Read(bytes.data(), static_cast<uint32_t>(bytes.size()), &done), 1u);
        for (uint32_t i = 0; i + 1 < done; i += 2)
            heard.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return heard;
}

GlitchReport Detect(const Line& line, const std::vector<int16_t>& heard) {
    CGlitchDetector detector(line.rate, line.hz);
    detector.Feed(heard);
    return detector.Finish();
}

TEST(SimulatorGlitch, EveryBlockTheFaultBreaksIsFoundWhereItIs) {
    const Line lines[] = {
        {16000, 1500, 8000, "", "glitch:PHONE_LINE1_IN_DEV:120"},
        {8000, 1020, 3000, "noise:-60,harmonic:-40", "glitch:*:150:repeat"},
        {16000, 997, 20000, "noise:-55", "glitch:VSIM0:100:shift"},
        {48000, 1500, 1000, "harmonic:-35", "glitch:*:200:drop"},
        {8000, 440, 12000, "noise:-65", "glitch:*:90:shift"},
    };
    for (const Line& line : lines) {
        SCOPED_TRACE(testing::Message() << line.fault << " " << line.impair << " at " << line.rate);
        // Where the fault broke the samples: a jump in the sequence (a shift jumps twice, a block apart).
        // Blocks of 2 to 10 ms, a shift's jump half of one; at the same places on every run.
        const auto sequence = RunLine(line, 2.0, true);
        EXPECT_EQ(sequence, RunLine(line, 2.0, true));
        std::vector<double> truth;
        for (size_t i = 1; i < sequence.size(); ++i) {
            const int jump = static_cast<int16_t>(sequence[i] - sequence[i - 1]) - 1;
            if (jump == 0)
                continue;
            EXPECT_GE(std::abs(jump), static_cast<int>(line.rate / 1000)) << "at " << i;
            EXPECT_LE(std::abs(jump), static_cast<int>(line.rate / 100)) << "at " << i;
            if (truth.empty() || static_cast<double>(i) / line.rate > truth.back() + 0.02)
                truth.push_back(static_cast<double>(i) / line.rate);
        }
        const auto heard = RunLine(line, 2.0, false);
        const GlitchReport report = Detect(line, heard);
        ASSERT_TRUE(report.analysed) << report.reason;
        // The tone's first and last 20 ms and what came before the output's tone are not judged.
        std::vector<double> judged;
        for (const double t : truth)
            if (t * line.rate >= static_cast<double>(report.judgedFrom) &&
                t * line.rate < static_cast<double>(report.judgedTo))
                judged.push_back(t);
        ASSERT_GE(judged.size(), 5u);
        ASSERT_EQ(report.times.size(), judged.size());
        for (size_t i = 0; i < judged.size(); ++i)
            EXPECT_NEAR(report.times[i], judged[i], 0.01) << "glitch " << i;
    }
}

TEST(SimulatorGlitch, TenMinutesOfACleanLoopbackShowNoGlitch) {
    const Line line{8000, 1020, 6000, "noise:-70,harmonic:-45", ""};
    const auto heard = RunLine(line, 600.0, false);
    ASSERT_GE(heard.size(), 600u * 8000u - 4000u);
    const GlitchReport report = Detect(line, heard);
    ASSERT_TRUE(report.analysed) << report.reason;
    EXPECT_GT(report.judgedTo - report.judgedFrom, 599u * 8000u);
    EXPECT_TRUE(report.times.empty()) << report.times.size() << " glitches, the first at " << report.times.front()
                                      << " s";
}

} // namespace
