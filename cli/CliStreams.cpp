// Running output and input streams for veltrin-cli on the shared streaming engine.
#include "CliStreams.h"

#include "CliArgs.h"
#include "CliOutput.h"
#include "StreamRequests.h"

#include <chrono>
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

CStreamRun::~CStreamRun() {
    try {
        Stop();
    } catch (...) {
        // A stop that fails while leaving is not worth more than the error that made us leave.
    }
}

int CStreamRun::AddOutput(CDevice& device, const PlaySource& source, uint32_t rate) {
    auto channel = std::make_unique<StreamChannel>();
    channel->device = &device;
    channel->direction = StreamDirection::Output;
    if (!source.file.empty()) {
        if (!channel->file.OpenForReading(source.file))
            throw UsageError("cannot open the sound file " + source.file);
        channel->source.store(StreamChannel::kSourceFile, std::memory_order_relaxed);
    } else {
        std::lock_guard lock(channel->sourceMutex);
        if (!channel->sine.Init(rate, source.amplitude, source.frequency))
            throw UsageError("cannot initialize the sine generator (" + std::to_string(source.frequency) + " Hz at " +
                             std::to_string(rate) + " samples/s, amplitude " + std::to_string(source.amplitude) + ")");
        channel->source.store(StreamChannel::kSourceSine, std::memory_order_relaxed);
    }
    channel->actualRate.store(static_cast<int32_t>(rate), std::memory_order_relaxed);
    m_channels.push_back(std::move(channel));
    return static_cast<int>(m_channels.size() - 1);
}

int CStreamRun::AddInput(CDevice& device, const std::string& path, uint32_t rate) {
    auto channel = std::make_unique<StreamChannel>();
    channel->device = &device;
    channel->direction = StreamDirection::Input;
    auto recording = std::make_shared<CSoundFile>();
    if (!recording->CreateForRecording(path, rate))
        throw UsageError("cannot create the recording " + path);
    channel->SetRecording(std::move(recording));
    channel->source.store(StreamChannel::kRecording, std::memory_order_relaxed);
    channel->actualRate.store(static_cast<int32_t>(rate), std::memory_order_relaxed);
    m_channels.push_back(std::move(channel));
    return static_cast<int>(m_channels.size() - 1);
}

void CStreamRun::Start() {
    {
        std::lock_guard lock(m_mutex);
        m_figures.assign(m_channels.size(), {});
        m_ended.assign(m_channels.size(), 0);
    }
    m_started = true;
    for (auto& c : m_channels) {
        if (!SendStreamCommand(*c->device, StreamCommand::kStart))
            throw DeviceError("cannot start a stream");
        c->MarkRunning();
    }
    std::vector<StreamChannel*> channels;
    for (auto& c : m_channels)
        channels.push_back(c.get());
    m_worker = std::make_unique<CStreamWorker>(std::move(channels), *this);
    if (!m_worker->Start())
        throw DeviceError("cannot start the streaming thread");
}

void CStreamRun::Wait(double seconds, const std::function<bool()>& done, const std::string& what) {
    using Clock = std::chrono::steady_clock;
    const auto begin = Clock::now();
    CProgress progress(what, seconds);
    for (;;) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
        if (seconds > 0 && elapsed >= seconds)
            return;
        if (done && done())
            return;
        bool files = false;
        bool allEnded = true;
        {
            std::lock_guard lock(m_mutex);
            for (size_t i = 0; i < m_channels.size(); ++i) {
                const StreamChannel& c = *m_channels[i];
                if (c.direction == StreamDirection::Output &&
                    c.source.load(std::memory_order_relaxed) == StreamChannel::kSourceFile) {
                    files = true;
                    allEnded = allEnded && m_ended[i] != 0;
                }
            }
        }
        if (files && allEnded)
            return;
        progress.Update(elapsed);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void CStreamRun::Stop() {
    if (!m_started)
        return;
    m_started = false;
    bool refused = false;
    for (auto direction : {StreamDirection::Input, StreamDirection::Output}) {
        for (auto& c : m_channels) {
            if (c->direction != direction || !c->running.load(std::memory_order_relaxed))
                continue;
            refused = !SendStreamCommand(*c->device, StreamCommand::kStop) || refused;
            c->running.store(false, std::memory_order_release);
        }
    }
    if (m_worker) {
        m_worker->RequestStop();
        m_worker->Join();
    }
    for (auto& c : m_channels)
        if (auto recording = c->TakeRecording())
            recording->Close();
    if (refused)
        throw DeviceError("cannot stop a stream");
}

ChannelFigures CStreamRun::Figures(int index) const {
    std::lock_guard lock(m_mutex);
    return index < static_cast<int>(m_figures.size()) ? m_figures[static_cast<size_t>(index)] : ChannelFigures{};
}

bool CStreamRun::Ended(int index) const {
    std::lock_guard lock(m_mutex);
    return index < static_cast<int>(m_ended.size()) && m_ended[static_cast<size_t>(index)] != 0;
}

void CStreamRun::ShowFigures(std::span<const ChannelFigures> figures) {
    std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < figures.size() && i < m_figures.size(); ++i) {
        // A failed query leaves the last answer standing, as on the pages.
        if (figures[i].buffer)
            m_figures[i].buffer = figures[i].buffer;
        if (figures[i].counters)
            m_figures[i].counters = figures[i].counters;
        m_figures[i].rate = figures[i].rate;
    }
}

void CStreamRun::PlayedToEnd(int channel) {
    std::lock_guard lock(m_mutex);
    if (channel >= 0 && channel < static_cast<int>(m_ended.size()))
        m_ended[static_cast<size_t>(channel)] = 1;
}
