// Simulated board part: line voltmeter calibration: maximum voltage, calibration steps, applying the coefficients.
#include "CalibrationModel.h"

namespace sim {

Handled CalibrationModel::Control(const DeviceAddress&, ControlRequest&, Duration) { return Handled::No; }

void CalibrationModel::Advance(Duration) {}

} // namespace sim
