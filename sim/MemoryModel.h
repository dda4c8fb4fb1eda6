// Simulated board part: DSP on-chip memory and EEPROM, memory operations, DSP reset and program load, board ID, watchdog, push switch.
#pragma once

#include "BoardState.h"
#include "Clock.h"
#include "Request.h"

namespace sim {

class MemoryModel {
public:
    explicit MemoryModel(BoardState& state) : m_state(state) {}

    // Answers the requests of this part; Handled::No for any other code.
    Handled Control(const DeviceAddress& device, ControlRequest& request, Duration now);
    // Lets time-driven behaviour catch up to `now`.
    void Advance(Duration now);

private:
    BoardState& m_state;
};

} // namespace sim
