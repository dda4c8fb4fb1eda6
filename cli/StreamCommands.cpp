// The streaming commands of veltrin-cli: play, record and loopback, on the engine the output and codec
// pages use.
#include "CliCommands.h"
#include "CliOutput.h"
#include "CliSignals.h"
#include "CliStreams.h"
#include "LineFigures.h"
#include "Loopback.h"
#include "OutputPath.h"
#include "RecordingFile.h"
#include "SelfTestReport.h"
#include "SoundFile.h"
#include "SoundInput.h"
#include "StepDeadline.h"
#include "StepWarnings.h"
#include "StreamJudge.h"
#include "TestStep.h"
#include "ToneAnalysis.h"
#include "WavHeader.h"

#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr uint32_t kLoopbackAmplitude = 8000;
constexpr uint32_t kDefaultAmplitude = 8000;
// The analysis takes at most this many samples from the middle of a recorded tone (1.4 s at 48 kHz).
constexpr size_t kAnalysisBlock = 65536;
constexpr size_t kMinAnalysisBlock = 64;

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

PlaySource SourceFrom(const CliArgs& args) {
    PlaySource source;
    const auto file = args.Value("file");
    const auto sine = args.Number("sine");
    if (file.has_value() == sine.has_value())
        throw UsageError("give one of --file F and --sine HZ");
    if (file) {
        if (args.Has("ampl"))
            throw UsageError("--ampl goes with --sine");
        source.file = *file;
        source.channel = ChannelOption(args).value_or(SoundChannel::Left);
    } else {
        if (args.Has("channel"))
            throw UsageError("--channel goes with --file");
        source.frequency = *sine;
        source.amplitude = args.Number("ampl").value_or(kDefaultAmplitude);
    }
    return source;
}

// A stream command's board answers within its run's time and this much more, or its requests are
// cancelled and the command ends as an error.
constexpr std::chrono::milliseconds kAnswerBudget{3000};
// A recording's input has this long beyond the recording's time to deliver all its samples.
constexpr double kDeliverySlack = 2.0;

std::chrono::milliseconds StreamBudget(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000)) + kAnswerBudget;
}

// The samples a sound file holds (0 when it cannot be read: it was checked before).
int64_t FileSamples(const std::string& path) {
    CSoundFile file;
    return file.OpenForReading(path) ? file.DataLength() / 2 : 0;
}

// --format raw|wav of a recording; raw when not given.
SoundFormat RecordingFormat(const CliArgs& args) {
    const auto text = args.Value("format");
    if (!text || *text == "raw")
        return SoundFormat::Raw;
    if (*text == "wav")
        return SoundFormat::Wav;
    throw UsageError("--format: \"" + *text + "\" is not raw or wav");
}

// A step that ran into the watch says so rather than what the cancelled request left behind.
void Unanswered(Step& step, const CRequestWatch& watch, std::chrono::milliseconds budget) {
    if (watch.Expired() && step.outcome != Outcome::Pass) {
        step.outcome = Outcome::Error;
        step.detail = CRequestWatch::Why(budget);
    }
}

} // namespace

std::optional<uint32_t> RateOption(const CliArgs& args) {
    const auto rate = args.Number("rate");
    if (rate && (*rate < kMinRate || *rate > kMaxRate))
        throw UsageError("--rate " + std::to_string(*rate) + " is not " + std::to_string(kMinRate) + ".." +
                         std::to_string(kMaxRate) + " Hz");
    return rate;
}

LoopbackLeg AddLoopback(CStreamRun& run, const OpenBoard& board, int line, uint32_t rate, const PlaySource& tone,
                        const std::string& dir) {
    LoopbackLeg leg;
    leg.line = line;
    leg.tone = tone;
    leg.rate = rate;
    leg.path = dir + "/line" + std::to_string(line) + ".raw";
    leg.input = run.AddInput(board.LineIn(line), leg.path, rate);
    leg.output = run.AddOutput(board.LineOut(line), tone, rate);
    return leg;
}

