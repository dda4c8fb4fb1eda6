// What a board model sees of one control request: which device it came to and its blocks.
#pragma once

#include <cstdint>

namespace sim {

enum class DeviceKind { Config, LineIn, LineOut, OutLeft, OutRight };

struct DeviceAddress {
    DeviceKind kind = DeviceKind::Config;
    int line = 0; // 0..7 for the line devices
};

struct ControlRequest {
    uint32_t code = 0;
    const uint8_t* input = nullptr;
    uint32_t inputSize = 0;
    uint8_t* output = nullptr;
    uint32_t outputSize = 0;
    uint32_t returned = 0; // set by the handler: bytes written to output

    // The common shape check: exactly these block sizes, and the blocks present when sized.
    bool Sizes(uint32_t in, uint32_t out) const {
        return inputSize == in && outputSize == out && (in == 0 || input) && (out == 0 || output);
    }
};

// A handler's answer: not this part's request, or the success flag.
enum class Handled { No, Fail, Ok };

} // namespace sim
