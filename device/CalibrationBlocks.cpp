// Encoding and decoding of the voltmeter calibration blocks.
#include "CalibrationBlocks.h"

#include "BlockCodec.h"

std::array<uint8_t, MaxVoltageBlock::kSize> MaxVoltageBlock::Encode() const {
    std::array<uint8_t, kSize> bytes{};
    block::PutU16(bytes.data(), 0, volts);
    return bytes;
}

std::optional<MaxVoltageBlock> MaxVoltageBlock::Decode(const uint8_t* data, uint32_t size) {
    if (!data || size < kSize)
        return std::nullopt;
    return MaxVoltageBlock{block::GetU16(data, 0)};
}

std::array<uint8_t, CalibrationStepBlock::kSize> CalibrationStepBlock::Encode() const {
    std::array<uint8_t, kSize> bytes{};
    block::PutU16(bytes.data(), 0, line);
    block::PutU16(bytes.data(), 2, step);
    return bytes;
}

std::optional<CalibrationStepBlock> CalibrationStepBlock::Decode(const uint8_t* data, uint32_t size) {
    if (!data || size < kSize)
        return std::nullopt;
    return CalibrationStepBlock{block::GetU16(data, 0), block::GetU16(data, 2)};
}