LoopbackReport AnalyseLoopback(CStreamRun& /*run*/, const LoopbackLeg& leg) {
    LoopbackReport report;
    report.line = leg.line;
    report.rate = leg.rate;
    report.frequency = leg.tone.frequency;
    const std::vector<int16_t> recorded = RawSamples(ReadFile(leg.path));
    report.recorded = recorded.size();
    const ToneMeasurement m = MeasureTone(recorded, leg.rate);
    report.rmsDb = m.rmsDb;
    report.peak = m.peak;
    const std::span<const int16_t> block = AnalysisBlock(recorded, kAnalysisBlock);
    if (block.size() >= kMinAnalysisBlock) {
        CAudioAnalyser analyser(block.size());
        report.figures = analyser.Analyse(block, leg.rate);
        report.analysed = true;
        report.measured = report.figures.tone ? report.figures.frequency : 0.0;
    }
    const double tolerance = FrequencyTolerance(leg.tone.frequency);
    report.toneFound = report.measured > 0 && std::abs(report.measured - leg.tone.frequency) <= tolerance;
    // Continuity is judged at the frequency measured, so a board whose converters run off the nominal
    // rate is judged on the tone it delivers.
    if (report.toneFound)
        report.continuity = JudgeContinuity(recorded, leg.rate, report.measured);
    report.unbroken = report.continuity.judged && report.continuity.glitches.empty();
    return report;
}

double FrequencyTolerance(uint32_t frequency) { return std::max(2.0, frequency / 100.0); }

std::vector<Measurement> LoopbackMeasurements(const LoopbackReport& r, const FigureLimits& limits) {
    const double tolerance = FrequencyTolerance(r.frequency);
    std::vector<Measurement> list{
        {"frequency", std::round(r.measured * 10) / 10, "Hz", r.frequency - tolerance, r.frequency + tolerance}};
    // Without a recording the figures read as the analysis floor: no level and so no pass.
    AudioFigures figures = r.figures;
    if (!r.analysed)
        figures.levelDb = figures.thdnDb = figures.noiseDb = kAnalysisFloorDb;
    for (Measurement& m : LevelMeasurements(figures, limits)) {
        m.value = std::round(m.value * 100) / 100;
        list.push_back(std::move(m));
    }
    return list;
}

CRecord MeasurementRecord(const Measurement& m) {
    const auto optional = [](const std::optional<double>& v) { return v ? QJsonValue(*v) : QJsonValue(); };
    const auto text = [](const std::optional<double>& v) { return v ? QString::number(*v) : QStringLiteral("-"); };
    CRecord record;
    record.Add("figure", QString::fromStdString(m.figure));
    record.Add("value", QJsonValue(m.value), QString::number(m.value));
    record.Add("unit", QString::fromStdString(m.unit));
    record.Add("low", optional(m.low), text(m.low));
    record.Add("high", optional(m.high), text(m.high));
    record.Add("passed", m.Passed());
    return record;
}

Step ContinuityStep(const std::string& name, const LoopbackReport& r) {
    if (!r.analysed)
        return MakeStep(name, Outcome::Error,
                        "the recording holds " + std::to_string(r.recorded) + " samples, too few to analyse");
    if (!r.toneFound)
        return MakeStep(name, Outcome::Fail,
                        "no tone to judge by: the played " + std::to_string(r.frequency) +
                            " Hz tone did not come back");
    if (!r.continuity.judged)
        return MakeStep(name, Outcome::Error, ContinuityText(r.continuity));
    return Judged(name, static_cast<double>(r.continuity.glitches.size()), "glitches", 0, 0,
                  ContinuityText(r.continuity), 0);
}

CRecord LoopbackRecord(const LoopbackReport& r) {
    CRecord record;
    record.Add("line", QJsonValue(r.line), QString::number(r.line));
    record.Add("rate", static_cast<double>(r.rate));
    record.Add("played", static_cast<double>(r.frequency));
    record.Add("frequency", QJsonValue(std::round(r.measured * 10) / 10), QString::number(r.measured, 'f', 1));
    record.Add("levelDb", QJsonValue(std::round(r.rmsDb * 10) / 10), QString::number(r.rmsDb, 'f', 1));
    record.Add("peak", static_cast<double>(r.peak));
    record.Add("samples", static_cast<double>(r.recorded));
    record.Add("unbroken", r.unbroken);
    // The glitches' count and times in seconds; null when continuity could not be judged.
    QJsonArray times;
    QStringList shown;
    for (const double t : r.continuity.glitches) {
        times.append(std::round(t * 1000) / 1000);
        shown << QString::number(t, 'f', 3);
    }
    const bool judged = r.continuity.judged;
    record.Add("glitches", judged ? QJsonValue(static_cast<double>(r.continuity.glitches.size())) : QJsonValue(),
               judged ? QString::number(r.continuity.glitches.size()) : QStringLiteral("-"));
    record.Add("glitchTimes", judged ? QJsonValue(times) : QJsonValue(),
               !judged           ? QStringLiteral("-")
               : shown.isEmpty() ? QStringLiteral("none")
                                 : shown.join(' '));
    record.Add("toneFound", r.toneFound);
    return record;
}

