// The statistics of the records a filter selects, printed as a table (text) or one JSON object, or
// written as an HTML report in one rename.
#include "StatsCommand.h"

#include "CliCommands.h"
#include "CliOutput.h"
#include "OutputPath.h"
#include "RecordsCommand.h"
#include "StatsReport.h"
#include "SvgChart.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

StatsRequest StatsRequestFromArgs(const CliArgs& args) {
    StatsRequest request;
    request.filter = RecordFilterFromArgs(args);
    if (request.filter.mode.isEmpty())
        request.filter.mode = QStringLiteral("production");
    // --limit N keeps the newest N records.
    request.allAttempts = args.Has("all-attempts");
    request.step = args.Value("step").value_or("");
    return request;
}

std::string SelectionText(const CliArgs& args, const StatsRequest& request) {
    std::string text = request.filter.mode.toStdString() + " records, " +
                       (request.allAttempts ? "every attempt" : "each board's last attempt (--all-attempts for every)");
    std::vector<std::string> given;
    for (const char* option : {"board", "command", "station", "operator", "outcome", "since", "until", "limit", "step"})
        if (const auto value = args.Value(option))
            given.push_back(std::string(option) + " " + *value);
    for (size_t i = 0; i < given.size(); ++i)
        text += (i == 0 ? "; " : ", ") + given[i];
    return text;
}

StatsFigures ComputeFigures(IRecordStore& store, const StatsRequest& request, const std::string& selection) {
    StatsFigures f;
    f.data = LoadStats(store, request);
    f.selection = selection;
    for (const StepSeries& s : f.data.series)
        f.steps.push_back(Summarise(s));
    f.overall = Yields(f.data.runs, YieldGroup::All);
    f.byDay = Yields(f.data.runs, YieldGroup::Day);
    f.byStation = Yields(f.data.runs, YieldGroup::Station);
    f.pareto = Pareto(f.data.failingSteps);
    return f;
}

namespace {

QJsonValue Number(const std::optional<double>& v) { return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null); }

QJsonArray YieldJson(const std::vector<YieldRow>& rows) {
    QJsonArray list;
    for (const YieldRow& r : rows)
        list.append(QJsonObject{{"key", QString::fromStdString(r.key)},
                                {"boards", double(r.boards)},
                                {"runs", double(r.runs)},
                                {"firstPass", double(r.firstPass)},
                                {"finalPass", double(r.finalPass)},
                                {"firstPassYield", Number(r.FirstPassYield())},
                                {"finalYield", Number(r.FinalYield())}});
    return list;
}

QJsonObject StepJson(const StepStatistics& s) {
    QJsonArray beyond, inRun;
    for (const size_t i : s.control.beyond)
        beyond.append(double(i));
    for (const size_t i : s.control.inRun)
        inRun.append(double(i));
    return QJsonObject{{"step", QString::fromStdString(s.name)},
                       {"unit", QString::fromStdString(s.unit)},
                       {"n", double(s.n)},
                       {"passes", double(s.passes)},
                       {"failures", double(s.failures)},
                       {"mean", Number(s.mean)},
                       {"sd", Number(s.overallSd)},
                       {"withinSd", Number(s.withinSd)},
                       {"min", Number(s.min)},
                       {"max", Number(s.max)},
                       {"low", Number(s.low)},
                       {"high", Number(s.high)},
                       {"limitsDisagree", s.limitsDisagree},
                       {"cp", Number(s.cp)},
                       {"cpk", Number(s.cpk)},
                       {"cpu", Number(s.cpu)},
                       {"cpl", Number(s.cpl)},
                       {"cpkLower95", Number(s.cpkLower)},
                       {"pp", Number(s.pp)},
                       {"ppk", Number(s.ppk)},
                       {"control", QJsonObject{{"centre", Number(s.control.centre)},
                                               {"movingRange", Number(s.control.movingRange)},
                                               {"lower", Number(s.control.lower)},
                                               {"upper", Number(s.control.upper)},
                                               {"beyond", beyond},
                                               {"inRun", inRun}}}};
}

QByteArray FiguresJson(const StatsFigures& f) {
    QJsonArray steps, pareto;
    for (const StepStatistics& s : f.steps)
        steps.append(StepJson(s));
    for (const ParetoRow& p : f.pareto)
        pareto.append(QJsonObject{{"step", QString::fromStdString(p.step)},
                                  {"failures", double(p.failures)},
                                  {"share", p.share},
                                  {"cumulative", p.cumulative}});
    QJsonObject o{{"schema", kJsonSchema},
                  {"command", "records"},
                  {"selection", QString::fromStdString(f.selection)},
                  {"runs", double(f.data.runs.size())},
                  {"chosenRuns", double(f.data.chosenRuns)},
                  {"yield", f.overall.empty() ? QJsonValue(QJsonValue::Null) : YieldJson(f.overall).at(0)},
                  {"yieldByDay", YieldJson(f.byDay)},
                  {"yieldByStation", YieldJson(f.byStation)},
                  {"pareto", pareto},
                  {"steps", steps}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

// Characters on a terminal: UTF-8 bytes that do not continue a character.
size_t Width(const std::string& text) {
    return size_t(std::count_if(text.begin(), text.end(), [](char ch) { return (uint8_t(ch) & 0xC0) != 0x80; }));
}

// Columns padded to their widest cell; the first left-aligned, the figures right-aligned.
std::string Table(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows)
        for (size_t i = 0; i < row.size(); ++i) {
            if (widths.size() <= i)
                widths.push_back(0);
            widths[i] = std::max(widths[i], Width(row[i]));
        }
    std::string text;
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            const std::string pad(widths[i] - Width(row[i]), ' ');
            line += (i == 0 ? "" : "  ") + (i == 0 ? row[i] + pad : pad + row[i]);
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        text += "  " + line + "\n";
    }
    return text;
}

