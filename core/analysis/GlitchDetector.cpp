// Segment fits at the known frequency, then robust thresholds: the median step and the median residual
// over the tone's run are what the channel's own noise and distortion give; a break stands far above.
#include "GlitchDetector.h"

#include "SineFit.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <stdexcept>

namespace {

// A segment holds at least this long and two periods of the tone, so its residual is steady however the
// distortion falls within a period.
constexpr double kSegmentSeconds = 0.004;
// The start and end of the tone's run are not judged: a channel's filters settle there.
constexpr double kMarginSeconds = 0.02;
// How far above the median a step or a residual must stand, and the least break judged relative to the
// tone's amplitude (a phase jump of 0.01 rad, a burst 40 dB under the tone).
constexpr double kStepFactor = 8.0;
constexpr double kResidualFactor = 6.0;
constexpr double kLeast = 0.01;
// The tone's RMS must stand this far above the median residual (12 dB).
constexpr double kToneOverResidual = 4.0;
// A tone's amplitude under this (about 0.3 of a 16-bit step) is no tone.
constexpr double kNoTone = 1e-5;
// Flagged segments at most this many apart are one break (a break spoils the segment it falls in and the
// step to the next).
constexpr size_t kBreakGap = 2;
// A break this soon after another that puts the tone's phase back to what it was before the other is
// the other's end: a block shifted in place breaks the tone twice. Any other break is a glitch of its own.
constexpr double kJoinSeconds = 0.05;

double Median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

} // namespace

CGlitchDetector::CGlitchDetector(uint32_t rate, double toneHz)
    : m_rate(rate), m_cyclesPerSample(rate > 0 ? toneHz / rate : 0.0) {
    if (rate == 0 || !(toneHz > 0.0) || toneHz >= rate / 2.0)
        throw std::invalid_argument("the tone must lie between 0 Hz and half the rate");
    const auto size = static_cast<size_t>(std::ceil(std::max(kSegmentSeconds * rate, 2.0 / m_cyclesPerSample)));
    m_segment.resize(size);
}

void CGlitchDetector::Feed(std::span<const int16_t> samples) {
    for (const int16_t s : samples) {
        m_segment[m_fill++] = s / 32768.0;
        if (m_fill == m_segment.size()) {
            CloseSegment();
            m_fill = 0;
        }
    }
}

void CGlitchDetector::CloseSegment() {
    const double omega = 2.0 * std::numbers::pi * m_cyclesPerSample;
    const SineFit fit = FitSineAt(m_segment, omega);
    // The fit's phase is read at the segment's centre; turned back to the recording's start (in whole
    // cycles first, so a long recording keeps its precision).
    const double cycles = m_cyclesPerSample * (static_cast<double>(m_closed) + fit.centre);
    const double turn = 2.0 * std::numbers::pi * (cycles - std::floor(cycles));
    const std::complex<double> phasor = std::complex<double>(fit.cosine, -fit.sine) * std::polar(1.0, -turn);
    double residual = 0.0;
    for (size_t n = 0; n < m_segment.size(); ++n) {
        const double r = m_segment[n] - fit.At(n);
        residual += r * r;
    }
    m_segments.push_back({phasor.real(), phasor.imag(),
                          static_cast<float>(std::sqrt(residual / static_cast<double>(m_segment.size())))});
    m_closed += m_segment.size();
}

GlitchReport CGlitchDetector::Finish() const {
    GlitchReport report;
    const size_t count = m_segments.size();
    std::vector<std::complex<double>> p(count);
    std::vector<double> amplitude(count);
    for (size_t k = 0; k < count; ++k) {
        p[k] = {m_segments[k].re, m_segments[k].im};
        amplitude[k] = std::abs(p[k]);
    }
    // The tone's amplitude: high in the order of the segments' amplitudes, as the recording may start
    // and end in silence.
    std::vector<double> sorted = amplitude;
    std::sort(sorted.begin(), sorted.end());
    const double reference = sorted.empty() ? 0.0 : sorted[sorted.size() * 9 / 10];
    if (reference < kNoTone) {
        report.reason = "no tone";
        return report;
    }
    size_t first = 0;
    while (amplitude[first] < reference / 2)
        ++first;
    size_t last = count - 1;
    while (amplitude[last] < reference / 2)
        --last;
    const auto margin = static_cast<size_t>(std::ceil(kMarginSeconds * m_rate / static_cast<double>(m_segment.size())));
    if (last < first + 2 * margin + 4) {
        report.reason = "the tone is too short to judge";
        return report;
    }
    first += margin;
    last -= margin;
    // What the fit leaves must lie well under the tone, or there is no steady tone of that frequency to
    // judge by (noise, another frequency, a tone drowned in noise): its phase would wander by itself.
    std::vector<double> left;
    for (size_t k = first; k <= last; ++k)
        left.push_back(m_segments[k].residual);
    if (reference / std::numbers::sqrt2 < kToneOverResidual * Median(left)) {
        report.reason = "no steady tone at the frequency judged";
        return report;
    }
    report.analysed = true;
    report.judgedFrom = first * m_segment.size();
    report.judgedTo = (last + 1) * m_segment.size();

    // The tone's phase turns by the same step from segment to segment (none when the frequency given is
    // the recording's exactly); each step is judged after that turn.
    std::vector<double> turns;
    for (size_t k = first; k < last; ++k)
        turns.push_back(std::arg(p[k + 1] * std::conj(p[k])));
    const std::complex<double> turn = std::polar(1.0, Median(turns));
    std::vector<double> steps;
    std::vector<double> residuals;
    for (size_t k = first; k < last; ++k)
        steps.push_back(std::abs(p[k + 1] - p[k] * turn));
    for (size_t k = first; k <= last; ++k)
        residuals.push_back(m_segments[k].residual);
    const double stepLimit = std::max(kStepFactor * Median(steps), kLeast * reference);
    const double residualLimit = std::max(kResidualFactor * Median(residuals), kLeast * reference);

    // Breaks: runs of flagged segments.
    struct Break {
        size_t from;
        size_t to;
    };
    std::vector<Break> breaks;
    for (size_t k = first; k <= last; ++k) {
        const bool flagged = m_segments[k].residual > residualLimit || amplitude[k] < reference / 2 ||
                             (k > first && steps[k - 1 - first] > stepLimit);
        if (!flagged)
            continue;
        if (breaks.empty() || k > breaks.back().to + kBreakGap)
            breaks.push_back({k, k});
        else
            breaks.back().to = k;
    }
    // The tone's phasor at segment k with the steady turn taken out, so phasors far apart compare.
    const auto steady = [&](size_t k) { return p[k] * std::pow(std::conj(turn), static_cast<double>(k - first)); };
    const auto before = [&](const Break& b) { return steady(b.from > first ? b.from - 1 : b.from); };
    const auto after = [&](const Break& b) { return steady(b.to < last ? b.to + 1 : b.to); };
    const auto join = static_cast<size_t>(std::ceil(kJoinSeconds * m_rate / static_cast<double>(m_segment.size())));
    const Break* open = nullptr;
    for (const Break& b : breaks) {
        const bool closes = open && b.from <= open->to + join && std::abs(after(*open) - before(*open)) > stepLimit &&
                            std::abs(after(b) - before(*open)) <= stepLimit;
        if (closes) {
            open = nullptr;
            continue;
        }
        report.times.push_back(static_cast<double>(b.from * m_segment.size()) / m_rate);
        open = &b;
    }
    return report;
}
