// Encoding and decoding of the memory and program request blocks, byte by byte little-endian.
#include "MemoryBlocks.h"

#include "BlockCodec.h"

#include <cstring>

std::array<uint8_t, MemoryOperation::kSize> MemoryOperation::Encode() const {
    std::array<uint8_t, kSize> b{};
    block::PutU32(b.data(), 0, start);
    block::PutU32(b.data(), 4, count);
    block::PutU16(b.data(), 8, direction);
    block::PutU16(b.data(), 10, memory);
    return b;
}

std::optional<MemoryOperation> MemoryOperation::Decode(const uint8_t* data, uint32_t size) {
    if (!data || size < kSize)
        return std::nullopt;
    MemoryOperation op;
    op.start = block::GetU32(data, 0);
    op.count = block::GetU32(data, 4);
    op.direction = block::GetU16(data, 8);
    op.memory = block::GetU16(data, 10);
    return op;
}

std::array<uint8_t, ProgramLoadRequest::kSize> ProgramLoadRequest::Encode() const {
    std::array<uint8_t, kSize> b{};
    block::PutText(b.data(), 0, kSize, name);
    return b;
}

std::optional<ProgramLoadRequest> ProgramLoadRequest::Decode(const uint8_t* data, uint32_t size) {
    if (!data || size != kSize || !std::memchr(data, 0, kSize))
        return std::nullopt;
    return ProgramLoadRequest{block::GetText(data, 0, kSize)};
}

std::array<uint8_t, BoardIdWords::kSize> BoardIdWords::Encode() const {
    std::array<uint8_t, kSize> b{};
    block::PutU32(b.data(), 0, id);
    return b;
}

std::optional<BoardIdWords> BoardIdWords::Decode(const uint8_t* data, uint32_t size) {
    if (!data || size < kSize)
        return std::nullopt;
    return BoardIdWords{block::GetU32(data, 0)};
}
