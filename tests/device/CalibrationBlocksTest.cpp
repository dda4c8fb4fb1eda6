// The calibration request blocks against bytes written from their documented offsets.
#include "CalibrationBlocks.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CalibrationBlocks, EncodeLittleEndianAtTheirOffsets) {
    const auto voltage = MaxVoltageBlock{0x1234}.Encode();
    EXPECT_EQ(std::vector<uint8_t>(voltage.begin(), voltage.end()), (std::vector<uint8_t>{0x34, 0x12}));
    const auto step = CalibrationStepBlock{0x0107, 0x0002}.Encode();
    EXPECT_EQ(std::vector<uint8_t>(step.begin(), step.end()), (std::vector<uint8_t>{0x07, 0x01, 0x02, 0x00}));

    const uint8_t answer[] = {0x46, 0x00};
    EXPECT_EQ(MaxVoltageBlock::Decode(answer, 2)->volts, 70);
    EXPECT_FALSE(MaxVoltageBlock::Decode(answer, 1));
    const uint8_t request[] = {0x03, 0x00, 0x01, 0x00};
    const auto decoded = CalibrationStepBlock::Decode(request, 4);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->line, 3);
    EXPECT_EQ(decoded->step, 1);
    EXPECT_FALSE(CalibrationStepBlock::Decode(request, 3));
}
