// The phone line blocks against bytes written from their documented offsets.
#include "LineBlocks.h"
#include "RecordingDevice.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::vector<uint8_t> Bytes(const auto& array) { return {array.begin(), array.end()}; }

} // namespace

TEST(LineBlocks, LineStateCodesEveryFieldAtItsOffset) {
    LineState s;
    s.state = 0x0102;
    s.rings = 0x0304;
    s.voltage = -120; // 0xFF88
    s.dialType = 0x0506;
    s.digit = 0x0708;
    s.reserved = 0x090A;
    s.controlInput = 0x0B0C;
    std::memcpy(s.number.data(), "12345", 5);
    s.number[31] = 0x7E; // beyond the terminating zero: must survive a round trip
    std::vector<uint8_t> golden(46, 0);
    const uint8_t head[] = {0x02, 0x01, 0x04, 0x03, 0x88, 0xFF, 0x06, 0x05, 0x08, 0x07,
                            0x0A, 0x09, 0x0C, 0x0B, '1',  '2',  '3',  '4',  '5'};
    std::copy(std::begin(head), std::end(head), golden.begin());
    golden[45] = 0x7E;
    EXPECT_EQ(Bytes(s.Encode()), golden);

    const auto back = LineState::Decode(golden.data(), 46);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->voltage, -120);
    EXPECT_EQ(back->NumberText(), "12345");
    EXPECT_EQ(Bytes(back->Encode()), golden);
    EXPECT_FALSE(LineState::Decode(golden.data(), 45));
    EXPECT_FALSE(LineState::Decode(golden.data(), 8));
}

TEST(LineBlocks, CallerNumberWithoutZeroEndsAtTheFieldsLastByte) {
    std::vector<uint8_t> raw(46, 0);
    std::fill(raw.begin() + 14, raw.end(), '7');
    EXPECT_EQ(LineState::Decode(raw.data(), 46)->NumberText(), std::string(32, '7'));
}

TEST(LineBlocks, CommandsCarryOnlyTheirFields) {
    std::vector<uint8_t> hangUp(46, 0);
    hangUp[0] = 2;
    hangUp[8] = hangUp[9] = 0xFF;
    EXPECT_EQ(Bytes(LineState::Command(LineState::kHookDown).Encode()), hangUp);

    std::vector<uint8_t> toneFive(46, 0);
    toneFive[0] = 1;
    toneFive[6] = 1;
    toneFive[8] = 5;
    EXPECT_EQ(Bytes(LineState::DigitCommand(5, 1).Encode()), toneFive);
}

TEST(LineBlocks, ShortFormSettingsAndLevels) {
    EXPECT_EQ(Bytes(LineStateShort{0, 2, 1, 0}.Encode()), Le16({0, 2, 1, 0}));
    const auto shortForm = Le16({1, 1, 0, 1});
    EXPECT_EQ(LineStateShort::Decode(shortForm.data(), 8), (LineStateShort{1, 1, 0, 1}));
    EXPECT_FALSE(LineStateShort::Decode(shortForm.data(), 7));

    LineSettings settings;
    for (size_t i = 0; i < LineSettings::kFields; ++i)
        settings.fields[i] = static_cast<uint16_t>(0x100 * i + 1);
    std::vector<uint8_t> golden;
    for (size_t i = 0; i < LineSettings::kFields; ++i) {
        golden.push_back(1);
        golden.push_back(static_cast<uint8_t>(i));
    }
    EXPECT_EQ(Bytes(settings.Encode()), golden);
    EXPECT_EQ(settings.At(22), 0x0B01);
    EXPECT_EQ(LineSettings::Decode(golden.data(), 44), settings);
    EXPECT_FALSE(LineSettings::Decode(golden.data(), 46));

    EXPECT_EQ(Bytes(LineLevels{3, 0xFFFF}.Encode()), Le16({3, 0xFFFF}));
}
