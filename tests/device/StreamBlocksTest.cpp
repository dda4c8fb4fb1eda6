// Golden bytes of the streaming request blocks, written from their documented offsets.
#include "StreamBlocks.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
template <typename Array> std::vector<uint8_t> Bytes(const Array& a) { return {a.begin(), a.end()}; }
} // namespace

TEST(StreamBlocks, EncodeAtDocumentedOffsets) {
    AttenuationBlock att{-125, 1, 0, 255, -960};
    EXPECT_EQ(Bytes(att.Encode()), (std::vector<uint8_t>{0x83, 0xFF, 0x01, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x40, 0xFC}));
    EXPECT_EQ(Bytes(StreamCommand{StreamCommand::kStop}.Encode()),
              (std::vector<uint8_t>{0x02, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(BufferState{0x00010000, 1024}.Encode()), (std::vector<uint8_t>{0, 0, 1, 0, 0x00, 0x04, 0, 0}));
    EXPECT_EQ(Bytes(StreamCounters{0, 32000, 32767}.Encode()),
              (std::vector<uint8_t>{0, 0, 0, 0, 0x00, 0x7D, 0, 0, 0xFF, 0x7F}));
}

TEST(StreamBlocks, DecodeGoldenBytesAndRefuseOtherSizes) {
    const uint8_t att[10] = {0xC4, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x0E, 0x00, 0x00, 0x00};
    const auto a = AttenuationBlock::Decode(att, 10);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->value, -60);
    EXPECT_EQ(a->max, 14);
    EXPECT_FALSE(AttenuationBlock::Decode(att, 9));

    const uint8_t counters[10] = {9, 9, 9, 9, 0x10, 0x27, 0x01, 0x00, 0x34, 0x12};
    const auto c = StreamCounters::Decode(counters, 10);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->bytes, 0x12710u);
    EXPECT_EQ(c->level, 0x1234);
    EXPECT_FALSE(StreamCounters::Decode(counters, 11));

    const uint8_t state[8] = {0x00, 0x80, 0, 0, 0xFF, 0x03, 0, 0};
    const auto s = BufferState::Decode(state, 8);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->length, 0x8000u);
    EXPECT_EQ(s->space, 1023u);
    EXPECT_FALSE(BufferState::Decode(state, 4));
}
