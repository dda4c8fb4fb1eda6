// `veltrin-cli records stats` and `records report`: the process statistics of the selected records as a
// table, JSON or a self-contained HTML report.
#pragma once

#include "CliArgs.h"
#include "StatsLoader.h"

#include <string>
#include <vector>

class CliContext;
class IRecordStore;

// Everything the statistics say about one selection of records.
struct StatsFigures {
    StatsData data;
    std::vector<StepStatistics> steps; // in the order of data.series
    std::vector<YieldRow> overall, byDay, byStation;
    std::vector<ParetoRow> pareto;
    std::string selection; // what was selected, in words
};

// The request the command line makes: the filters of `records list`, production records unless --mode
// says otherwise, each board's last attempt unless --all-attempts, --step NAME.
StatsRequest StatsRequestFromArgs(const CliArgs& args);
StatsFigures ComputeFigures(IRecordStore& store, const StatsRequest& request, const std::string& selection);
// The selection in words, e.g. "production records, each board's last attempt; command selftest".
std::string SelectionText(const CliArgs& args, const StatsRequest& request);

int RunRecordsStats(CliContext& c, IRecordStore& store);
int RunRecordsReport(CliContext& c, IRecordStore& store);
