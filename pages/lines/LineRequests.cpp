// The phone line requests: a block is read into a buffer of its size and decoded, or encoded and sent.
#include "LineRequests.h"

#include "BlockCodec.h"
#include "Device.h"
#include "RequestCodes.h"

namespace {

template <typename Block> std::optional<Block> Get(CDevice& device, uint32_t code) {
    std::array<uint8_t, Block::kSize> bytes{};
    uint32_t returned = 0;
    if (!device.DevIoControl(code, nullptr, 0, bytes.data(), Block::kSize, &returned) ||
        returned != Block::kSize)
        return std::nullopt;
    return Block::Decode(bytes.data(), returned);
}

template <typename Block> bool Set(CDevice& device, uint32_t code, const Block& block) {
    const auto bytes = block.Encode();
    uint32_t returned = 0;
    return device.DevIoControl(code, bytes.data(), Block::kSize, nullptr, 0, &returned) != 0;
}

} // namespace

std::optional<LineState> GetLineState(CDevice& device) {
    return Get<LineState>(device, req::kGetLineState);
}

bool SetLineState(CDevice& device, const LineState& block) {
    return Set(device, req::kSetLineState, block);
}

std::optional<LineStateShort> GetLineStateShort(CDevice& device) {
    return Get<LineStateShort>(device, req::kGetLineState);
}

bool SetLineStateShort(CDevice& device, const LineStateShort& block) {
    return Set(device, req::kSetLineState, block);
}

std::optional<LineSettings> GetLineSettings(CDevice& device) {
    return Get<LineSettings>(device, req::kGetLineSettings);
}

bool SetLineSettings(CDevice& device, const LineSettings& block) {
    return Set(device, req::kSetLineSettings, block);
}

std::optional<LineLevels> GetLineLevels(CDevice& device) {
    return Get<LineLevels>(device, req::kGetAmplitudes);
}

bool SetLineLevels(CDevice& device, const LineLevels& block) {
    return Set(device, req::kSetAmplitudes, block);
}

bool SetInterfacePower(CDevice& device, bool on) {
    uint8_t bytes[2];
    block::PutU16(bytes, 0, on ? 1 : 0);
    uint32_t returned = 0;
    return device.DevIoControl(req::kInterfacePower, bytes, sizeof bytes, nullptr, 0, &returned) != 0;
}
