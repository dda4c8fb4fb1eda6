// One pass of a streaming worker over one channel: buffer state, feeding (outputs) or draining (inputs),
// counters and level, and the end-of-file decision. A plain function, so tests drive it directly.
#pragma once

#include "StreamBlocks.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct StreamChannel;
class CSoundFile;

// Fewer free (or available) bytes than this are left for a later pass.
inline constexpr uint32_t kFeedThreshold = 1024;
// Most samples moved for one channel in one pass; also the size of the worker's sample buffer.
inline constexpr int32_t kPassSamples = 80000;
// Most device reads or writes in one pass over one channel: a driver that takes or hands over a little
// at a time is called again until it has nothing more or the pass has moved its share, within this bound.
inline constexpr int kPassTransfers = 256;

// What one pass found out about a channel; a request that failed leaves its part empty, and the page
// keeps showing what it showed before.
struct ChannelFigures {
    std::optional<BufferState> buffer;
    uint32_t freeSpacePeak = 0; // meaningful with `buffer`
    std::optional<StreamCounters> counters;
    int32_t rate = 0; // the channel's actual rate, for the play time
};

// What a pass tells its front end once per run: the file has played to its end (stop the channel), the
// recording failed (it has already ended; show `text`), or the file cannot be read (stop the channel and
// show `text`). `run` is the channel's run the report belongs to; a report of an earlier run is ignored.
struct PassEvent {
    enum class Kind { None, PlayedToEnd, RecordingFailed, PlaybackFailed };
    Kind kind = Kind::None;
    uint32_t run = 0;
    std::string text;
};

struct PassResult {
    ChannelFigures figures;
    // A running file channel whose device has played the whole file (every pass while it runs).
    bool playedToEnd = false;
    PassEvent event; // at most one report per run and kind
};

// Passes in a row whose file read fails before a playback is given up.
inline constexpr int kReadFailuresToStop = 3;

// `buffer` must hold kPassSamples samples. A channel without a device is left alone.
PassResult RunStreamPass(StreamChannel& channel, std::span<int16_t> buffer);

// How an input's last drain went: the text of a failed append (else empty), and whether the recording
// ended in half a sample, which is dropped.
struct DrainOutcome {
    std::string error;
    bool halfSampleDropped = false;
};

// An input's last drain after its stop request: reads what the board still holds into the recording
// (the odd byte carried from the passes included). The caller holds the channel's passMutex.
DrainOutcome DrainStoppedInput(StreamChannel& channel, std::span<int16_t> buffer);

// How long a running stream may go without progress before it counts as stalled: an input is read only
// once kFeedThreshold bytes have gathered, which takes long at a low rate, so the bound grows with it.
std::chrono::milliseconds StallBound(uint32_t rate);

// The message of a recording whose append failed.
std::string RecordingFailureText(const CSoundFile& recording);
