// Measuring a recorded test tone: its frequency and level, whether it came through without a glitch
// (a block of samples dropped, doubled or shifted), and whether a recording holds what was played
// bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct ToneMeasurement {
    double frequency = 0.0; // Hz; 0 when fewer than two rising zero crossings were found
    double rmsDb = -120.0;  // level relative to full scale (32768)
    int peak = 0;           // largest magnitude
    size_t samples = 0;     // samples measured: from the first to the last one above the silence floor
};

// Samples whose magnitude stays at or below this count as silence around the tone.
inline constexpr int kSilenceFloor = 64;

// Measures between the first and the last sample above the silence floor, so the silence before the
// tone arrived and after it stopped does not lower the level.
ToneMeasurement MeasureTone(std::span<const int16_t> samples, uint32_t rate);

struct RunMatch {
    std::optional<size_t> start; // where the played samples begin in the recording
    size_t matched = 0;          // samples equal to the played ones from there on
    bool unbroken = false;       // every sample from there to the end of either matched
};

// Looks for the played samples' opening in the recording and compares from there on.
RunMatch FindPlayedRun(std::span<const int16_t> recorded, std::span<const int16_t> played);

struct Continuity {
    bool judged = false; // false: nothing to judge by (reason says why)
    std::string reason;
    std::vector<double> glitches; // seconds from the recording's start
    double seconds = 0.0;         // of the tone judged
};

// The recording's tone of `toneHz` judged for glitches; through gain, noise and distortion, unlike a
// comparison of samples, so it holds for what came through a board's converters.
Continuity JudgeContinuity(std::span<const int16_t> recorded, uint32_t rate, double toneHz);
// "no glitch in 0.95 s of tone", "2 glitches, at 0.253 s and 0.512 s", or the reason nothing was judged;
// at most `shown` times are named.
std::string ContinuityText(const Continuity& continuity, size_t shown = 3);

// The 16-bit little-endian samples of a raw recording, after its 4-byte rate header.
std::vector<int16_t> RawSamples(const std::vector<uint8_t>& bytes);
// The samples of the raw recording in `path`; none when it cannot be read.
std::vector<int16_t> RecordedSamples(const std::string& path);
