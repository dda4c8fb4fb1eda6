// The start and stop sequences of the streaming channels.
#include "ChannelRun.h"

#include "Device.h"
#include "StreamPass.h"
#include "StreamRequests.h"

#include <mutex>
#include <vector>

namespace {

RunStatus Failed(RunStatus status, RunStatus::Step step, const std::string& message) {
    status.step = step;
    status.error = message;
    status.changed = false;
    return status;
}

} // namespace

CChannelRun::CChannelRun(StreamChannel& channel, ChannelKind kind, CDevice* cfg, int stereoChannel, int line)
    : m_channel(channel), m_kind(kind), m_cfg(cfg), m_stereoChannel(stereoChannel), m_line(line) {}

bool CChannelRun::IsCurrent(uint32_t run) const {
    return m_channel.running.load(std::memory_order_acquire) && m_channel.runId.load(std::memory_order_relaxed) == run;
}

bool CChannelRun::LockPass() {
    const auto until = std::chrono::steady_clock::now() + kPassWait;
    while (!m_channel.LockPassWithin(kCancelAfter)) {
        // A pass this long in one request is hung in the driver: cancelling it lets it return. Cancelled
        // again each round, since the pass may have entered its next request after the last cancel.
        if (std::chrono::steady_clock::now() >= until)
            return false;
        if (m_channel.device)
            m_channel.device->Cancel();
    }
    return true;
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

std::string CChannelRun::ClaimResources(const StartRequest& request) {
    // Every line of a codec shares its one rate: a line started at another rate would change it under
    // the others, whose files would then state a rate their samples were not taken at.
    if (m_kind != ChannelKind::StereoOutput && m_cfg && !request.rateApplied) {
        std::string refused = m_rateClaim.ClaimCodecRate(m_cfg, m_line, request.rate);
        if (!refused.empty())
            return refused;
    }
    if (m_kind == ChannelKind::CodecInput && request.record)
        return m_fileClaim.ClaimFile(request.recordingPath, true);
    if (m_kind != ChannelKind::CodecInput &&
        m_channel.source.load(std::memory_order_relaxed) == StreamChannel::kSourceFile && m_channel.file.IsOpen())
        return m_fileClaim.ClaimFile(m_channel.file.Path(), false);
    return {};
}

std::string CChannelRun::CreateRecording(const StartRequest& request, uint32_t rate) {
    // The caller holds the pass lock: no pass holds a borrow of an earlier recording, so no late block of
    // it can land in a new file of the same name.
    if (auto previous = m_channel.TakeRecording())
        previous->Close();
    if (!request.record) {
        m_channel.source.store(StreamChannel::kNotRecording, std::memory_order_relaxed);
        return {};
    }
    m_channel.source.store(StreamChannel::kRecording, std::memory_order_relaxed);
    auto recording = std::make_shared<CSoundFile>();
    if (!recording->CreateForRecording(request.recordingPath, rate, request.recordingFormat))
        return "Cann't create TRN file";
    m_channel.SetRecording(std::move(recording), m_channel.NextRun());
    return {};
}

RunStatus CChannelRun::Start(const StartRequest& request) {
    RunStatus status;
    if (m_channel.running.load(std::memory_order_relaxed))
        return status;
    // A codec line without its configuration device has no rate to run at: nothing happens.
    if (!request.rateApplied && m_kind != ChannelKind::StereoOutput && !m_cfg)
        return status;
    if (std::string refused = ClaimResources(request); !refused.empty()) {
        m_rateClaim.Release();
        m_fileClaim.Release();
        return Failed(status,
                      m_kind == ChannelKind::CodecInput ? RunStatus::Step::CreateRecording : RunStatus::Step::InUse,
                      refused);
    }
    auto fail = [this](RunStatus failed, RunStatus::Step step, const std::string& message) {
        m_rateClaim.Release();
        m_fileClaim.Release();
        return Failed(std::move(failed), step, message);
    };

    if (request.rateApplied) {
        status.actualRate = request.rate;
        m_channel.actualRate.store(static_cast<int32_t>(request.rate), std::memory_order_relaxed);
    } else {
        status = SetRate(request.rate, request.setRate);
        if (!status.error.empty())
            return fail(status, status.step, status.error);
        m_rateClaim.SetActualRate(*status.actualRate);
    }
    if (m_kind == ChannelKind::CodecOutput && !m_channel.device)
        return fail(status, RunStatus::Step::None, {});

    // The run begins with no pass under way: what a pass of the last run kept (unsent bytes, a carried
    // odd byte) is dropped here, and no pass of the last run can write or read after the start request.
    if (!LockPass()) {
        const bool input = m_kind == ChannelKind::CodecInput;
        return fail(status, input ? RunStatus::Step::CreateRecording : RunStatus::Step::StartRequest,
                    input ? "Cann't create TRN file" : "Cann't start device");
    }
    const std::lock_guard lock(m_channel.passMutex, std::adopt_lock);
    StreamChannel::Carry& carry = m_channel.carry;
    carry.run = m_channel.NextRun();
    carry.unsent.clear();
    carry.oddByte = false;
    carry.readFailures = 0;

    if (m_kind == ChannelKind::CodecInput) {
        const std::string error = CreateRecording(request, *status.actualRate);
        if (!error.empty())
            return fail(status, RunStatus::Step::CreateRecording, error);
    }

    const bool synchro = m_kind == ChannelKind::CodecInput && request.synchro;
    if (!m_channel.device || !SendStreamCommand(*m_channel.device, StreamCommand::kStart, synchro)) {
        if (auto recording = m_channel.TakeRecording())
            recording->Close(); // the file stays on disk with its header only
        return fail(status, RunStatus::Step::StartRequest, "Cann't start device");
    }
    m_synchro = synchro;
    // A view of the input shows samples of this run only, analysed at its rate.
    m_channel.ResetTap(*status.actualRate);
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
    if (!m_channel.device)
        return Failed(status, RunStatus::Step::StopRequest, "Cann't stop device");

    // With the pass lock held no pass writes to the device after its stop request (the board would play
    // those bytes at the next start) and the drain below is the only reader.
    // A driver that ignores the cancel: the channel stops without the pass lock (and without the drain).
    const bool locked = LockPass();
    std::unique_lock<std::mutex> lock;
    if (locked)
        lock = std::unique_lock(m_channel.passMutex, std::adopt_lock);
    if (!SendStreamCommand(*m_channel.device, StreamCommand::kStop, m_synchro))
        return Failed(status, RunStatus::Step::StopRequest, "Cann't stop device");
    m_channel.running.store(false, std::memory_order_release);
    status.changed = true;

    if (m_kind == ChannelKind::CodecInput && locked) {
        // What the board captured since the last pass goes into the recording before it is closed.
        std::vector<int16_t> buffer(kPassSamples);
        const DrainOutcome drained = DrainStoppedInput(m_channel, buffer);
        status.error = drained.error;
        if (!status.error.empty())
            status.step = RunStatus::Step::Recording;
        else if (drained.halfSampleDropped)
            status.notice = "the recording ended in half a sample; its last byte was dropped";
    }
    if (lock.owns_lock())
        lock.unlock();
    if (m_kind == ChannelKind::CodecInput)
        if (auto recording = m_channel.TakeRecording())
            recording->Close();
    m_rateClaim.Release();
    m_fileClaim.Release();
    return status;
}
