// The voltmeter calibration requests of the configuration device: their blocks and sending them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

class CDevice;

// 0x222468 input and 0x22246C output: the full-scale calibration voltage.
struct MaxVoltageBlock {
    static constexpr uint32_t kSize = 2;
    uint16_t volts = 0; // offset 0

    std::array<uint8_t, kSize> Encode() const;
    // Null when fewer than kSize bytes are given.
    static std::optional<MaxVoltageBlock> Decode(const uint8_t* data, uint32_t size);
};

// 0x222454 input: perform one calibration step on one line.
struct CalibrationStepBlock {
    static constexpr uint32_t kSize = 4;
    uint16_t line = 0; // offset 0, 0-based line index
    uint16_t step = 0; // offset 2, 0 zero point, 1 full scale, 2 compute the coefficients

    std::array<uint8_t, kSize> Encode() const;
    static std::optional<CalibrationStepBlock> Decode(const uint8_t* data, uint32_t size);
};

// Each returns the success flag of the request; byte counts are not checked.
// Reads the board's maximum voltage; `volts` keeps its value where the board writes nothing.
bool GetMaxVoltage(CDevice& device, uint16_t* volts);
bool SetMaxVoltage(CDevice& device, uint16_t volts);
bool RunCalibrationStep(CDevice& device, uint16_t line, uint16_t step);
// Takes the coefficients the board computed into use.
bool ApplyCalibration(CDevice& device);
