// The memory and program blocks against bytes written from their documented offsets.
#include "MemoryBlocks.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(MemoryBlocks, MemoryOperationAtDocumentedOffsets) {
    const MemoryOperation op{0x12345678, 0x9ABCDEF0, 1, 1};
    const std::array<uint8_t, 12> golden{0x78, 0x56, 0x34, 0x12, 0xF0, 0xDE, 0xBC, 0x9A, 0x01, 0x00, 0x01, 0x00};
    EXPECT_EQ(op.Encode(), golden);
    const auto back = MemoryOperation::Decode(golden.data(), 12);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->start, 0x12345678u);
    EXPECT_EQ(back->count, 0x9ABCDEF0u);
    EXPECT_FALSE(MemoryOperation::Decode(golden.data(), 11));
}

TEST(MemoryBlocks, ProgramLoadRequestIsTheBareNameThenNuls) {
    const auto b = ProgramLoadRequest{}.Encode();
    const char name[] = "prog.i00";
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(b[i], static_cast<uint8_t>(name[i]));
    for (size_t i = 8; i < 50; ++i)
        EXPECT_EQ(b[i], 0) << i;
}

TEST(MemoryBlocks, ProgramNameMustEndWithinTheBlockAndIdWordsAreLowWordFirst) {
    std::array<uint8_t, 50> load{};
    std::memcpy(load.data(), "prog.i00", 8);
    EXPECT_EQ(ProgramLoadRequest::Decode(load.data(), 50)->name, "prog.i00");
    EXPECT_FALSE(ProgramLoadRequest::Decode(load.data(), 49));
    load.fill('x');
    EXPECT_FALSE(ProgramLoadRequest::Decode(load.data(), 50));

    const std::array<uint8_t, 4> id{0x39, 0x30, 0x02, 0x00}; // words 0x3039, 0x0002
    EXPECT_EQ(BoardIdWords{0x23039}.Encode(), id);
    EXPECT_EQ(BoardIdWords::Decode(id.data(), 4)->id, 0x23039u);
    EXPECT_FALSE(BoardIdWords::Decode(id.data(), 3));
}