std::string YieldText(const char* title, const std::vector<YieldRow>& rows) {
    std::vector<std::vector<std::string>> table = {{title, "boards", "runs", "first-pass yield", "final yield"}};
    for (const YieldRow& r : rows)
        table.push_back({r.key, std::to_string(r.boards), std::to_string(r.runs), Percent(r.FirstPassYield()),
                         Percent(r.FinalYield())});
    return Table(table);
}

std::string FiguresText(const StatsFigures& f) {
    std::string text = "selection: " + f.selection + "\n";
    text += "runs: " + std::to_string(f.data.runs.size()) + " selected, " + std::to_string(f.data.chosenRuns) +
            " in the step figures\n";
    if (!f.overall.empty()) {
        const YieldRow& all = f.overall.front();
        text += "yield: " + std::to_string(all.boards) + " boards, first-pass " + Percent(all.FirstPassYield()) +
                ", final " + Percent(all.FinalYield()) + "\n";
    }
    text += "\nyield by day (a board counts on the day and station of its first attempt):\n" +
            YieldText("day", f.byDay) + "\nyield by station:\n" + YieldText("station", f.byStation);
    text += "\nfailing steps (Pareto):\n";
    if (f.pareto.empty()) {
        text += "  none\n";
    } else {
        std::vector<std::vector<std::string>> pareto = {{"step", "failures", "share", "cumulative"}};
        for (const ParetoRow& p : f.pareto)
            pareto.push_back({p.step, std::to_string(p.failures), Percent(p.share), Percent(p.cumulative)});
        text += Table(pareto);
    }
    text += "\nmeasured steps:\n";
    std::vector<std::vector<std::string>> steps = {{"step",        "unit", "n",   "pass", "fail", "mean",       "s",
                                                    "within s",    "min",  "max", "low",  "high", "Cp",         "Cpk",
                                                    "Cpk 95% low", "Pp",   "Ppk", "LCL",  "UCL",  "rule breaks"}};
    bool disagree = false;
    for (const StepStatistics& s : f.steps) {
        const std::string mark = s.limitsDisagree ? "*" : "";
        disagree = disagree || s.limitsDisagree;
        steps.push_back({s.name,
                         s.unit,
                         std::to_string(s.n),
                         std::to_string(s.passes),
                         std::to_string(s.failures),
                         Figure(s.mean),
                         Figure(s.overallSd),
                         Figure(s.withinSd),
                         Figure(s.min),
                         Figure(s.max),
                         Figure(s.low) + mark,
                         Figure(s.high) + mark,
                         Figure(s.cp, 3),
                         Figure(s.cpk, 3),
                         Figure(s.cpkLower, 3),
                         Figure(s.pp, 3),
                         Figure(s.ppk, 3),
                         Figure(s.control.lower),
                         Figure(s.control.upper),
                         std::to_string(s.control.beyond.size()) + " beyond, " +
                             std::to_string(s.control.inRun.size()) + " in runs"});
    }
    text += f.steps.empty() ? std::string("  none\n") : Table(steps);
    if (disagree)
        text += "* the limits changed among these runs: the most recent are shown and used\n";
    text += "(- : not defined for these values: fewer than 2, no limit or no spread)\n";
    return text;
}

} // namespace

int RunRecordsStats(CliContext& c, IRecordStore& store) {
    c.Args().ExpectWords(2);
    const StatsRequest request = StatsRequestFromArgs(c.Args());
    const StatsFigures f = ComputeFigures(store, request, SelectionText(c.Args(), request));
    if (c.Json())
        WriteStdout(FiguresJson(f));
    else if (!c.Quiet())
        WriteStdout(QByteArray::fromStdString(FiguresText(f)));
    return kExitPass;
}

int RunRecordsReport(CliContext& c, IRecordStore& store) {
    c.Args().ExpectWords(2);
    const auto html = c.Args().Value("html");
    if (!html)
        throw UsageError("--html FILE is needed");
    CheckOutputPath("--html", *html);
    const StatsRequest request = StatsRequestFromArgs(c.Args());
    const StatsFigures f = ComputeFigures(store, request, SelectionText(c.Args(), request));
    const std::string page = StatsReportHtml(f, store.Describe().toStdString());
    WriteFileReplacing(*html, QByteArray::fromStdString(page));
    CRecord result;
    result.Add("file", QString::fromStdString(*html))
        .Add("runs", double(f.data.runs.size()))
        .Add("steps", double(f.steps.size()))
        .Add("bytes", double(page.size()));
    PrintRecord(result, c.Json());
    return kExitPass;
}
