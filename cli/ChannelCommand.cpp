// veltrin-cli channel: a phone line measured as a telephone channel through a loopback fixture, and
// the suite of steps the self-test shares.
#include "ChannelFigures.h"
#include "ChannelPlan.h"
#include "ChannelSuite.h"
#include "CliCommands.h"
#include "CliOutput.h"
#include "CliStreams.h"
#include "OutputPath.h"
#include "SelfTestReport.h"
#include "SoundFile.h"
#include "StreamRequests.h"
#include "ToneAnalysis.h"

#include <QTemporaryDir>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

// Silence played after the plan beyond the device's buffer, for the time the sound takes from the
// output to the input.
constexpr double kLatencySeconds = 0.3;

std::string Number(double value, int decimals = 2) { return QString::number(value, 'f', decimals).toStdString(); }

const ChannelMask& MaskFor(const ChannelOptions& options, MaskKind kind) {
    for (const ChannelMask& m : options.masks)
        if (m.kind == kind)
            return m;
    throw std::logic_error("no mask of every kind");
}

// A point held to its mask: judged on the value shown when the mask gives a limit at x, skipped with its
// value when it gives none.
Step PointStep(const std::string& name, const ChannelMask& mask, double x, double y, const std::string& unit,
               const std::string& what) {
    const MaskLimits limits = LimitsAt(mask, x);
    if (!limits.covered || (!limits.low && !limits.high)) {
        Step s = MakeStep(name, Outcome::Skip, what + "; no " + std::string(MaskName(mask.kind)) + " limit here");
        s.value = Shown(y);
        s.unit = unit;
        return s;
    }
    return Judged(name, y, unit, limits.low, limits.high, what + " (limits: " + mask.clause + ")");
}

Step NotHeard(const std::string& name, const StepReading& r, const std::string& unit) {
    Step s = MakeStep(name, Outcome::Error,
                      "no " + Number(r.segment.hz, 0) + " Hz tone came back (the input held " + Number(r.levelDbm0) +
                          " dBm0 of something else)");
    s.unit = unit;
    return s;
}

void WritePlan(const std::string& path, const ChannelPlan& plan) {
    const std::vector<int16_t> samples = PlanSamples(plan);
    std::vector<uint8_t> bytes;
    bytes.reserve(samples.size() * 2);
    for (const int16_t s : samples) {
        const auto u = static_cast<uint16_t>(s);
        bytes.push_back(static_cast<uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<uint8_t>(u >> 8));
    }
    CSoundFile file;
    if (!file.CreateForRecording(path, plan.rate) || !file.Append(bytes.data(), static_cast<int64_t>(bytes.size())) ||
        !file.Close())
        throw DeviceError("cannot write the measurement's signal to " + path + ": " + file.LastError());
}

