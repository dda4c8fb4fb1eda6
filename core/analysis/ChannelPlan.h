// A telephone channel's measurement as one stepped signal: tones at the frequencies and levels the
// channel is measured at and a silence for its idle noise, played on a line's output while its input
// records; then, from the recording, each step's received level, distortion and weighted noise.
#pragma once

#include "AudioAnalyser.h"
#include "TelephoneLevels.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The reference every relative figure is taken against: a 1020 Hz tone at -10 dBm0.
inline constexpr double kReferenceHz = 1020.0;
inline constexpr double kReferenceDbm0 = -10.0;

enum class PlanPart {
    Reference, // 1020 Hz at -10 dBm0: a point of every curve, and the mark the recording is aligned on
    Frequency, // a tone at -10 dBm0
    Level,     // a 1020 Hz tone at another level
    Idle,      // silence: the idle channel noise
};

struct PlanSegment {
    PlanPart part = PlanPart::Reference;
    double hz = 0.0;   // 0 for silence
    double dbm0 = 0.0; // sent level
    size_t start = 0;  // first sample in the played signal
    size_t count = 0;
};

struct ChannelPlan {
    uint32_t rate = 0;
    CompandingLaw law = CompandingLaw::ALaw;
    std::vector<PlanSegment> segments; // the reference first
    size_t length = 0;                 // samples of the played signal, silence before and after included
    size_t block = 0;                  // samples analysed of each tone, at the end of its segment
    size_t idleBlock = 0;              // samples of the silence whose noise is weighed
    double Seconds() const { return static_cast<double>(length) / rate; }
};

// The frequencies of the loss curve at `rate`: from 200 Hz to 95 % of half the rate, none an integer
// sub-multiple of 8 kHz or of the rate (a tone that repeats in a few samples reads its level wrongly
// through a codec), 1020 Hz among them.
std::vector<double> PlanFrequencies(uint32_t rate);
// The levels of the gain and distortion curves, in dBm0, -10 dBm0 among them.
std::span<const double> PlanLevels();

// `trailingSamples` of silence end the signal: what a device still holds in its buffer when the last
// byte was handed to it, so the recording outlasts the plan.
ChannelPlan MakeChannelPlan(uint32_t rate, CompandingLaw law, size_t trailingSamples);
// The loss curve's part of the plan alone: the reference, then a tone at -10 dBm0 for each frequency of
// PlanFrequencies, with the same lead, step lengths and blocks, and `trailingSamples` of silence.
ChannelPlan MakeSweepPlan(uint32_t rate, CompandingLaw law, size_t trailingSamples);
// The played signal, full scale 32768 (+3 dBm0 stays below clipping for both laws).
std::vector<int16_t> PlanSamples(const ChannelPlan& plan);

// Where the played signal's first sample lies in a recording, found by the reference tone's onset: where
// the 1020 Hz component first reaches half its largest amplitude (other tones, such as what the output
// still held from an earlier run, do not count). Nothing when the recording holds no reference.
std::optional<size_t> FindPlanStart(std::span<const int16_t> recorded, const ChannelPlan& plan);

// What came back of one step. Levels in dBm0 of the input's own full scale.
struct StepReading {
    PlanSegment segment;
    bool heard = false;          // a tone at the sent frequency (within 1 %, at least 2 Hz) stood out
    double levelDbm0 = 0.0;      // the fundamental's level when heard, else everything the block held
    std::optional<double> stdDb; // signal to total distortion, heard tones only
    double weightedDbm0p = 0.0;  // idle: the psophometrically weighted noise
};

// Every step of the plan read from `recorded`, whose sample `start` is the plan's first; a recording
// that ends before the plan does throws std::runtime_error.
std::vector<StepReading> MeasurePlan(std::span<const int16_t> recorded, size_t start, const ChannelPlan& plan);

// One step read from `recorded` as MeasurePlan reads it, once the recording holds all of it (nothing
// before): a live measurement reads each step as it arrives.
std::optional<StepReading> MeasureStep(std::span<const int16_t> recorded, size_t start, const ChannelPlan& plan,
                                       const PlanSegment& step, CAudioAnalyser& analyser);

// The fundamental's own level, without what THD+N counts beside it.
double FundamentalLevelDb(const AudioFigures& figures);
