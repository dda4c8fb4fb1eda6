// Simulated board part: phone lines: hook state, rings, voltage, caller number, line commands, settings, amplitudes, interface power, line options.
#include "LineModel.h"

namespace sim {

Handled LineModel::Control(const DeviceAddress&, ControlRequest&, Duration) { return Handled::No; }

void LineModel::Advance(Duration) {}

} // namespace sim
