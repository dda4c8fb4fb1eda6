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

// A report the front end gets once per run, whatever its kind.
void ReportOnce(StreamChannel& channel, PassResult& result, PassEvent::Kind kind, uint32_t run, std::string text) {
    if (channel.carry.reportedRun == run)
        return;
    channel.carry.reportedRun = run;
    result.event = {kind, run, std::move(text)};
}

// Writes `size` bytes; what the device did not take is kept, first in line for the next pass.
uint32_t WriteKeepingRest(StreamChannel& channel, const uint8_t* bytes, uint32_t size) {
    uint32_t written = 0;
    if (!channel.device->Write(bytes, size, &written))
        written = 0; // a failed write took nothing: the same bytes are offered again
    written = std::min(written, size);
    channel.bytesWritten.fetch_add(written, std::memory_order_relaxed);
    return written;
}

// Fills the device's free space: first the bytes it left last time, then new ones from the source.
void Feed(StreamChannel& channel, uint32_t space, std::span<int16_t> buffer, PassResult& result, uint32_t run) {
    StreamChannel::Carry& carry = channel.carry;
    if (!carry.unsent.empty()) {
        const auto size = static_cast<uint32_t>(std::min<size_t>(space, carry.unsent.size()));
        const uint32_t written = WriteKeepingRest(channel, carry.unsent.data(), size);
        carry.unsent.erase(carry.unsent.begin(), carry.unsent.begin() + written);
        space -= written;
        if (!carry.unsent.empty() || space < kFeedThreshold)
            return;
    }
    const auto samples = static_cast<int32_t>(std::min<uint32_t>(space / 2, kPassSamples));
    int32_t produced = 0;
    if (channel.source.load(std::memory_order_relaxed) == StreamChannel::kSourceSine) {
        std::lock_guard lock(channel.sourceMutex);
        produced = channel.sine.Generate(samples, buffer.data());
    } else {
        produced = channel.file.ReadSamples(samples, buffer.data());
        if (produced < 0) {
            if (++carry.readFailures >= kReadFailuresToStop)
                ReportOnce(channel, result, PassEvent::Kind::PlaybackFailed, run,
                           "Cann't read TRN file " + channel.file.Path());
            return;
        }
        carry.readFailures = 0;
        if (produced == 0)
            channel.fileExhausted.store(true, std::memory_order_relaxed);
    }
    if (produced <= 0)
        return;
    const auto* bytes = reinterpret_cast<const uint8_t*>(buffer.data());
    const auto size = static_cast<uint32_t>(produced) * 2;
    const uint32_t written = WriteKeepingRest(channel, bytes, size);
    if (written < size)
        carry.unsent.assign(bytes + written, bytes + size);
}

// Reads up to `size` bytes from an input behind the byte carried from the last read; returns the whole
// samples' byte count now at the start of `bytes` and carries an odd last byte to the next read.
uint32_t ReadCarrying(StreamChannel& channel, uint8_t* bytes, uint32_t size) {
    StreamChannel::Carry& carry = channel.carry;
    const uint32_t offset = carry.oddByte ? 1 : 0;
    bytes[0] = carry.odd;
    uint32_t got = 0;
    // A count beyond the buffer is a misbehaving driver's: nothing of it is trusted or recorded.
    if (!channel.device->Read(bytes + offset, size - offset, &got) || got == 0 || got > size - offset)
        return 0;
    uint32_t total = offset + got;
    carry.oddByte = (total & 1) != 0;
    if (carry.oddByte) {
        carry.odd = bytes[total - 1];
        --total;
    }
    return total;
}

// Appends a block to the run's recording; a failed append ends the recording (cut back to whole
// samples by the file) and is reported.
void Record(StreamChannel& channel, const std::shared_ptr<CSoundFile>& recording, const uint8_t* bytes, uint32_t size,
            PassResult& result, uint32_t run) {
    if (!recording || size == 0 || recording->Append(bytes, size))
        return;
    channel.TakeRecordingIf(recording);
    ReportOnce(channel, result, PassEvent::Kind::RecordingFailed, run, RecordingFailureText(*recording));
}

