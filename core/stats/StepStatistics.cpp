// Capability figures and the individuals control chart of one measured step.
#include "StepStatistics.h"

#include <algorithm>
#include <cmath>

const std::string& SharedRunId::Text() const {
    static const std::string none;
    return m_id ? *m_id : none;
}

std::vector<double> Values(const StepSeries& series) {
    std::vector<double> values;
    values.reserve(series.points.size());
    for (const StepPoint& p : series.points)
        values.push_back(p.value);
    return values;
}

ControlChart ChartLimits(const std::vector<double>& values) {
    ControlChart chart;
    const size_t n = values.size();
    if (n < 2)
        return chart;
    double sum = 0.0, ranges = 0.0;
    for (size_t i = 0; i < n; ++i) {
        sum += values[i];
        if (i > 0)
            ranges += std::fabs(values[i] - values[i - 1]);
    }
    const double mean = sum / double(n);
    const double mr = ranges / double(n - 1);
    chart.centre = mean;
    chart.movingRange = mr;
    chart.lower = mean - kIndividualsSpread * mr;
    chart.upper = mean + kIndividualsSpread * mr;
    for (size_t i = 0; i < n; ++i) {
        if (values[i] > *chart.upper || values[i] < *chart.lower)
            chart.beyond.push_back(i);
    }
    // Runs on one side of the centre; a point on the centre line ends a run.
    size_t start = 0;
    int side = 0;
    const auto close = [&](size_t end) {
        if (side != 0 && end - start >= kRunLength) {
            for (size_t i = start; i < end; ++i)
                chart.inRun.push_back(i);
        }
    };
    for (size_t i = 0; i < n; ++i) {
        const int s = values[i] > mean ? 1 : values[i] < mean ? -1 : 0;
        if (s != side) {
            close(i);
            start = i;
            side = s;
        }
    }
    close(n);
    return chart;
}

std::optional<double> CpkLowerBound(double cpk, size_t n, double z) {
    if (n < 2)
        return std::nullopt;
    const double nn = double(n);
    return cpk - z * std::sqrt(1.0 / (9.0 * nn) + cpk * cpk / (2.0 * (nn - 1.0)));
}

namespace {

// The ratios of the limits to a spread `sd`: both-sided, upper, lower, and the worse side.
struct Capability {
    std::optional<double> both, upper, lower, worse;
};

Capability Capable(double mean, const std::optional<double>& sd, const std::optional<double>& low,
                   const std::optional<double>& high) {
    Capability c;
    if (!sd || !(*sd > 0.0) || !std::isfinite(*sd))
        return c;
    if (low && high)
        c.both = (*high - *low) / (6.0 * *sd);
    if (high)
        c.upper = (*high - mean) / (3.0 * *sd);
    if (low)
        c.lower = (mean - *low) / (3.0 * *sd);
    if (c.upper && c.lower)
        c.worse = std::min(*c.upper, *c.lower);
    else
        c.worse = c.upper ? c.upper : c.lower;
    return c;
}

} // namespace

StepStatistics Summarise(const StepSeries& series) {
    StepStatistics s;
    s.name = series.name;
    s.unit = series.unit;
    s.n = series.points.size();
    if (s.n == 0)
        return s;
    double sum = 0.0;
    double lo = series.points.front().value, hi = lo;
    for (const StepPoint& p : series.points) {
        s.passes += p.passed ? 1 : 0;
        sum += p.value;
        lo = std::min(lo, p.value);
        hi = std::max(hi, p.value);
    }
    s.failures = s.n - s.passes;
    const double mean = sum / double(s.n);
    s.mean = mean;
    s.min = lo;
    s.max = hi;
    const StepPoint& last = series.points.back();
    s.low = last.low;
    s.high = last.high;
    for (const StepPoint& p : series.points) {
        if (p.low != last.low || p.high != last.high) {
            s.limitsDisagree = true;
            break;
        }
    }
    if (s.n < 2)
        return s;
    // The squares about the mean, not about zero: no cancellation for values far from zero.
    double squares = 0.0;
    for (const StepPoint& p : series.points)
        squares += (p.value - mean) * (p.value - mean);
    s.overallSd = std::sqrt(squares / double(s.n - 1));
    s.control = ChartLimits(Values(series));
    s.withinSd = *s.control.movingRange / kMovingRangeD2;
    const Capability within = Capable(mean, s.withinSd, s.low, s.high);
    s.cp = within.both;
    s.cpu = within.upper;
    s.cpl = within.lower;
    s.cpk = within.worse;
    const Capability overall = Capable(mean, s.overallSd, s.low, s.high);
    s.pp = overall.both;
    s.ppk = overall.worse;
    if (s.cpk)
        s.cpkLower = CpkLowerBound(*s.cpk, s.n);
    return s;
}
