// Texts of the streaming pages that come from numbers: attenuation and gain.
#pragma once

#include <cstdint>
#include <string>

// Stereo output attenuation. Second request set: tenths of dB ("-12.5"). First set: a linear factor in
// 1/256, "0" at the top of the range, "INF" at 0, else its level in dB ("-6.02").
std::string AttenuationText(bool secondSet, int16_t value, int16_t max);
// Codec gain. Second set: tenths of dB ("-6.0 dB"). First set: the step's text (" -9 dB"), "ups" for a
// value outside the steps.
std::string GainText(bool secondSet, int16_t value);
