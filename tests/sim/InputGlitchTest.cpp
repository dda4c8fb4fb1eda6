// The glitch fault: its text, and what it does to a line input's samples (seen on the sequence signal,
// whose samples are their own index, so every dropped, repeated or displaced block shows as a jump).
#include "RequestCodes.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

TEST(GlitchFault, ParsesItsFieldsAndRefusesBadOnes) {
    struct Case {
        const char* text;
        bool ok;
        uint32_t everyMs;
        sim::GlitchKind kind;
    };
    const Case cases[] = {
        {"glitch:PHONE_LINE1_IN_DEV", true, 250, sim::GlitchKind::Drop},
        {"glitch:*:40", true, 40, sim::GlitchKind::Drop},
        {"glitch:VSIM0:100:repeat", true, 100, sim::GlitchKind::Repeat},
        {"glitch:VSIM0\\PHONE_LINE0_IN_DEV:7:shift", true, 7, sim::GlitchKind::Shift},
        {"glitch:*:0", false, 0, {}},
        {"glitch:*:ten", false, 0, {}},
        {"glitch:*:10:swap", false, 0, {}},
        {"glitch:*:10:drop:1", false, 0, {}},
        {"glitch", false, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<sim::FaultRule> rules;
        std::string error;
        ASSERT_EQ(sim::Faults::Parse(c.text, &rules, &error), c.ok) << error;
        if (!c.ok) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        ASSERT_EQ(rules.size(), 1u);
        EXPECT_EQ(rules[0].kind, sim::FaultRule::Kind::Glitch);
        EXPECT_EQ(rules[0].everyMs, c.everyMs);
        EXPECT_EQ(rules[0].glitch, c.kind);
    }
}

// A second of line `line`'s input on the sequence signal at 16 kHz, read in uneven pieces.
std::vector<int16_t> Capture(const char* fault, int line) {
    SimFixtureBoards sim({{0x330D, 501, 4, "", ""}});
    sim.simulator->BoardAt(0).Streams().SetInputSignal(sim::InputSignal::Sequence);
    std::vector<sim::FaultRule> rules;
    std::string error;
    EXPECT_TRUE(sim::Faults::Parse(fault, &rules, &error)) << error;
    for (const auto& rule : rules)
        sim.simulator->AddGlitch(rule);
    auto in = sim.Open(0, "PHONE_LINE" + std::to_string(line) + "_IN_DEV");
    std::vector<uint8_t> start{1, 0, 1, 0, 0, 0, 0, 0, 0, 0};
    uint32_t returned = 0;
    EXPECT_EQ(in->DevIoControl(req::kStream, start.data(), 10, nullptr, 0, &returned), 1u);
    std::vector<int16_t> heard;
    std::vector<uint8_t> raw(65536);
    for (int step = 0; step < 100; ++step) {
        sim.clock->Advance(std::chrono::microseconds(7000 + 61 * step));
        uint32_t done = 0;
        EXPECT_EQ(in->Read(raw.data(), static_cast<uint32_t>(raw.size()), &done), 1u);
        for (uint32_t i = 0; i + 1 < done; i += 2)
            heard.push_back(static_cast<int16_t>(raw[i] | (raw[i + 1] << 8)));
    }
    return heard;
}

// Each place where a sample is not its predecessor's successor: (where, how far it jumps).
std::vector<std::pair<size_t, int>> Jumps(const std::vector<int16_t>& heard) {
    std::vector<std::pair<size_t, int>> jumps;
    for (size_t i = 1; i < heard.size(); ++i)
        if (const int step = heard[i] - heard[i - 1]; step != 1)
            jumps.emplace_back(i, step - 1);
    return jumps;
}

TEST(GlitchFault, DropsRepeatsOrShiftsBlocksOfTwoToTenMillisecondsAtSeededPlaces) {
    // 16 kHz: a block is 32..160 samples; blocks lie 0.5..1.5 times the interval apart.
    const struct {
        const char* fault;
        size_t jumpsPerGlitch;
    } cases[] = {{"glitch:PHONE_LINE1_IN_DEV:100:drop", 1}, {"glitch:VSIM0:100:repeat", 1}, {"glitch:*:100:shift", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        const auto heard = Capture(c.fault, 1);
        EXPECT_EQ(heard, Capture(c.fault, 1)) << "the same places on every run";
        const auto jumps = Jumps(heard);
        ASSERT_FALSE(jumps.empty());
        const size_t glitches = jumps.size() / c.jumpsPerGlitch;
        EXPECT_EQ(jumps.size() % c.jumpsPerGlitch, 0u);
        EXPECT_GE(glitches, 6u) << "about ten in a second";
        EXPECT_LE(glitches, 20u);
        for (size_t g = 0; g < glitches; ++g) {
            const auto [at, by] = jumps[g * c.jumpsPerGlitch];
            if (c.jumpsPerGlitch == 2) {
                // Half a block back, then as far forward at the block's end.
                const auto [end, forward] = jumps[g * 2 + 1];
                EXPECT_EQ(forward, -by);
                EXPECT_GE(-by, 16);
                EXPECT_LE(-by, 80);
                const auto length = static_cast<int>(end - at);
                EXPECT_TRUE(length == -2 * by || length == -2 * by + 1) << length << " samples, " << by;
            } else {
                const int length = by > 0 ? by : -by;
                EXPECT_GE(length, 32) << "at " << at;
                EXPECT_LE(length, 160) << "at " << at;
                EXPECT_EQ(by > 0, std::string(c.fault).ends_with("drop"));
            }
        }
        if (std::string(c.fault).find("PHONE_LINE1") != std::string::npos) {
            EXPECT_TRUE(Jumps(Capture(c.fault, 2)).empty()) << "another line's input is left alone";
        }
    }
}

} // namespace
