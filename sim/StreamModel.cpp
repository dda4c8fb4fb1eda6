// Simulated board part: streaming channels, paced lazily from the clock (each advance handles the samples
// due since the last one): the channel table, rates, start and stop, buffer state, counters, sample
// transfer and capture. Timing, attenuation and the input signals have files of their own.
#include "StreamModel.h"

#include "BlockCodec.h"
#include "RequestCodes.h"
#include "StreamBlocks.h"
#include "StreamParts.h"

#include <algorithm>
#include <filesystem>

namespace sim {

using namespace streams;

namespace {

constexpr uint32_t kMinRate = 4000;
constexpr uint32_t kMaxRate = 96000;
constexpr uint32_t kWorkModes = 16;

} // namespace

StreamModel::StreamModel(BoardState& state) : m_state(state) {
    char leaf[32];
    for (size_t i = 0; i < kChannelCount; ++i) {
        Channel& c = m_channels[i];
        const bool stereo = i < kFirstInput;
        c.output = i < kFirstInput || i >= kFirstLineOutput;
        c.first.value = RangeOf(stereo, false).initial;
        c.second.value = RangeOf(stereo, true).initial;
        c.noise.Seed(0x5EED0000u + i); // the same noise on every run, different on every line
        if (i == kLeft)
            c.leaf = "LINE_OUT_LEFT";
        else if (i == kRight)
            c.leaf = "LINE_OUT_RIGHT";
        else {
            const bool in = i < kFirstLineOutput;
            std::snprintf(leaf, sizeof leaf, in ? "PHONE_LINE%zu_IN_DEV" : "PHONE_LINE%zu_OUT_DEV",
                          in ? i - kFirstInput : i - kFirstLineOutput);
            c.leaf = leaf;
        }
    }
}

StreamModel::~StreamModel() = default;

StreamModel::Channel* StreamModel::Find(const DeviceAddress& device) {
    return const_cast<Channel*>(static_cast<const StreamModel*>(this)->Find(device));
}

const StreamModel::Channel* StreamModel::Find(const DeviceAddress& device) const {
    switch (device.kind) {
    case DeviceKind::OutLeft:
        return &m_channels[kLeft];
    case DeviceKind::OutRight:
        return &m_channels[kRight];
    case DeviceKind::LineIn:
    case DeviceKind::LineOut:
        if (device.line < 0 || device.line >= 8 || static_cast<uint32_t>(device.line) >= m_state.config.channels)
            return nullptr;
        return &m_channels[(device.kind == DeviceKind::LineIn ? kFirstInput : kFirstLineOutput) +
                           static_cast<size_t>(device.line)];
    default:
        return nullptr;
    }
}

uint32_t StreamModel::RateOf(size_t index) const {
    if (index == kLeft)
        return m_leftRate;
    if (index == kRight)
        return m_rightRate;
    return m_codecRate;
}

bool StreamModel::Read(const DeviceAddress& device, uint8_t* buffer, uint32_t size, uint32_t* done) {
    if (done)
        *done = 0;
    Channel* c = device.kind == DeviceKind::LineIn ? Find(device) : nullptr;
    if (!c || (size > 0 && !buffer))
        return false;
    const size_t n = std::min<size_t>(size / 2, c->count);
    for (size_t i = 0; i < n; ++i) {
        block::PutU16(buffer, 2 * i, static_cast<uint16_t>(c->ring[c->head]));
        c->head = (c->head + 1) % kRingSamples;
    }
    c->count -= n;
    if (done)
        *done = static_cast<uint32_t>(2 * n);
    return true;
}

bool StreamModel::Write(const DeviceAddress& device, const uint8_t* buffer, uint32_t size, uint32_t* done) {
    if (done)
        *done = 0;
    Channel* c = Find(device);
    if (!c || !c->output || (size > 0 && !buffer))
        return false;
    const size_t n = std::min<size_t>(size / 2, kRingSamples - c->count);
    AllocateRing(*c);
    for (size_t i = 0; i < n; ++i)
        c->ring[(c->head + c->count + i) % kRingSamples] = static_cast<int16_t>(block::GetU16(buffer, 2 * i));
    c->count += n;
    if (n > 0) {
        c->dry = false;
        Capture(*c, buffer, static_cast<uint32_t>(2 * n));
    }
    if (done)
        *done = static_cast<uint32_t>(2 * n);
    return true;
}

void StreamModel::SetCapture(const std::string& directory, const std::string& base) {
    m_captureDirectory = directory;
    m_captureBase = base;
    for (Channel& c : m_channels) {
        c.capture.reset();
        c.captureFailed = false;
    }
}

void StreamModel::Capture(Channel& c, const uint8_t* bytes, uint32_t size) {
    if (m_captureDirectory.empty() || c.captureFailed)
        return;
    if (!c.capture) {
        // One file per device for the board's life, made empty when first written.
        const auto path = std::filesystem::path(m_captureDirectory) / (m_captureBase + "-" + c.leaf + ".raw");
        c.capture.reset(std::fopen(path.string().c_str(), "wb"));
        if (!c.capture) {
            c.captureFailed = true;
            std::fprintf(stderr, "veltrin-sim: VELTRIN_SIM_CAPTURE: cannot create %s\n", path.string().c_str());
            return;
        }
    }
    // Flushed at once so that what was played can be compared while the board is still open.
    std::fwrite(bytes, 1, size, c.capture.get());
    std::fflush(c.capture.get());
}

StreamStats StreamModel::Stats(const DeviceAddress& device) const {
    const Channel* c = Find(device);
    return c ? c->stats : StreamStats{};
}

Handled StreamModel::Rate(uint32_t* rate, bool set, ControlRequest& request, size_t first, size_t last, Duration now) {
    if (!set) {
        if (!request.Sizes(0, 4))
            return Handled::Fail;
        block::PutU32(request.output, 0, *rate);
        request.returned = 4;
        return Handled::Ok;
    }
    if (!request.Sizes(4, 0))
        return Handled::Fail;
    const uint32_t wanted = block::GetU32(request.input, 0);
    if (wanted < kMinRate || wanted > kMaxRate)
        return Handled::Fail;
    // Samples up to now were paced at the old rate (the advance before this request took them);
    // from now on the new rate counts.
    *rate = wanted;
    Rebase(first, last, now);
    return Handled::Ok;
}

Handled StreamModel::Command(Channel& c, ControlRequest& request, Duration now) {
    if (!request.Sizes(StreamCommand::kSize, 0))
        return Handled::Fail;
    const auto command = StreamCommand::Decode(request.input, request.inputSize);
    if (!command || command->one != 1 || command->zero != 0 || block::GetU16(request.input, 8) != 0)
        return Handled::Fail;
    if (command->command == StreamCommand::kStart) {
        c.running = true;
        c.since = now;
        c.accounted = 0;
        c.produced = 0;
        c.glitch.Restart();
        c.bytes = 0;
        c.level = 0;
        // An output started before anything was written is silent until its first data; only running
        // out of data after that counts as an underrun.
        c.dry = c.output && c.count == 0;
        if (!c.output) {
            c.head = 0; // a capture starts empty, so its first sample is the start's
            c.count = 0;
        }
        return Handled::Ok;
    }
    if (command->command == StreamCommand::kStop) {
        c.running = false;
        return Handled::Ok;
    }
    return Handled::Fail;
}

Handled StreamModel::Control(const DeviceAddress& device, ControlRequest& request, Duration now) {
    if (device.kind == DeviceKind::Config) {
        switch (request.code) {
        case req::kSetLeftRate:
        case req::kGetLeftRate:
            return Rate(&m_leftRate, request.code == req::kSetLeftRate, request, kLeft, kLeft, now);
        case req::kSetRightRate:
        case req::kGetRightRate:
            return Rate(&m_rightRate, request.code == req::kSetRightRate, request, kRight, kRight, now);
        case req::kSetCodecRate:
        case req::kGetCodecRate:
            return Rate(&m_codecRate, request.code == req::kSetCodecRate, request, kFirstInput, kChannelCount - 1, now);
        default:
            return Handled::No;
        }
    }
    Channel* c = Find(device);
    if (!c)
        return Handled::No;
    const bool stereo = device.kind == DeviceKind::OutLeft || device.kind == DeviceKind::OutRight;
    switch (request.code) {
    case req::kGetAttenuation:
    case req::kSetAttenuation:
        return Attenuation(*c, stereo, false, request);
    case req::kGetAttenuation2:
    case req::kSetAttenuation2:
        return Attenuation(*c, stereo, true, request);
    case req::kStream:
        return Command(*c, request, now);
    case req::kSyncCodecInput:
        return device.kind == DeviceKind::LineIn ? Command(*c, request, now) : Handled::Fail;
    case req::kGetBufferState: {
        if (!request.Sizes(0, BufferState::kSize))
            return Handled::Fail;
        const uint32_t held = static_cast<uint32_t>(2 * c->count);
        const BufferState state{kBufferBytes, c->output ? kBufferBytes - held : held};
        const auto bytes = state.Encode();
        std::copy(bytes.begin(), bytes.end(), request.output);
        request.returned = BufferState::kSize;
        return Handled::Ok;
    }
    case req::kGetCounters: {
        if (!request.Sizes(0, StreamCounters::kSize))
            return Handled::Fail;
        StreamCounters counters;
        counters.bytes = static_cast<uint32_t>(c->bytes); // the device's counter wraps at 32 bits
        counters.level = c->level;
        const auto bytes = counters.Encode();
        std::copy(bytes.begin(), bytes.end(), request.output);
        request.returned = StreamCounters::kSize;
        return Handled::Ok;
    }
    case req::kOutputMode: {
        if (device.kind != DeviceKind::OutLeft || !request.Sizes(4, 0))
            return Handled::Fail;
        const uint32_t mode = block::GetU32(request.input, 0);
        if (mode >= kWorkModes)
            return Handled::Fail;
        m_workMode = mode;
        return Handled::Ok;
    }
    default:
        return Handled::No;
    }
}

} // namespace sim
