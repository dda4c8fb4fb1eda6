// Simulated board part: line voltmeter calibration: maximum voltage, calibration steps, applying the coefficients.
#pragma once

#include "BoardState.h"
#include "Clock.h"
#include "Request.h"

#include <array>
#include <cstdint>

namespace sim {

class CalibrationModel {
public:
    // The full-scale voltage a board starts with, in volts.
    static constexpr uint16_t kDefaultMaxVoltage = 60;
    // Steps of one line's calibration: zero point, full scale, computing the coefficients.
    static constexpr int kStepCount = 3;

    explicit CalibrationModel(BoardState& state) : m_state(state) {}

    // Answers the requests of this part; Handled::No for any other code.
    Handled Control(const DeviceAddress& device, ControlRequest& request, Duration now);
    // Lets time-driven behaviour catch up to `now`.
    void Advance(Duration now);

    uint16_t MaxVoltage() const { return m_maxVoltage; }
    // How many steps of the current sequence a line has completed (0..kStepCount).
    int CompletedSteps(int line) const;

private:
    Handled SetMaxVoltage(ControlRequest& request);
    Handled GetMaxVoltage(ControlRequest& request);
    Handled Step(ControlRequest& request);
    Handled Apply(ControlRequest& request);

    BoardState& m_state;
    uint16_t m_maxVoltage = kDefaultMaxVoltage;
    std::array<int, 8> m_completed{};
};

} // namespace sim
