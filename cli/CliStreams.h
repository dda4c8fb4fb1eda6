// Streaming for veltrin-cli: output and input channels prepared as the pages prepare them, started and
// stopped by the engine's channel runs, fed by the shared streaming worker until a time is up, every
// played file has ended, a stop signal came or the device stops answering.
#pragma once

#include "ChannelRun.h"
#include "StreamChannel.h"
#include "StreamPass.h"
#include "StreamWorker.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CDevice;

// What an output channel plays: a file, or else the sine.
struct PlaySource {
    std::string file;
    uint32_t frequency = 0;
    uint32_t amplitude = 0;
    SoundChannel channel = SoundChannel::Left; // of a stereo file
};

// The sample rate of a stream: the stereo outputs have one each on the configuration device, the phone
// lines share the codec rate. With `wanted` set, it is set first; returns the rate the board reports.
// A rate the board refuses or does not report is a device error.
uint32_t ApplyOutputRate(CDevice& cfg, int channel, std::optional<uint32_t> wanted);
uint32_t ApplyCodecRate(CDevice& cfg, std::optional<uint32_t> wanted);

class CStreamRun {
public:
    // A running stream whose counters do not move (or cannot be read) for its rate's StallBound (2 s,
    // longer at low rates, where an input's samples gather slowly) is a device error.

    CStreamRun();
    ~CStreamRun();
    CStreamRun(const CStreamRun&) = delete;
    CStreamRun& operator=(const CStreamRun&) = delete;

    // Adds a channel ready to start; a source that cannot be prepared is a usage error (a file that does
    // not open, a sine the generator refuses). Returns the channel's index.
    int AddOutput(CDevice& device, const PlaySource& source, uint32_t rate);
    // Records into a new raw file at `path`, made at Start; a file that cannot be created is a usage error.
    int AddInput(CDevice& device, const std::string& path, uint32_t rate, SoundFormat format = SoundFormat::Raw);

    // Starts the channels in the order added, then the worker; a refused start is a device error.
    void Start();
    // Waits until `seconds` have passed (no limit when 0) or `done` says so, showing progress as `what`.
    // Returns early, too, once every file output has played to its end, a recording or playback has
    // failed (Stop reports it) or a stop signal came. A stream that makes no progress for its rate's
    // StallBound is a device error.
    void Wait(double seconds, const std::function<bool()>& done, const std::string& what);
    // Stops the channels (inputs first, so a recording never outlasts what its line played; each input
    // drained into its recording), ends the worker and closes the recordings whole. A refused stop or a
    // failed recording is a device error naming it. Safe to call twice.
    void Stop();

    StreamChannel& Channel(int index) { return *m_state->legs[static_cast<size_t>(index)].channel; }
    ChannelFigures Figures(int index) const;
    // The file output played to its end, every byte of the file accepted by the device.
    bool Ended(int index) const;
    // What the channel's Stop had to say that is no failure (a recording that ended in half a sample);
    // empty when nothing. Stop says it on standard error as well.
    std::string Notice(int index) const;

private:
    struct Leg {
        std::unique_ptr<StreamChannel> channel;
        std::unique_ptr<CChannelRun> run;
        std::string path; // input: the recording
        SoundFormat format = SoundFormat::Raw;
        uint32_t rate = 0;
        std::string notice; // from Stop
    };
    // What the worker touches; left behind with it when a driver never answers.
    struct State final : IStreamSink {
        std::vector<Leg> legs;
        mutable std::mutex mutex;
        std::vector<ChannelFigures> figures;
        std::vector<char> ended;
        std::string failure;                                           // the first failed recording or playback
        std::vector<std::chrono::steady_clock::time_point> progressAt; // per channel: its count last moved
        std::vector<uint64_t> lastBytes;

        void ShowFigures(std::span<const ChannelFigures> figures) override;
        void Report(int channel, const PassEvent& event) override;
    };

    void EndWorker();

    std::unique_ptr<State> m_state;
    std::unique_ptr<CStreamWorker> m_worker;
    bool m_started = false;
};
