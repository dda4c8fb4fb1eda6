// Judging a stream on what the board reports at the end of its step: the bytes it moved read back
// fresh, held to what the stream's rate and time demand and to what the host gave it.
#pragma once

#include "TestStep.h"

#include "StreamBlocks.h"

#include <cstdint>
#include <optional>

class CDevice;

// How far a stream's byte count may lie from rate × time: a share of it plus a fixed slack for the
// start and the moment of reading.
inline constexpr double kStreamTolerance = 0.2;
inline constexpr double kStreamSlackSeconds = 0.1;

struct StreamReading {
    uint64_t boardBytes = 0; // what the board says it moved since the start
    double seconds = 0.0;    // since the start, when it was read
};

// Two readings of a channel's counters taken `apartMs` ms apart, the second `seconds` after the start; a
// failed or short answer (none), or one that did not move (stale, or a stream without progress),
// throws StepError.
StreamReading Compare(const std::optional<StreamCounters>& first, const std::optional<StreamCounters>& second,
                      int apartMs, double seconds);
// Reads the channel's counters twice, `apart` ms apart, while it runs; a failed, short or unchanged
// (stale, or a stream that makes no progress) answer throws StepError.
StreamReading ReadCounters(CDevice& device, int apartMs, double secondsAtFirst);

// The bytes an output played (`sent` by the host at most) or an input delivered, against rate × time.
Step JudgeStream(const std::string& name, bool output, uint32_t rate, const StreamReading& reading, uint64_t sent);
