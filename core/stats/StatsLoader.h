// Reads what the statistics need from a records store: the runs a filter selects (for the yields) and, of
// the runs chosen for the figures, every step's measurement in time order. Over Qt's SQL module.
#pragma once

#include "RecordStore.h"
#include "StepStatistics.h"
#include "Yield.h"

#include <string>
#include <utility>
#include <vector>

struct StatsRequest {
    RecordFilter filter;      // the filters of `records list` (its order is not used)
    bool allAttempts = false; // false: only each board's last attempt among the selected runs
    std::string step;         // only this step's measurements; empty: every step
};

struct StatsData {
    std::vector<RunResult> runs;                              // every run the filter selects, oldest first
    size_t chosenRuns = 0;                                    // runs whose steps went into the figures
    std::vector<StepSeries> series;                           // measured steps, in the order they first appear
    std::vector<std::pair<std::string, size_t>> failingSteps; // failed or erred steps by name, of every selected run
};

// Throws StoreError when the store cannot be read.
StatsData LoadStats(IRecordStore& store, const StatsRequest& request);
