// Running output and input streams for veltrin-cli on the shared streaming engine.
#include "CliStreams.h"

#include "CliArgs.h"
#include "CliOutput.h"
#include "CliSignals.h"
#include "Device.h"
#include "StreamPass.h"
#include "StreamRequests.h"

#include <QString>

#include <cstdio>
#include <thread>

uint32_t ApplyOutputRate(CDevice& cfg, int channel, std::optional<uint32_t> wanted) {
    if (wanted && !SetOutputRate(cfg, channel, *wanted))
        throw DeviceError("the board refused the sampling rate " + std::to_string(*wanted));
    const auto actual = GetOutputRate(cfg, channel);
    if (!actual || *actual == 0)
        throw DeviceError("cannot get the sampling rate");
    return *actual;
}

uint32_t ApplyCodecRate(CDevice& cfg, std::optional<uint32_t> wanted) {
    if (wanted && !SetCodecRate(cfg, *wanted))
        throw DeviceError("the board refused the sampling rate " + std::to_string(*wanted));
    const auto actual = GetCodecRate(cfg);
    if (!actual || *actual == 0)
        throw DeviceError("cannot get the sampling rate");
    return *actual;
}

CStreamRun::CStreamRun() : m_state(std::make_unique<State>()) {}

CStreamRun::~CStreamRun() {
    try {
        Stop();
    } catch (...) {
        // A stop that fails while leaving is not worth more than the error that made us leave.
    }
}

int CStreamRun::AddOutput(CDevice& device, const PlaySource& source, uint32_t rate) {
    Leg leg;
    leg.channel = std::make_unique<StreamChannel>();
    StreamChannel& channel = *leg.channel;
    channel.device = &device;
    channel.direction = StreamDirection::Output;
    if (!source.file.empty()) {
        if (!channel.file.OpenForReading(source.file, source.channel))
            throw UsageError("cannot open the sound file " + source.file + ": " + channel.file.LastError());
        channel.source.store(StreamChannel::kSourceFile, std::memory_order_relaxed);
    } else {
        std::lock_guard lock(channel.sourceMutex);
        if (!channel.sine.Init(rate, source.amplitude, source.frequency))
            throw UsageError("cannot initialize the sine generator (" + std::to_string(source.frequency) + " Hz at " +
                             std::to_string(rate) + " samples/s, amplitude " + std::to_string(source.amplitude) + ")");
        channel.source.store(StreamChannel::kSourceSine, std::memory_order_relaxed);
    }
    leg.run = std::make_unique<CChannelRun>(channel, ChannelKind::CodecOutput, nullptr);
    leg.rate = rate;
    m_state->legs.push_back(std::move(leg));
    return static_cast<int>(m_state->legs.size() - 1);
}

int CStreamRun::AddInput(CDevice& device, const std::string& path, uint32_t rate, SoundFormat format) {
    Leg leg;
    leg.channel = std::make_unique<StreamChannel>();
    leg.channel->device = &device;
    leg.channel->direction = StreamDirection::Input;
    leg.run = std::make_unique<CChannelRun>(*leg.channel, ChannelKind::CodecInput, nullptr);
    leg.path = path;
    leg.format = format;
    leg.rate = rate;
    m_state->legs.push_back(std::move(leg));
    return static_cast<int>(m_state->legs.size() - 1);
}

void CStreamRun::Start() {
    State& state = *m_state;
    {
        std::lock_guard lock(state.mutex);
        state.figures.assign(state.legs.size(), {});
        state.ended.assign(state.legs.size(), 0);
        state.lastBytes.assign(state.legs.size(), 0);
        state.progressAt.assign(state.legs.size(), std::chrono::steady_clock::now());
    }
    m_started = true;
    for (Leg& leg : state.legs) {
        StartRequest request;
        request.rate = leg.rate;
        request.rateApplied = true;
        request.record = leg.channel->direction == StreamDirection::Input;
        request.recordingPath = leg.path;
        request.recordingFormat = leg.format;
        const RunStatus status = leg.run->Start(request);
        if (status.step == RunStatus::Step::CreateRecording)
            throw UsageError("cannot create the recording " + leg.path);
        if (!status.error.empty())
            throw DeviceError("cannot start a stream");
    }
    std::vector<StreamChannel*> channels;
    for (Leg& leg : state.legs)
        channels.push_back(leg.channel.get());
    m_worker = std::make_unique<CStreamWorker>(std::move(channels), state);
    if (!m_worker->Start())
        throw DeviceError("cannot start the streaming thread");
}

