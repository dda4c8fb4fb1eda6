// The calibration requests as a board sees them.
#include "CalibrationRequests.h"
#include "RecordingDevice.h"
#include "RequestCodes.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CalibrationRequests, ReadingTheMaximumVoltageKeepsTheValueWhenTheBoardWritesNothing) {
    RecordingDevice cfg("cfg", nullptr);
    uint16_t volts = 60;
    cfg.Answer(req::kGetMaxVoltage, {1, {}});
    EXPECT_TRUE(GetMaxVoltage(cfg, &volts));
    EXPECT_EQ(volts, 60);
    cfg.Answer(req::kGetMaxVoltage, {1, Le16({0x1F4})});
    EXPECT_TRUE(GetMaxVoltage(cfg, &volts));
    EXPECT_EQ(volts, 500);
    cfg.Answer(req::kGetMaxVoltage, {0, {}});
    EXPECT_FALSE(GetMaxVoltage(cfg, &volts));
    EXPECT_EQ(volts, 500);
}
