// Reads a raw recording or a sound file, analyses the tone it holds (frequency, level, THD, THD+N, noise)
// and fails when a figure lies outside the limits given on the command line.
#include "AnalyseCommand.h"

#include "AudioAnalyser.h"
#include "CliOutput.h"
#include "SoundFile.h"
#include "ToneAnalysis.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// The most samples analysed in one block: about 1.4 s at 48 kHz, taken from the middle of the tone.
constexpr size_t kMaxBlock = 65536;
constexpr size_t kMinBlock = 64;
constexpr double kDefaultFreqTolerance = 1.0; // percent

// A level or ratio in dB: any finite number, negative ones included.
std::optional<double> Decibels(const CliArgs& args, const std::string& option) {
    const auto text = args.Value(option);
    if (!text)
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text->c_str(), &end);
    if (text->empty() || text->front() == ' ' || *end != '\0' || errno != 0 || !std::isfinite(value))
        throw UsageError("--" + option + ": \"" + *text + "\" is not a valid number");
    return value;
}

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

// The part to analyse: the silence before the tone arrived and after it stopped is left out (unless
// the whole file is that quiet, as a noise measurement is), then at most kMaxBlock samples from the
// middle.
std::span<const int16_t> BlockOf(const std::vector<int16_t>& samples) {
    const auto loud = [](int16_t s) { return std::abs(static_cast<int>(s)) > kSilenceFloor; };
    auto first = std::find_if(samples.begin(), samples.end(), loud);
    auto last = samples.end();
    if (first == samples.end())
        first = samples.begin();
    else
        last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    const auto length = static_cast<size_t>(last - first);
    const size_t count = std::min(length, kMaxBlock);
    return std::span(samples).subspan(static_cast<size_t>(first - samples.begin()) + (length - count) / 2, count);
}

QString Fixed(double value, int decimals, const char* unit) {
    return QString::number(value, 'f', decimals) + QLatin1String(unit);
}

struct Limits {
    std::optional<double> minLevel, maxLevel, maxThdn, maxNoise, frequency;
    double tolerance = kDefaultFreqTolerance;
};

// One line on standard error per figure outside its limit; true when all are inside.
bool CheckLimits(const AudioFigures& f, const Limits& l) {
    bool passed = true;
    const auto fail = [&](const std::string& text) {
        Diagnostic(text);
        passed = false;
    };
    const auto db = [](double v, const char* unit) { return Fixed(v, 2, unit).toStdString(); };
    if (l.minLevel && f.levelDb < *l.minLevel)
        fail("level " + db(f.levelDb, " dBFS") + " is under the minimum " + db(*l.minLevel, " dBFS"));
    if (l.maxLevel && f.levelDb > *l.maxLevel)
        fail("level " + db(f.levelDb, " dBFS") + " is over the maximum " + db(*l.maxLevel, " dBFS"));
    if (l.maxThdn && f.thdnDb > *l.maxThdn)
        fail("THD+N " + db(f.thdnDb, " dB") + " is over the maximum " + db(*l.maxThdn, " dB"));
    if (l.maxNoise && f.noiseDb > *l.maxNoise)
        fail("noise " + db(f.noiseDb, " dBFS") + " is over the maximum " + db(*l.maxNoise, " dBFS"));
    if (l.frequency && std::abs(f.frequency - *l.frequency) > *l.frequency * l.tolerance / 100.0)
        fail("frequency " + db(f.frequency, " Hz") + " is not " + db(*l.frequency, " Hz") + " within " +
             Fixed(l.tolerance, 2, " %").toStdString());
    return passed;
}

} // namespace

int RunAnalyse(CliContext& c) {
    const CliArgs& args = c.Args();
    args.ExpectWords(2);
    const std::string& path = args.Word(1, "FILE");
    Limits limits;
    limits.minLevel = Decibels(args, "min-level");
    limits.maxLevel = Decibels(args, "max-level");
    limits.maxThdn = Decibels(args, "max-thdn");
    limits.maxNoise = Decibels(args, "max-noise");
    limits.frequency = args.Real("freq");
    if (const auto tolerance = args.Real("freq-tolerance")) {
        if (!limits.frequency)
            throw UsageError("--freq-tolerance needs --freq");
        limits.tolerance = *tolerance;
    }
    uint32_t rate = 0;
    const std::vector<int16_t> samples = ReadAll(path, rate);
    const std::span<const int16_t> block = BlockOf(samples);
    if (block.size() < kMinBlock)
        throw CliError(kExitFailed, path + " holds " + std::to_string(block.size()) + " samples, too few to analyse");
    CAudioAnalyser analyser(block.size());
    const AudioFigures& f = analyser.Analyse(block, rate);

    const bool anyLimit = limits.minLevel || limits.maxLevel || limits.maxThdn || limits.maxNoise || limits.frequency;
    const bool passed = CheckLimits(f, limits);
    CRecord r;
    r.Add("file", QString::fromLocal8Bit(path.c_str()));
    r.Add("rate", static_cast<double>(rate));
    r.Add("samples", static_cast<double>(block.size()));
    r.Add("tone", f.tone);
    r.Add("frequency", QJsonValue(f.frequency), Fixed(f.frequency, 2, " Hz"));
    r.Add("level", QJsonValue(f.levelDb), Fixed(f.levelDb, 2, " dBFS"));
    r.Add("thd", QJsonValue(f.thdDb), Fixed(f.thdDb, 2, " dB"));
    r.Add("thdn", QJsonValue(f.thdnDb), Fixed(f.thdnDb, 2, " dB"));
    r.Add("noise", QJsonValue(f.noiseDb), Fixed(f.noiseDb, 2, " dBFS"));
    if (anyLimit)
        r.Add("passed", passed);
    PrintRecord(r, c.Json());
    return passed ? kExitPass : kExitFailed;
}
