// The stepped signal of a channel's measurement, its alignment in a recording and each step's figures.
#include "ChannelPlan.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace {

// Each step's length: long enough for a channel's filters and level detectors to settle (the first
// kSettleSeconds are not analysed) and for kBlockSeconds of steady tone after that.
constexpr double kLeadSeconds = 0.1;
constexpr double kReferenceSeconds = 0.5;
constexpr double kStepSeconds = 0.24;
constexpr double kBlockSeconds = 0.12;
constexpr double kTailSeconds = 0.02; // left out at a step's end, where the next may already arrive
constexpr double kIdleSeconds = 0.6;
constexpr double kIdleBlockSeconds = 0.4;
// How late the reference may arrive in the recording after the input started.
constexpr double kLatencySeconds = 1.0;

constexpr double kNominalHz[] = {200,  300,  400,  500,  600,   800,   1200,  1400,  1600,  1800,
                                 2000, 2400, 2800, 3000, 3200,  3400,  3600,  3800,  4000,  5000,
                                 6000, 7000, 8000, 9000, 10000, 12000, 14000, 16000, 18000, 20000};
constexpr double kLevels[] = {-55, -50, -45, -40, -30, -20, -10, 0, 3};

size_t Samples(double seconds, uint32_t rate) { return static_cast<size_t>(std::lround(seconds * rate)); }

bool SubMultiple(double hz, uint32_t rate) {
    const auto f = static_cast<uint32_t>(hz);
    return 8000 % f == 0 || rate % f == 0;
}

} // namespace

std::vector<double> PlanFrequencies(uint32_t rate) {
    std::vector<double> result;
    const double top = 0.95 * rate / 2.0;
    for (double hz : kNominalHz) {
        if (SubMultiple(hz, rate))
            hz += 4.0;
        if (hz > top)
            break;
        result.push_back(hz);
    }
    result.push_back(kReferenceHz);
    std::sort(result.begin(), result.end());
    return result;
}

std::span<const double> PlanLevels() { return kLevels; }

namespace {

ChannelPlan MakePlan(uint32_t rate, CompandingLaw law, size_t trailingSamples, bool levelsAndIdle) {
    if (rate < 4000)
        throw std::invalid_argument("a telephone channel is measured at 4000 Hz or more");
    ChannelPlan plan;
    plan.rate = rate;
    plan.law = law;
    plan.block = Samples(kBlockSeconds, rate);
    plan.idleBlock = Samples(kIdleBlockSeconds, rate);
    size_t at = Samples(kLeadSeconds, rate);
    const auto add = [&](PlanPart part, double hz, double dbm0, double seconds) {
        const size_t count = Samples(seconds, rate);
        plan.segments.push_back({part, hz, dbm0, at, count});
        at += count;
    };
    add(PlanPart::Reference, kReferenceHz, kReferenceDbm0, kReferenceSeconds);
    for (const double hz : PlanFrequencies(rate))
        if (hz != kReferenceHz)
            add(PlanPart::Frequency, hz, kReferenceDbm0, kStepSeconds);
    if (levelsAndIdle) {
        for (const double dbm0 : kLevels)
            if (dbm0 != kReferenceDbm0)
                add(PlanPart::Level, kReferenceHz, dbm0, kStepSeconds);
        add(PlanPart::Idle, 0.0, 0.0, kIdleSeconds);
    }
    plan.length = at + trailingSamples;
    return plan;
}

} // namespace

ChannelPlan MakeChannelPlan(uint32_t rate, CompandingLaw law, size_t trailingSamples) {
    return MakePlan(rate, law, trailingSamples, true);
}

ChannelPlan MakeSweepPlan(uint32_t rate, CompandingLaw law, size_t trailingSamples) {
    return MakePlan(rate, law, trailingSamples, false);
}

std::vector<int16_t> PlanSamples(const ChannelPlan& plan) {
    std::vector<int16_t> samples(plan.length, 0);
    for (const PlanSegment& s : plan.segments) {
        if (s.part == PlanPart::Idle)
            continue;
        const double amplitude = 32768.0 * std::pow(10.0, DbfsFromDbm0(s.dbm0, plan.law) / 20.0);
        for (size_t i = 0; i < s.count; ++i) {
            const double v = amplitude * std::sin(2.0 * std::numbers::pi * s.hz * static_cast<double>(i) / plan.rate);
            samples[s.start + i] = static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
        }
    }
    return samples;
}