int RunPlay(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(3);
    const StreamTarget target = ParseTarget(args.Word(2, "left, right or line:N"));
    const PlaySource source = SourceFrom(args);
    std::optional<uint32_t> wanted = RateOption(args);
    if (!source.file.empty()) {
        CSoundFile file;
        OpenSoundFile(file, source.file, ChannelOption(args));
        if (!wanted)
            wanted = file.SampleRate(); // a file plays at its own rate unless told otherwise
    }
    const double seconds = Duration(args, wanted, true).value_or(source.file.empty() ? 1.0 : 0.0);
    const auto board = c.Open(1);
    CDevice* device = nullptr;
    uint32_t rate = 0;
    try {
        if (target.kind == StreamTarget::Kind::Line) {
            device = &board->LineOut(target.line);
            rate = ApplyCodecRate(board->Cfg(), wanted);
        } else {
            const int channel = target.kind == StreamTarget::Kind::Left ? 0 : 1;
            device = channel == 0 ? board->left.get() : board->right.get();
            if (!device)
                throw DeviceError("cannot open the stereo output device");
            rate = ApplyOutputRate(board->Cfg(), channel, wanted);
        }
    } catch (const CliError& error) {
        // The rate a file asked for is named with the file, so the user sees which file the board cannot play.
        if (source.file.empty() || args.Has("rate"))
            throw;
        throw CliError(error.Code(), source.file + ": " + error.what());
    }
    // A file plays to its end: its time is its length at the rate.
    const double runSeconds = seconds > 0 ? seconds : static_cast<double>(FileSamples(source.file)) / rate;
    const auto budget = StreamBudget(runSeconds);
    CRequestWatch& watch = c.Watch();
    watch.Arm(budget);
    CStreamRun run;
    const int index = run.AddOutput(*device, source, rate);
    const auto began = std::chrono::steady_clock::now();
    run.Start();
    run.Wait(seconds, nullptr, "playing");
    const bool ended = run.Ended(index);
    // A tone is judged on the board's own count, read back fresh while it still plays; a file that
    // played to its end is judged on every byte of it taken (its count has stopped by then).
    Step step = MakeStep("play", Outcome::Error, "");
    if (!ended && !StopSignal()) {
        try {
            const double since = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
            const StreamReading reading = ReadCounters(*device, 100, since);
            step = JudgeStream("play", true, rate, reading, run.Channel(index).bytesWritten.load());
        } catch (const std::exception& error) {
            step.detail = error.what();
        }
    }
    run.Stop();
    const ChannelFigures figures = run.Figures(index);
    const uint64_t written = run.Channel(index).bytesWritten.load() / 2;
    if (ended) {
        step = Judged("play", static_cast<double>(written), "samples", 1, {},
                      std::to_string(written) + " samples of the file taken by the board", 0);
    }
    CRecord r;
    r.Add("rate", static_cast<double>(rate));
    r.Add("samplesWritten", static_cast<double>(written));
    r.Add("bytesPlayed", figures.counters ? QJsonValue(static_cast<double>(figures.counters->bytes)) : QJsonValue(),
          figures.counters ? QString::number(figures.counters->bytes) : QStringLiteral("unknown"));
    r.Add("level", figures.counters ? QJsonValue(figures.counters->level) : QJsonValue(),
          figures.counters ? QString::number(figures.counters->level) : QStringLiteral("unknown"));
    if (!source.file.empty())
        r.Add("playedToEnd", ended);
    Unanswered(step, watch, budget);
    if (StopSignal())
        step.detail = "stopped by signal " + std::to_string(StopSignal());
    AddStepFields(r, step);
    PrintRecord(r, c.Json());
    if (step.outcome != Outcome::Pass)
        Diagnostic(StepText(step));
    return ExitOf(VerdictOf(Count({step}, false)));
}

