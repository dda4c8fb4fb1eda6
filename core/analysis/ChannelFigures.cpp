// Relative curves and their check against a mask, point by point.
#include "ChannelFigures.h"

#include <cmath>

namespace {

const ReceivedLevel* Nearest(std::span<const ReceivedLevel> levels, double x, double within) {
    const ReceivedLevel* best = nullptr;
    for (const ReceivedLevel& r : levels)
        if (std::abs(r.x - x) <= within && (!best || std::abs(r.x - x) < std::abs(best->x - x)))
            best = &r;
    return best;
}

} // namespace

std::optional<std::vector<CurvePoint>> RelativeLoss(std::span<const ReceivedLevel> byFrequency, double referenceHz) {
    const ReceivedLevel* reference = Nearest(byFrequency, referenceHz, 1.0);
    if (!reference)
        return std::nullopt;
    std::vector<CurvePoint> curve;
    for (const ReceivedLevel& r : byFrequency)
        curve.push_back({r.x, reference->levelDb - r.levelDb});
    return curve;
}

std::optional<std::vector<CurvePoint>> RelativeGain(std::span<const ReceivedLevel> bySentLevel, double referenceDbm0) {
    const ReceivedLevel* reference = Nearest(bySentLevel, referenceDbm0, 0.01);
    if (!reference)
        return std::nullopt;
    const double referenceGain = reference->levelDb - reference->x;
    std::vector<CurvePoint> curve;
    for (const ReceivedLevel& r : bySentLevel)
        curve.push_back({r.x, (r.levelDb - r.x) - referenceGain});
    return curve;
}

std::optional<double> SignalToTotalDistortionDb(const AudioFigures& figures) {
    if (!figures.tone)
        return std::nullopt;
    return -figures.thdnDb;
}

CheckedCurve CheckCurve(const ChannelMask& mask, std::span<const CurvePoint> curve) {
    CheckedCurve checked;
    bool anyCovered = false;
    bool allInside = true;
    for (const CurvePoint& p : curve) {
        const MaskLimits limits = LimitsAt(mask, p.x);
        const MaskVerdict verdict = CheckMask(mask, p.x, p.y);
        checked.points.push_back({p, verdict, limits.low, limits.high});
        anyCovered = anyCovered || verdict != MaskVerdict::NotCovered;
        allInside = allInside && verdict != MaskVerdict::Outside;
    }
    checked.passed = anyCovered && allInside;
    return checked;
}
