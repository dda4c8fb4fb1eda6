// The voltmeter calibration requests through the typed request helpers.
#include "CalibrationRequests.h"

#include "DeviceRequests.h"
#include "RequestCodes.h"

bool GetMaxVoltage(CDevice& device, uint16_t* volts) {
    // Answered over the current value, so an answer without bytes leaves it as it was.
    MaxVoltageBlock block{*volts};
    if (!QueryInPlace(device, req::kGetMaxVoltage, block))
        return false;
    *volts = block.volts;
    return true;
}

bool SetMaxVoltage(CDevice& device, uint16_t volts) {
    return SendBlock(device, req::kSetMaxVoltage, MaxVoltageBlock{volts});
}

bool RunCalibrationStep(CDevice& device, uint16_t line, uint16_t step) {
    return SendBlock(device, req::kCalibrationStep, CalibrationStepBlock{line, step});
}

bool ApplyCalibration(CDevice& device) { return SendEmpty(device, req::kApplyCalibration); }
