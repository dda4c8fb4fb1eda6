// The warnings of --warn-cpk: the step's recent history read from the records store, the run's own value
// appended, and the capability and control rules judged on the newest point.
#include "StepWarnings.h"

#include "CliOutput.h"
#include "RecordOptions.h"
#include "StatsLoader.h"
#include "SvgChart.h"

#include <algorithm>
#include <map>

WarnSettings WarnSettingsFromArgs(const CliArgs& args) {
    WarnSettings w;
    if (const auto text = args.Value("warn-cpk")) {
        const auto cpk = ParseReal(*text);
        if (!cpk)
            throw UsageError("--warn-cpk: \"" + *text + "\" is not a positive number");
        w.minCpk = *cpk;
    }
    if (const auto window = args.Number("warn-window")) {
        if (!w.minCpk)
            throw UsageError("--warn-window needs --warn-cpk");
        if (*window < 2 || *window > 100000)
            throw UsageError("--warn-window: give a number of runs from 2 to 100000");
        w.window = *window;
    }
    return w;
}

std::string TrendWarning(const StepSeries& history, double minCpk) {
    const StepStatistics s = Summarise(history);
    if (s.n < 2)
        return {};
    std::vector<std::string> reasons;
    const std::string over = " over the last " + std::to_string(s.n) + " runs";
    if (s.cpkLower && *s.cpkLower < minCpk)
        reasons.push_back("Cpk lower bound " + Figure(s.cpkLower, 3) + over + " is below " + Figure(minCpk, 3) +
                          " (Cpk " + Figure(s.cpk, 3) + ")");
    const size_t newest = s.n - 1;
    const auto has = [newest](const std::vector<size_t>& points) {
        return std::find(points.begin(), points.end(), newest) != points.end();
    };
    if (has(s.control.beyond))
        reasons.push_back("the value is beyond the control limits " + Figure(s.control.lower) + ".." +
                          Figure(s.control.upper) + over);
    if (has(s.control.inRun))
        reasons.push_back("the value ends a run of " + std::to_string(kRunLength) + " or more on one side of the mean" +
                          over);
    std::string text;
    for (const std::string& r : reasons)
        text += (text.empty() ? "" : "; ") + r;
    return text;
}

void WarnSteps(const CliArgs& args, const WarnSettings& settings, const std::string& command, std::vector<Step>& steps,
               const std::string& prefix) {
    if (!settings.minCpk)
        return;
    StatsData data;
    try {
        const RecordSettings records = RecordSettingsFromArgs(args);
        if (records.store.kind == StoreUrl::Kind::None) {
            Diagnostic(prefix + "no warnings: --warn-cpk needs the records of earlier runs (--records none)");
            return;
        }
        const auto store = OpenSettingsStore(records);
        StatsRequest request;
        request.filter.command = QString::fromStdString(command);
        request.filter.mode = records.mode;
        request.filter.limit = int(settings.window - 1);
        request.allAttempts = true;
        data = LoadStats(*store, request);
    } catch (const std::exception& error) {
        Diagnostic(prefix + "no warnings: the records store cannot be read: " + error.what());
        return;
    }
    std::map<std::pair<std::string, std::string>, const StepSeries*> history;
    for (const StepSeries& s : data.series)
        history[{s.name, s.unit}] = &s;
    for (Step& step : steps) {
        if (!step.value || step.outcome == Outcome::Error || step.outcome == Outcome::Skip)
            continue;
        StepSeries series{step.name, step.unit, {}};
        if (const auto it = history.find({step.name, step.unit}); it != history.end())
            series.points = it->second->points;
        series.points.push_back({0, 0, "", *step.value, step.low, step.high, step.outcome == Outcome::Pass});
        step.warning = TrendWarning(series, *settings.minCpk);
        if (!step.warning.empty())
            Diagnostic(prefix + step.name + " warning: " + step.warning);
    }
}