// The steps of every point read from the recording.
std::vector<Step> PointSteps(const std::vector<StepReading>& readings, const ChannelOptions& options,
                             const std::string& prefix, ChannelSummary& summary) {
    std::vector<Step> steps;
    std::vector<ReceivedLevel> byFrequency, byLevel;
    for (const StepReading& r : readings) {
        if (r.segment.part == PlanPart::Reference)
            summary.referenceDbm0 = r.levelDbm0;
        if (r.heard && r.segment.part != PlanPart::Level)
            byFrequency.push_back({r.segment.hz, r.levelDbm0});
        if (r.heard && r.segment.part != PlanPart::Frequency)
            byLevel.push_back({r.segment.dbm0, r.levelDbm0});
    }
    const StepReading& reference = readings.front();
    if (!reference.heard)
        throw StepError("the line did not return its 1020 Hz reference tone, so nothing can be measured against it");
    const auto loss = RelativeLoss(byFrequency, kReferenceHz);
    const auto gain = RelativeGain(byLevel, kReferenceDbm0);
    const auto valueAt = [](const std::optional<std::vector<CurvePoint>>& curve, double x) {
        for (const CurvePoint& p : *curve)
            if (p.x == x)
                return p.y;
        return 0.0;
    };
    const ChannelMask& lossMask = MaskFor(options, MaskKind::LossFrequency);
    const ChannelMask& gainMask = MaskFor(options, MaskKind::GainLevel);
    const ChannelMask& noiseMask = MaskFor(options, MaskKind::IdleNoise);
    const ChannelMask& distortionMask = MaskFor(options, MaskKind::DistortionLevel);
    // Loss against frequency, then gain and distortion against level, then the idle noise.
    for (const StepReading& r : readings) {
        if (r.segment.part == PlanPart::Level || r.segment.part == PlanPart::Idle)
            continue;
        const std::string name = prefix + "loss " + Number(r.segment.hz, 0) + " Hz";
        steps.push_back(r.heard ? PointStep(name, lossMask, r.segment.hz, valueAt(loss, r.segment.hz), "dB",
                                            "loss relative to 1020 Hz, sent at -10 dBm0")
                                : NotHeard(name, r, "dB"));
    }
    std::vector<const StepReading*> byLevelOrder;
    for (const StepReading& r : readings)
        if (r.segment.part == PlanPart::Reference || r.segment.part == PlanPart::Level)
            byLevelOrder.push_back(&r);
    std::sort(byLevelOrder.begin(), byLevelOrder.end(),
              [](const StepReading* a, const StepReading* b) { return a->segment.dbm0 < b->segment.dbm0; });
    for (const StepReading* r : byLevelOrder) {
        const std::string name = prefix + "gain " + Number(r->segment.dbm0, 0) + " dBm0";
        steps.push_back(r->heard ? PointStep(name, gainMask, r->segment.dbm0, valueAt(gain, r->segment.dbm0), "dB",
                                             "gain at 1020 Hz relative to -10 dBm0")
                                 : NotHeard(name, *r, "dB"));
    }
    for (const StepReading* r : byLevelOrder) {
        const std::string name = prefix + "distortion " + Number(r->segment.dbm0, 0) + " dBm0";
        steps.push_back(r->heard ? PointStep(name, distortionMask, r->segment.dbm0, *r->stdDb, "dB",
                                             "signal to total distortion of 1020 Hz")
                                 : NotHeard(name, *r, "dB"));
    }
    const StepReading& idle = readings.back();
    steps.push_back(PointStep(prefix + "idle noise", noiseMask, 0.0, idle.weightedDbm0p, "dBm0p",
                              "psophometrically weighted noise with nothing sent"));
    for (const Step& s : steps)
        summary.limitsGiven = summary.limitsGiven || s.low || s.high;
    return steps;
}

} // namespace

ChannelOptions ReadChannelOptions(const CliArgs& args) {
    ChannelOptions options;
    options.rate = RateOption(args);
    if (const auto law = args.Value("law"); law && !ParseCompandingLaw(*law, options.law))
        throw UsageError("--law is a or mu, not \"" + *law + "\"");
    options.masks = RecommendedMasks();
    options.masksFrom = "built-in";
    if (const auto path = args.Value("masks")) {
        const MaskFile file = LoadMaskFile(*path);
        if (!file.errors.empty()) {
            std::string text = "--masks: ";
            for (const std::string& e : file.errors)
                text += (&e == &file.errors.front() ? "" : "; ") + e;
            throw UsageError(text);
        }
        options.masks = OverrideMasks(options.masks, file.masks);
        options.masksFrom = *path;
    }
    return options;
}

std::chrono::milliseconds ChannelSuiteBudget() {
    // The plan with the most points (at the highest rate), the silence after it (a device buffer of
    // 32 KB at 4000 Hz plays for about 4 s) and time to answer.
    const ChannelPlan plan = MakeChannelPlan(kMaxRate, CompandingLaw::ALaw, 0);
    return std::chrono::milliseconds(static_cast<long long>((plan.Seconds() + 5.0 + kLatencySeconds) * 1000)) +
           CliContext::kDefaultBudget;
}

