// Yield and the Pareto of failing steps over runs of a testing command: first-pass yield (boards whose
// first attempt passed) and final yield (boards whose last attempt passed), by day and by station.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One run of a testing command on one board, as a record keeps it.
struct RunResult {
    std::string runId;
    std::string command;
    uint32_t boardType = 0;
    uint32_t boardId = 0;
    std::string station;
    int64_t startedMs = 0;
    int attempt = 0;
    bool passed = false;
};

// A group of boards; a board belongs to the day and station of its first attempt among the runs given.
struct YieldRow {
    std::string key; // the UTC day (2026-12-08) or the station
    size_t boards = 0;
    size_t firstPass = 0; // boards whose first attempt passed
    size_t finalPass = 0; // boards whose last attempt passed
    size_t runs = 0;      // attempts of these boards
    std::optional<double> FirstPassYield() const;
    std::optional<double> FinalYield() const;
};

enum class YieldGroup { Day, Station, All };

// Boards are told apart by type, ID and command; rows come sorted by key.
std::vector<YieldRow> Yields(const std::vector<RunResult>& runs, YieldGroup group);

struct ParetoRow {
    std::string step;
    size_t failures = 0;
    double share = 0.0;      // of all failing steps
    double cumulative = 0.0; // this row's share and those above it
};

// Failing steps by name, most frequent first (ties by name); steps without failures are left out.
std::vector<ParetoRow> Pareto(const std::vector<std::pair<std::string, size_t>>& failuresByStep);

// "2026-12-08" for UTC milliseconds.
std::string UtcDay(int64_t ms);
