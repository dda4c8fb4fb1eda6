// Reads a sound file in blocks, finds the steady part of the tone it holds, analyses the middle of that
// part (frequency, level, THD, THD+N, noise) and fails when a figure lies outside the limits given on the
// command line. A file without a tone says so and fails any limit on the figures a tone alone has.
#include "AnalyseCommand.h"

#include "AudioAnalyser.h"
#include "CliOutput.h"
#include "LineFigures.h"
#include "SoundInput.h"
#include "TestStep.h"
#include "ToneLocator.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

namespace {

// The most samples analysed in one block: about 1.4 s at 48 kHz, taken from the middle of the tone.
constexpr size_t kMaxBlock = 65536;
constexpr size_t kMinBlock = 64;
// Samples read at a time: the file is never held whole, however long.
constexpr int32_t kReadBlock = 65536;
constexpr double kDefaultFreqTolerance = 1.0; // percent

// Every sample of the open file, in order and in blocks, to `take`; the file is rewound first.
void ReadThrough(CSoundFile& file, const std::string& path, const std::function<void(std::span<const int16_t>)>& take) {
    if (!file.Rewind())
        throw DeviceError("cannot read " + path + " from its start");
    std::vector<int16_t> block(kReadBlock);
    for (;;) {
        const int32_t read = file.ReadSamples(kReadBlock, block.data());
        if (read < 0)
            throw DeviceError("cannot read " + path);
        if (read == 0)
            return;
        take(std::span<const int16_t>(block.data(), static_cast<size_t>(read)));
    }
}

// The block to analyse: the middle of the tone's steady part; without a tone the middle of the file, so
// its level and noise are still measured. `tone` says which.
std::vector<int16_t> ChooseBlock(CSoundFile& file, const std::string& path, bool& tone) {
    CToneLocator locator(file.SampleRate());
    ReadThrough(file, path, [&](std::span<const int16_t> samples) { locator.Feed(samples); });
    auto range = locator.AnalysisRange(kMaxBlock);
    tone = range.has_value();
    if (!range) {
        const uint64_t count = std::min<uint64_t>(locator.Fed(), kMaxBlock);
        range = SampleRange{(locator.Fed() - count) / 2, count};
    }
    // The second pass reads the block alone: straight to its first sample.
    std::vector<int16_t> block(static_cast<size_t>(range->count));
    if (!file.SeekSample(range->first))
        throw DeviceError("cannot read " + path);
    size_t filled = 0;
    while (filled < block.size()) {
        const auto want = static_cast<int32_t>(std::min<size_t>(block.size() - filled, kReadBlock));
        const int32_t read = file.ReadSamples(want, block.data() + filled);
        if (read < 0)
            throw DeviceError("cannot read " + path);
        if (read == 0)
            throw DeviceError(path + " changed while it was read");
        filled += static_cast<size_t>(read);
    }
    return block;
}

QString Fixed(double value, int decimals, const char* unit) {
    return QString::number(value, 'f', decimals) + QLatin1String(unit);
}

// Every figure as it is reported: rounded once, to the shown decimals, in text and JSON alike.
AudioFigures ShownFigures(AudioFigures f) {
    f.frequency = Shown(f.frequency);
    f.levelDb = Shown(f.levelDb);
    f.thdDb = Shown(f.thdDb);
    f.thdnDb = Shown(f.thdnDb);
    f.noiseDb = Shown(f.noiseDb);
    return f;
}

// One line on standard error per figure outside its limit; true when all are inside. Without a tone,
// a limit on THD+N or the frequency fails with "no tone".
bool CheckLimits(const AudioFigures& f, const FigureLimits& limits, std::optional<double> frequency, double tolerance) {
    bool passed = true;
    for (const Measurement& m : LevelMeasurements(f, limits)) {
        if (!f.tone && m.figure == "THD+N") {
            if (m.high) {
                Diagnostic("THD+N: no tone");
                passed = false;
            }
        } else if (!m.Passed()) {
            Diagnostic(m.FailureText());
            passed = false;
        }
    }
    if (frequency && !f.tone) {
        Diagnostic("frequency: no tone");
        passed = false;
    } else if (frequency && std::abs(f.frequency - *frequency) > Shown(*frequency * tolerance / 100.0)) {
        Diagnostic("frequency " + Fixed(f.frequency, 2, " Hz").toStdString() + " is not " +
                   Fixed(*frequency, 2, " Hz").toStdString() + " within " + Fixed(tolerance, 2, " %").toStdString());
        passed = false;
    }
    return passed;
}

} // namespace

int RunAnalyse(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(2);
    const std::string& path = args.Word(1, "FILE");
    const FigureLimits limits = ReadFigureLimits(args, {});
    const auto frequency = args.Real("freq");
    double tolerance = kDefaultFreqTolerance;
    if (const auto given = args.Real("freq-tolerance")) {
        if (!frequency)
            throw UsageError("--freq-tolerance needs --freq");
        tolerance = *given;
    }
    CSoundFile file;
    OpenSoundFile(file, path, ChannelOption(args));
    const uint32_t rate = file.SampleRate();
    bool tone = false;
    const std::vector<int16_t> block = ChooseBlock(file, path, tone);
    if (block.size() < kMinBlock)
        throw CliError(kExitFailed, path + " holds " + std::to_string(block.size()) + " samples, too few to analyse");
    if (const auto refusal = CAudioAnalyser::Refusal(block.size(), rate))
        throw CliError(kExitFailed, path + ": " + *refusal);
    CAudioAnalyser analyser(block.size());
    // Limits are compared on exactly the values reported. A tone is reported only where the file holds
    // a steady one and the analysis finds it there.
    AudioFigures f = ShownFigures(analyser.Analyse(block, rate));
    f.tone = f.tone && tone;

    const bool anyLimit = limits.minLevel || limits.maxLevel || limits.maxThdn || limits.maxNoise || frequency;
    const bool passed = CheckLimits(f, limits, frequency, tolerance);
    CRecord r;
    r.Add("file", QString::fromLocal8Bit(path.c_str()));
    r.Add("rate", static_cast<double>(rate));
    r.Add("samples", static_cast<double>(block.size()));
    r.Add("tone", f.tone);
    // Without a tone there is no frequency, THD or THD+N to show: null in JSON, "no tone" in text.
    const auto toneFigure = [&](const char* key, double value, const char* unit) {
        if (f.tone)
            r.Add(key, QJsonValue(value), Fixed(value, kShownDecimals, unit));
        else
            r.Add(key, QJsonValue(), QStringLiteral("no tone"));
    };
    toneFigure("frequency", f.frequency, " Hz");
    r.Add("level", QJsonValue(f.levelDb), Fixed(f.levelDb, kShownDecimals, " dBFS"));
    toneFigure("thd", f.thdDb, " dB");
    toneFigure("thdn", f.thdnDb, " dB");
    r.Add("noise", QJsonValue(f.noiseDb), Fixed(f.noiseDb, kShownDecimals, " dBFS"));
    if (anyLimit)
        r.Add("passed", passed);
    PrintRecord(r, c.Json());
    return passed ? kExitPass : kExitFailed;
}
