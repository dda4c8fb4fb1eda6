// Simulated board part: phone lines: hook state, rings, voltage, caller number, line commands, settings, amplitudes, interface power, line options.
#pragma once

#include "BoardState.h"
#include "Clock.h"
#include "Request.h"

namespace sim {

class LineModel {
public:
    explicit LineModel(BoardState& state) : m_state(state) {}

    // Answers the requests of this part; Handled::No for any other code.
    Handled Control(const DeviceAddress& device, ControlRequest& request, Duration now);
    // Lets time-driven behaviour catch up to `now`.
    void Advance(Duration now);

private:
    BoardState& m_state;
};

} // namespace sim
