// One pass of a streaming worker over one channel: buffer state, feeding (outputs) or draining (inputs),
// counters and level, and the end-of-file decision. A plain function, so tests drive it directly.
#pragma once

#include "StreamBlocks.h"

#include <cstdint>
#include <optional>
#include <span>

struct StreamChannel;

// Fewer free (or available) bytes than this are left for a later pass.
inline constexpr uint32_t kFeedThreshold = 1024;
// Most samples moved for one channel in one pass; also the size of the worker's sample buffer.
inline constexpr int32_t kPassSamples = 80000;

// What one pass found out about a channel; a request that failed leaves its part empty, and the page
// keeps showing what it showed before.
struct ChannelFigures {
    std::optional<BufferState> buffer;
    uint32_t freeSpacePeak = 0; // meaningful with `buffer`
    std::optional<StreamCounters> counters;
    int32_t rate = 0; // the channel's actual rate, for the play time
};

struct PassResult {
    ChannelFigures figures;
    // A running file channel whose device has played the whole file: the page stops it.
    bool playedToEnd = false;
};

// `buffer` must hold kPassSamples samples. A channel without a device is left alone.
PassResult RunStreamPass(StreamChannel& channel, std::span<int16_t> buffer);
