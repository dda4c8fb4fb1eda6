// veltrin-cli crosstalk: a tone played on one line, measured on another line's input, in dB against the
// level the playing line hears of it in its own loopback.
#include "CliCommands.h"
#include "CliOutput.h"
#include "CliStreams.h"
#include "LineFigures.h"
#include "Loopback.h"
#include "SelfTestReport.h"
#include "ToneAnalysis.h"

#include <QTemporaryDir>

#include <cmath>
#include <fstream>
#include <iterator>

namespace {

// Like the loopback tone, unlike a tone a line hears by itself: an input that is not looped back gives
// no reference level rather than a false one.
constexpr uint32_t kCrosstalkFrequency = 1500;
constexpr uint32_t kCrosstalkAmplitude = 8000;
constexpr size_t kMaxBlock = 65536;
constexpr size_t kMinBlock = 64;

// The level of the fundamental alone: the block's level without what THD+N counts beside it, so noise
// on the listening line does not pass for crosstalk.
double ToneLevel(const AudioFigures& f) { return f.levelDb - 10.0 * std::log10(1.0 + std::pow(10.0, f.thdnDb / 10.0)); }

// What the listening line heard while the tone played: the middle half of its recording, since a quiet
// recording shows no edge where the tone began.
std::optional<AudioFigures> Listened(const std::vector<int16_t>& samples, uint32_t rate) {
    const std::span<const int16_t> middle = std::span(samples).subspan(samples.size() / 4, samples.size() / 2);
    const size_t count = std::min(middle.size(), kMaxBlock);
    if (count < kMinBlock)
        return std::nullopt;
    CAudioAnalyser analyser(count);
    return analyser.Analyse(middle.subspan((middle.size() - count) / 2, count), rate);
}

QString Db(double value) { return QString::number(value, 'f', 1); }

} // namespace

int RunCrosstalk(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(4);
    const StreamTarget from = ParseTarget(args.Word(2, "line:A"));
    const StreamTarget to = ParseTarget(args.Word(3, "line:B"));
    if (from.kind != StreamTarget::Kind::Line || to.kind != StreamTarget::Kind::Line)
        throw UsageError("crosstalk goes from one phone line to another: give line:A line:B");
    if (from.line == to.line)
        throw UsageError("line:A and line:B must be two different lines");
    const auto wanted = RateOption(args);
    const double seconds = Duration(args, wanted, true).value_or(1.0);
    const std::optional<double> limit = Decibels(args, "max-crosstalk");
    PlaySource tone;
    tone.frequency = args.Number("sine").value_or(kCrosstalkFrequency);
    tone.amplitude = args.Number("ampl").value_or(kCrosstalkAmplitude);
    const auto board = c.Open(1);
    board->LineOut(from.line);
    board->LineIn(to.line);
    // Two runs of the streams, each with its time to answer.
    c.Watch().Arm(std::chrono::milliseconds(static_cast<long long>(2 * seconds * 1000)) + CliContext::kDefaultBudget);
    const uint32_t rate = ApplyCodecRate(board->Cfg(), wanted);
    QTemporaryDir dir;
    if (!dir.isValid())
        throw DeviceError("cannot create a temporary folder for the recordings");

    // First the reference: line A's own loopback level.
    LoopbackReport reference;
    {
        CStreamRun run;
        const LoopbackLeg leg = AddLoopback(run, *board, from.line, rate, tone, dir.path().toStdString());
        run.Start();
        run.Wait(seconds, nullptr, "crosstalk reference");
        run.Stop();
        reference = AnalyseLoopback(run, leg);
    }
    if (!reference.toneFound) {
        const std::string why = "line " + std::to_string(from.line) + " does not hear its own " +
                                std::to_string(tone.frequency) + " Hz tone (measured " +
                                Db(reference.measured).toStdString() + " Hz), so there is no level to compare with";
        c.ReportSteps({MakeStep("crosstalk reference line " + std::to_string(from.line), Outcome::Fail, why)});
        throw CliError(kExitFailed, "crosstalk failed: " + why);
    }
    const double referenceDb = ToneLevel(reference.figures);

    // Then the same tone on A while B's input records.
    const std::string path = dir.path().toStdString() + "/listening.raw";
    {
        CStreamRun run;
        run.AddInput(board->LineIn(to.line), path, rate);
        run.AddOutput(board->LineOut(from.line), tone, rate);
        run.Start();
        run.Wait(seconds, nullptr, "crosstalk");
        run.Stop();
    }
    const std::optional<AudioFigures> heard = Listened(RecordedSamples(path), rate);
    if (!heard)
        throw DeviceError("line " + std::to_string(to.line) + " recorded too few samples to analyse");
    // Only the played tone counts: a line hearing something else hears no crosstalk of it.
    const bool toneHeard =
        heard->tone && std::abs(heard->frequency - tone.frequency) <= FrequencyTolerance(tone.frequency);
    const double heardDb = toneHeard ? ToneLevel(*heard) : kAnalysisFloorDb;
    const double crosstalk = std::round((heardDb - referenceDb) * 100) / 100;
    const Measurement m{"crosstalk", crosstalk, "dB", std::nullopt, limit};

    CRecord r;
    r.Add("from", QJsonValue(from.line), QString::number(from.line));
    r.Add("to", QJsonValue(to.line), QString::number(to.line));
    r.Add("rate", static_cast<double>(rate));
    r.Add("played", static_cast<double>(tone.frequency));
    r.Add("referenceLevel", QJsonValue(std::round(referenceDb * 100) / 100), Db(referenceDb) + " dBFS");
    r.Add("heard", toneHeard);
    r.Add("heardLevel", QJsonValue(std::round(heardDb * 100) / 100), Db(heardDb) + " dBFS");
    r.Add("value", QJsonValue(m.value), Db(m.value));
    r.Add("unit", QStringLiteral("dB"));
    r.Add("low", QJsonValue(), QStringLiteral("-"));
    r.Add("high", limit ? QJsonValue(*limit) : QJsonValue(), limit ? QString::number(*limit) : QStringLiteral("-"));
    r.Add("passed", m.Passed());
    // The one step as every testing command reports its steps (and as the board's record keeps it).
    const Step step =
        Judged("crosstalk line " + std::to_string(from.line) + " to line " + std::to_string(to.line), m.value, "dB",
               std::nullopt, limit,
               m.Passed() ? "line " + std::to_string(to.line) + " hears the tone at " + Db(m.value).toStdString() +
                                " dB relative to line " + std::to_string(from.line)
                          : m.FailureText());
    r.Add("steps", std::vector<CRecord>{StepRecord(step)});
    c.ReportSteps({step});
    PrintRecord(r, c.Json());
    if (!m.Passed())
        Diagnostic("crosstalk line " + std::to_string(from.line) + " to line " + std::to_string(to.line) +
                   " failed: " + m.FailureText());
    return m.Passed() ? kExitPass : kExitFailed;
}
