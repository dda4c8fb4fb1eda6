// Finds the steady part of a tone in a long signal fed in pieces, in bounded memory: one small record
// per frame of about 40 ms, then the longest run of frames holding the same tone at the same level. A
// second pass collects the block to analyse.
#pragma once

#include "RealFft.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

struct SampleRange {
    uint64_t first = 0;
    uint64_t count = 0;
    bool operator==(const SampleRange&) const = default;
};

class CToneLocator {
public:
    explicit CToneLocator(uint32_t rate);

    // Every sample of the signal, in order, in pieces of any size.
    void Feed(std::span<const int16_t> samples);
    uint64_t Fed() const { return m_fed; }
    size_t FrameSize() const { return m_fft.Size(); }

    // The longest run of frames whose strongest component stands out of the rest (25 dB over the other
    // bins' average, which a tone at -90 dBFS does over 16-bit silence or dither and white noise does not),
    // stays within a bin and changes level by at most 1 dB from frame to frame; without its first and
    // last frames, where the tone may start or end. Nothing when no frame holds a tone.
    std::optional<SampleRange> SteadyPart() const;
    // The middle `maxCount` samples of the steady part (all of it when shorter).
    std::optional<SampleRange> AnalysisRange(size_t maxCount) const;

private:
    struct Frame {
        uint32_t bin = 0;
        float lobeDb = 0.0f;
        bool tone = false;
    };
    void CloseFrame();

    CRealFft m_fft;
    size_t m_lowBin;
    std::vector<double> m_frame;
    size_t m_fill = 0;
    uint64_t m_fed = 0;
    std::vector<Frame> m_frames;
};

// Keeps the samples of one range while the whole signal is fed again from its start.
class CRangeCollector {
public:
    explicit CRangeCollector(SampleRange range) : m_range(range) { m_samples.reserve(range.count); }
    void Feed(std::span<const int16_t> samples);
    bool Complete() const { return m_samples.size() == m_range.count; }
    std::span<const int16_t> Samples() const { return m_samples; }

private:
    SampleRange m_range;
    uint64_t m_position = 0;
    std::vector<int16_t> m_samples;
};

// Both passes over a signal already in memory: the block to analyse, empty when there is no tone.
std::span<const int16_t> SteadyToneBlock(std::span<const int16_t> samples, uint32_t rate, size_t maxCount);
