// Simulated board part: line voltmeter calibration: maximum voltage, calibration steps, applying the coefficients.
// Each line walks through zero point (step 0), full scale (step 1) and the coefficient computation (step 2);
// applying the coefficients corrects the voltmeter of every line whose sequence is complete.
#include "CalibrationModel.h"

#include "CalibrationBlocks.h"
#include "RequestCodes.h"

namespace sim {

Handled CalibrationModel::Control(const DeviceAddress& device, ControlRequest& request, Duration) {
    if (device.kind != DeviceKind::Config)
        return Handled::No;
    switch (request.code) {
    case req::kGetMaxVoltage:
        return GetMaxVoltage(request);
    case req::kSetMaxVoltage:
        return SetMaxVoltage(request);
    case req::kCalibrationStep:
        return Step(request);
    case req::kApplyCalibration:
        return Apply(request);
    default:
        return Handled::No;
    }
}

void CalibrationModel::Advance(Duration) {}

int CalibrationModel::CompletedSteps(int line) const {
    if (line < 0 || line >= static_cast<int>(m_completed.size()))
        return 0;
    return m_completed[static_cast<size_t>(line)];
}

Handled CalibrationModel::GetMaxVoltage(ControlRequest& request) {
    return request.Answer(MaxVoltageBlock{m_maxVoltage}) ? Handled::Ok : Handled::Fail;
}

Handled CalibrationModel::SetMaxVoltage(ControlRequest& request) {
    const auto block = request.Input<MaxVoltageBlock>();
    if (!block)
        return Handled::Fail;
    const uint16_t volts = block->volts;
    // A full scale of 0 V leaves nothing to scale against: the board refuses it.
    if (volts == 0)
        return Handled::Fail;
    m_maxVoltage = volts;
    return Handled::Ok;
}

Handled CalibrationModel::Step(ControlRequest& request) {
    const auto block = request.Input<CalibrationStepBlock>();
    if (!block)
        return Handled::Fail;
    const uint16_t line = block->line;
    const uint16_t step = block->step;
    if (line >= m_state.config.channels || line >= m_completed.size())
        return Handled::Fail;
    int& completed = m_completed[line];
    // A step may be repeated or the sequence restarted, but none may be skipped.
    if (step >= kStepCount || step > completed)
        return Handled::Fail;
    completed = step + 1;
    return Handled::Ok;
}

Handled CalibrationModel::Apply(ControlRequest& request) {
    if (!request.Sizes(0, 0))
        return Handled::Fail;
    bool any = false;
    for (size_t line = 0; line < m_completed.size(); ++line) {
        if (m_completed[line] == kStepCount) {
            m_state.calibrated[line] = true;
            any = true;
        }
    }
    return any ? Handled::Ok : Handled::Fail;
}

} // namespace sim
