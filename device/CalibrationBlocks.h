// The request blocks of the line voltmeter calibration: the full-scale voltage and one calibration step.
// Coded byte by byte, little-endian.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

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
