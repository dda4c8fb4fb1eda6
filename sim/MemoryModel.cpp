// Simulated board part: DSP on-chip memory and EEPROM, memory operations, DSP reset and program load, board ID, watchdog, push switch.
#include "MemoryModel.h"

namespace sim {

Handled MemoryModel::Control(const DeviceAddress&, ControlRequest&, Duration) { return Handled::No; }

void MemoryModel::Advance(Duration) {}

} // namespace sim
