// The simulated phone lines: rings and caller numbers, hook commands and digits, strict block sizes,
// stored settings, interface power and the line options form.
#include "BlockCodec.h"
#include "RecordingDevice.h"
#include "RequestCodes.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

namespace {

struct LineModelTest : ::testing::Test {
    // An old-family board, a commutation board, a line-options board.
    SimFixtureBoards sim{{{0x310, 200, 8, "", ""}, {0x340, 300, 8, "", ""}, {0x310D, 410, 4, "", ""}}};

    std::unique_ptr<CDevice> Line(size_t board, int line) {
        return sim.Open(board, "PHONE_LINE" + std::to_string(line) + "_IN_DEV");
    }
    sim::LineModel& Lines(size_t board) { return sim.simulator->BoardAt(board).Lines(); }

    static std::vector<uint8_t> Get(CDevice& device, uint32_t code, uint32_t size, uint32_t* ok = nullptr) {
        std::vector<uint8_t> out(size);
        uint32_t returned = 0;
        const uint32_t result = device.DevIoControl(code, nullptr, 0, out.data(), size, &returned);
        if (ok)
            *ok = result;
        out.resize(result ? returned : 0);
        return out;
    }
    static uint32_t Send(CDevice& device, uint32_t code, const std::vector<uint8_t>& block) {
        uint32_t returned = 0;
        return device.DevIoControl(code, block.data(), static_cast<uint32_t>(block.size()), nullptr, 0, &returned);
    }
    static std::vector<uint8_t> Command(uint16_t command, uint16_t dialType = 0, uint16_t digit = 0xFFFF) {
        std::vector<uint8_t> block(46, 0);
        block::PutU16(block.data(), 0, command);
        block::PutU16(block.data(), 6, dialType);
        block::PutU16(block.data(), 8, digit);
        return block;
    }
};

} // namespace

TEST_F(LineModelTest, LineZeroRingsNowAndThenAndDeliversItsCallerAfterTheFirstRing) {
    auto line0 = Line(0, 0);
    auto state = Get(*line0, req::kGetLineState, 46);
    ASSERT_EQ(state.size(), 46u);
    EXPECT_EQ(block::GetU16(state.data(), 0), 2); // on-hook, quiet

    sim.clock->Advance(sim::LineModel::kFirstCall + 100ms); // inside the first burst
    state = Get(*line0, req::kGetLineState, 46);
    EXPECT_EQ(block::GetU16(state.data(), 0), 6);
    EXPECT_EQ(block::GetU16(state.data(), 2), 1);
    EXPECT_EQ(block::GetText(state.data(), 14, 32), "");

    sim.clock->Advance(2s); // between bursts, past the caller number
    state = Get(*line0, req::kGetLineState, 46);
    EXPECT_EQ(block::GetU16(state.data(), 0), 2);
    EXPECT_EQ(block::GetText(state.data(), 14, 32), "4957310042");

    sim.clock->Advance(2s); // second burst
    state = Get(*line0, req::kGetLineState, 46);
    EXPECT_EQ(block::GetU16(state.data(), 0), 6);
    EXPECT_EQ(block::GetU16(state.data(), 2), 2);

    // Unanswered, the call ends and the next one comes with the next caller.
    sim.clock->Advance(sim::LineModel::kRingCycle * sim::LineModel::kRingsPerCall + sim::LineModel::kCallPause);
    state = Get(*line0, req::kGetLineState, 46);
    sim.clock->Advance(2s);
    state = Get(*line0, req::kGetLineState, 46);
    EXPECT_EQ(block::GetText(state.data(), 14, 32), "8129064417");

    // Other lines stay quiet.
    auto line1 = Line(0, 1);
    EXPECT_EQ(block::GetU16(Get(*line1, req::kGetLineState, 46).data(), 2), 0);
}

