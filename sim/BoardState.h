// What the parts of one simulated board share: its identity and its voltmeter's calibration.
#pragma once

#include "BoardConfig.h"

#include <array>
#include <cstdint>

namespace sim {

struct BoardState {
    explicit BoardState(BoardConfig s) : config(std::move(s)) {}

    BoardConfig config;

    // The line voltmeter reads each line this many volts off until it has been calibrated.
    std::array<int16_t, 8> voltmeterError{3, -2, 4, -3, 2, -4, 3, -2};
    std::array<bool, 8> calibrated{};

    // The voltage a line's voltmeter reports for a true line voltage.
    int16_t MeasuredVoltage(int line, int16_t volts) const {
        if (line < 0 || line >= 8 || calibrated[static_cast<size_t>(line)])
            return volts;
        return static_cast<int16_t>(volts + voltmeterError[static_cast<size_t>(line)]);
    }
};

} // namespace sim
