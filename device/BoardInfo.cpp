// Encoding and decoding of the board information block.
#include "BoardInfo.h"

#include "BlockCodec.h"

std::array<uint8_t, BoardInformation::kSize> BoardInformation::Encode() const {
    std::array<uint8_t, kSize> b{};
    block::PutText(b.data(), 0, 50, name);
    block::PutU32(b.data(), 50, type);
    block::PutU32(b.data(), 54, boardId);
    block::PutU32(b.data(), 58, channels);
    block::PutU32(b.data(), 62, reserved);
    return b;
}

std::optional<BoardInformation> BoardInformation::Decode(const uint8_t* data, uint32_t size) {
    if (!data || size < kSize)
        return std::nullopt;
    BoardInformation info;
    info.name = block::GetText(data, 0, 50);
    info.type = block::GetU32(data, 50);
    info.boardId = block::GetU32(data, 54);
    info.channels = block::GetU32(data, 58);
    info.reserved = block::GetU32(data, 62);
    return info;
}

std::optional<uint32_t> BoardInformation::DecodeId(const uint8_t* data, uint32_t size) {
    if (!data || size < 58)
        return std::nullopt;
    return block::GetU32(data, 54);
}
