// Process statistics of one measured step over many runs: capability (Cp, Cpk, Pp, Ppk and the lower
// confidence bound of Cpk) and the individuals control chart. No Qt; a figure that is not defined for
// the data (too few values, no limit, no spread) is absent, never 0 or infinity.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A run's id, shared by that run's points rather than copied into each: the statistics of a store hold
// millions of points of some hundred thousand runs. Reads as the id's text; empty when there is none.
class SharedRunId {
public:
    SharedRunId() = default;
    SharedRunId(std::string id) : m_id(std::make_shared<const std::string>(std::move(id))) {}
    SharedRunId(const char* id) : SharedRunId(std::string(id)) {}
    const std::string& Text() const;
    operator const std::string&() const { return Text(); }
    friend bool operator==(const SharedRunId& a, const std::string& b) { return a.Text() == b; }

private:
    std::shared_ptr<const std::string> m_id;
};

// One run's measurement of the step.
struct StepPoint {
    int64_t timeMs = 0; // when the run started, UTC milliseconds
    uint32_t boardId = 0;
    SharedRunId runId;
    double value = 0.0;
    std::optional<double> low; // the limits the run judged against; none where there was no limit
    std::optional<double> high;
    bool passed = false;
};

// A measured step (one name and unit) over the selected runs, oldest first.
struct StepSeries {
    std::string name;
    std::string unit;
    std::vector<StepPoint> points;
};

// The individuals chart: centre line at the mean, control limits at mean ± 2.66 MR̄, and the points
// (indices into the values) beyond a control limit or in a run of 8 or more on one side of the centre.
struct ControlChart {
    std::optional<double> centre;
    std::optional<double> movingRange; // MR̄, the mean absolute difference of neighbouring values
    std::optional<double> lower;
    std::optional<double> upper;
    std::vector<size_t> beyond;
    std::vector<size_t> inRun;
    bool Broken() const { return !beyond.empty() || !inRun.empty(); }
};

inline constexpr double kMovingRangeD2 = 1.128;            // d2 of a moving range of two
inline constexpr double kIndividualsSpread = 2.66;         // 3 / d2
inline constexpr size_t kRunLength = 8;                    // points on one side of the centre that break the rule
inline constexpr double kLowerBoundZ = 1.6448536269514722; // one-sided 95 % normal quantile

struct StepStatistics {
    std::string name;
    std::string unit;
    size_t n = 0;
    size_t passes = 0;
    size_t failures = 0;
    std::optional<double> mean;
    std::optional<double> overallSd; // s, n - 1 in the denominator
    std::optional<double> withinSd;  // MR̄ / 1.128, values in time order
    std::optional<double> min;
    std::optional<double> max;
    // The limits in force: those of the most recent run; `limitsDisagree` when earlier runs had others.
    std::optional<double> low;
    std::optional<double> high;
    bool limitsDisagree = false;
    std::optional<double> cp;
    std::optional<double> cpu; // (high - mean) / 3 within s
    std::optional<double> cpl; // (mean - low) / 3 within s
    std::optional<double> cpk; // the smaller of Cpu and Cpl, or the one there is
    std::optional<double> pp;
    std::optional<double> ppk;
    std::optional<double> cpkLower; // Bissell's lower 95 % confidence bound of Cpk
    ControlChart control;
};

StepStatistics Summarise(const StepSeries& series);
// The control chart of values in time order (fewer than two values: no limits, nothing flagged).
ControlChart ChartLimits(const std::vector<double>& values);
// Bissell's approximate lower bound of Cpk from `n` values at confidence z (one-sided).
std::optional<double> CpkLowerBound(double cpk, size_t n, double z = kLowerBoundZ);
// The values of the series' points, in order.
std::vector<double> Values(const StepSeries& series);