std::optional<size_t> FindPlanStart(std::span<const int16_t> recorded, const ChannelPlan& plan) {
    const PlanSegment& reference = plan.segments.front();
    const PlanSegment& last = plan.segments.back();
    // What the output still held from before may play first, so the reference may come as late as the
    // silence after the plan is long (a device buffer's worth), and some more.
    const size_t trailing = plan.length - (last.start + last.count);
    const size_t end =
        std::min(recorded.size(), reference.start + reference.count + trailing + Samples(kLatencySeconds, plan.rate));
    // The reference's own component over a sliding 10 ms window (mixed down to 0 Hz and summed), so
    // that nothing but a 1020 Hz tone marks the start: a window's sum rises to half its full value when
    // the tone has filled half of it.
    const size_t window = Samples(0.01, plan.rate);
    if (end <= window)
        return std::nullopt;
    std::vector<double> cosines(end + 1, 0.0), sines(end + 1, 0.0);
    const double step = 2.0 * std::numbers::pi * kReferenceHz / plan.rate;
    for (size_t i = 0; i < end; ++i) {
        cosines[i + 1] = cosines[i] + recorded[i] * std::cos(step * static_cast<double>(i));
        sines[i + 1] = sines[i] + recorded[i] * std::sin(step * static_cast<double>(i));
    }
    const auto power = [&](size_t i) { // of the window ending before sample i
        const double c = cosines[i] - cosines[i - window];
        const double s = sines[i] - sines[i - window];
        return c * c + s * s;
    };
    double peak = 0.0;
    for (size_t i = window; i <= end; ++i)
        peak = std::max(peak, power(i));
    // A tone of amplitude A sums to A * window / 2; below 64 the input heard no reference (the quietest
    // tone the measurement could still read is far louder).
    constexpr double kQuietest = 64.0;
    if (peak < std::pow(kQuietest * static_cast<double>(window) / 2.0, 2))
        return std::nullopt;
    for (size_t i = window; i <= end; ++i)
        if (4.0 * power(i) >= peak) {
            const size_t onset = i - window / 2;
            return onset >= reference.start ? onset - reference.start : 0;
        }
    return std::nullopt;
}

double FundamentalLevelDb(const AudioFigures& f) {
    return f.levelDb - 10.0 * std::log10(1.0 + std::pow(10.0, f.thdnDb / 10.0));
}

std::optional<StepReading> MeasureStep(std::span<const int16_t> recorded, size_t start, const ChannelPlan& plan,
                                       const PlanSegment& s, CAudioAnalyser& analyser) {
    if (start + s.start + s.count > recorded.size())
        return std::nullopt;
    StepReading r;
    r.segment = s;
    const double fullScale = FullScaleDbm0(plan.law);
    const size_t tail = Samples(kTailSeconds, plan.rate);
    if (s.part == PlanPart::Idle) {
        const size_t from = start + s.start + s.count - tail - plan.idleBlock;
        r.weightedDbm0p = PsophometricLevelDbfs(recorded.subspan(from, plan.idleBlock), plan.rate) + fullScale;
        return r;
    }
    const size_t from = start + s.start + s.count - tail - plan.block;
    const AudioFigures& f = analyser.Analyse(recorded.subspan(from, plan.block), plan.rate);
    r.heard = f.tone && std::abs(f.frequency - s.hz) <= std::max(2.0, 0.01 * s.hz);
    r.levelDbm0 = (r.heard ? FundamentalLevelDb(f) : f.levelDb) + fullScale;
    if (r.heard)
        r.stdDb = -f.thdnDb;
    return r;
}

std::vector<StepReading> MeasurePlan(std::span<const int16_t> recorded, size_t start, const ChannelPlan& plan) {
    const PlanSegment& last = plan.segments.back();
    if (start + last.start + last.count > recorded.size())
        throw std::runtime_error("the recording ended before the measurement did (" + std::to_string(recorded.size()) +
                                 " samples, " + std::to_string(start + last.start + last.count) + " needed)");
    CAudioAnalyser analyser(plan.block);
    std::vector<StepReading> readings;
    for (const PlanSegment& s : plan.segments)
        readings.push_back(*MeasureStep(recorded, start, plan, s, analyser));
    return readings;
}
