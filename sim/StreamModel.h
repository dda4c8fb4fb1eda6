// Simulated board part: streaming channels: attenuation and gain, sample and codec rates, stream start and stop, DMA buffer state, counters, routing mode.
#pragma once

#include "BoardState.h"
#include "Clock.h"
#include "Request.h"

namespace sim {

class StreamModel {
public:
    explicit StreamModel(BoardState& state) : m_state(state) {}

    // Answers the requests of this part; Handled::No for any other code.
    Handled Control(const DeviceAddress& device, ControlRequest& request, Duration now);
    // Lets time-driven behaviour catch up to `now`.
    void Advance(Duration now);

private:
    BoardState& m_state;
};

} // namespace sim
