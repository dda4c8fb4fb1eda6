// The voltmeter calibration requests: little-endian blocks and the control calls that carry them.
#include "CalibrationRequests.h"

#include "BlockCodec.h"
#include "Device.h"
#include "RequestCodes.h"

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

bool GetMaxVoltage(CDevice& device, uint16_t* volts) {
    // Preset with the current value so an answer without bytes leaves it as it was.
    auto bytes = MaxVoltageBlock{*volts}.Encode();
    uint32_t returned = 0;
    if (!device.DevIoControl(req::kGetMaxVoltage, nullptr, 0, bytes.data(), MaxVoltageBlock::kSize, &returned))
        return false;
    *volts = MaxVoltageBlock::Decode(bytes.data(), MaxVoltageBlock::kSize)->volts;
    return true;
}

bool SetMaxVoltage(CDevice& device, uint16_t volts) {
    const auto bytes = MaxVoltageBlock{volts}.Encode();
    uint32_t returned = 0;
    return device.DevIoControl(req::kSetMaxVoltage, bytes.data(), MaxVoltageBlock::kSize, nullptr, 0, &returned) != 0;
}

bool RunCalibrationStep(CDevice& device, uint16_t line, uint16_t step) {
    const auto bytes = CalibrationStepBlock{line, step}.Encode();
    uint32_t returned = 0;
    return device.DevIoControl(req::kCalibrationStep, bytes.data(), CalibrationStepBlock::kSize, nullptr, 0,
                               &returned) != 0;
}

bool ApplyCalibration(CDevice& device) {
    uint32_t returned = 0;
    return device.DevIoControl(req::kApplyCalibration, nullptr, 0, nullptr, 0, &returned) != 0;
}
