// Simulated board part: streaming channels, paced lazily from the clock (each advance handles the samples
// due since the last one), with their attenuation, rates, start and stop, buffer state and counters.
#include "StreamModel.h"

#include "BlockCodec.h"
#include "BoardModels.h"
#include "RequestCodes.h"
#include "StreamBlocks.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>

namespace sim {

namespace {

constexpr size_t kLeft = 0;
constexpr size_t kRight = 1;
constexpr size_t kFirstInput = 2;
constexpr size_t kFirstLineOutput = 10;
constexpr size_t kChannelCount = 18;
constexpr size_t kRingSamples = StreamModel::kBufferBytes / 2;

constexpr uint32_t kMinRate = 4000;
constexpr uint32_t kMaxRate = 96000;
constexpr uint32_t kWorkModes = 16;

constexpr uint64_t kToneFrequency = 1000;
constexpr double kToneAmplitude = 8000.0;

// Value ranges of the attenuation settings: linear factor or gain step (first set), tenths of a decibel
// (second set), for the stereo outputs and the codec lines.
struct Range {
    int16_t min;
    int16_t max;
    int16_t initial;
};
constexpr Range kStereoFirst{0, 255, 255};
constexpr Range kCodecFirst{0, 14, 8};
constexpr Range kStereoSecond{-960, 0, 0};
constexpr Range kCodecSecond{-360, 240, 0};

Range RangeOf(bool stereo, bool second) {
    if (second)
        return stereo ? kStereoSecond : kCodecSecond;
    return stereo ? kStereoFirst : kCodecFirst;
}

// The codec lines' first-set gain steps, in dB.
constexpr double kCodecSteps[] = {-36, -30, -24, -18, -12, -9, -6, -3, 0, 3, 6, 9, 12, 18, 24};

int16_t Clamp(double value) {
    return static_cast<int16_t>(std::lround(std::clamp(value, double{INT16_MIN}, double{INT16_MAX})));
}

int16_t Scale(int16_t sample, double gain) { return gain == 1.0 ? sample : Clamp(sample * gain); }

double FromDb(double db) { return std::pow(10.0, db / 20.0); }

int16_t Magnitude(int16_t sample) {
    return sample == INT16_MIN ? INT16_MAX : static_cast<int16_t>(sample < 0 ? -sample : sample);
}

} // namespace

std::optional<InputSignal> ParseInputSignal(const std::string& text) {
    if (text == "tone")
        return InputSignal::Tone;
    if (text == "sequence")
        return InputSignal::Sequence;
    if (text == "loopback")
        return InputSignal::Loopback;
    return std::nullopt;
}

StreamModel::StreamModel(BoardState& state) : m_state(state) {
    char leaf[32];
    for (size_t i = 0; i < kChannelCount; ++i) {
        Channel& c = m_channels[i];
        const bool stereo = i < kFirstInput;
        c.output = i < kFirstInput || i >= kFirstLineOutput;
        c.first.value = RangeOf(stereo, false).initial;
        c.second.value = RangeOf(stereo, true).initial;
        c.ring.resize(kRingSamples);
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

uint64_t StreamModel::Due(Channel& channel, uint32_t rate, Duration now) {
    // Whole samples due from the total time since counting began, so that no fraction of a sample is
    // lost however the time between advances is cut.
    const int64_t elapsed = std::max<int64_t>(0, (now - channel.since).count());
    constexpr int64_t kSecond = 1'000'000'000;
    const uint64_t total =
        static_cast<uint64_t>(elapsed / kSecond) * rate + static_cast<uint64_t>(elapsed % kSecond) * rate / kSecond;
    const uint64_t due = total > channel.accounted ? total - channel.accounted : 0;
    channel.accounted = std::max(total, channel.accounted);
    return due;
}

void StreamModel::Rebase(size_t first, size_t last, Duration now) {
    for (size_t i = first; i <= last; ++i) {
        m_channels[i].since = now;
        m_channels[i].accounted = 0;
    }
}

void StreamModel::Advance(Duration now) {
    // Outputs first, so that a loopback input hears what its line played in this same interval.
    for (size_t i = 0; i < kChannelCount; ++i) {
        Channel& c = m_channels[i];
        if (!c.output)
            continue;
        c.interval = 0;
        c.played.clear();
        if (c.running)
            AdvanceOutput(c, Due(c, RateOf(i), now));
    }
    for (size_t i = kFirstInput; i < kFirstLineOutput; ++i) {
        Channel& c = m_channels[i];
        if (!c.running)
            continue;
        uint64_t due = Due(c, RateOf(i), now);
        const Channel& out = m_channels[kFirstLineOutput + (i - kFirstInput)];
        if (m_signal == InputSignal::Loopback && out.running) {
            // A looped-back input moves in step with its line's output: two channels started at different
            // instants round their whole samples differently, which would drop or double a sample now and then.
            c.accounted = c.accounted - due + out.interval;
            due = out.interval;
        }
        AdvanceInput(i, due);
    }
}

void StreamModel::AdvanceOutput(Channel& c, uint64_t due) {
    if (due == 0)
        return; // no sample boundary passed: the level of the last advance stands
    const bool loopbackSource = &c != &m_channels[kLeft] && &c != &m_channels[kRight];
    const size_t play = static_cast<size_t>(std::min<uint64_t>(due, c.count));
    const double gain = Gain(c, !loopbackSource);
    int16_t peak = 0;
    double sumSquares = 0.0;
    c.interval = due;
    for (size_t n = 0; n < play; ++n) {
        const int16_t sample = Scale(c.ring[c.head], gain);
        c.head = (c.head + 1) % kRingSamples;
        peak = std::max(peak, Magnitude(sample));
        sumSquares += static_cast<double>(sample) * sample;
        if (loopbackSource)
            c.played.push_back(sample);
    }
    c.playedAmplitude = play > 0 ? std::sqrt(2.0 * sumSquares / static_cast<double>(play)) : 0.0;
    c.count -= play;
    c.level = peak;
    c.bytes += 2u * play;
    c.produced += play;
    c.stats.bytesPlayed += 2u * play;
    if (play < due) {
        if (!c.dry)
            ++c.stats.underruns;
        c.dry = true;
    }
}

const int16_t* StreamModel::PlayedAt(size_t outputIndex, uint64_t due, uint64_t j) const {
    // The output's interval and the input's end at the same instant; line up their ends.
    const Channel& out = m_channels[outputIndex];
    if (out.interval + j < due)
        return nullptr;
    const uint64_t position = out.interval + j - due;
    return position < out.played.size() ? &out.played[static_cast<size_t>(position)] : nullptr;
}

double StreamModel::Gain(const Channel& c, bool stereo) const {
    const bool second = BoardModelFor(m_state.config.type).secondAttenuation;
    const Setting& setting = second ? c.second : c.first;
    if (setting.mute)
        return 0.0;
    if (second)
        return FromDb(setting.value / 10.0);
    if (stereo) // steps of 1/256, the top of the range passing the samples unchanged
        return setting.value == kStereoFirst.max ? 1.0 : setting.value / 256.0;
    return FromDb(kCodecSteps[std::clamp<int>(setting.value, kCodecFirst.min, kCodecFirst.max)]);
}

int16_t StreamModel::InputSample(size_t index, uint64_t k, uint64_t due, uint64_t j, double gain) {
    if (m_signal == InputSignal::Sequence)
        return static_cast<int16_t>(static_cast<uint16_t>(k & 0xFFFF));
    const size_t line = index - kFirstInput;
    double heard = 0.0;
    if (m_signal == InputSignal::Loopback) {
        const size_t own = kFirstLineOutput + line;
        if (const int16_t* played = PlayedAt(own, due, j)) {
            heard = *played;
            // x + r (2x^2/A - A) turns a sine of amplitude A into itself plus -r A cos(2 wt): a second
            // harmonic r below the tone, without a DC offset.
            const double amplitude = m_channels[own].playedAmplitude;
            if (m_harmonic > 0.0 && amplitude > 0.0)
                heard += m_harmonic * (2.0 * heard * heard / amplitude - amplitude);
        }
    } else {
        const uint32_t rate = RateOf(index);
        const uint64_t phase = (k % rate) * kToneFrequency % rate;
        const double angle = 2.0 * std::numbers::pi * static_cast<double>(phase) / rate;
        heard = kToneAmplitude * std::sin(angle);
    }
    if (m_crosstalk > 0.0) {
        for (const size_t neighbour : {line - 1, line + 1}) {
            if (neighbour >= m_state.config.channels || neighbour >= 8)
                continue; // line 0 has no line below (the index wraps round to a huge number)
            if (const int16_t* played = PlayedAt(kFirstLineOutput + neighbour, due, j))
                heard += m_crosstalk * *played;
        }
    }
    if (gain == 0.0)
        return 0;
    double sample = heard * gain;
    if (m_noiseRms > 0.0)
        sample += m_noiseRms * m_channels[index].noise.Next();
    return Clamp(sample);
}

void StreamModel::AdvanceInput(size_t index, uint64_t due) {
    if (due == 0)
        return;
    Channel& c = m_channels[index];
    // Samples that would not fit are lost, the oldest first: first those already waiting, then the
    // earliest of the new ones (which are then never made).
    const uint64_t total = c.count + due;
    uint64_t skip = 0;
    if (total > kRingSamples) {
        const uint64_t drop = total - kRingSamples;
        const size_t fromBuffer = static_cast<size_t>(std::min<uint64_t>(drop, c.count));
        c.head = (c.head + fromBuffer) % kRingSamples;
        c.count -= fromBuffer;
        skip = drop - fromBuffer;
        c.stats.lostInputBytes += 2u * drop;
    }
    int16_t peak = 0;
    const double gain = Gain(c, false);
    for (uint64_t j = skip; j < due; ++j) {
        const int16_t sample = InputSample(index, c.produced + j, due, j, gain);
        c.ring[(c.head + c.count) % kRingSamples] = sample;
        ++c.count;
        peak = std::max(peak, Magnitude(sample));
    }
    c.produced += due;
    c.bytes += 2u * due;
    c.level = gain == 0.0 ? int16_t{0} : peak;
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

void StreamModel::SetImpairments(const Impairments& impairments) {
    // A full-scale sine's RMS is 32768 / sqrt(2).
    m_noiseRms = impairments.noiseDbfs ? FromDb(*impairments.noiseDbfs) * 32768.0 / std::numbers::sqrt2 : 0.0;
    m_harmonic = impairments.harmonicDb ? FromDb(*impairments.harmonicDb) : 0.0;
    m_crosstalk = impairments.crosstalkDb ? FromDb(*impairments.crosstalkDb) : 0.0;
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

Handled StreamModel::Attenuation(Channel& c, bool stereo, bool second, ControlRequest& request) {
    if (second && !BoardModelFor(m_state.config.type).secondAttenuation)
        return Handled::Fail;
    const Range range = RangeOf(stereo, second);
    Setting& setting = second ? c.second : c.first;
    const bool set = request.code == req::kSetAttenuation || request.code == req::kSetAttenuation2;
    if (set) {
        if (!request.Sizes(AttenuationBlock::kSize, 0))
            return Handled::Fail;
        const auto block = AttenuationBlock::Decode(request.input, request.inputSize);
        if (!block || block->value < range.min || block->value > range.max)
            return Handled::Fail;
        setting = {block->value, block->mute != 0};
        return Handled::Ok;
    }
    if (!request.Sizes(0, AttenuationBlock::kSize))
        return Handled::Fail;
    AttenuationBlock block;
    block.value = setting.value;
    block.mute = setting.mute ? 1 : 0;
    block.max = range.max;
    block.min = range.min;
    const auto bytes = block.Encode();
    std::copy(bytes.begin(), bytes.end(), request.output);
    request.returned = AttenuationBlock::kSize;
    return Handled::Ok;
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
