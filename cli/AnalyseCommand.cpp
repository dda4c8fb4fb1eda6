// Reads a raw recording or a sound file, analyses the tone it holds (frequency, level, THD, THD+N, noise)
// and fails when a figure lies outside the limits given on the command line.
#include "AnalyseCommand.h"

#include "AudioAnalyser.h"
#include "CliOutput.h"
#include "LineFigures.h"
#include "SoundFile.h"
#include "TestStep.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The most samples analysed in one block: about 1.4 s at 48 kHz, taken from the middle of the tone.
constexpr size_t kMaxBlock = 65536;
constexpr size_t kMinBlock = 64;
constexpr double kDefaultFreqTolerance = 1.0; // percent

std::vector<int16_t> ReadAll(const std::string& path, uint32_t& rate) {
    CSoundFile file;
    if (!file.OpenForReading(path))
        throw UsageError("cannot open " + path);
    rate = file.SampleRate();
    if (rate == 0)
        throw UsageError(path + " gives a sample rate of 0");
    std::vector<int16_t> samples;
    std::vector<int16_t> chunk(32768);
    for (;;) {
        const int32_t read = file.ReadSamples(static_cast<int32_t>(chunk.size()), chunk.data());
        if (read < 0)
            throw DeviceError("cannot read " + path);
        if (read == 0)
            break;
        samples.insert(samples.end(), chunk.begin(), chunk.begin() + read);
    }
    return samples;
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

// One line on standard error per figure outside its limit; true when all are inside.
bool CheckLimits(const AudioFigures& f, const FigureLimits& limits, std::optional<double> frequency, double tolerance) {
    bool passed = true;
    for (const Measurement& m : LevelMeasurements(f, limits))
        if (!m.Passed()) {
            Diagnostic(m.FailureText());
            passed = false;
        }
    if (frequency && std::abs(f.frequency - *frequency) > Shown(*frequency * tolerance / 100.0)) {
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
    uint32_t rate = 0;
    const std::vector<int16_t> samples = ReadAll(path, rate);
    const std::span<const int16_t> block = AnalysisBlock(samples, kMaxBlock);
    if (block.size() < kMinBlock)
        throw CliError(kExitFailed, path + " holds " + std::to_string(block.size()) + " samples, too few to analyse");
    CAudioAnalyser analyser(block.size());
    // Limits are compared on exactly the values reported.
    const AudioFigures f = ShownFigures(analyser.Analyse(block, rate));

    const bool anyLimit = limits.minLevel || limits.maxLevel || limits.maxThdn || limits.maxNoise || frequency;
    const bool passed = CheckLimits(f, limits, frequency, tolerance);
    CRecord r;
    r.Add("file", QString::fromLocal8Bit(path.c_str()));
    r.Add("rate", static_cast<double>(rate));
    r.Add("samples", static_cast<double>(block.size()));
    r.Add("tone", f.tone);
    r.Add("frequency", QJsonValue(f.frequency), Fixed(f.frequency, kShownDecimals, " Hz"));
    r.Add("level", QJsonValue(f.levelDb), Fixed(f.levelDb, kShownDecimals, " dBFS"));
    r.Add("thd", QJsonValue(f.thdDb), Fixed(f.thdDb, kShownDecimals, " dB"));
    r.Add("thdn", QJsonValue(f.thdnDb), Fixed(f.thdnDb, kShownDecimals, " dB"));
    r.Add("noise", QJsonValue(f.noiseDb), Fixed(f.noiseDb, kShownDecimals, " dBFS"));
    if (anyLimit)
        r.Add("passed", passed);
    PrintRecord(r, c.Json());
    return passed ? kExitPass : kExitFailed;
}