TEST_F(LineModelTest, HookCommandsAnswerACallAndChangeTheVoltage) {
    auto line = Line(0, 2);
    auto& lines = Lines(0);
    lines.StartCall(2, "5551234", 0ns);
    const auto ringing = Get(*line, req::kGetLineState, 46);
    EXPECT_EQ(block::GetU16(ringing.data(), 0), 6);
    EXPECT_EQ(static_cast<int16_t>(block::GetU16(ringing.data(), 4)),
              sim.simulator->BoardAt(0).State().MeasuredVoltage(2, sim::LineModel::kRingingVolts));

    ASSERT_EQ(Send(*line, req::kSetLineState, Command(1)), 1u);
    auto state = Get(*line, req::kGetLineState, 46);
    EXPECT_EQ(block::GetU16(state.data(), 0), 1); // off-hook: answered, ringing over
    EXPECT_EQ(static_cast<int16_t>(block::GetU16(state.data(), 4)), sim::LineModel::kOffHookVolts + 4);

    // Calibrating the voltmeter removes its error from what the line reports.
    sim.simulator->BoardAt(0).State().calibrated[2] = true;
    state = Get(*line, req::kGetLineState, 46);
    EXPECT_EQ(static_cast<int16_t>(block::GetU16(state.data(), 4)), sim::LineModel::kOffHookVolts);

    ASSERT_EQ(Send(*line, req::kSetLineState, Command(2)), 1u);
    state = Get(*line, req::kGetLineState, 46);
    EXPECT_EQ(block::GetU16(state.data(), 0), 2);
    EXPECT_EQ(static_cast<int16_t>(block::GetU16(state.data(), 4)), sim::LineModel::kOnHookVolts);
}

TEST_F(LineModelTest, DigitsAreKeptPerLineAndPulsesCarryOnlyTheTenDigits) {
    auto line = Line(0, 3);
    EXPECT_EQ(Send(*line, req::kSetLineState, Command(1, 0, 7)), 1u);
    EXPECT_EQ(Send(*line, req::kSetLineState, Command(1, 1, 11)), 1u);
    EXPECT_EQ(Send(*line, req::kSetLineState, Command(1, 1, 15)), 1u);
    EXPECT_EQ(Send(*line, req::kSetLineState, Command(1, 0, 10)), 0u); // "*" by pulses
    EXPECT_EQ(Send(*line, req::kSetLineState, Command(1, 1, 16)), 0u);
    EXPECT_EQ(Send(*line, req::kSetLineState, Command(1, 2, 1)), 0u);
    EXPECT_EQ(Send(*line, req::kSetLineState, Command(2, 1, 3)), 0u); // a digit needs the hook-up command
    EXPECT_EQ(Lines(0).DialledText(3), "7#D");
    EXPECT_EQ(Lines(0).Dialled(3).front(), (sim::DialledDigit{7, 0}));
    EXPECT_TRUE(Lines(0).OffHook(3));
    EXPECT_EQ(Lines(0).DialledText(4), "");
}

TEST_F(LineModelTest, RequestsWithWrongSizesOrForeignFeaturesFail) {
    auto line = Line(0, 0);
    uint32_t ok = 1;
    Get(*line, req::kGetLineState, 45, &ok);
    EXPECT_EQ(ok, 0u);
    Get(*line, req::kGetLineState, 8, &ok); // the short form belongs to line-options boards
    EXPECT_EQ(ok, 0u);
    Get(*line, req::kGetLineSettings, 46, &ok);
    EXPECT_EQ(ok, 0u);
    Get(*line, req::kGetAmplitudes, 2, &ok);
    EXPECT_EQ(ok, 0u);
    EXPECT_EQ(Send(*line, req::kSetLineState, std::vector<uint8_t>(44, 0)), 0u);
    EXPECT_EQ(Send(*line, req::kSetLineSettings, std::vector<uint8_t>(46, 0)), 0u);
    EXPECT_EQ(Send(*line, req::kInterfacePower, Le32({1})), 0u);
    EXPECT_EQ(Send(*line, req::kInterfacePower, Le16({2})), 0u);
    EXPECT_EQ(Send(*line, req::kSetLineState, Command(8)), 0u); // no commutation on this board
    EXPECT_EQ(Send(*line, req::kSetLineState, Command(3)), 0u);

    auto commutating = Line(1, 0);
    EXPECT_EQ(Send(*commutating, req::kSetLineState, Command(8)), 1u);
    EXPECT_TRUE(Lines(1).Commutation(0));
    EXPECT_EQ(Send(*commutating, req::kSetLineState, Command(16)), 1u);
    EXPECT_FALSE(Lines(1).Commutation(0));
    EXPECT_EQ(Send(*commutating, req::kInterfacePower, Le16({1})), 0u); // its power is fixed

    // Line requests belong to the line input devices only.
    auto out = sim.Open(0, "PHONE_LINE0_OUT_DEV");
    Get(*out, req::kGetLineState, 46, &ok);
    EXPECT_EQ(ok, 0u);
}

