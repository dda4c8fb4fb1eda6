// A line's loopback: a sine played on the line's output while its input is recorded, and what the
// recording shows about it. Shared by the loopback command and the self-test.
#pragma once

#include "CliCommands.h"
#include "CliStreams.h"
#include "LineFigures.h"
#include "TestStep.h"

#include <cstdint>
#include <string>

// The loopback tone differs from anything a line hears by itself, so an input that is not looped back
// does not pass for one that is.
inline constexpr uint32_t kLoopbackFrequency = 1500;

struct LoopbackLeg {
    int line = 0;
    int input = -1; // channel indexes in the run
    int output = -1;
    std::string path; // the recording
    PlaySource tone;
    uint32_t rate = 0;
};

// Adds the line's input (recording into `dir`) and then its output to the run.
LoopbackLeg AddLoopback(CStreamRun& run, const OpenBoard& board, int line, uint32_t rate, const PlaySource& tone,
                        const std::string& dir);
// After the run has stopped: the recording's tone measured and judged for glitches.
LoopbackReport AnalyseLoopback(CStreamRun& run, const LoopbackLeg& leg);
CRecord LoopbackRecord(const LoopbackReport& report);
// The played frequency's band (1 %, at least 2 Hz either side).
double FrequencyTolerance(uint32_t frequency);
// The loopback's frequency, level, THD+N and noise with their limits.
std::vector<Measurement> LoopbackMeasurements(const LoopbackReport& report, const FigureLimits& limits);
CRecord MeasurementRecord(const Measurement& m);
// The tone's continuity as step `name`: the glitches counted (none allowed) with the first times named; a
// recording with no tone to judge by fails (the played tone did not come back) or is an error (too
// short), never a pass.
Step ContinuityStep(const std::string& name, const LoopbackReport& report);
