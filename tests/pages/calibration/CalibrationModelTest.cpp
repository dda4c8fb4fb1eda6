// The simulated board's voltmeter calibration: maximum voltage, strict step order, applying the coefficients.
#include "LineModel.h"
#include "RequestCodes.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

namespace {

struct CalibrationModelTest : ::testing::Test {
    SimFixtureBoards sim{{{0x310, 200, 4, "", ""}}};
    std::unique_ptr<CDevice> cfg = sim.Open(0, "VELTRIN_CFG");
    sim::Board& board() { return sim.simulator->BoardAt(0); }

    uint32_t Step(uint16_t line, uint16_t step) {
        const uint8_t block[4] = {static_cast<uint8_t>(line), static_cast<uint8_t>(line >> 8),
                                  static_cast<uint8_t>(step), static_cast<uint8_t>(step >> 8)};
        uint32_t returned = 0;
        return cfg->DevIoControl(req::kCalibrationStep, block, 4, nullptr, 0, &returned);
    }
    uint32_t Apply() {
        uint32_t returned = 0;
        return cfg->DevIoControl(req::kApplyCalibration, nullptr, 0, nullptr, 0, &returned);
    }
    uint32_t SetVolts(uint16_t volts) {
        const uint8_t block[2] = {static_cast<uint8_t>(volts), static_cast<uint8_t>(volts >> 8)};
        uint32_t returned = 0;
        return cfg->DevIoControl(req::kSetMaxVoltage, block, 2, nullptr, 0, &returned);
    }
    int GetVolts() {
        uint8_t block[2] = {0xEE, 0xEE};
        uint32_t returned = 0;
        if (!cfg->DevIoControl(req::kGetMaxVoltage, nullptr, 0, block, 2, &returned) || returned != 2)
            return -1;
        return block[0] | (block[1] << 8);
    }
};

} // namespace

TEST_F(CalibrationModelTest, MaximumVoltageIsKeptAndZeroIsRefused) {
    ASSERT_NE(cfg, nullptr);
    EXPECT_EQ(GetVolts(), 60);
    EXPECT_EQ(SetVolts(300), 1u);
    EXPECT_EQ(GetVolts(), 300);
    EXPECT_EQ(SetVolts(0), 0u);
    EXPECT_EQ(GetVolts(), 300);

    uint8_t block[4] = {};
    uint32_t returned = 0;
    EXPECT_EQ(cfg->DevIoControl(req::kGetMaxVoltage, nullptr, 0, block, 4, &returned), 0u);
    EXPECT_EQ(cfg->DevIoControl(req::kSetMaxVoltage, block, 4, nullptr, 0, &returned), 0u);
    EXPECT_EQ(cfg->DevIoControl(req::kCalibrationStep, block, 2, nullptr, 0, &returned), 0u);
    EXPECT_EQ(cfg->DevIoControl(req::kApplyCalibration, nullptr, 0, block, 4, &returned), 0u);
}

TEST_F(CalibrationModelTest, StepsMayBeRepeatedOrRestartedButNeverSkipped) {
    EXPECT_EQ(Step(0, 1), 0u); // full scale before zero point
    EXPECT_EQ(Step(0, 2), 0u);
    EXPECT_EQ(Step(0, 0), 1u);
    EXPECT_EQ(Step(0, 2), 0u); // computing before full scale
    EXPECT_EQ(Step(0, 1), 1u);
    EXPECT_EQ(Step(0, 1), 1u); // the engineer went back to measure again
    EXPECT_EQ(Step(0, 3), 0u);
    EXPECT_EQ(Step(0, 2), 1u);
    EXPECT_EQ(board().Calibration().CompletedSteps(0), 3);
    EXPECT_EQ(Step(0, 0), 1u); // a new zero point starts the sequence over
    EXPECT_EQ(board().Calibration().CompletedSteps(0), 1);
    EXPECT_EQ(Step(4, 0), 0u); // the board has four lines
    EXPECT_EQ(Step(0xFFFF, 0), 0u);
    EXPECT_EQ(board().Calibration().CompletedSteps(1), 0);
}

TEST_F(CalibrationModelTest, CoefficientsApplyOnlyToLinesWithACompleteSequence) {
    EXPECT_EQ(Apply(), 0u); // nothing computed yet
    for (uint16_t step = 0; step < 3; ++step)
        ASSERT_EQ(Step(1, step), 1u);
    ASSERT_EQ(Step(2, 0), 1u);
    ASSERT_EQ(Step(2, 1), 1u);

    const sim::BoardState& state = board().State();
    const int16_t errorOnLine1 = state.voltmeterError[1];
    ASSERT_NE(errorOnLine1, 0);
    EXPECT_EQ(state.MeasuredVoltage(1, 48), 48 + errorOnLine1);

    EXPECT_EQ(Apply(), 1u);
    EXPECT_EQ(state.MeasuredVoltage(1, 48), 48);
    EXPECT_EQ(state.MeasuredVoltage(2, 48), 48 + state.voltmeterError[2]); // stopped after full scale
    EXPECT_EQ(state.MeasuredVoltage(0, 48), 48 + state.voltmeterError[0]);
    EXPECT_EQ(Apply(), 1u); // the computed coefficients stay available
}

TEST_F(CalibrationModelTest, OnlyTheConfigurationDeviceCalibrates) {
    auto line = sim.Open(0, "PHONE_LINE0_IN_DEV");
    ASSERT_NE(line, nullptr);
    const uint8_t block[4] = {0, 0, 0, 0};
    uint32_t returned = 0;
    EXPECT_EQ(line->DevIoControl(req::kCalibrationStep, block, 4, nullptr, 0, &returned), 0u);
    EXPECT_EQ(board().Calibration().CompletedSteps(0), 0);
}

TEST_F(CalibrationModelTest, LineStateReportsTheCorrectedVoltageOnceApplied) {
    auto line = sim.Open(0, "PHONE_LINE1_IN_DEV");
    ASSERT_NE(line, nullptr);
    const auto reported = [&] {
        uint8_t state[46] = {};
        uint32_t returned = 0;
        EXPECT_EQ(line->DevIoControl(req::kGetLineState, nullptr, 0, state, 46, &returned), 1u);
        return static_cast<int16_t>(state[4] | (state[5] << 8)); // voltage at offset 4
    };
    const int16_t before = reported();
    EXPECT_EQ(before, sim::LineModel::kOnHookVolts + board().State().voltmeterError[1]);
    ASSERT_NE(before, sim::LineModel::kOnHookVolts);

    for (uint16_t step = 0; step < 3; ++step)
        ASSERT_EQ(Step(1, step), 1u);
    EXPECT_EQ(reported(), before); // computed, not yet in use
    ASSERT_EQ(Apply(), 1u);
    EXPECT_EQ(reported(), sim::LineModel::kOnHookVolts);
}
