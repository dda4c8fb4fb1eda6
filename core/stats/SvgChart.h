// Charts of a measured step as self-contained SVG text (no script, no external reference): the trend of
// its values in time order with limit and control lines, and its histogram with the limits and figures.
#pragma once

#include "StepStatistics.h"

#include <string>

struct TrendOptions {
    int width = 640;
    int height = 300;
    std::string title;          // empty: "NAME (UNIT) by run"
    std::string highlightRunId; // this run's point is drawn larger and labelled
    size_t maxPoints = 2000;    // more points are thinned for drawing (the figures are never thinned)
};

struct HistogramOptions {
    int width = 640;
    int height = 300;
    std::string title; // empty: "NAME (UNIT) distribution"
    int bins = 0;      // 0: chosen from n
    std::string highlightRunId;
};

// `statistics` are those of `series` (Summarise); they give the control lines and the figures shown.
std::string TrendSvg(const StepSeries& series, const StepStatistics& statistics, const TrendOptions& options = {});
std::string HistogramSvg(const StepSeries& series, const StepStatistics& statistics,
                         const HistogramOptions& options = {});

// Text escaped for SVG or HTML content and attribute values.
std::string XmlEscape(const std::string& text);
// A figure as a report shows it: `digits` significant digits, "-" when absent.
std::string Figure(const std::optional<double>& value, int digits = 4);
// A share (0..1) as a percentage with four significant digits, "-" when absent.
std::string Percent(const std::optional<double>& share);
