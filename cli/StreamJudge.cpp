// Reading a stream's counters back and judging them.
#include "StreamJudge.h"

#include "StreamRequests.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

StreamReading Compare(const std::optional<StreamCounters>& first, const std::optional<StreamCounters>& second,
                      int apartMs, double seconds) {
    if (!first || !second)
        throw StepError("the stream counters request failed or was answered short");
    if (second->bytes == first->bytes)
        throw StepError("the stream counters did not move in " + std::to_string(apartMs) + " ms (" +
                        std::to_string(second->bytes) + " bytes): a stale answer or a stream without progress");
    if (second->bytes < first->bytes)
        throw StepError("the stream counters went back from " + std::to_string(first->bytes) + " to " +
                        std::to_string(second->bytes) + " bytes");
    return {second->bytes, seconds};
}

StreamReading ReadCounters(CDevice& device, int apartMs, double secondsAtFirst) {
    const auto first = GetStreamCounters(device);
    std::this_thread::sleep_for(std::chrono::milliseconds(apartMs));
    const auto second = first ? GetStreamCounters(device) : std::nullopt;
    return Compare(first, second, apartMs, secondsAtFirst + apartMs / 1000.0);
}

Step JudgeStream(const std::string& name, bool output, uint32_t rate, const StreamReading& r, uint64_t sent) {
    const double expected = 2.0 * rate * r.seconds;
    const double slack = 2.0 * rate * kStreamSlackSeconds;
    const double low = std::max(1.0, std::floor(expected * (1 - kStreamTolerance) - slack));
    double high = std::ceil(expected * (1 + kStreamTolerance) + slack);
    if (output)
        high = std::min(high, static_cast<double>(sent)); // never more than it was given
    const std::string what = output ? " bytes played" : " bytes recorded";
    return Judged(name, static_cast<double>(r.boardBytes), "bytes", low, high,
                  std::to_string(r.boardBytes) + what + " in " + std::to_string(std::lround(r.seconds * 1000)) +
                      " ms at " + std::to_string(rate) + " samples/s",
                  0);
}