std::vector<Step> RunChannelSuite(const OpenBoard& board, int line, const ChannelOptions& options,
                                  ChannelSummary* summary) {
    ChannelSummary own;
    ChannelSummary& out = summary ? *summary : own;
    CDevice& output = board.LineOut(line);
    CDevice& input = board.LineIn(line);
    const uint32_t rate = ApplyCodecRate(board.Cfg(), options.rate);
    out.rate = rate;
    if (rate < 4000)
        throw StepError("the line runs at " + std::to_string(rate) + " Hz; a telephone channel needs 4000 Hz or more");
    const auto buffer = GetBufferState(output);
    if (!buffer)
        throw DeviceError("line " + std::to_string(line) + "'s output does not tell its buffer's length");
    const ChannelPlan plan =
        MakeChannelPlan(rate, options.law, buffer->length / 2 + static_cast<size_t>(kLatencySeconds * rate));
    QTemporaryDir dir;
    if (!dir.isValid())
        throw DeviceError("cannot create a temporary folder for the measurement");
    const std::string played = dir.path().toStdString() + "/channel-plan.raw";
    const std::string recording = dir.path().toStdString() + "/channel-line.raw";
    WritePlan(played, plan);
    {
        CStreamRun run;
        run.AddInput(input, recording, rate);
        PlaySource source;
        source.file = played;
        run.AddOutput(output, source, rate);
        run.Start();
        run.Wait(plan.Seconds() + 1.0, nullptr, "channel line " + std::to_string(line));
        run.Stop();
    }
    const std::vector<int16_t> samples = RecordedSamples(recording);
    const auto start = FindPlanStart(samples, plan);
    if (!start)
        throw StepError("line " + std::to_string(line) +
                        "'s input did not hear the 1020 Hz reference its output played (is it looped back?)");
    std::vector<StepReading> readings;
    try {
        readings = MeasurePlan(samples, *start, plan);
    } catch (const std::runtime_error& error) {
        throw StepError(error.what());
    }
    return PointSteps(readings, options, "channel line " + std::to_string(line) + " ", out);
}

int RunChannel(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(3);
    const StreamTarget target = ParseTarget(args.Word(2, "line:N"));
    if (target.kind != StreamTarget::Kind::Line)
        throw UsageError("a telephone channel is a phone line: give line:N");
    const ChannelOptions options = ReadChannelOptions(args);
    const auto junit = args.Value("junit");
    if (junit)
        CheckOutputPath("--junit", *junit);
    const QDateTime started = QDateTime::currentDateTimeUtc();
    const size_t number = c.Boards().Number(args.Word(1, "BOARD"));
    const auto board = c.Open(1);
    board->LineOut(target.line);
    c.Watch().Arm(ChannelSuiteBudget());
    ChannelSummary summary;
    std::vector<Step> steps;
    const auto begin = std::chrono::steady_clock::now();
    try {
        steps = RunChannelSuite(*board, target.line, options, &summary);
    } catch (const StepError& error) {
        steps.push_back(MakeStep("channel line " + std::to_string(target.line), Outcome::Error, error.what()));
        steps.back().seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    }
    CRecord record;
    record.Add("line", QJsonValue(target.line), QString::number(target.line));
    record.Add("rate", static_cast<double>(summary.rate));
    record.Add("law", options.law == CompandingLaw::ALaw ? QStringLiteral("A-law") : QStringLiteral("mu-law"));
    record.Add("masks", QString::fromStdString(options.masksFrom));
    record.Add("referenceLevel", QJsonValue(Shown(summary.referenceDbm0)),
               QString::fromStdString(Number(summary.referenceDbm0) + " dBm0"));
    const Tally tally = Count(steps, false);
    AddVerdictFields(record, steps, tally);
    c.ReportSteps(steps);
    PrintRecord(record, c.Json());
    for (const Step& s : steps)
        if (s.outcome == Outcome::Fail || s.outcome == Outcome::Error)
            Diagnostic(StepText(s));
    if (!summary.limitsGiven && tally.errors == 0)
        Diagnostic(
            "no point was held to a limit: the built-in masks hold no limit values; give them with --masks FILE");
    if (junit) {
        SelfTestReport report;
        report.started = started;
        report.boards.push_back({number, board->found, steps});
        WriteFileReplacing(*junit, JUnitReport(report, QStringLiteral("veltrin-cli channel")));
    }
    return ExitOf(VerdictOf(tally));
}
