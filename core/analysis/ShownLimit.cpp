// Rounding through the same formatting the figures are printed with, so the two can never disagree.
#include "ShownLimit.h"

#include <cstdio>
#include <cstdlib>

namespace {
std::string Text(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}
} // namespace

double ShownValue(double value, int decimals) { return std::strtod(Text(value, decimals).c_str(), nullptr); }

LimitVerdict CheckShownLimit(std::optional<double> value, int decimals, std::optional<double> low,
                             std::optional<double> high) {
    if (!low && !high)
        return {};
    if (!value)
        return {false, "no tone"};
    const double shown = ShownValue(*value, decimals);
    if (low && shown < ShownValue(*low, decimals))
        return {false, Text(*value, decimals) + " is under the minimum " + Text(*low, decimals)};
    if (high && shown > ShownValue(*high, decimals))
        return {false, Text(*value, decimals) + " is over the maximum " + Text(*high, decimals)};
    return {};
}
