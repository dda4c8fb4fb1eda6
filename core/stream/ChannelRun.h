// CChannelRun: one streaming channel's run from Start to Stop. It sends the start and stop requests of a
// stereo output, a codec output or a codec input in their order (rate set and read back, the synchronous
// input request), hands the recording over, and drains an input into its recording at Stop.
#pragma once

#include "StreamChannel.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

class CDevice;

enum class ChannelKind { StereoOutput, CodecOutput, CodecInput };

struct StartRequest {
    uint32_t rate = 0;
    bool setRate = true;      // codec: this board lets the rate be set
    bool rateApplied = false; // the caller has set and read back the rate already: `rate` is the actual one
    bool synchro = false;     // codec input: started and stopped with the synchronous request
    bool record = false;      // codec input: record into `recordingPath`; else the input is only drained
    std::string recordingPath;
};

// How a Start or Stop went. `error` is the message to show (empty: none); `step` says which step failed.
struct RunStatus {
    enum class Step { None, SetRate, GetRate, CreateRecording, StartRequest, StopRequest, Recording };
    Step step = Step::None;
    std::string error;
    bool changed = false; // the channel now runs (Start) or is stopped (Stop)
    bool rateSet = false; // the rate set was sent and accepted
    std::optional<uint32_t> actualRate;
};

class CChannelRun {
public:
    // How long a Start or Stop waits for a pass over the channel to end (a pass hung in the driver).
    static constexpr std::chrono::milliseconds kPassWait{2000};

    // `cfg` carries the rate requests; `stereoChannel` is 0 (left) or 1 (right) for a stereo output.
    CChannelRun(StreamChannel& channel, ChannelKind kind, CDevice* cfg, int stereoChannel = 0);

    // Ignored (nothing changed) while the channel runs. An output's source must be ready.
    RunStatus Start(const StartRequest& request);
    // Ignored while the channel is stopped. A refused stop leaves the channel running as it was.
    RunStatus Stop();
    // True when `run` is the channel's current run and it still runs: a report of an earlier run is not.
    bool IsCurrent(uint32_t run) const;

    StreamChannel& Channel() { return m_channel; }
    ChannelKind Kind() const { return m_kind; }

private:
    RunStatus SetRate(uint32_t rate, bool setRate);
    std::string CreateRecording(const StartRequest& request, uint32_t rate);

    StreamChannel& m_channel;
    ChannelKind m_kind;
    CDevice* m_cfg;
    int m_stereoChannel;
    bool m_synchro = false; // how the running input was started
};
