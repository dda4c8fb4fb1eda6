// Attenuation and gain texts.
#include "StreamTexts.h"

#include <cmath>
#include <cstdio>

namespace {

std::string Format(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The codec's gain steps 0..14, with the leading spaces they are shown with.
const char* const kGainSteps[] = {"-36 dB", "-30 dB", "-24 dB", "-18 dB", "-12 dB", " -9 dB", " -6 dB", " -3 dB",
                                  "  0 dB", "  3 dB", "  6 dB", "  9 dB", " 12 dB", " 18 dB", " 24 dB"};

} // namespace

std::string AttenuationText(bool secondSet, int16_t value, int16_t max) {
    if (secondSet)
        return Format("%.1f", value / 10.0);
    if (value == max)
        return "0";
    if (value == 0)
        return "INF";
    return Format("%.2f", 20.0 * std::log10(value * 0.00390625));
}

std::string GainText(bool secondSet, int16_t value) {
    if (secondSet)
        return Format("%.1f dB", value / 10.0);
    if (value >= 0 && value < static_cast<int16_t>(std::size(kGainSteps)))
        return kGainSteps[value];
    return "ups";
}
