// Typed control requests: a block is read into a buffer of its exact size and decoded, or encoded and
// sent. A query counts only when the device answers with exactly the block's size.
#pragma once

#include "BlockCodec.h"
#include "Device.h"

#include <array>
#include <cstdint>
#include <optional>

// One control request. An answer that claims more bytes than its buffer holds comes from a misbehaving
// driver: it counts as a failure with nothing returned, so no caller reads past its buffer.
inline uint32_t CheckedControl(CDevice& device, uint32_t code, const void* input, uint32_t inputSize, void* output,
                               uint32_t outputSize, uint32_t* returned) {
    *returned = 0;
    const uint32_t ok = device.DevIoControl(code, input, inputSize, output, outputSize, returned);
    if (*returned > outputSize) {
        *returned = 0;
        return 0;
    }
    return ok;
}

// A block type has kSize, Encode() returning kSize bytes and Decode(data, size) returning an optional.
template <typename Block> std::optional<Block> QueryBlock(CDevice& device, uint32_t code) {
    std::array<uint8_t, Block::kSize> bytes{};
    uint32_t returned = 0;
    if (!CheckedControl(device, code, nullptr, 0, bytes.data(), Block::kSize, &returned) || returned != Block::kSize)
        return std::nullopt;
    return Block::Decode(bytes.data(), returned);
}

// A query whose block decoder judges the answer's length itself (for blocks whose answer may be longer
// or whose leading part is enough).
template <typename Block> std::optional<Block> QueryDecoded(CDevice& device, uint32_t code) {
    std::array<uint8_t, Block::kSize> bytes{};
    uint32_t returned = 0;
    if (!CheckedControl(device, code, nullptr, 0, bytes.data(), Block::kSize, &returned))
        return std::nullopt;
    return Block::Decode(bytes.data(), returned < Block::kSize ? returned : Block::kSize);
}

// A query answered over the encoded `block`: bytes the device does not write keep the block's values,
// and the count is not checked. Returns the success flag.
template <typename Block> bool QueryInPlace(CDevice& device, uint32_t code, Block& block) {
    auto bytes = block.Encode();
    uint32_t returned = 0;
    if (!CheckedControl(device, code, nullptr, 0, bytes.data(), Block::kSize, &returned))
        return false;
    block = *Block::Decode(bytes.data(), Block::kSize);
    return true;
}

// The answer to a query of up to Size bytes as the device gave it: its success flag (some callers
// need the exact value), the count and the bytes.
template <uint32_t Size> struct RawAnswer {
    uint32_t ok = 0;
    uint32_t returned = 0;
    std::array<uint8_t, Size> bytes{};
};

template <uint32_t Size> RawAnswer<Size> QueryRaw(CDevice& device, uint32_t code) {
    RawAnswer<Size> answer;
    answer.ok = CheckedControl(device, code, nullptr, 0, answer.bytes.data(), Size, &answer.returned);
    return answer;
}

// A query into a caller's buffer of any size (memory words); `returned` gets the count.
inline bool QueryInto(CDevice& device, uint32_t code, uint8_t* buffer, uint32_t size, uint32_t* returned) {
    *returned = 0;
    return CheckedControl(device, code, nullptr, 0, buffer, size, returned) != 0;
}

template <typename Block> bool SendBlock(CDevice& device, uint32_t code, const Block& block) {
    const auto bytes = block.Encode();
    uint32_t returned = 0;
    return CheckedControl(device, code, bytes.data(), Block::kSize, nullptr, 0, &returned) != 0;
}

// A request whose input is a caller's buffer of any size (memory words).
inline bool SendBytes(CDevice& device, uint32_t code, const uint8_t* data, uint32_t size) {
    uint32_t returned = 0;
    return CheckedControl(device, code, data, size, nullptr, 0, &returned) != 0;
}

// A request that carries nothing either way.
inline bool SendEmpty(CDevice& device, uint32_t code) {
    uint32_t returned = 0;
    return CheckedControl(device, code, nullptr, 0, nullptr, 0, &returned) != 0;
}

inline bool SendU16(CDevice& device, uint32_t code, uint16_t value) {
    uint8_t bytes[2];
    block::PutU16(bytes, 0, value);
    uint32_t returned = 0;
    return CheckedControl(device, code, bytes, sizeof bytes, nullptr, 0, &returned) != 0;
}

inline bool SendU32(CDevice& device, uint32_t code, uint32_t value) {
    uint8_t bytes[4];
    block::PutU32(bytes, 0, value);
    uint32_t returned = 0;
    return CheckedControl(device, code, bytes, sizeof bytes, nullptr, 0, &returned) != 0;
}

inline std::optional<uint32_t> QueryU32(CDevice& device, uint32_t code) {
    uint8_t bytes[4] = {};
    uint32_t returned = 0;
    if (!CheckedControl(device, code, nullptr, 0, bytes, sizeof bytes, &returned) || returned != sizeof bytes)
        return std::nullopt;
    return block::GetU32(bytes, 0);
}