TEST_F(LineModelTest, SettingsLevelsAndPowerAreStoredPerLine) {
    auto line = Line(0, 5);
    auto settings = Get(*line, req::kGetLineSettings, 44);
    ASSERT_EQ(settings.size(), 44u);
    EXPECT_EQ(block::GetU16(settings.data(), 22), sim::LineModel::DefaultSettings()[11]);
    block::PutU16(settings.data(), 0, 33);
    ASSERT_EQ(Send(*line, req::kSetLineSettings, settings), 1u);
    EXPECT_EQ(Get(*line, req::kGetLineSettings, 44), settings);
    EXPECT_EQ(block::GetU16(Get(*Line(0, 6), req::kGetLineSettings, 44).data(), 0),
              20); // other lines untouched

    ASSERT_EQ(Send(*line, req::kSetAmplitudes, Le16({0xFFFF, 4})), 1u);
    EXPECT_EQ(Get(*line, req::kGetAmplitudes, 4), Le16({0xFFFF, 4}));

    ASSERT_EQ(Send(*line, req::kInterfacePower, Le16({0})), 1u);
    EXPECT_FALSE(Lines(0).InterfacePower(5));
    // No supply: the line reads as 0 V plus the voltmeter's own error.
    EXPECT_EQ(static_cast<int16_t>(block::GetU16(Get(*line, req::kGetLineState, 46).data(), 4)),
              sim.simulator->BoardAt(0).State().MeasuredVoltage(5, 0));
}

TEST_F(LineModelTest, CallerNumberIsWithheldWhileCallerIdentificationIsOff) {
    auto settings = sim::LineModel::DefaultSettings();
    settings[17] = 0; // offset 34
    Lines(0).SetSettings(1, settings);
    Lines(0).StartCall(1, "5551234", 0ns);
    sim.clock->Advance(3s);
    auto line = Line(0, 1);
    const auto state = Get(*line, req::kGetLineState, 46);
    EXPECT_EQ(block::GetU16(state.data(), 2), 1);
    EXPECT_EQ(block::GetText(state.data(), 14, 32), "");
}

TEST_F(LineModelTest, LineOptionsFormTakesOnlyListedValuesAndTheExternalInputToggles) {
    auto line = Line(2, 1);
    EXPECT_EQ(Get(*line, req::kGetLineState, 8), Le16({0, 0, 0, 0}));
    EXPECT_EQ(Send(*line, req::kSetLineState, Le16({0, 2, 1, 1})), 1u);
    EXPECT_EQ(Lines(2).Options(1), (sim::LineOptions{2, 1, 1}));
    EXPECT_EQ(Send(*line, req::kSetLineState, Le16({0, 3, 1, 1})), 0u);
    EXPECT_EQ(Send(*line, req::kSetLineState, Le16({0, 0xFFFF, 1, 1})), 0u);
    EXPECT_EQ(Send(*line, req::kSetLineState, Le16({1, 2, 1, 1})), 0u); // the input is read only
    EXPECT_EQ(Send(*line, req::kSetLineState, Le16({0, 2, 2, 1})), 0u);
    EXPECT_EQ(Lines(2).Options(1), (sim::LineOptions{2, 1, 1}));

    // Line 1's input is active for the last two seconds of every eleven.
    sim.clock->Advance(9500ms);
    EXPECT_EQ(Get(*line, req::kGetLineState, 8), Le16({1, 2, 1, 1}));
    EXPECT_EQ(block::GetU16(Get(*line, req::kGetLineState, 46).data(), 12), 1);
    sim.clock->Advance(2s);
    EXPECT_EQ(Get(*line, req::kGetLineState, 8)[0], 0);
}
