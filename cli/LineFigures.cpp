// The analysis figures as measurements with limits, and the options that set those limits.
#include "LineFigures.h"

#include "ToneAnalysis.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

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

FigureLimits ReadFigureLimits(const CliArgs& args, FigureLimits defaults) {
    const auto set = [&](std::optional<double>& limit, const char* option) {
        if (const auto value = Decibels(args, option))
            limit = value;
    };
    set(defaults.minLevel, "min-level");
    set(defaults.maxLevel, "max-level");
    set(defaults.maxThdn, "max-thdn");
    set(defaults.maxNoise, "max-noise");
    return defaults;
}

std::span<const int16_t> AnalysisBlock(std::span<const int16_t> samples, size_t maxCount) {
    const auto loud = [](int16_t s) { return std::abs(static_cast<int>(s)) > kSilenceFloor; };
    auto first = std::find_if(samples.begin(), samples.end(), loud);
    auto last = samples.end();
    if (first == samples.end())
        first = samples.begin();
    else
        last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    const auto length = static_cast<size_t>(last - first);
    const size_t count = std::min(length, maxCount);
    return samples.subspan(static_cast<size_t>(first - samples.begin()) + (length - count) / 2, count);
}

std::string Measurement::FailureText() const {
    const auto text = [this](double v) {
        return QString::number(v, 'f', 2).toStdString() + (unit.empty() ? "" : " " + unit);
    };
    if (low && value < *low)
        return figure + " " + text(value) + " is under the minimum " + text(*low);
    if (high && value > *high)
        return figure + " " + text(value) + " is over the maximum " + text(*high);
    return figure + " " + text(value);
}

std::vector<Measurement> LevelMeasurements(const AudioFigures& f, const FigureLimits& limits) {
    return {{"level", f.levelDb, "dBFS", limits.minLevel, limits.maxLevel},
            {"THD+N", f.thdnDb, "dB", std::nullopt, limits.maxThdn},
            {"noise", f.noiseDb, "dBFS", std::nullopt, limits.maxNoise}};
}
