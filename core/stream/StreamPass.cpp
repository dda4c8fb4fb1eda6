// One streaming pass over one channel.
#include "StreamPass.h"

#include "Device.h"
#include "StreamChannel.h"
#include "StreamRequests.h"

#include <algorithm>

namespace {

void RaisePeak(std::atomic<uint32_t>& peak, uint32_t value) {
    uint32_t seen = peak.load(std::memory_order_relaxed);
    while (value > seen && !peak.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
    }
}

// Fills the device's free space from the channel's source.
void Feed(StreamChannel& channel, int32_t samples, std::span<int16_t> buffer) {
    int32_t produced = 0;
    if (channel.source.load(std::memory_order_relaxed) == StreamChannel::kSourceSine) {
        std::lock_guard lock(channel.sourceMutex);
        produced = channel.sine.Generate(samples, buffer.data());
    } else {
        produced = channel.file.ReadSamples(samples, buffer.data());
        if (produced == 0)
            channel.fileExhausted.store(true, std::memory_order_relaxed);
    }
    if (produced <= 0)
        return; // end of the data or a read error: nothing to write this pass
    uint32_t written = 0;
    const auto size = static_cast<uint32_t>(produced) * 2;
    if (channel.device->Write(buffer.data(), size, &written) && written <= size)
        channel.bytesWritten.fetch_add(written, std::memory_order_relaxed);
}

// Takes what the input has gathered and, while recording, appends it to the recording.
void Drain(StreamChannel& channel, int32_t samples, std::span<int16_t> buffer) {
    uint32_t got = 0;
    const auto size = static_cast<uint32_t>(samples) * 2;
    // A count beyond the buffer is a misbehaving driver's: nothing of it is trusted or recorded.
    if (!channel.device->Read(buffer.data(), size, &got) || got == 0 || got > size)
        return;
    if (channel.source.load(std::memory_order_relaxed) != StreamChannel::kRecording)
        return;
    // Borrowed after the read: a recording the page has taken back gets nothing more.
    if (const std::shared_ptr<CSoundFile> recording = channel.Recording())
        recording->Append(buffer.data(), got & ~1u);
}

} // namespace

PassResult RunStreamPass(StreamChannel& channel, std::span<int16_t> buffer) {
    PassResult result;
    if (!channel.device)
        return result;
    CDevice& device = *channel.device;
    const bool running = channel.running.load(std::memory_order_acquire);

    result.figures.buffer = GetBufferState(device);
    if (result.figures.buffer) {
        const uint32_t space = result.figures.buffer->space;
        if (channel.direction == StreamDirection::Output)
            RaisePeak(channel.freeSpacePeak, space);
        result.figures.freeSpacePeak = channel.freeSpacePeak.load(std::memory_order_relaxed);
        if (running && space >= kFeedThreshold) {
            const auto samples = static_cast<int32_t>(std::min<uint32_t>(space / 2, kPassSamples));
            if (channel.direction == StreamDirection::Output)
                Feed(channel, samples, buffer);
            else
                Drain(channel, samples, buffer);
        }
    }

    result.figures.counters = GetStreamCounters(device);
    result.figures.rate = channel.actualRate.load(std::memory_order_relaxed);

    if (running && channel.direction == StreamDirection::Output &&
        channel.source.load(std::memory_order_relaxed) == StreamChannel::kSourceFile && result.figures.counters) {
        const uint64_t played = result.figures.counters->bytes;
        const bool wholeFile = static_cast<int64_t>(played) >= channel.file.DataLength();
        // A file that shrank after it was opened: no more data, and the device played all it was given.
        const bool nothingLeft = channel.fileExhausted.load(std::memory_order_relaxed) &&
                                 played >= channel.bytesWritten.load(std::memory_order_relaxed);
        result.playedToEnd = wholeFile || nothingLeft;
    }
    return result;
}
