// The test record of a voltmeter calibration the program applied: the board, the lines, each line's
// voltmeter readings at 0 V, at full scale and after the correction, and the two-point correction those
// readings give, so that a board's calibration history can be followed in the records store.
#pragma once

#include "TestRecord.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

struct CalibrationLine {
    int line = 0; // 0-based, as the command line numbers lines
    // What the line's voltmeter read with 0 V applied, with the full-scale voltage applied, and after the
    // coefficients were taken into use (none where the line could not be read).
    std::optional<double> zeroReading;
    std::optional<double> fullReading;
    std::optional<double> correctedReading;
};

struct CalibrationRun {
    uint32_t boardType = 0;
    uint32_t boardId = 0;
    std::string boardName;
    int boardNumber = -1;
    int maxVoltage = 0;
    std::vector<CalibrationLine> lines;
    int64_t startedMs = 0;
    int64_t endedMs = 0;
};

// The correction true = gain × reading + offset through (zero reading, 0 V) and (full reading, full
// scale); none when a reading is missing or both are the same.
struct Correction {
    double gain = 1.0;
    double offset = 0.0;
};
std::optional<Correction> TwoPointCorrection(const CalibrationLine& line, int maxVoltage);

// The record: command "calibrate", outcome pass, steps "maximum voltage" and, per line, "line N zero
// reading", "line N full-scale reading", "line N corrected reading", "line N gain" and "line N offset".
TestRecord MakeCalibrationRecord(const CalibrationRun& run);
