// Measuring a recorded test tone: its frequency and level, and whether a recording holds what was
// played as one unbroken run of samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
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

// The 16-bit little-endian samples of a raw recording, after its 4-byte rate header.
std::vector<int16_t> RawSamples(const std::vector<uint8_t>& bytes);