int RunRecord(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(3);
    const StreamTarget target = ParseTarget(args.Word(2, "line:N"));
    if (target.kind != StreamTarget::Kind::Line)
        throw UsageError("only the phone lines have inputs: give line:N");
    const auto out = args.Value("out");
    if (!out)
        throw UsageError("--out FILE is required");
    CheckOutputPath("--out", *out);
    const SoundFormat format = RecordingFormat(args);
    const auto wanted = RateOption(args);
    const auto seconds = Duration(args, wanted, true);
    if (!seconds)
        throw UsageError("--for SECONDS is required");
    const auto board = c.Open(1);
    CDevice& device = board->LineIn(target.line);
    const uint32_t rate = ApplyCodecRate(board->Cfg(), wanted);
    // The recording holds exactly the samples of the time asked for: the run goes on until the input
    // has delivered them, and what came on top is cut off.
    const auto samples = static_cast<uint64_t>(std::llround(*seconds * rate));
    if (samples == 0)
        throw UsageError("--for " + QString::number(*seconds).toStdString() + " s holds no sample at " +
                         std::to_string(rate) + " samples/s");
    if (format == SoundFormat::Wav && 2 * samples > kWavMaxData)
        throw UsageError("--for " + QString::number(*seconds).toStdString() + " s at " + std::to_string(rate) +
                         " samples/s is more than a WAV file can hold");
    CRecordingFile file(*out, format);
    const uint64_t bytes = file.HeaderSize() + 2 * samples;
    // A recording that ends early stays whole samples under its temporary name, named on standard error.
    const auto keep = [&](const std::string& why) {
        file.Trim(file.Size());
        return why + "; the recording so far is kept in " + file.Keep();
    };
    // At a low rate the input's samples reach the host in larger, rarer pieces: the slack grows with them.
    const double slack = std::max(kDeliverySlack, std::chrono::duration<double>(StallBound(rate)).count());
    const auto budget = StreamBudget(*seconds + slack);
    CRequestWatch& watch = c.Watch();
    watch.Arm(budget);
    std::string notice;
    try {
        CStreamRun run;
        const int index = run.AddInput(device, file.Path(), rate, format);
        run.Start();
        run.Wait(
            *seconds + slack, [&] { return file.Size() >= bytes; }, "recording");
        run.Stop(); // a failed recording write is a device error naming the file
        notice = run.Notice(index);
    } catch (const CliError& error) {
        if (error.Code() != kExitDevice)
            throw;
        throw DeviceError(keep(watch.Expired() && !StopSignal() ? CRequestWatch::Why(budget) : error.what()));
    }
    if (StopSignal() != 0) {
        Diagnostic(keep("the recording was stopped"));
        return kExitFailed;
    }
    if (file.Size() < bytes)
        throw DeviceError(
            keep("the input delivered " +
                 std::to_string((std::max<uint64_t>(file.Size(), file.HeaderSize()) - file.HeaderSize()) / 2) + " of " +
                 std::to_string(samples) + " samples"));
    file.Trim(bytes);
    try {
        file.Finish();
    } catch (const CliError& error) {
        throw DeviceError(keep(error.what()));
    }
    CRecord r;
    r.Add("file", QString::fromLocal8Bit(out->c_str()));
    r.Add("rate", static_cast<double>(rate));
    r.Add("samples", static_cast<double>(samples));
    if (!notice.empty())
        r.Add("notice", QString::fromStdString(notice));
    PrintRecord(r, c.Json());
    return kExitPass;
}

