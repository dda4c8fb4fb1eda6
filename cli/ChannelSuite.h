// A phone line's transmission measured as a telephone channel from its output to its input (a loopback
// fixture): loss against frequency, gain against level, idle noise and distortion against level, each
// point a step held to its mask. Shared by the channel command and the self-test.
#pragma once

#include "ChannelMasks.h"
#include "CliArgs.h"
#include "CliBoards.h"
#include "TelephoneLevels.h"
#include "TestStep.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

struct ChannelOptions {
    std::optional<uint32_t> rate; // the board's codec rate when none
    CompandingLaw law = CompandingLaw::ALaw;
    std::vector<ChannelMask> masks;
    std::string masksFrom; // "built-in" or the mask file's path
};

// --law a|mu (a linear line is reckoned as A-law unless told) and --masks FILE over the built-in masks;
// a bad law or mask file is a usage error.
ChannelOptions ReadChannelOptions(const CliArgs& args);

// What the suite measured beside its steps, for the command's report.
struct ChannelSummary {
    uint32_t rate = 0;
    double referenceDbm0 = 0.0; // the -10 dBm0 1020 Hz tone as the input received it
    bool limitsGiven = false;   // some step had a limit to be held to
};

// The longest the suite may take on one line at any rate, its stream included.
std::chrono::milliseconds ChannelSuiteBudget();

// Plays the measurement on the line's output while its input records, then reads every point. A step
// whose mask gives no limit at its x is skipped with its value (a curve held to nothing passes nothing);
// a device or recording failure throws.
std::vector<Step> RunChannelSuite(const OpenBoard& board, int line, const ChannelOptions& options,
                                  ChannelSummary* summary = nullptr);
