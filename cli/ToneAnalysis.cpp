// Tone measurement by interpolated zero crossings and RMS level; continuity by the glitch detector;
// exact comparison of runs.
#include "ToneAnalysis.h"

#include "GlitchDetector.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

ToneMeasurement MeasureTone(std::span<const int16_t> samples, uint32_t rate) {
    ToneMeasurement m;
    const auto loud = [](int16_t s) { return std::abs(static_cast<int>(s)) > kSilenceFloor; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end() || rate == 0)
        return m;
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    const std::span<const int16_t> tone(first, last);
    m.samples = tone.size();
    double sum = 0.0;
    for (const int16_t s : tone) {
        sum += static_cast<double>(s) * s;
        m.peak = std::max(m.peak, std::abs(static_cast<int>(s)));
    }
    const double rms = std::sqrt(sum / static_cast<double>(tone.size()));
    m.rmsDb = rms > 0 ? 20.0 * std::log10(rms / 32768.0) : -120.0;
    // Rising zero crossings, placed between their two samples by linear interpolation.
    double firstCrossing = -1.0;
    double lastCrossing = -1.0;
    size_t crossings = 0;
    for (size_t i = 1; i < tone.size(); ++i) {
        if (tone[i - 1] < 0 && tone[i] >= 0) {
            const double a = tone[i - 1];
            const double b = tone[i];
            const double at = static_cast<double>(i - 1) + (-a) / (b - a);
            if (crossings == 0)
                firstCrossing = at;
            lastCrossing = at;
            ++crossings;
        }
    }
    if (crossings >= 2 && lastCrossing > firstCrossing)
        m.frequency = static_cast<double>(crossings - 1) * rate / (lastCrossing - firstCrossing);
    return m;
}

RunMatch FindPlayedRun(std::span<const int16_t> recorded, std::span<const int16_t> played) {
    RunMatch result;
    // A short opening finds the start; skipping the played samples' leading silence keeps it from
    // matching the recording's silence before the tone.
    const auto loud = std::find_if(played.begin(), played.end(), [](int16_t s) { return s != 0; });
    if (loud == played.end())
        return result;
    const size_t lead = static_cast<size_t>(loud - played.begin());
    const size_t key = std::min<size_t>(64, played.size() - lead);
    const auto found = std::search(recorded.begin(), recorded.end(), loud, loud + static_cast<std::ptrdiff_t>(key));
    if (found == recorded.end() || static_cast<size_t>(found - recorded.begin()) < lead)
        return result;
    const size_t start = static_cast<size_t>(found - recorded.begin()) - lead;
    result.start = start;
    const size_t span = std::min(recorded.size() - start, played.size());
    size_t n = 0;
    while (n < span && recorded[start + n] == played[n])
        ++n;
    result.matched = n;
    result.unbroken = n == span;
    return result;
}

Continuity JudgeContinuity(std::span<const int16_t> recorded, uint32_t rate, double toneHz) {
    Continuity c;
    try {
        CGlitchDetector detector(rate, toneHz);
        detector.Feed(recorded);
        const GlitchReport report = detector.Finish();
        c.judged = report.analysed;
        c.reason = report.reason;
        c.glitches = report.times;
        c.seconds = rate > 0 ? static_cast<double>(report.judgedTo - report.judgedFrom) / rate : 0.0;
    } catch (const std::invalid_argument& error) {
        c.reason = error.what();
    }
    return c;
}

std::string ContinuityText(const Continuity& continuity, size_t shown) {
    if (!continuity.judged)
        return continuity.reason;
    const auto seconds = [](double s, int decimals = 3) {
        char text[32];
        std::snprintf(text, sizeof text, "%.*f s", decimals, s);
        return std::string(text);
    };
    const size_t count = continuity.glitches.size();
    if (count == 0)
        return "no glitch in " + seconds(continuity.seconds, 2) + " of tone";
    std::string text = count == 1 ? "1 glitch, at " : std::to_string(count) + " glitches, at ";
    const size_t named = std::min(count, shown);
    for (size_t i = 0; i < named; ++i) {
        if (i > 0)
            text += i + 1 == named && named == count ? " and " : ", ";
        text += seconds(continuity.glitches[i]);
    }
    if (named < count)
        text += " and " + std::to_string(count - named) + " more";
    return text;
}

std::vector<int16_t> RawSamples(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> samples;
    for (size_t i = 4; i + 1 < bytes.size(); i += 2)
        samples.push_back(static_cast<int16_t>(static_cast<uint16_t>(bytes[i] | (bytes[i + 1] << 8))));
    return samples;
}

std::vector<int16_t> RecordedSamples(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return RawSamples({std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()});
}