int RunLoopback(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(3);
    const StreamTarget target = ParseTarget(args.Word(2, "line:N"));
    if (target.kind != StreamTarget::Kind::Line)
        throw UsageError("a loopback needs a phone line: give line:N");
    const auto wanted = RateOption(args);
    const double seconds = Duration(args, wanted, true).value_or(1.0);
    PlaySource tone;
    tone.frequency = args.Number("sine").value_or(kLoopbackFrequency);
    tone.amplitude = args.Number("ampl").value_or(kLoopbackAmplitude);
    const FigureLimits limits = ReadFigureLimits(args, kLoopbackLimits);
    const WarnSettings warn = WarnSettingsFromArgs(args);
    const auto board = c.Open(1);
    board->LineOut(target.line);
    const uint32_t rate = ApplyCodecRate(board->Cfg(), wanted);
    QTemporaryDir dir;
    if (!dir.isValid())
        throw DeviceError("cannot create a temporary folder for the recording");
    const auto budget = StreamBudget(seconds);
    CRequestWatch& watch = c.Watch();
    watch.Arm(budget);
    CStreamRun run;
    const LoopbackLeg leg = AddLoopback(run, *board, target.line, rate, tone, dir.path().toStdString());
    const auto began = std::chrono::steady_clock::now();
    run.Start();
    run.Wait(seconds, nullptr, "loopback");
    // Both channels judged on the board's counts, read back fresh while they still run.
    std::vector<Step> streams;
    const std::string line = std::to_string(target.line);
    const std::pair<std::string, bool> channels[] = {{"stream line " + line, true}, {"record line " + line, false}};
    for (const auto& [name, output] : channels) {
        Step step = MakeStep(name, Outcome::Error, "");
        try {
            const double since = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
            CDevice& device = output ? board->LineOut(target.line) : board->LineIn(target.line);
            const StreamReading reading = ReadCounters(device, 100, since);
            step = JudgeStream(name, output, rate, reading, run.Channel(leg.output).bytesWritten.load());
        } catch (const std::exception& error) {
            step.detail = error.what();
        }
        Unanswered(step, watch, budget);
        streams.push_back(step);
    }
    run.Stop();
    // What the recording's end had to say belongs to the recording's step.
    if (const std::string notice = run.Notice(leg.input); !notice.empty())
        streams.back().detail += (streams.back().detail.empty() ? "" : "; ") + notice;
    const LoopbackReport report = AnalyseLoopback(run, leg);
    const std::vector<Measurement> measurements = LoopbackMeasurements(report, limits);
    // The frequency as every step reports a measurement (value, unit and limits), then every figure.
    const Measurement& frequency = measurements.front();
    CRecord record = LoopbackRecord(report);
    record.Add("value", frequency.value);
    record.Add("unit", QStringLiteral("Hz"));
    record.Add("low", *frequency.low);
    record.Add("high", *frequency.high);
    std::vector<CRecord> figures;
    std::vector<Step> steps = streams;
    for (const Measurement& m : measurements) {
        figures.push_back(MeasurementRecord(m));
        steps.push_back(Judged("loopback line " + line + " " + m.figure, m.value, m.unit, m.low, m.high,
                               m.FailureText(), m.figure == "frequency" ? 1 : kShownDecimals));
        if (!report.analysed)
            steps.back() =
                MakeStep(steps.back().name, Outcome::Error,
                         "the recording holds " + std::to_string(report.recorded) + " samples, too few to analyse");
        if (!m.Passed()) {
            Diagnostic("loopback line " + std::to_string(report.line) + " failed: " +
                       (&m == &frequency ? "measured " + QString::number(report.measured, 'f', 1).toStdString() +
                                               " Hz, played " + std::to_string(report.frequency) + " Hz (limits " +
                                               QString::number(*m.low).toStdString() + ".." +
                                               QString::number(*m.high).toStdString() + " Hz)"
                                         : m.FailureText()));
        }
    }
    record.Add("figures", figures);
    const Step continuity = ContinuityStep("loopback line " + line + " continuity", report);
    steps.push_back(continuity);
    if (continuity.outcome == Outcome::Fail)
        Diagnostic("loopback line " + line + " failed: " + continuity.detail);
    else if (continuity.outcome != Outcome::Pass)
        Diagnostic(StepText(continuity));
    for (const Step& s : streams)
        if (s.outcome != Outcome::Pass)
            Diagnostic(StepText(s));
    WarnSteps(args, warn, "loopback", steps, "");
    const Tally tally = Count(steps, false);
    const Verdict verdict = VerdictOf(tally);
    AddVerdictFields(record, steps, tally);
    c.ReportSteps(steps);
    PrintRecord(record, c.Json());
    return ExitOf(verdict);
}
