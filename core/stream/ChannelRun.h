// CChannelRun: one streaming channel's run from Start to Stop. It sends the start and stop requests of a
// stereo output, a codec output or a codec input in their order (rate set and read back, the synchronous
// input request), hands the recording over, and drains an input into its recording at Stop.
#pragma once

#include "StreamChannel.h"
#include "StreamClaims.h"

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
    SoundFormat recordingFormat = SoundFormat::Raw;
};

// How a Start or Stop went. `error` is the message to show (empty: none); `step` says which step failed.
struct RunStatus {
    enum class Step { None, InUse, SetRate, GetRate, CreateRecording, StartRequest, StopRequest, Recording };
    Step step = Step::None;
    std::string error;
    std::string notice;   // something to say that is no failure (a half sample dropped at the end)
    bool changed = false; // the channel now runs (Start) or is stopped (Stop)
    bool rateSet = false; // the rate set was sent and accepted
    std::optional<uint32_t> actualRate;
};

class CChannelRun {
public:
    // How long a Start or Stop waits for a pass over the channel to end (a pass hung in the driver).
    static constexpr std::chrono::milliseconds kPassWait{2000};
    // After this long a pass still in a device request is cancelled; the rest of kPassWait is for it to
    // come back.
    static constexpr std::chrono::milliseconds kCancelAfter{100};

    // `cfg` carries the rate requests; `stereoChannel` is 0 (left) or 1 (right) for a stereo output.
    // `line` names a codec line in the messages about the codec's shared rate.
    CChannelRun(StreamChannel& channel, ChannelKind kind, CDevice* cfg, int stereoChannel = 0, int line = 0);

    // Ignored (nothing changed) while the channel runs. An output's source must be ready. Refused while
    // another line of the codec runs at another rate, or another channel uses the file to record into.
    // No pass over the channel is under way while the run begins: it starts from nothing of the last run.
    RunStatus Start(const StartRequest& request);
    // Ignored while the channel is stopped. A refused stop leaves the channel running as it was. A pass
    // hung in the driver is cancelled; when Stop returns, no pass feeds or drains the stopped run.
    RunStatus Stop();
    // True when `run` is the channel's current run and it still runs: a report of an earlier run is not.
    bool IsCurrent(uint32_t run) const;

    StreamChannel& Channel() { return m_channel; }
    ChannelKind Kind() const { return m_kind; }

private:
    RunStatus SetRate(uint32_t rate, bool setRate);
    std::string ClaimResources(const StartRequest& request);
    std::string CreateRecording(const StartRequest& request, uint32_t rate);
    // Takes the channel's pass lock within kPassWait, cancelling a device request that holds it too long.
    bool LockPass();

    StreamChannel& m_channel;
    ChannelKind m_kind;
    CDevice* m_cfg;
    int m_stereoChannel;
    int m_line;
    CStreamClaim m_rateClaim; // codec lines: the shared rate, while the channel runs
    CStreamClaim m_fileClaim; // the file played or recorded into, while the channel runs
    bool m_synchro = false;   // how the running input was started
};
