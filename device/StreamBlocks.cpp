// The streaming request blocks, coded byte by byte, little-endian.
#include "StreamBlocks.h"

#include "BlockCodec.h"

using block::GetU16;
using block::GetU32;
using block::PutU16;
using block::PutU32;

std::array<uint8_t, AttenuationBlock::kSize> AttenuationBlock::Encode() const {
    std::array<uint8_t, kSize> b{};
    PutU16(b.data(), 0, static_cast<uint16_t>(value));
    PutU16(b.data(), 2, static_cast<uint16_t>(mute));
    PutU16(b.data(), 4, static_cast<uint16_t>(unused));
    PutU16(b.data(), 6, static_cast<uint16_t>(max));
    PutU16(b.data(), 8, static_cast<uint16_t>(min));
    return b;
}

std::optional<AttenuationBlock> AttenuationBlock::Decode(const uint8_t* data, uint32_t size) {
    if (size != kSize || !data)
        return std::nullopt;
    AttenuationBlock a;
    a.value = static_cast<int16_t>(GetU16(data, 0));
    a.mute = static_cast<int16_t>(GetU16(data, 2));
    a.unused = static_cast<int16_t>(GetU16(data, 4));
    a.max = static_cast<int16_t>(GetU16(data, 6));
    a.min = static_cast<int16_t>(GetU16(data, 8));
    return a;
}

std::array<uint8_t, StreamCommand::kSize> StreamCommand::Encode() const {
    std::array<uint8_t, kSize> b{};
    PutU16(b.data(), 0, command);
    PutU16(b.data(), 2, one);
    PutU32(b.data(), 4, zero);
    return b;
}

std::optional<StreamCommand> StreamCommand::Decode(const uint8_t* data, uint32_t size) {
    if (size != kSize || !data)
        return std::nullopt;
    StreamCommand c;
    c.command = GetU16(data, 0);
    c.one = GetU16(data, 2);
    c.zero = GetU32(data, 4);
    return c;
}

std::array<uint8_t, BufferState::kSize> BufferState::Encode() const {
    std::array<uint8_t, kSize> b{};
    PutU32(b.data(), 0, length);
    PutU32(b.data(), 4, space);
    return b;
}

std::optional<BufferState> BufferState::Decode(const uint8_t* data, uint32_t size) {
    if (size != kSize || !data)
        return std::nullopt;
    return BufferState{GetU32(data, 0), GetU32(data, 4)};
}

std::array<uint8_t, StreamCounters::kSize> StreamCounters::Encode() const {
    std::array<uint8_t, kSize> b{};
    PutU32(b.data(), 0, unused);
    PutU32(b.data(), 4, bytes);
    PutU16(b.data(), 8, static_cast<uint16_t>(level));
    return b;
}

std::optional<StreamCounters> StreamCounters::Decode(const uint8_t* data, uint32_t size) {
    if (size != kSize || !data)
        return std::nullopt;
    StreamCounters c;
    c.unused = GetU32(data, 0);
    c.bytes = GetU32(data, 4);
    c.level = static_cast<int16_t>(GetU16(data, 8));
    return c;
}
