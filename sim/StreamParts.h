// What the stream model's source files share: the layout of its channel table, the attenuation ranges
// and the sample arithmetic.
#pragma once

#include "StreamModel.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace sim::streams {

inline constexpr size_t kLeft = 0;
inline constexpr size_t kRight = 1;
inline constexpr size_t kFirstInput = 2;
inline constexpr size_t kFirstLineOutput = 10;
inline constexpr size_t kChannelCount = 18;
inline constexpr size_t kRingSamples = StreamModel::kBufferBytes / 2;

// Value ranges of the attenuation settings: linear factor or gain step (first set), tenths of a decibel
// (second set), for the stereo outputs and the codec lines.
struct Range {
    int16_t min;
    int16_t max;
    int16_t initial;
};
inline constexpr Range kStereoFirst{0, 255, 255};
inline constexpr Range kCodecFirst{0, 14, 8};
inline constexpr Range kStereoSecond{-960, 0, 0};
inline constexpr Range kCodecSecond{-360, 240, 0};

inline Range RangeOf(bool stereo, bool second) {
    if (second)
        return stereo ? kStereoSecond : kCodecSecond;
    return stereo ? kStereoFirst : kCodecFirst;
}

inline int16_t Clamp(double value) {
    return static_cast<int16_t>(std::lround(std::clamp(value, double{INT16_MIN}, double{INT16_MAX})));
}

inline int16_t Scale(int16_t sample, double gain) { return gain == 1.0 ? sample : Clamp(sample * gain); }

inline double FromDb(double db) { return std::pow(10.0, db / 20.0); }

inline int16_t Magnitude(int16_t sample) {
    return sample == INT16_MIN ? INT16_MAX : static_cast<int16_t>(sample < 0 ? -sample : sample);
}

} // namespace sim::streams
