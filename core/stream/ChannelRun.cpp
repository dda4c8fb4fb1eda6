// The start and stop sequences of the streaming channels.
#include "ChannelRun.h"

#include "StreamPass.h"
#include "StreamRequests.h"

#include <mutex>
#include <vector>

namespace {

RunStatus Failed(RunStatus status, RunStatus::Step step, const char* message) {
    status.step = step;
    status.error = message;
    status.changed = false;
    return status;
}

} // namespace

CChannelRun::CChannelRun(StreamChannel& channel, ChannelKind kind, CDevice* cfg, int stereoChannel)
    : m_channel(channel), m_kind(kind), m_cfg(cfg), m_stereoChannel(stereoChannel) {}

bool CChannelRun::IsCurrent(uint32_t run) const {
    return m_channel.running.load(std::memory_order_acquire) && m_channel.runId.load(std::memory_order_relaxed) == run;
}

RunStatus CChannelRun::SetRate(uint32_t rate, bool setRate) {
    RunStatus status;
    if (m_kind == ChannelKind::StereoOutput) {
        if (!m_cfg || !SetOutputRate(*m_cfg, m_stereoChannel, rate))
            return Failed(status, RunStatus::Step::SetRate, "Cann't set sampling rate");
        status.rateSet = true;
        status.actualRate = GetOutputRate(*m_cfg, m_stereoChannel);
    } else {
        if (setRate) {
            if (!SetCodecRate(*m_cfg, rate))
                return Failed(status, RunStatus::Step::SetRate, "Cann't set sampling rate");
            status.rateSet = true;
        }
        // Read back only after the set: the board may have taken a rate near the one asked for.
        status.actualRate = GetCodecRate(*m_cfg);
    }
    if (!status.actualRate)
        return Failed(status, RunStatus::Step::GetRate, "Cann't get sampling rate");
    m_channel.actualRate.store(static_cast<int32_t>(*status.actualRate), std::memory_order_relaxed);
    return status;
}

std::string CChannelRun::CreateRecording(const StartRequest& request, uint32_t rate) {
    // No pass holds a borrow of an earlier recording once the pass lock is ours, so no late block of it
    // can land in a new file of the same name.
    if (!m_channel.LockPassWithin(kPassWait))
        return "Cann't create TRN file";
    const std::lock_guard lock(m_channel.passMutex, std::adopt_lock);
    if (auto previous = m_channel.TakeRecording())
        previous->Close();
    if (!request.record) {
        m_channel.source.store(StreamChannel::kNotRecording, std::memory_order_relaxed);
        return {};
    }
    m_channel.source.store(StreamChannel::kRecording, std::memory_order_relaxed);
    auto recording = std::make_shared<CSoundFile>();
    if (!recording->CreateForRecording(request.recordingPath, rate))
        return "Cann't create TRN file";
    m_channel.SetRecording(std::move(recording), m_channel.NextRun());
    return {};
}

RunStatus CChannelRun::Start(const StartRequest& request) {
    RunStatus status;
    if (m_channel.running.load(std::memory_order_relaxed))
        return status;
    if (request.rateApplied) {
        status.actualRate = request.rate;
        m_channel.actualRate.store(static_cast<int32_t>(request.rate), std::memory_order_relaxed);
    } else {
        // A codec line without its configuration device has no rate to run at: nothing happens.
        if (m_kind != ChannelKind::StereoOutput && !m_cfg)
            return status;
        status = SetRate(request.rate, request.setRate);
        if (!status.error.empty())
            return status;
    }

    if (m_kind == ChannelKind::CodecInput) {
        const std::string error = CreateRecording(request, *status.actualRate);
        if (!error.empty())
            return Failed(status, RunStatus::Step::CreateRecording, error.c_str());
    } else if (m_kind == ChannelKind::CodecOutput && !m_channel.device) {
        return status;
    }

    const bool synchro = m_kind == ChannelKind::CodecInput && request.synchro;
    if (!m_channel.device || !SendStreamCommand(*m_channel.device, StreamCommand::kStart, synchro)) {
        if (auto recording = m_channel.TakeRecording())
            recording->Close(); // the file stays on disk with its header only
        return Failed(status, RunStatus::Step::StartRequest, "Cann't start device");
    }
    m_synchro = synchro;
    m_channel.MarkRunning();
    status.changed = true;
    return status;
}

RunStatus CChannelRun::Stop() {
    RunStatus status;
    if (!m_channel.running.load(std::memory_order_relaxed))
        return status;
    if (m_kind == ChannelKind::CodecOutput && !m_channel.device)
        return status;
    if (!m_channel.device || !SendStreamCommand(*m_channel.device, StreamCommand::kStop, m_synchro))
        return Failed(status, RunStatus::Step::StopRequest, "Cann't stop device");
    m_channel.running.store(false, std::memory_order_release);
    status.changed = true;
    if (m_kind != ChannelKind::CodecInput)
        return status;

    // What the board captured since the last pass goes into the recording before it is closed.
    if (m_channel.LockPassWithin(kPassWait)) {
        const std::lock_guard lock(m_channel.passMutex, std::adopt_lock);
        std::vector<int16_t> buffer(kPassSamples);
        status.error = DrainStoppedInput(m_channel, buffer);
        if (!status.error.empty())
            status.step = RunStatus::Step::Recording;
    }
    if (auto recording = m_channel.TakeRecording())
        recording->Close();
    return status;
}
