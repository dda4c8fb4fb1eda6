// The HTML report: the selection, yield overall, by day and by station, the Pareto of failing steps, and
// per measured step its figures, trend and histogram.
#include "StatsReport.h"

#include "SvgChart.h"

#include <chrono>

namespace {

std::string Esc(const std::string& text) { return XmlEscape(text); }

std::string Row(const std::vector<std::string>& cells, const char* tag = "td") {
    std::string row = "<tr>";
    for (const std::string& c : cells)
        row += std::string("<") + tag + ">" + Esc(c) + "</" + tag + ">";
    return row + "</tr>\n";
}

std::string YieldTable(const char* key, const std::vector<YieldRow>& rows) {
    std::string t = "<table>" + Row({key, "boards", "runs", "first-pass yield", "final yield"}, "th");
    for (const YieldRow& r : rows)
        t += Row({r.key, std::to_string(r.boards), std::to_string(r.runs), Percent(r.FirstPassYield()),
                  Percent(r.FinalYield())});
    return t + "</table>\n";
}

// The Pareto as a bar per failing step, widths by share.
std::string ParetoTable(const std::vector<ParetoRow>& rows) {
    if (rows.empty())
        return "<p>No step failed in these runs.</p>\n";
    std::string t = "<table>" + Row({"step", "failures", "share", "cumulative", ""}, "th");
    for (const ParetoRow& p : rows) {
        t += "<tr><td>" + Esc(p.step) + "</td><td>" + std::to_string(p.failures) + "</td><td>" + Percent(p.share) +
             "</td><td>" + Percent(p.cumulative) +
             "</td><td><div class=\"bar\" style=\"width:" + Figure(p.share * 300.0, 4) + "px\"></div></td></tr>\n";
    }
    return t + "</table>\n";
}

std::string StepSection(const StepSeries& series, const StepStatistics& s) {
    const std::string title = s.unit.empty() ? s.name : s.name + " (" + s.unit + ")";
    std::string h = "<section><h3>" + Esc(title) + "</h3>\n<table class=\"figures\">";
    h += Row({"n", "pass", "fail", "mean", "s", "within s", "min", "max", "low", "high", "Cp", "Cpk", "Cpk 95% low",
              "Pp", "Ppk", "LCL", "UCL"},
             "th");
    h += Row({std::to_string(s.n), std::to_string(s.passes), std::to_string(s.failures), Figure(s.mean),
              Figure(s.overallSd), Figure(s.withinSd), Figure(s.min), Figure(s.max), Figure(s.low), Figure(s.high),
              Figure(s.cp, 3), Figure(s.cpk, 3), Figure(s.cpkLower, 3), Figure(s.pp, 3), Figure(s.ppk, 3),
              Figure(s.control.lower), Figure(s.control.upper)});
    h += "</table>\n";
    if (s.limitsDisagree)
        h += "<p class=\"note\">The limits changed among these runs: the most recent are shown and used.</p>\n";
    if (s.control.Broken())
        h += "<p class=\"note\">Control rules: " + std::to_string(s.control.beyond.size()) +
             " point(s) beyond the control limits, " + std::to_string(s.control.inRun.size()) +
             " in runs of 8 or more on one side of the mean.</p>\n";
    h += "<div class=\"charts\">" + TrendSvg(series, s) + HistogramSvg(series, s) + "</div></section>\n";
    return h;
}

} // namespace

std::string StatsReportHtml(const StatsFigures& f, const std::string& store) {
    const auto now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    std::string h = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                    "<title>Process statistics of the test records</title><style>"
                    "body{font-family:sans-serif;margin:24px;color:#222;max-width:1600px}"
                    "table{border-collapse:collapse;margin:6px 0 14px}"
                    "th,td{border:1px solid #ccc;padding:3px 8px;text-align:right;font-size:13px}"
                    "th:first-child,td:first-child{text-align:left}th{background:#f0f0f0}"
                    ".bar{height:10px;background:#c62828}.note{color:#8a4b00}"
                    ".charts{display:flex;flex-wrap:wrap;gap:12px}section{margin-bottom:28px}"
                    "</style></head><body>\n<h1>Process statistics of the test records</h1>\n";
    h += "<p>Store: " + Esc(store) + "<br>Selection: " + Esc(f.selection) + "<br>Made: " + Esc(UtcDay(now)) +
         "<br>Runs: " + std::to_string(f.data.runs.size()) + " selected, " + std::to_string(f.data.chosenRuns) +
         " in the step figures</p>\n";
    h += "<h2>Yield</h2>\n<p>First-pass yield: boards whose first attempt passed; final yield: boards whose last "
         "attempt passed. A board counts on the day and at the station of its first attempt.</p>\n";
    h += YieldTable("all", f.overall) + "<h3>By day</h3>\n" + YieldTable("day", f.byDay) + "<h3>By station</h3>\n" +
         YieldTable("station", f.byStation);
    h += "<h2>Failing steps</h2>\n" + ParetoTable(f.pareto);
    h += "<h2>Measured steps</h2>\n<p>s: overall standard deviation; within s: average moving range / 1.128 in "
         "time order; Cp, Cpk from within s, Pp, Ppk from s; Cpk 95% low: Bissell's lower confidence bound; "
         "control limits: mean ± 2.66 × average moving range. \"-\": not defined for these values.</p>\n";
    if (f.steps.empty())
        h += "<p>No measured step in these runs.</p>\n";
    for (size_t i = 0; i < f.steps.size(); ++i)
        h += StepSection(f.data.series[i], f.steps[i]);
    return h + "</body></html>\n";
}
