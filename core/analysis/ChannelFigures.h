// A telephone channel's curves from the levels it passed: loss against frequency relative to a
// reference frequency, gain against level relative to a reference level; and each point of a curve held
// to its mask, with the limits that applied, for a report.
#pragma once

#include "AudioAnalyser.h"
#include "ChannelMasks.h"

#include <optional>
#include <span>
#include <vector>

// What was sent at x (Hz, or dBm0) and the level it came back at, in dB on any one scale.
struct ReceivedLevel {
    double x = 0.0;
    double levelDb = 0.0;
};

struct CurvePoint {
    double x = 0.0;
    double y = 0.0;
};

// Loss at each frequency relative to the loss at `referenceHz`: the reference's level minus the point's
// (more loss is positive). Nothing when no point lies within 1 Hz of the reference.
std::optional<std::vector<CurvePoint>> RelativeLoss(std::span<const ReceivedLevel> byFrequency,
                                                    double referenceHz = 1020.0);
// Gain at each sent level (dBm0) relative to the gain at `referenceDbm0`: (received - sent) minus the
// reference's. Nothing when no point lies within 0.01 dB of the reference.
std::optional<std::vector<CurvePoint>> RelativeGain(std::span<const ReceivedLevel> bySentLevel,
                                                    double referenceDbm0 = -10.0);
// Signal to total distortion of a tone's block: the fundamental against everything else in the band.
// Nothing for a block without a tone.
std::optional<double> SignalToTotalDistortionDb(const AudioFigures& figures);

struct CheckedPoint {
    CurvePoint point;
    MaskVerdict verdict = MaskVerdict::NotCovered;
    std::optional<double> low; // the limits that applied there
    std::optional<double> high;
};
struct CheckedCurve {
    std::vector<CheckedPoint> points;
    // Every point inside its mask, and at least one point covered by it: a curve the mask does not
    // reach at all proves nothing.
    bool passed = false;
};
CheckedCurve CheckCurve(const ChannelMask& mask, std::span<const CurvePoint> curve);
