// Simulated board part: streaming channels: attenuation and gain, sample and codec rates, stream start and stop, DMA buffer state, counters, routing mode.
#include "StreamModel.h"

namespace sim {

Handled StreamModel::Control(const DeviceAddress&, ControlRequest&, Duration) { return Handled::No; }

void StreamModel::Advance(Duration) {}

} // namespace sim
