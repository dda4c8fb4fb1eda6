// What a board model sees of one control request: which device it came to and its blocks.
#pragma once

#include "BlockCodec.h"

#include <cstdint>
#include <cstring>
#include <optional>

namespace sim {

enum class DeviceKind { Config, LineIn, LineOut, OutLeft, OutRight };

struct DeviceAddress {
    DeviceKind kind = DeviceKind::Config;
    int line = 0; // 0..7 for the line devices
};

struct ControlRequest {
    uint32_t code = 0;
    const uint8_t* input = nullptr;
    uint32_t inputSize = 0;
    uint8_t* output = nullptr;
    uint32_t outputSize = 0;
    uint32_t returned = 0; // set by the handler: bytes written to output

    // The common shape check: exactly these block sizes, and the blocks present when sized.
    bool Sizes(uint32_t in, uint32_t out) const {
        return inputSize == in && outputSize == out && (in == 0 || input) && (out == 0 || output);
    }

    // The input block of a request that carries exactly one Block and expects nothing back.
    template <typename Block> std::optional<Block> Input() const {
        if (!Sizes(Block::kSize, 0))
            return std::nullopt;
        return Block::Decode(input, inputSize);
    }
    // Answers with `block` a request that asks for exactly its size; false for any other shape.
    template <typename Block> bool Answer(const Block& block) {
        if (!Sizes(0, Block::kSize))
            return false;
        const auto bytes = block.Encode();
        std::memcpy(output, bytes.data(), Block::kSize);
        returned = Block::kSize;
        return true;
    }
    // The single 16- or 32-bit value a request carries, when that is all it carries.
    std::optional<uint16_t> InputU16() const {
        if (!Sizes(2, 0))
            return std::nullopt;
        return block::GetU16(input, 0);
    }
    std::optional<uint32_t> InputU32() const {
        if (!Sizes(4, 0))
            return std::nullopt;
        return block::GetU32(input, 0);
    }
};

// A handler's answer: not this part's request, or the success flag.
enum class Handled { No, Fail, Ok };

} // namespace sim