void CStreamRun::Wait(double seconds, const std::function<bool()>& done, const std::string& what) {
    using Clock = std::chrono::steady_clock;
    State& state = *m_state;
    const auto begin = Clock::now();
    CProgress progress(what, seconds);
    for (;;) {
        const auto now = Clock::now();
        const double elapsed = std::chrono::duration<double>(now - begin).count();
        if ((seconds > 0 && elapsed >= seconds) || StopSignal() != 0)
            return;
        if (done && done())
            return;
        bool files = false;
        bool allEnded = true;
        {
            std::lock_guard lock(state.mutex);
            if (!state.failure.empty())
                return;
            for (size_t i = 0; i < state.legs.size(); ++i) {
                const StreamChannel& c = *state.legs[i].channel;
                const auto bound = StallBound(state.legs[i].rate);
                if (now - state.progressAt[i] > bound && state.ended[i] == 0)
                    throw DeviceError("stream channel " + std::to_string(i) + " made no progress for " +
                                      QString::number(std::chrono::duration<double>(bound).count()).toStdString() +
                                      " s: its byte count did not move or could not be read");
                if (c.direction == StreamDirection::Output &&
                    c.source.load(std::memory_order_relaxed) == StreamChannel::kSourceFile) {
                    files = true;
                    allEnded = allEnded && state.ended[i] != 0;
                }
            }
        }
        if (files && allEnded)
            return;
        progress.Update(elapsed);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void CStreamRun::EndWorker() {
    if (!m_worker)
        return;
    constexpr std::chrono::milliseconds kAnswerWait{1000};
    if (m_worker->JoinFor(kAnswerWait))
        return;
    for (Leg& leg : m_state->legs)
        leg.channel->device->Cancel();
    if (m_worker->JoinFor(kAnswerWait))
        return;
    const int stuck = m_worker->CurrentChannel();
    std::fprintf(stderr, "veltrin-cli: stream channel %d did not answer; its thread is left behind\n", stuck);
    // Left behind in the driver: what it may still touch is never freed.
    m_worker->Abandon();
    (void)m_worker.release();
    (void)m_state.release();
    m_state = std::make_unique<State>();
    throw DeviceError("stream channel " + std::to_string(stuck) + " did not answer");
}

void CStreamRun::Stop() {
    if (!m_started)
        return;
    m_started = false;
    State& state = *m_state;
    std::string error;
    for (auto direction : {StreamDirection::Input, StreamDirection::Output}) {
        for (Leg& leg : state.legs) {
            if (leg.channel->direction != direction)
                continue;
            const RunStatus status = leg.run->Stop();
            if (!status.notice.empty()) {
                leg.notice = status.notice;
                Diagnostic("stream channel " + std::to_string(&leg - state.legs.data()) + ": " + status.notice);
            }
            if (status.step == RunStatus::Step::StopRequest && error.empty())
                error = "cannot stop a stream";
            else if (status.step == RunStatus::Step::Recording && error.empty())
                error = status.error;
        }
    }
    EndWorker();
    std::string failure;
    {
        std::lock_guard lock(m_state->mutex);
        failure = m_state->failure;
    }
    if (!failure.empty())
        throw DeviceError(failure);
    if (!error.empty())
        throw DeviceError(error);
}

ChannelFigures CStreamRun::Figures(int index) const {
    std::lock_guard lock(m_state->mutex);
    const auto& figures = m_state->figures;
    return index < static_cast<int>(figures.size()) ? figures[static_cast<size_t>(index)] : ChannelFigures{};
}

bool CStreamRun::Ended(int index) const {
    std::lock_guard lock(m_state->mutex);
    const auto& ended = m_state->ended;
    return index < static_cast<int>(ended.size()) && ended[static_cast<size_t>(index)] != 0;
}

std::string CStreamRun::Notice(int index) const {
    std::lock_guard lock(m_state->mutex);
    const auto& legs = m_state->legs;
    return index >= 0 && index < static_cast<int>(legs.size()) ? legs[static_cast<size_t>(index)].notice
                                                               : std::string();
}

void CStreamRun::State::ShowFigures(std::span<const ChannelFigures> shown) {
    std::lock_guard lock(mutex);
    for (size_t i = 0; i < shown.size() && i < figures.size(); ++i) {
        // A failed query leaves the last answer standing, as on the pages.
        if (shown[i].buffer)
            figures[i].buffer = shown[i].buffer;
        if (shown[i].counters) {
            figures[i].counters = shown[i].counters;
            // Progress: the channel's byte count moved.
            if (shown[i].counters->bytes != lastBytes[i])
                progressAt[i] = std::chrono::steady_clock::now();
            lastBytes[i] = shown[i].counters->bytes;
        }
        figures[i].rate = shown[i].rate;
    }
}

void CStreamRun::State::Report(int channel, const PassEvent& event) {
    std::lock_guard lock(mutex);
    if (channel < 0 || channel >= static_cast<int>(ended.size()) ||
        !legs[static_cast<size_t>(channel)].run->IsCurrent(event.run))
        return;
    if (event.kind == PassEvent::Kind::PlayedToEnd) {
        // Played to its end only when the device took every byte of the file.
        const StreamChannel& c = *legs[static_cast<size_t>(channel)].channel;
        if (static_cast<int64_t>(c.bytesWritten.load(std::memory_order_relaxed)) >= c.file.DataLength())
            ended[static_cast<size_t>(channel)] = 1;
        else if (failure.empty())
            failure = "the device took " + std::to_string(c.bytesWritten.load()) + " of the " +
                      std::to_string(c.file.DataLength()) + " bytes of " + c.file.Path();
    } else if (failure.empty()) {
        failure = event.text;
    }
}
