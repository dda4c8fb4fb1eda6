// Limits compared on a figure as it is shown: a value printed with some decimals is held to its limits
// after the same rounding, so a limit equal to the value shown never fails.
#pragma once

#include <optional>
#include <string>

// The value as printf("%.*f") shows it with `decimals` decimals, read back.
double ShownValue(double value, int decimals);

struct LimitVerdict {
    bool passed = true;
    std::string reason; // empty when passed: "no tone", or "<value> is under the minimum <low>"/"over the maximum"
};

// Holds the shown value to low and high (both inclusive). A figure that does not exist (the frequency,
// THD or THD+N of a block without a tone) fails any limit with "no tone", and passes when there is none.
LimitVerdict CheckShownLimit(std::optional<double> value, int decimals, std::optional<double> low,
                             std::optional<double> high);
