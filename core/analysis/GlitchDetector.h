// Finds where a recorded tone was broken (a block of samples dropped, doubled or shifted on its way)
// through gain, noise and distortion: the tone is fitted segment by segment at its known frequency, and
// a break shows as a burst in what the fit leaves, or as a jump of the tone's phase between segments.
// Blind by nature to a block of a whole number of the tone's periods (the tone goes on as if whole) and
// to a jump under the line's own noise or within 0.01 rad of a whole period.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct GlitchReport {
    bool analysed = false; // false: no tone to judge by (reason says why)
    std::string reason;
    std::vector<double> times; // seconds from the recording's start, one per glitch (where its segment begins)
    uint64_t judgedFrom = 0;   // the samples judged: the tone's run without its start and end
    uint64_t judgedTo = 0;
};

class CGlitchDetector {
public:
    // rate of the recording, toneHz the tone played (more than 0 and under half the rate).
    CGlitchDetector(uint32_t rate, double toneHz);

    // The whole recording, in order, in pieces of any size. Keeps one small record per segment.
    void Feed(std::span<const int16_t> samples);
    GlitchReport Finish() const;
    size_t SegmentSize() const { return m_segment.size(); }

private:
    struct Segment {
        double re = 0.0; // the tone's complex amplitude, phase taken from the recording's start
        double im = 0.0;
        float residual = 0.0f; // RMS of what the fit leaves
    };
    void CloseSegment();

    uint32_t m_rate;
    double m_cyclesPerSample;
    std::vector<double> m_segment;
    size_t m_fill = 0;
    uint64_t m_closed = 0; // samples in closed segments
    std::vector<Segment> m_segments;
};
