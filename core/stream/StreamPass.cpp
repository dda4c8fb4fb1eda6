// One streaming pass over one channel.
#include "StreamPass.h"

#include "Device.h"
#include "StreamChannel.h"
#include "StreamRequests.h"

#include <algorithm>
#include <cstdint>

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

// Offers `size` bytes until the device has taken them all or takes no more, within the pass's transfers;
// returns the bytes taken. A failed write took nothing: the same bytes are offered again next pass.
uint32_t WriteAll(StreamChannel& channel, const uint8_t* bytes, uint32_t size, int& transfers) {
    uint32_t done = 0;
    while (done < size && transfers < kPassTransfers) {
        ++transfers;
        uint32_t written = 0;
        if (!channel.device->Write(bytes + done, size - done, &written))
            written = 0;
        written = std::min(written, size - done);
        if (written == 0)
            break;
        channel.bytesWritten.fetch_add(written, std::memory_order_relaxed);
        done += written;
    }
    return done;
}

// Fills the device's free space: first the bytes it left last time, then new ones from the source.
void Feed(StreamChannel& channel, uint32_t space, std::span<int16_t> buffer, PassResult& result, uint32_t run) {
    StreamChannel::Carry& carry = channel.carry;
    uint32_t share = std::min<uint32_t>(space, kPassSamples * 2);
    int transfers = 0;
    if (!carry.unsent.empty()) {
        const auto size = static_cast<uint32_t>(std::min<size_t>(share, carry.unsent.size()));
        const uint32_t written = WriteAll(channel, carry.unsent.data(), size, transfers);
        carry.unsent.erase(carry.unsent.begin(), carry.unsent.begin() + written);
        share -= written;
        if (!carry.unsent.empty() || share < kFeedThreshold)
            return;
    }
    const auto samples = static_cast<int32_t>(share / 2);
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
    const uint32_t written = WriteAll(channel, bytes, size, transfers);
    if (written < size)
        carry.unsent.assign(bytes + written, bytes + size);
}

// Reads up to `want` bytes from an input behind the byte carried from the last read, into a buffer of
// `capacity` bytes; returns the whole samples' byte count now at the start of `bytes` and carries an odd
// last byte to the next read. `got` is what the device handed over (0 when it failed).
uint32_t ReadCarrying(StreamChannel& channel, uint8_t* bytes, uint32_t capacity, uint32_t want, uint32_t& got) {
    StreamChannel::Carry& carry = channel.carry;
    const uint32_t offset = carry.oddByte ? 1 : 0;
    const uint32_t size = std::min(want, capacity - offset);
    bytes[0] = carry.odd;
    got = 0;
    // A count beyond the buffer is a misbehaving driver's: nothing of it is trusted or recorded.
    if (!channel.device->Read(bytes + offset, size, &got) || got == 0 || got > size) {
        got = 0;
        return 0;
    }
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

// Reads `available` bytes (at most one buffer) from the input, however the driver splits them, into the
// tap and the recording; stops early when the driver hands over nothing or the recording fails. Returns
// the bytes the driver handed over.
uint32_t TakeAvailable(StreamChannel& channel, uint32_t available, std::span<int16_t> buffer,
                       const std::shared_ptr<CSoundFile>& recording, PassResult& result, uint32_t run) {
    auto* bytes = reinterpret_cast<uint8_t*>(buffer.data());
    const auto capacity = static_cast<uint32_t>(buffer.size() * 2);
    uint32_t left = std::min(available, capacity);
    uint32_t taken = 0;
    for (int transfer = 0; transfer < kPassTransfers && left > 0; ++transfer) {
        uint32_t got = 0;
        const uint32_t whole = ReadCarrying(channel, bytes, capacity, left, got);
        if (got == 0)
            break;
        left -= std::min(got, left);
        taken += got;
        channel.TapSamples(buffer.first(whole / 2));
        Record(channel, recording, bytes, whole, result, run);
        if (result.event.kind != PassEvent::Kind::None)
            break;
    }
    return taken;
}

// The recording a block read now belongs to (none when the input only drains): borrowed before the
// read, so a block of this run never lands in another run's file.
std::shared_ptr<CSoundFile> RunRecording(const StreamChannel& channel, uint32_t run) {
    return channel.source.load(std::memory_order_relaxed) == StreamChannel::kRecording ? channel.RecordingOf(run)
                                                                                       : nullptr;
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
                TakeAvailable(channel, space, buffer, RunRecording(channel, run), result, run);
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

DrainOutcome DrainStoppedInput(StreamChannel& channel, std::span<int16_t> buffer) {
    DrainOutcome outcome;
    if (!channel.device)
        return outcome;
    const uint32_t run = channel.runId.load(std::memory_order_relaxed);
    const std::shared_ptr<CSoundFile> recording = RunRecording(channel, run);
    if (!recording)
        return outcome;
    PassResult result;
    // The board captured until the stop request; rounds take it all, however the driver splits it. One
    // byte available completes a carried half sample. Requests that fail or hand over nothing a few times
    // in a row (a board gone, a driver that says it holds bytes it never gives) end the drain, and so
    // does its time bound.
    constexpr int kRounds = 4096;
    constexpr int kIdleRounds = 8;
    constexpr auto kDrainTime = std::chrono::milliseconds(1000);
    const auto until = std::chrono::steady_clock::now() + kDrainTime;
    // A stopped board holds at most one buffer: a driver that keeps saying more is not read for ever.
    uint64_t left = UINT64_MAX;
    int idle = 0;
    for (int round = 0; round < kRounds && idle < kIdleRounds && std::chrono::steady_clock::now() < until; ++round) {
        const auto state = GetBufferState(*channel.device);
        if (state && left == UINT64_MAX && state->length != 0)
            left = state->length + 1; // and the byte that completes a carried half sample
        if (state && (state->space == 0 || left == 0))
            break;
        const uint32_t taken =
            state ? TakeAvailable(channel, static_cast<uint32_t>(std::min<uint64_t>(state->space, left)), buffer,
                                  recording, result, run)
                  : 0;
        left -= std::min<uint64_t>(taken, left);
        if (result.event.kind != PassEvent::Kind::None) {
            outcome.error = result.event.text;
            return outcome;
        }
        idle = taken == 0 ? idle + 1 : 0;
    }
    // A byte of a sample whose other half never came: the recording keeps whole samples only.
    outcome.halfSampleDropped = channel.carry.oddByte;
    channel.carry.oddByte = false;
    return outcome;
}

std::chrono::milliseconds StallBound(uint32_t rate) {
    using std::chrono::milliseconds;
    constexpr milliseconds kLeast{2000};
    constexpr milliseconds kMargin{1000};
    if (rate == 0)
        return kLeast;
    // 16-bit samples: kFeedThreshold bytes gather in kFeedThreshold / 2 samples.
    const milliseconds threshold{(int64_t{kFeedThreshold} / 2 * 1000 + rate - 1) / rate};
    return std::max(kLeast, threshold + kMargin);
}
