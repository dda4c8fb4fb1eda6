// The voltmeter calibration requests of the configuration device.
#pragma once

#include "CalibrationBlocks.h"

#include <cstdint>

class CDevice;

// Each returns the success flag of the request; byte counts are not checked.
// Reads the board's maximum voltage; `volts` keeps its value where the board writes nothing.
bool GetMaxVoltage(CDevice& device, uint16_t* volts);
bool SetMaxVoltage(CDevice& device, uint16_t volts);
bool RunCalibrationStep(CDevice& device, uint16_t line, uint16_t step);
// Takes the coefficients the board computed into use.
bool ApplyCalibration(CDevice& device);
