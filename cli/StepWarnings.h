// Warnings before failures: a measured step whose Cpk lower bound over the last runs of the command falls
// below a minimum, or whose newest value breaks a control rule, is warned about; the run still passes.
#pragma once

#include "CliArgs.h"
#include "StepStatistics.h"
#include "TestStep.h"

#include <optional>
#include <string>
#include <vector>

struct WarnSettings {
    std::optional<double> minCpk; // --warn-cpk X; none: no warnings
    size_t window = 50;           // --warn-window N: the runs the figures cover, this one included
};

inline constexpr size_t kDefaultWarnWindow = 50;

// A bad number is a usage error; --warn-window without --warn-cpk too.
WarnSettings WarnSettingsFromArgs(const CliArgs& args);

// The warning for the newest point of `history` (oldest first, the run being judged last); empty when
// there is none.
std::string TrendWarning(const StepSeries& history, double minCpk);

// Sets the warning of each measured step of `steps` from the last runs of `command` in the records store
// the command line names (same mode), and says each on standard error after `prefix`. A store that cannot
// be read gives no warnings, and says so.
void WarnSteps(const CliArgs& args, const WarnSettings& settings, const std::string& command, std::vector<Step>& steps,
               const std::string& prefix);