// Takes what the input has gathered and, while recording, appends it to the recording.
void Drain(StreamChannel& channel, uint32_t available, std::span<int16_t> buffer, PassResult& result, uint32_t run) {
    const auto size = std::min<uint32_t>(available, kPassSamples * 2);
    // Borrowed before the read: a block read now belongs to this run's recording and no other.
    const std::shared_ptr<CSoundFile> recording =
        channel.source.load(std::memory_order_relaxed) == StreamChannel::kRecording ? channel.RecordingOf(run)
                                                                                    : nullptr;
    auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
    const uint32_t whole = ReadCarrying(channel, bytes, size);
    channel.TapSamples(buffer.first(whole / 2));
    Record(channel, recording, bytes, whole, result, run);
}

} // namespace

std::string RecordingFailureText(const CSoundFile& recording) {
    return "Cann't write to file " + recording.Path() + ": " + recording.LastError();
}

PassResult RunStreamPass(StreamChannel& channel, std::span<int16_t> buffer) {
    PassResult result;
    if (!channel.device)
        return result;
    std::lock_guard lock(channel.passMutex);
    CDevice& device = *channel.device;
    const bool running = channel.running.load(std::memory_order_acquire);
    const uint32_t run = channel.runId.load(std::memory_order_relaxed);
    StreamChannel::Carry& carry = channel.carry;
    if (running && carry.run != run) {
        carry.run = run;
        carry.unsent.clear();
        carry.oddByte = false;
        carry.readFailures = 0;
    }

    result.figures.buffer = GetBufferState(device);
    if (result.figures.buffer) {
        const uint32_t space = result.figures.buffer->space;
        if (channel.direction == StreamDirection::Output)
            RaisePeak(channel.freeSpacePeak, space);
        result.figures.freeSpacePeak = channel.freeSpacePeak.load(std::memory_order_relaxed);
        if (running && space >= kFeedThreshold) {
            if (channel.direction == StreamDirection::Output)
                Feed(channel, space, buffer, result, run);
            else
                Drain(channel, space, buffer, result, run);
        }
    }

    result.figures.counters = GetStreamCounters(device);
    result.figures.rate = channel.actualRate.load(std::memory_order_relaxed);

    if (running && channel.direction == StreamDirection::Output &&
        channel.source.load(std::memory_order_relaxed) == StreamChannel::kSourceFile && result.figures.counters) {
        const uint64_t played = result.figures.counters->bytes;
        const bool wholeFile = static_cast<int64_t>(played) >= channel.file.DataLength();
        // A file that shrank after it was opened: no more data, and the device played all it was given.
        const bool nothingLeft = channel.fileExhausted.load(std::memory_order_relaxed) && carry.unsent.empty() &&
                                 played >= channel.bytesWritten.load(std::memory_order_relaxed);
        result.playedToEnd = wholeFile || nothingLeft;
        if (result.playedToEnd && carry.endReported != run && result.event.kind == PassEvent::Kind::None) {
            carry.endReported = run;
            result.event = {PassEvent::Kind::PlayedToEnd, run, {}};
        }
    }
    return result;
}

std::string DrainStoppedInput(StreamChannel& channel, std::span<int16_t> buffer) {
    if (!channel.device)
        return {};
    const uint32_t run = channel.runId.load(std::memory_order_relaxed);
    const std::shared_ptr<CSoundFile> recording =
        channel.source.load(std::memory_order_relaxed) == StreamChannel::kRecording ? channel.RecordingOf(run)
                                                                                    : nullptr;
    if (!recording)
        return {};
    auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
    PassResult result;
    // The board captured until the stop request; a few reads take it all, however it is split.
    for (int read = 0; read < 8; ++read) {
        const auto state = GetBufferState(*channel.device);
        if (!state || state->space < 2)
            break;
        const uint32_t whole = ReadCarrying(channel, bytes, std::min<uint32_t>(state->space, kPassSamples * 2));
        if (whole == 0)
            break;
        channel.TapSamples(buffer.first(whole / 2));
        Record(channel, recording, bytes, whole, result, run);
        if (result.event.kind != PassEvent::Kind::None)
            return result.event.text;
    }
    return {};
}
