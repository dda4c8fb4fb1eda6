// Golden bytes of the board information block.
#include "BoardInfo.h"
#include "BoardModels.h"

#include <gtest/gtest.h>

TEST(BoardInformation, EncodesAtDocumentedOffsets) {
    BoardInformation info;
    info.name = "KVR R310";
    info.type = 0x0000310D;
    info.boardId = 0x01020304;
    info.channels = 8;
    info.reserved = 0xAABBCCDD;
    const auto b = info.Encode();
    std::array<uint8_t, 66> golden{};
    const char name[] = "KVR R310";
    for (size_t i = 0; i < 8; ++i)
        golden[i] = static_cast<uint8_t>(name[i]);
    golden[50] = 0x0D, golden[51] = 0x31, golden[52] = 0x00, golden[53] = 0x00;
    golden[54] = 0x04, golden[55] = 0x03, golden[56] = 0x02, golden[57] = 0x01;
    golden[58] = 0x08;
    golden[62] = 0xDD, golden[63] = 0xCC, golden[64] = 0xBB, golden[65] = 0xAA;
    EXPECT_EQ(b, golden);
}

TEST(BoardInformation, DecodesGoldenBytesAndRefusesShortBlocks) {
    std::array<uint8_t, 66> b{};
    b[0] = 'A', b[1] = 'B', b[2] = 0, b[3] = 'C'; // text ends at the first zero byte
    b[50] = 0x0D, b[51] = 0x33;
    b[54] = 0xF5, b[55] = 0x01;
    b[58] = 4;
    const auto info = BoardInformation::Decode(b.data(), 66);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->name, "AB");
    EXPECT_EQ(info->type, 0x330Du);
    EXPECT_EQ(info->boardId, 501u);
    EXPECT_EQ(info->channels, 4u);
    EXPECT_FALSE(BoardInformation::Decode(b.data(), 65));
    EXPECT_FALSE(BoardInformation::Decode(nullptr, 66));
}

TEST(BoardInformation, NameWithoutZeroByteIsBoundedToItsField) {
    std::array<uint8_t, 66> b;
    b.fill('x');
    const auto info = BoardInformation::Decode(b.data(), 66);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->name.size(), 50u);
    BoardInformation longName;
    longName.name = std::string(80, 'y');
    const auto encoded = longName.Encode();
    EXPECT_EQ(encoded[49], 0); // always zero-ended within the field
    EXPECT_EQ(encoded[50], 0);
}

TEST(BoardFamily, NewFamilyComparesTheLowWord) {
    EXPECT_TRUE(IsNewFamily(0x330));
    EXPECT_TRUE(IsNewFamily(0x360));
    EXPECT_TRUE(IsNewFamily(0x330D));
    EXPECT_TRUE(IsNewFamily(0x10330D));
    EXPECT_FALSE(IsNewFamily(0x310));
    EXPECT_FALSE(IsNewFamily(0x310D));
    EXPECT_FALSE(IsNewFamily(0x3204));
}

TEST(BoardInformation, IdAloneNeedsTheAnswerToReachTheEndOfItsField) {
    std::array<uint8_t, 66> answer{};
    answer[54] = 0x15;
    answer[55] = 0xCD;
    answer[56] = 0x5B;
    answer[57] = 0x07;
    EXPECT_EQ(BoardInformation::DecodeId(answer.data(), 58), 123456789u);
    EXPECT_EQ(BoardInformation::DecodeId(answer.data(), 66), 123456789u);
    EXPECT_FALSE(BoardInformation::DecodeId(answer.data(), 57));
}
